// The "Profiles" page without a device: the field rules, the name, the commit on a tab
// switch, the mode and preheat rules, the active profile, copy and paste.

#include "link/devicetext.h"
#include "tuner/tfrchart.h"
#include "tunertest.h"

#include <QClipboard>

class TestProfilesPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_locale = QLocale(); }
    void init() { m_form = ShownTuner(); }
    void cleanup();
    void fieldRules_data();
    void fieldRules();
    void nameField();
    void tabSwitchCommitsIntoTheShownProfile();
    void modeAndPreheatRules();
    void preheatUnitConversion();
    void modeWithoutItem();
    void activeProfileCopyAndPaste();

private:
    TProfilesPage* page() const { return m_form->TabProfiles; }
    void showProfile(int mode, qint32 flags) {
        Settings.profile[0].mode = mode;
        Settings.profile[0].flags = flags;
        m_form->ShowSettings();
    }
    QLocale m_locale;
    std::unique_ptr<TTunerForm> m_form;
};

void TestProfilesPage::cleanup() {
    m_form.reset();
    Dialogs::reset();
    QLocale::setDefault(m_locale);
}

void TestProfilesPage::fieldRules_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("decimal point") << QLocale(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("decimal comma") << QLocale(QLocale::German, QLocale::Germany);
}

// Every text field of a profile, typed key by key: below the minimum, above the maximum (or
// what the typing limit lets through), a "," value, no number. It shows what it stores.
void TestProfilesPage::fieldRules() {
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    struct Case {
        const char *typed, *shown;
        qint32 stored;
    };
    const struct {
        const char* control;
        qint32 TProfile::*field;
        int mode;
        qint32 flags;
        Case cases[4];
    } rows[] = {
        {"ProfilePowerVW",
         &TProfile::powerVW,
         pmVW,
         0,
         {{"0.9", "1.0", 10}, {"200.1", "200.0", 2000}, {"12,25", "12.2", 122}, {"x", "1.0", 10}}},
        {"ProfilePowerTC",
         &TProfile::powerTC,
         pmTC,
         0,
         {{"0", "1.0", 10}, {"999", "200.0", 2000}, {"12,75", "12.8", 128}, {"", "1.0", 10}}},
        {"ProfileTemp",
         &TProfile::temperature,
         pmTC,
         0,
         {{"99", "100", 100}, {"601", "600", 600}, {"2,5", "100", 100}, {"x", "100", 100}}},
        {"ProfileVoltage",
         &TProfile::voltage,
         pmVV,
         0,
         {{"0.99", "1.00", 100}, {"8.41", "8.40", 840}, {"4,2", "4.20", 420}, {"x", "1.00", 100}}},
        {"ProfilePrehTime",
         &TProfile::prehTime,
         pmVW,
         pfPrehVW,
         {{"-0.1", "0.0", 0}, {"10.1", "10.0", 10000}, {"1,25", "1.2", 1200}, {"x", "0.0", 0}}},
        {"ProfilePrehDelay",
         &TProfile::prehDelay,
         pmVW,
         pfPrehVW,
         {{"-1", "1", 1}, {"61", "60", 60}, {"1,5", "15", 15}, {"", "0", 0}}},
        {"ProfileLockRes",
         &TProfile::lockRes,
         pmVV,
         0,
         {{"0.049", "0.050", 50},
          {"3.001", "3.000", 3000},
          {"0,5", "0.500", 500},
          {"x", "0.050", 50}}},
        {"ProfileTCR",
         &TProfile::TCR,
         pmTC,
         0,
         {{"-1", "1", 1}, {"10000", "1000", 1000}, {"4,5", "45", 45}, {"", "0", 0}}},
        {"ProfilePrehValue",
         &TProfile::prehValue,
         pmVW,
         pfPrehVW,
         {{"0.9", "1.0", 10}, {"200.1", "200.0", 2000}, {"4,25", "4.2", 42}, {"x", "1.0", 10}}},
        {"ProfilePrehValue",
         &TProfile::prehValue,
         pmTC,
         pfPrehTC | pfPrehPerc,
         {{"-1", "0", 0}, {"201", "200", 200}, {"1,5", "2", 2}, {"x", "0", 0}}},
    };
    for (const auto& row : rows) {
        showProfile(row.mode, row.flags);
        auto* edit = page()->findChild<QLineEdit*>(row.control);
        QVERIFY2(edit && edit->isEnabled(), row.control);
        for (const Case& c : row.cases) {
            const QByteArray what = QByteArray(row.control) + " typed " + c.typed;
            Enter(edit, QString::fromUtf8(c.typed));
            QVERIFY2(edit->text() == Local(c.shown), what + " shows " + edit->text().toUtf8());
            QVERIFY2(Settings.profile[0].*row.field == c.stored, what);
            QCOMPARE(Settings.profile[0].flags, row.flags);
        }
    }
}

// Latin-1 without control characters, upper case as typed, at most 6 typed; a longer name
// (from a file) is shown whole and can be shortened; blanks at the ends don't travel.
void TestProfilesPage::nameField() {
    QLineEdit* name = page()->ProfileName;
    QCOMPARE(name->text(), QString("PROFILE1"));
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClick(name, Qt::Key_Backspace);
    QTest::keyClicks(name, "x");
    QCOMPARE(name->text(), QString("PROFILE"));
    TypeInto(name, QString::fromUtf8("ab\u0416c\u00ff\u00e9z"));   // Cyrillic refused
    QCOMPARE(name->text(), QString::fromUtf8("ABC\u00ff\u00c9Z")); // y-umlaut has no capital
    QApplication::clipboard()->setText("Q\tR");
    name->paste();
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(Settings.profile[0].name, QString::fromUtf8("ABC\u00ff\u00c9Z"));
    Enter(name, " ab c ");
    QCOMPARE(Settings.profile[0].name, QString("AB C"));

    // With the Cyrillic encoding the field takes exactly its characters.
    SetDeviceEncoding(TDeviceEncoding::Cyrillic);
    Enter(name, QString::fromUtf8("жё éЂÄ€"));
    SetDeviceEncoding(TDeviceEncoding::Western);
    QCOMPARE(Settings.profile[0].name, QString::fromUtf8("ЖЁ Ђ€"));

    Settings.profile[0].lockRes = 12345; // longer than the typing limit: shown whole
    m_form->ShowSettings();
    QCOMPARE(page()->ProfileLockRes->text(), Local("12.345"));
}

// Typing a voltage and clicking another tab stores the voltage in the profile that was shown
// while typing; the active profile stays.
void TestProfilesPage::tabSwitchCommitsIntoTheShownProfile() {
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    showProfile(pmVV, 0);
    QLineEdit* voltage = page()->ProfileVoltage;
    voltage->setFocus();
    TypeInto(voltage, "5.55");
    QTabBar* tabs = page()->TabControl;
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
    QVERIFY(tabs->hasFocus());
    QCOMPARE(page()->shownProfile(), 2);
    QCOMPARE(Settings.profile[0].voltage, 555);
    QCOMPARE(Settings.profile[2].voltage, 420);
    QCOMPARE(voltage->text(), Local("4.20"));
    QCOMPARE(Settings.curProfile, 0);

    // A window that only shows an older image writes nothing back when its tabs change:
    // another window's newer name and base resistance stay.
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    auto other = std::make_unique<TTunerForm>();
    other->ShowSettings();
    other->show();
    Enter(other->TabProfiles->ProfileName, "coil");
    Enter(other->TabProfiles->ProfileLockRes, "1.5");
    QCOMPARE(Settings.profile[0].name, QString("COIL"));
    QCOMPARE(Settings.profile[0].lockRes, 1500);
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    page()->ProfileName->setFocus();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QCOMPARE(Settings.profile[0].name, QString("COIL"));
    QCOMPARE(Settings.profile[0].lockRes, 1500);
}

void TestProfilesPage::modeAndPreheatRules() {
    const char* names[] = {"ProfileVoltage", "ProfilePowerVW", "ProfilePowerTC",  "ProfileTemp",
                           "ProfilePrehEn",  "ProfileLockRes", "ProfileLockTemp", "ProfileUseTFR",
                           "ProfileTCR",     "ChartTFR"};
    const char* enabled[] = {"1000010000", "0100110000", "0011111111"}; // VV, VW, TC
    for (int mode = 0; mode < 3; ++mode) {
        page()->ProfileMode->setCurrentIndex(mode);
        QCOMPARE(Settings.profile[0].mode, mode);
        for (std::size_t i = 0; i < std::size(names); ++i)
            QVERIFY2(page()->findChild<QWidget*>(names[i])->isEnabled() ==
                         (enabled[mode][i] == '1'),
                     names[i]);
    }
    // One box, one bit per mode: VV shows it off and writes neither; the fields follow it.
    QCheckBox* box = page()->ProfilePrehEn;
    showProfile(pmVW, pfPrehVW | 64);
    QVERIFY(box->isChecked() && page()->ProfilePrehTime->isEnabled());
    page()->ProfileMode->setCurrentIndex(pmVV);
    QVERIFY(!box->isChecked() && !page()->ProfilePrehTime->isEnabled());
    page()->ProfileMode->setCurrentIndex(pmTC);
    QVERIFY(!box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QCOMPARE(Settings.profile[0].flags, pfPrehVW | pfPrehTC | 64);
    page()->ProfileMode->setCurrentIndex(pmVW);
    box->setChecked(false); // from code it acts as a click
    QCOMPARE(Settings.profile[0].flags, pfPrehTC | 64);
    QVERIFY(!page()->ProfilePrehValue->isEnabled());
    page()->ProfileMode->setCurrentIndex(pmTC);
    QVERIFY(box->isChecked() && page()->ProfilePrehValue->isEnabled());

    // After a refresh the chart follows " Use TFR Curve" whatever the mode.
    QWidget* chart = page()->TFREditor->ChartTFR;
    showProfile(pmVW, pfUseTFR);
    QVERIFY(chart->isEnabled());
    page()->ProfileMode->setCurrentIndex(pmVV);
    page()->ProfileMode->setCurrentIndex(pmVW);
    QVERIFY(!chart->isEnabled());
}

void TestProfilesPage::preheatUnitConversion() {
    TProfile& p = Settings.profile[0];
    QComboBox* unit = page()->ProfilePrehUnit;
    p.powerVW = 400;
    p.prehValue = 500;
    showProfile(pmVW, pfPrehVW);
    unit->setCurrentIndex(1);
    QCOMPARE(p.prehValue, 125);
    QCOMPARE(p.flags, pfPrehVW | pfPrehPerc);
    unit->setCurrentIndex(0);
    QCOMPARE(p.prehValue, 500);
    QCOMPARE(page()->ProfilePrehValue->text(), Local("50.0"));

    p.powerTC = 333;
    p.prehValue = 30;
    showProfile(pmTC, pfPrehTC | pfPrehPerc);
    unit->setCurrentIndex(0);
    QCOMPARE(p.prehValue, 100); // round(99.9)
    QCOMPARE(page()->ProfilePrehValue->text(), Local("10.0"));

    // No power to convert against: the unit and the value stay.
    p.powerTC = 0;
    p.prehValue = 77;
    showProfile(pmTC, pfPrehTC | pfPrehPerc);
    unit->setCurrentIndex(0);
    QCOMPARE(unit->currentIndex(), 1);
    QCOMPARE(p.flags, pfPrehTC | pfPrehPerc);
    QCOMPARE(p.prehValue, 77);
}

// A mode without an item is kept; every value field is enabled and no preheat bit chosen.
void TestProfilesPage::modeWithoutItem() {
    showProfile(7, pfPrehVW | pfPrehTC);
    QCOMPARE(page()->ProfileMode->currentIndex(), -1);
    QVERIFY(page()->ProfileVoltage->isEnabled() && page()->ProfilePowerVW->isEnabled() &&
            page()->ProfileTemp->isEnabled() && page()->ProfileTCR->isEnabled());
    QVERIFY(!page()->ProfilePrehEn->isChecked() && !page()->ProfilePrehEn->isEnabled());
    Enter(page()->ProfilePowerVW, "20");
    page()->TabControlChange();
    QCOMPARE(Settings.profile[0].mode, 7);
    QCOMPARE(Settings.profile[0].flags, pfPrehVW | pfPrehTC);
    page()->ProfileMode->setCurrentIndex(pmVW);
    QCOMPARE(Settings.profile[0].mode, int(pmVW));
}

void TestProfilesPage::activeProfileCopyAndPaste() {
    QComboBox* active = page()->ActiveProfile;
    QTabBar* tabs = page()->TabControl;
    tabs->setCurrentIndex(2); // a tab edits a profile, it doesn't activate it
    QCOMPARE(Settings.curProfile, 0);
    active->setCurrentIndex(4);
    QCOMPARE(Settings.curProfile, 4);
    QCOMPARE(page()->ProfileName->text(), QString("PROFILE5"));
    Settings.curProfile = 8; // from a file or the device
    m_form->ShowSettings();
    QCOMPARE(active->currentIndex(), -1);
    QCOMPARE(tabs->currentIndex(), 4);

    auto second = std::make_unique<TTunerForm>();
    second->ShowSettings();
    TProfilesPage* other = second->TabProfiles;
    QVERIFY(!page()->PasteProfile->isEnabled() && !other->PasteProfile->isEnabled());
    Settings.profile[4].TFR = {11000, 12000, 13000, 14000, 15000};
    Settings.profile[4].flags = pfPrehTC | 64 | 256;
    QTest::mouseClick(page()->CopyProfile, Qt::LeftButton);
    QVERIFY(other->PasteProfile->isEnabled());
    other->TabControl->setCurrentIndex(6);
    QTest::mouseClick(other->PasteProfile, Qt::LeftButton);
    QCOMPARE(Settings.profile[6], Settings.profile[4]);
    QCOMPARE(other->ProfileName->text(), QString("PROFILE5"));
}

QTEST_MAIN(TestProfilesPage)
#include "test_profilespage.moc"
