// What the editor shows is what it stores, whatever put the text there: text set without
// typing, the typing limits after text set by the program, the name's letter case, a poll
// during an edit, the wheel over an unfocused list, paste after copying a profile with bit 31
// set, the preheat unit switch, and two Tuner windows over the one image.

#include "common/emulink.h"
#include "link/transport.h"
#include "monitor/monitor.h"
#include "settings/settingsfile.h"
#include "tuner/imagecommands.h"
#include "tuner/modpage.h"
#include "tuner/screenpage.h"
#include "tunertest.h"

#include <QAccessible>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWheelEvent>

class TestEditing : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void textSetWithoutTypingIsStored();
    void typingLimitsAfterProgramText();
    void nameShowsWhatIsStored();
    void pollDuringAnEdit();
    void wheelOverAnUnfocusedList();
    void pasteAfterCopyingNegativeFlags();
    void preheatUnitRoundTrip();
    void twoWindowsShowTheOneImage();
    void undoKeysInAField();

private:
    TProfilesPage* page() const { return m_form->TabProfiles; }
    void activate() {
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }
    QTemporaryDir m_data;
    std::unique_ptr<TTunerForm> m_form;
};

void TestEditing::init() {
    qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
    m_form = ShownTuner();
}

void TestEditing::cleanup() {
    m_form.reset();
    Dialogs::reset();
}

// setText and the accessibility interface's "set text" (which is QLineEdit::setText) are
// stored: at once into a field without the focus, when the focus moves from one that has it.
void TestEditing::textSetWithoutTypingIsStored() {
    activate();
    QLineEdit* lockRes = page()->ProfileLockRes;
    lockRes->setFocus();
    lockRes->setText("1.234");
    QCOMPARE(Settings.profile[0].lockRes, 0); // still being edited
    page()->ProfileName->setFocus();
    QCOMPARE(Settings.profile[0].lockRes, 1234);

    auto* pid = m_form->findChild<QLineEdit*>("PidRegP"); // no focus: stored, shown as stored
    pid->setText("123,7");
    QCOMPARE(Settings.pidRegP, 124);
    QCOMPARE(pid->text(), QString("124"));

    QLineEdit* power = page()->ProfilePowerVW;
    power->setFocus();
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(power);
    QVERIFY(iface && iface->editableTextInterface());
    iface->editableTextInterface()->replaceText(0, int(power->text().size()), "25,56");
    page()->ProfileName->setFocus();
    QCOMPARE(Settings.profile[0].powerVW, 256);
    QCOMPARE(power->text(), Local("25.6"));
    QAccessibleInterface* other = QAccessible::queryAccessibleInterface(pid);
    other->editableTextInterface()->insertText(0, "1");
    QCOMPARE(Settings.pidRegP, 1124);
    QCOMPARE(Settings, ImageHistory().lastImage()); // nothing stored behind the history
}

// The limits apply to what the user adds: after a stored name longer than six letters a
// seventh can't be typed, and a digits-only field holding a negative number still ends
// its edit and stores what it shows.
void TestEditing::typingLimitsAfterProgramText() {
    activate();
    QLineEdit* name = page()->ProfileName;
    QCOMPARE(name->text(), QString("PROFILE1")); // eight letters, from the defaults
    name->setFocus();
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClicks(name, "9");
    QCOMPARE(name->text(), QString("PROFILE1"));
    QTest::keyClick(name, Qt::Key_Backspace);
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(Settings.profile[0].name, QString("PROFILE"));

    Settings.brTime[0][1] = -5; // from a file or the device
    m_form->ShowSettings();
    m_form->PageControl->setCurrentWidget(m_form->TabScreen);
    auto* firing = m_form->findChild<QLineEdit*>("TOutFiring");
    QCOMPARE(firing->text(), QString("-5"));
    firing->setFocus();
    QTest::keyClick(firing, Qt::Key_End);
    QTest::keyClicks(firing, "0x");
    QCOMPARE(firing->text(), QString("-50"));
    QTest::keyClick(firing, Qt::Key_Return);
    QCOMPARE(Settings.brTime[0][1], 0);
    QCOMPARE(firing->text(), QString("0"));
}

// A name from a file is shown and kept as it is; what the user adds is upper case.
void TestEditing::nameShowsWhatIsStored() {
    activate();
    Settings.profile[0].name = "coil";
    m_form->ShowSettings();
    QLineEdit* name = page()->ProfileName;
    QCOMPARE(name->text(), QString("coil"));
    name->setFocus();
    page()->ProfileMode->setFocus();
    QCOMPARE(Settings.profile[0].name, QString("coil"));
    name->setFocus();
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClicks(name, "x");
    QCOMPARE(name->text(), QString("coilX"));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(Settings.profile[0].name, QString("coilX"));
    page()->ProfileMode->setFocus();
    page()->ProfileName->setText("mine");
    QCOMPARE(Settings.profile[0].name, QString("MINE"));
}

// While monitoring runs, a poll moves what the user has not changed (shown at once) and
// leaves the user's edits, committed or still being typed; the upload sends the edits.
void TestEditing::pollDuringAnEdit() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TDeviceEmulator& emu = link.emu();
    QVERIFY(emu.setValue("PROF", "0") && emu.setValue("PMOD[0]", "2"));
    QVERIFY(emu.setValue("PPAR[0]", "350,200,300,210"));
    activate();
    m_form->DownloadSettingsClick();
    QCOMPARE(m_form->windowTitle(), QString("Tuner - device"));
    Enter(page()->ProfileTemp, "250"); // committed
    QLineEdit* power = page()->ProfilePowerTC;
    power->setFocus();
    TypeInto(power, "44.4"); // being typed
    QVERIFY(emu.setValue("PPAR[0]", "410,250,301,230") && emu.setValue("PUFF", "123,456"));

    TMonitorPoller poller;
    int polls = 0;
    connect(&poller, &TMonitorPoller::polled, this, [&] {
        ++polls;
        poller.stop();
    });
    poller.start();
    QTRY_VERIFY(polls > 0);
    QCOMPARE(Settings.profile[0].temperature, 250);
    QCOMPARE(Settings.profile[0].voltage, 410);
    QCOMPARE(page()->ProfileVoltage->text(), Local("4.10"));
    QCOMPARE(m_form->findChild<QLineEdit*>("PuffCount")->text(), QString("123"));
    QCOMPARE(power->text(), Local("44.4"));
    QCOMPARE(m_form->windowTitle(), QString("Tuner - device - 1 change"));
    QTest::keyClick(power, Qt::Key_Return);
    QCOMPARE(Settings.profile[0].powerTC, 444);

    Dialogs::setNextAnswer(QMessageBox::Ok);
    m_form->UploadSettingsClick();
    QCOMPARE(Dialogs::shownMessages().last(), QString("Done"));
    QCOMPARE(emu.value("PPAR[0]"), QByteArray("410,250,444,250"));
}

// Over a list without the focus the wheel scrolls the page; with the focus it picks.
void TestEditing::wheelOverAnUnfocusedList() {
    activate();
    m_form->PageControl->setCurrentWidget(m_form->TabGeneral);
    auto* unit = m_form->findChild<QComboBox*>("TempUnit");
    auto* indicator = m_form->findChild<QComboBox*>("ComboBox1");
    QCOMPARE(unit->focusPolicy(), Qt::StrongFocus); // the wheel gives no focus either
    const qint32 flags = Settings.flags;
    const qint32 shown = Settings.indPar[0][0];
    const auto wheel = [](QWidget* target) {
        QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
        return event.isAccepted();
    };
    page()->ProfileName->setFocus();
    QVERIFY(!wheel(unit)); // passed on to the page's scroll area
    QVERIFY(!wheel(indicator));
    QCOMPARE(Settings.flags, flags);
    QCOMPARE(Settings.indPar[0][0], shown);
    indicator->setFocus();
    QVERIFY(wheel(indicator));
    QCOMPARE(Settings.indPar[0][0], shown + 1);
}

// "Paste Profile" pastes whatever was copied, also a flags word with bit 31 set, and stays
// enabled after the next refresh.
void TestEditing::pasteAfterCopyingNegativeFlags() {
    Settings.profile[0].flags = qint32(0x80000000u | pfRLock);
    m_form->ShowSettings();
    QTest::mouseClick(page()->CopyProfile, Qt::LeftButton);
    page()->TabControl->setCurrentIndex(3);
    QVERIFY(page()->PasteProfile->isEnabled());
    QTest::mouseClick(page()->PasteProfile, Qt::LeftButton);
    QCOMPARE(Settings.profile[3], Settings.profile[0]);
    page()->TabControl->setCurrentIndex(1);
    QVERIFY(page()->PasteProfile->isEnabled());
}

// Back without an edit in between gives the value back exactly; a conversion that rounds
// says so.
void TestEditing::preheatUnitRoundTrip() {
    Settings.profile[0].powerVW = 777;
    Settings.profile[0].prehValue = 400;
    Settings.profile[0].flags = pfPrehVW;
    m_form->ShowSettings();
    QComboBox* unit = page()->ProfilePrehUnit;
    unit->setCurrentIndex(1);
    QCOMPARE(Settings.profile[0].prehValue, 51);
    QCOMPARE(LastNote(), Local("40.0 W is 51 % (39.6 W)"));
    unit->setCurrentIndex(0);
    QCOMPARE(Settings.profile[0].prehValue, 400);
    QCOMPARE(page()->ProfilePrehValue->text(), Local("40.0"));
    unit->setCurrentIndex(1);
    Enter(page()->ProfilePrehValue, "60"); // an edit: switching back converts it
    unit->setCurrentIndex(0);
    QCOMPARE(Settings.profile[0].prehValue, 466);
}

// An edit in one window, an image loaded in another: both show the one image, and each
// title names where it came from.
void TestEditing::twoWindowsShowTheOneImage() {
    auto other = std::make_unique<TTunerForm>();
    other->show();
    other->ShowSettings();
    QCOMPARE(other->windowTitle(), QString("Tuner - new"));
    Enter(other->TabProfiles->ProfilePowerVW, "12.3");
    QCOMPARE(page()->ProfilePowerVW->text(), Local("12.3"));
    QCOMPARE(m_form->windowTitle(), QString("Tuner - new - 1 change"));

    TSettings saved = DefaultSettings();
    saved.pidRegP = 1234;
    const QString file = m_data.path() + "/mysettings.xml";
    SaveSettingsFile(file, saved);
    Dialogs::setNextChoice("Discard");
    QVERIFY(LoadImage(other.get(), file));
    for (TTunerForm* form : {m_form.get(), other.get()}) {
        QCOMPARE(form->findChild<QLineEdit*>("PidRegP")->text(), QString("1234"));
        QCOMPARE(form->TabProfiles->ProfilePowerVW->text(), Local("40.0"));
        QCOMPARE(form->windowTitle(), QString("Tuner - mysettings.xml"));
    }
}

// In a field being typed in, Ctrl+Z undoes the typing; in a field without typing of its own
// the keys reach the window's history.
void TestEditing::undoKeysInAField() {
    activate();
    QLineEdit* power = page()->ProfilePowerVW;
    power->setFocus();
    Enter(power, "11.1");
    TypeInto(power, "22.2");
    QTest::keyClick(power, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Settings.profile[0].powerVW, 111); // the field's own undo
    QTest::keyClick(power, Qt::Key_Return);
    QTest::keyClick(power, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Settings.profile[0].powerVW, 400);
    QCOMPARE(power->text(), Local("40.0"));
    QTest::keyClick(power, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(Settings.profile[0].powerVW, 111);
}

QTEST_MAIN(TestEditing)
#include "test_editing.moc"
