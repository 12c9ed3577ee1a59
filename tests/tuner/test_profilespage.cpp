// The "Profiles" page without a device: the field rules, the commit on a tab switch, the
// mode and preheat rules, the name field, the active profile list, copy and paste.

#include "tuner/tfrchart.h"
#include "tunertest.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QTabBar>

class TestProfilesPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_locale = QLocale(); }
    void init();
    void cleanup();
    void fieldRules_data();
    void fieldRules();
    void nameField();
    void storedValuesShownWhole();
    void tabSwitchCommitsIntoTheShownProfile();
    void enabledStateByMode();
    void preheatBitsPerMode();
    void tfrChartEnabledState();
    void preheatUnitConversion();
    void modeWithoutItem();
    void activeProfileList();
    void copyAndPasteAcrossWindows();
    void keyboardOrder();

private:
    TProfilesPage* page() const { return m_form->TabProfiles; }
    TProfile& shown() const { return Settings.profile[std::size_t(page()->shownProfile())]; }
    void showProfile(int mode, qint32 flags) {
        Settings.profile[0].mode = mode;
        Settings.profile[0].flags = flags;
        m_form->ShowSettings();
    }
    QLocale m_locale;
    std::unique_ptr<TTunerForm> m_form;
};

void TestProfilesPage::init() {
    m_form = ShownTuner();
}

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

// Every text field of a profile: below the minimum, above the maximum (or what the typing
// limit lets through), a "," value, and a text that is no number. The field shows exactly
// what is stored.
void TestProfilesPage::fieldRules() {
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    struct Case {
        const char* typed;
        const char* shown;
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
        {"ProfileLockTemp",
         &TProfile::lockTemp,
         pmTC,
         0,
         {{"-1", "1", 1}, {"101", "100", 100}, {"5,5", "55", 55}, {"x", "0", 0}}},
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
            QVERIFY2(edit->text() == Local(c.shown), (what + " shows " + edit->text().toUtf8()));
            QVERIFY2(Settings.profile[0].*row.field == c.stored, what);
            QCOMPARE(Settings.profile[0].flags, row.flags); // no other field moved
        }
    }
}

void TestProfilesPage::nameField() {
    QLineEdit* name = page()->ProfileName;
    QCOMPARE(name->text(), QString("PROFILE1")); // a file's name may be longer than 6
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClick(name, Qt::Key_Backspace); // shortening a long name is typing too
    QCOMPARE(name->text(), QString("PROFILE"));
    QTest::keyClicks(name, "x");
    QCOMPARE(name->text(), QString("PROFILE")); // but it can't grow past 6

    TypeInto(name, "coil1xyz");
    QCOMPARE(name->text(), QString("COIL1X")); // upper case as typed, a 7th character refused
    TypeInto(name, QString::fromUtf8("ab\u0416c\u00ff\u00e9"));   // Cyrillic refused
    QCOMPARE(name->text(), QString::fromUtf8("ABC\u00ff\u00c9")); // y-umlaut has no Latin-1 capital
    QApplication::clipboard()->setText("Q\tR");
    name->paste(); // a control character can't come in by pasting either
    QCOMPARE(name->text(), QString::fromUtf8("ABC\u00ff\u00c9"));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(Settings.profile[0].name, QString::fromUtf8("ABC\u00ff\u00c9"));

    Enter(name, " ab c ");
    QCOMPARE(Settings.profile[0].name, QString("AB C")); // the link drops blanks at the ends
    QCOMPARE(name->text(), QString("AB C"));
    QCOMPARE(LinkSafeName(QString::fromUtf8("a\u0001b\u0085\u20acc")), QString("ABC"));
}

// A value from a file or the device that is longer than the typing limit is shown whole.
void TestProfilesPage::storedValuesShownWhole() {
    Settings.profile[0].lockRes = 12345;
    Settings.profile[0].TCR = 123456;
    Settings.profile[0].name = "VERYLONGNAME";
    m_form->ShowSettings();
    QCOMPARE(page()->ProfileLockRes->text(), Local("12.345"));
    QCOMPARE(page()->ProfileTCR->text(), QString("123456"));
    QCOMPARE(page()->ProfileName->text(), QString("VERYLONGNAME"));
}

// Typing a voltage and clicking another tab stores the voltage in the profile that was shown
// while typing; the active profile does not change.
void TestProfilesPage::tabSwitchCommitsIntoTheShownProfile() {
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    const TSettings before = Settings;
    QLineEdit* voltage = page()->ProfileVoltage;
    Settings.profile[0].mode = pmVV;
    m_form->ShowSettings();
    voltage->setFocus();
    QVERIFY(voltage->hasFocus());
    TypeInto(voltage, "5.55");
    QTabBar* tabs = page()->TabControl;
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
    QCOMPARE(tabs->currentIndex(), 2);
    QVERIFY(tabs->hasFocus());
    QCOMPARE(page()->shownProfile(), 2);
    QCOMPARE(Settings.profile[0].voltage, 555);
    QCOMPARE(Settings.profile[2].voltage, before.profile[2].voltage);
    QCOMPARE(voltage->text(), Local("4.20"));
    QCOMPARE(Settings.curProfile, 0);

    // The same through the active profile list: the field commits before the tab follows.
    page()->ProfilePowerVW->setFocus();
    Settings.profile[2].mode = pmVW;
    page()->TabControlChange();
    TypeInto(page()->ProfilePowerVW, "33.3");
    page()->ActiveProfile->setFocus();
    page()->ActiveProfile->setCurrentIndex(5);
    QCOMPARE(Settings.profile[2].powerVW, 333);
    QCOMPARE(Settings.profile[5].powerVW, before.profile[5].powerVW);
    QCOMPARE(Settings.curProfile, 5);
}

void TestProfilesPage::enabledStateByMode() {
    const char* names[] = {"ProfileVoltage", "ProfilePowerVW", "ProfilePowerTC", "ProfileTemp",
                           "ProfilePrehEn",  "ProfileRLock",   "ProfileLockRes", "ProfileLockTemp",
                           "ProfileUseTFR",  "ProfileTCR",     "ChartTFR"};
    const bool table[3][std::size(names)] = {
        {true, false, false, false, false, true, true, false, false, false, false},
        {false, true, false, false, true, true, true, false, false, false, false},
        {false, false, true, true, true, true, true, true, true, true, true}};
    for (int mode = 0; mode < 3; ++mode) {
        page()->ProfileMode->setCurrentIndex(mode);
        QCOMPARE(Settings.profile[0].mode, mode);
        for (std::size_t i = 0; i < std::size(names); ++i) {
            auto* control = page()->findChild<QWidget*>(names[i]);
            QVERIFY2(control->isEnabled() == table[mode][i],
                     qPrintable(QString("%1 in mode %2").arg(names[i]).arg(mode)));
        }
        for (const char* always : {"ProfileName", "ProfileMode", "ProfilePAlt", "ProfileInact",
                                   "ProbeResistance", "BitBtn4", "BitBtn5", "BitBtn6"})
            QVERIFY2(page()->findChild<QWidget*>(always)->isEnabled(), always);
    }
}

// One box, one bit per mode: each mode keeps its own, VV writes neither, and the preheat
// fields follow the box.
void TestProfilesPage::preheatBitsPerMode() {
    QCheckBox* box = page()->ProfilePrehEn;
    const auto preheatFieldsEnabled = [this] {
        return page()->ProfilePrehValue->isEnabled() && page()->ProfilePrehUnit->isEnabled() &&
               page()->ProfilePrehTime->isEnabled() && page()->ProfilePrehDelay->isEnabled();
    };
    showProfile(pmVW, pfPrehVW | 64);
    QVERIFY(box->isChecked() && preheatFieldsEnabled());

    page()->ProfileMode->setCurrentIndex(pmVV);
    QVERIFY(!box->isChecked() && !box->isEnabled() && !page()->ProfilePrehValue->isEnabled());
    QCOMPARE(Settings.profile[0].flags, pfPrehVW | 64);
    page()->ProfileMode->setCurrentIndex(pmVW);
    QVERIFY(box->isChecked() && preheatFieldsEnabled());

    page()->ProfileMode->setCurrentIndex(pmTC); // TC's own bit is clear
    QVERIFY(!box->isChecked() && !preheatFieldsEnabled());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    QVERIFY(box->isChecked() && preheatFieldsEnabled());
    QCOMPARE(Settings.profile[0].flags, pfPrehVW | pfPrehTC | 64);
    page()->ProfileMode->setCurrentIndex(pmVW);
    box->setChecked(false); // from code it acts as a click
    QCOMPARE(Settings.profile[0].flags, pfPrehTC | 64);
    QVERIFY(!preheatFieldsEnabled());
    page()->ProfileMode->setCurrentIndex(pmTC);
    QVERIFY(box->isChecked());
}

// After a refresh the chart is enabled exactly when " Use TFR Curve" is checked; choosing TC
// enables it; the box itself is enabled only in TC.
void TestProfilesPage::tfrChartEnabledState() {
    QWidget* chart = page()->TFREditor->ChartTFR;
    showProfile(pmVW, pfUseTFR);
    QVERIFY(chart->isEnabled() && !page()->ProfileUseTFR->isEnabled());
    page()->ProfileMode->setCurrentIndex(pmVV);
    page()->ProfileMode->setCurrentIndex(pmVW);
    QVERIFY(!chart->isEnabled());

    showProfile(pmTC, 0);
    QVERIFY(!chart->isEnabled());
    page()->ProfileMode->setCurrentIndex(pmVV);
    page()->ProfileMode->setCurrentIndex(pmTC);
    QVERIFY(chart->isEnabled());
    page()->ProfileUseTFR->setChecked(true);
    page()->ProfileUseTFR->setChecked(false);
    QVERIFY(!chart->isEnabled());
    QCOMPARE(Settings.profile[0].flags, 0);
}

void TestProfilesPage::preheatUnitConversion() {
    TProfile& p = Settings.profile[0];
    QComboBox* unit = page()->ProfilePrehUnit;
    p.powerVW = 400;
    p.prehValue = 500;
    showProfile(pmVW, pfPrehVW);
    unit->setCurrentIndex(1);
    QCOMPARE(p.prehValue, 125);
    QCOMPARE(page()->ProfilePrehValue->text(), QString("125"));
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

    // Out of the new unit's range: clamped. Without a power to convert against the unit
    // stays, and so does the value.
    p.prehValue = 2000;
    p.powerTC = 10;
    showProfile(pmTC, pfPrehTC);
    unit->setCurrentIndex(1);
    QCOMPARE(p.prehValue, 200);
    p.powerTC = 0;
    p.prehValue = 77;
    showProfile(pmTC, pfPrehTC | pfPrehPerc);
    unit->setCurrentIndex(0);
    QCOMPARE(unit->currentIndex(), 1);
    QCOMPARE(p.flags, pfPrehTC | pfPrehPerc);
    QCOMPARE(p.prehValue, 77);
    QCOMPARE(page()->ProfilePrehValue->text(), QString("77"));
}

// A mode without an item is kept; the page shows every value and picks no preheat bit.
void TestProfilesPage::modeWithoutItem() {
    showProfile(7, pfPrehVW | pfPrehTC);
    QCOMPARE(page()->ProfileMode->currentIndex(), -1);
    for (QWidget* field :
         {static_cast<QWidget*>(page()->ProfileVoltage),
          static_cast<QWidget*>(page()->ProfilePowerVW),
          static_cast<QWidget*>(page()->ProfilePowerTC), static_cast<QWidget*>(page()->ProfileTemp),
          static_cast<QWidget*>(page()->ProfileTCR)})
        QVERIFY(field->isEnabled());
    QVERIFY(!page()->ProfilePrehEn->isChecked() && !page()->ProfilePrehEn->isEnabled());
    Enter(page()->ProfilePowerVW, "20");
    page()->TabControlChange();
    QCOMPARE(Settings.profile[0].mode, 7);
    QCOMPARE(Settings.profile[0].flags, pfPrehVW | pfPrehTC);
    QCOMPARE(Settings.profile[0].powerVW, 200);
    page()->ProfileMode->setCurrentIndex(pmVW);
    QCOMPARE(Settings.profile[0].mode, int(pmVW));
}

void TestProfilesPage::activeProfileList() {
    QComboBox* active = page()->ActiveProfile;
    QTabBar* tabs = page()->TabControl;
    QCOMPARE(active->count(), 8);
    QCOMPARE(active->itemText(7), QString("Profile 8"));
    tabs->setCurrentIndex(2); // a tab edits a profile, it doesn't activate it
    QCOMPARE(Settings.curProfile, 0);
    QCOMPARE(page()->ProfileName->text(), QString("PROFILE3"));

    active->setCurrentIndex(4);
    QCOMPARE(Settings.curProfile, 4);
    QCOMPARE(tabs->currentIndex(), 4);
    QCOMPARE(page()->ProfileName->text(), QString("PROFILE5"));

    Settings.curProfile = 1;
    m_form->ShowSettings();
    QCOMPARE(tabs->currentIndex(), 1);
    for (const qint32 outside : {8, -1}) {
        Settings.curProfile = outside;
        m_form->ShowSettings();
        QCOMPARE(active->currentIndex(), -1);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(page()->ProfileName->text(), QString("PROFILE2"));
        QCOMPARE(Settings.curProfile, outside);
    }
}

void TestProfilesPage::copyAndPasteAcrossWindows() {
    auto second = std::make_unique<TTunerForm>();
    second->ShowSettings();
    TProfilesPage* other = second->TabProfiles;
    QVERIFY(!page()->PasteProfile->isEnabled() && !other->PasteProfile->isEnabled());

    Settings.profile[3].TFR = {11000, 12000, 13000, 14000, 15000};
    Settings.profile[3].flags = pfPrehTC | 64 | 256;
    page()->TabControl->setCurrentIndex(3);
    QTest::mouseClick(page()->CopyProfile, Qt::LeftButton);
    QVERIFY(page()->PasteProfile->isEnabled() && other->PasteProfile->isEnabled());
    auto third = std::make_unique<TTunerForm>(); // opened after the copy
    third->ShowSettings();
    QVERIFY(third->TabProfiles->PasteProfile->isEnabled());

    other->TabControl->setCurrentIndex(6);
    QTest::mouseClick(other->PasteProfile, Qt::LeftButton);
    QCOMPARE(Settings.profile[6], Settings.profile[3]);
    QCOMPARE(other->ProfileName->text(), QString("PROFILE4")); // the copied name is kept
}

void TestProfilesPage::keyboardOrder() {
    const QStringList expected = {
        "ProfileName",     "ProfileMode",      "ProfilePrehValue", "ProfilePrehUnit",
        "ProfilePrehTime", "ProfilePrehDelay", "ProfileTCR",       "ProfilePowerVW",
        "ProfilePowerTC",  "ProfileTemp",      "ProfilePAlt",      "ProfileVoltage",
        "ProfileLockRes",  "ProfileRLock",     "ProfileLockTemp",  "ProfilePrehEn",
        "ProfileInact",    "ProfileUseTFR",    "ProbeResistance"};
    QStringList chain;
    for (QWidget* w = page()->ProfileName; chain.size() < expected.size();
         w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            chain << w->objectName();
    QCOMPARE(chain, expected);
}

QTEST_MAIN(TestProfilesPage)
#include "test_profilespage.moc"
