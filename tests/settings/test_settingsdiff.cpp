// The settings diff: every kind of field shown as the editor shows it (units, decimals,
// code texts, switch items), on the right page, limited to what the model holds, and the
// stored values kept for the command line's plain output.

#include "settings/models.h"
#include "settings/settings.h"
#include "settings/settingsdiff.h"

#include <QtTest>

#include <functional>

using TEdit = std::function<void(TSettings&)>;
Q_DECLARE_METATYPE(TEdit)

namespace {

TMod FullModel() {
    TMod m;
    m.numLogo = 8;
    m.numIPar = 5;
    m.rgbColor = true;
    return m;
}

QString Row(const TShownDiff& d) {
    return PageName(d.page) + " | " + d.item + " | " + d.device + " | " + d.file;
}

QStringList Rows(const TSettings& a, const TSettings& b, const TMod& model = FullModel(),
                 const QLocale& locale = QLocale::c()) {
    QStringList rows;
    const QList<TShownDiff> shown = ShownDiffs(DiffSettings(a, b, model, locale));
    for (const TShownDiff& d : shown)
        rows.append(Row(d));
    return rows;
}

} // namespace

class TestSettingsDiff : public QObject {
    Q_OBJECT
private slots:
    void shownAsTheEditorShowsIt_data();
    void shownAsTheEditorShowsIt();
    void storedValuesAndUploadMarks();
    void limitedToTheModel();
    void groupedByPageAndLocalised();
};

void TestSettingsDiff::shownAsTheEditorShowsIt_data() {
    QTest::addColumn<TEdit>("edit");
    QTest::addColumn<QStringList>("rows");
    const auto P = [](TSettings& s) -> TProfile& { return s.profile[0]; };
    QTest::newRow("power") << TEdit([&](TSettings& s) { P(s).powerVW = 455; })
                           << QStringList{"Profiles | Profile 1: VW Power | 40.0 W | 45.5 W"};
    QTest::newRow("voltage") << TEdit([&](TSettings& s) { s.profile[7].voltage = 371; })
                             << QStringList{"Profiles | Profile 8: Voltage | 4.20 V | 3.71 V"};
    QTest::newRow("mode outside the list")
        << TEdit([&](TSettings& s) { P(s).mode = 9; })
        << QStringList{"Profiles | Profile 1: Mode | VW | (code 9)"};
    QTest::newRow("temperature in the image's unit")
        << TEdit([&](TSettings& s) { P(s).temperature = 450; })
        << QStringList{"Profiles | Profile 1: Temperature | 220 \u00B0C | 450 \u00B0C"};
    QTest::newRow("preheat switched to percent")
        << TEdit([&](TSettings& s) {
               P(s).flags |= pfPrehPerc;
               P(s).prehValue = 50;
           })
        << QStringList{"Profiles | Profile 1: Preheat Unit | W | %",
                       "Profiles | Profile 1: Preheat Value | 40.0 W | 50 %"};
    QTest::newRow("check boxes and a bit without control")
        << TEdit([&](TSettings& s) { P(s).flags |= pfInactive | 64; })
        << QStringList{"Profiles | Profile 1: Profile is Disabled | No | Yes",
                       "Profiles | Profile 1: Other Switch Bits | 0x0 | 0x40"};
    QTest::newRow("base resistance")
        << TEdit([&](TSettings& s) { P(s).lockRes = 512; })
        << QStringList{"Profiles | Profile 1: R Base | 0.000 \u03A9 | 0.512 \u03A9"};
    QTest::newRow("TFR") << TEdit([&](TSettings& s) {
        P(s).TFR[1] = 12345;
    }) << QStringList{"Profiles | Profile 1: TFR at 150 \u00B0C | 1.0000 | 1.2345"};
    QTest::newRow("active profile")
        << TEdit([](TSettings& s) { s.curProfile = 3; })
        << QStringList{"Profiles | Active Profile | Profile 1 | Profile 4"};
    QTest::newRow("device switches on their pages")
        << TEdit([](TSettings& s) { s.flags ^= sfTempUnitF | sfCharger | sfScreenRotated | 65536; })
        << QStringList{
               "Mod | Temp. Unit | \u00B0C | \u00B0F", "Mod | Other Switch Bits | 0x0 | 0x10000",
               "Screen | Orientation | Normal | Rotated", "Battery | Charger | Enabled | Disabled"};
    QTest::newRow("seconds") << TEdit([](TSettings& s) { s.timeFadeIn = 25; })
                             << QStringList{"Screen | Fade-In | 1.0 s | 2.5 s"};
    QTest::newRow("stored values that show alike")
        << TEdit([](TSettings& s) { s.timeLogo = 1040; })
        << QStringList{"Screen | Delay: Logo | 1.000 s | 1.040 s"};
    QTest::newRow("indicator") << TEdit([](TSettings& s) {
        s.indPar[2][4] = 5;
    }) << QStringList{"Mod | TC Mode: Indicator 5 | Battery 2 Voltage | Coil Temperature"};
    QTest::newRow("brightness and time") << TEdit([](TSettings& s) {
        s.brTime[5][btBrightness] = 50;
        s.brTime[5][btTime] = 30;
    })
                                         << QStringList{"Screen | Brightness: Locked | 75 % | 50 %",
                                                        "Screen | Time: Lock | 0 s | 30 s"};
    QTest::newRow("LED colours")
        << TEdit([](TSettings& s) {
               s.brTime[3][btColor] = 31744;
               s.brTime[0][btColor] = LedEffectBit | 2;
           })
        << QStringList{"Screen | LED Color: Firing | Solid Color #F80000 | Effect 2",
                       "Screen | LED Color: Charging | Rainbow | Solid Color #F80000"};
    QTest::newRow("logo screen") << TEdit([](TSettings& s) { s.logoScreen[1] = 1; })
                                 << QStringList{"Theme | Logo 2: Show in | None | Welcome"};
    QTest::newRow("key action") << TEdit([](TSettings& s) {
        s.keyAction[7] = 33;
    }) << QStringList{"Buttons | Key Action: Fire Plus Minus | None | Start Game"};
    QTest::newRow("battery") << TEdit([](TSettings& s) {
        s.battProfile = 8;
        s.v2p[2][vpVoltage] = 366;
        s.v2p[V2PEnergyRow][vpPercent] = 8500;
    })
                             << QStringList{
                                    "Battery | Batt. Profile | User Defined | Sony VTC6",
                                    "Battery | Discharge Curve 3: Voltage | 3.65 V | 3.66 V",
                                    "Battery | Energy | 9.000 Wh per Cell | 8.500 Wh per Cell"};
}

void TestSettingsDiff::shownAsTheEditorShowsIt() {
    QFETCH(TEdit, edit);
    QFETCH(QStringList, rows);
    const TSettings device = DefaultSettings();
    TSettings editor = device;
    edit(editor);
    QCOMPARE(Rows(device, editor), rows);
    QVERIFY(Rows(device, device).isEmpty());
}

void TestSettingsDiff::storedValuesAndUploadMarks() {
    TSettings a = DefaultSettings();
    TSettings b = a;
    b.ID = 4;
    b.Version = "1.5.1";
    b.battRemNrg = 12345;
    b.flags |= sfLockMod | sfStealthMode;
    b.profile[1].name = "MINE";
    const QList<TFieldDiff> diffs = DiffSettings(a, b, FullModel());
    QCOMPARE(diffs.size(), 5);
    const auto field = [&](int i) {
        const TFieldDiff& d = diffs.at(i);
        return QStringList{d.field, d.device, d.file, d.uploaded ? "sent" : "not sent"};
    };
    QCOMPARE(field(0), (QStringList{"Settings.ID", "0", "4", "not sent"}));
    QCOMPARE(diffs.at(0).shown.at(0).file, QString("Zedo Dizerado (ID 4)"));
    QCOMPARE(diffs.at(0).shown.at(0).device, QString("Unknown Device (ID 0)"));
    QCOMPARE(field(1), (QStringList{"Settings.Version", "0.0.0", "1.5.1", "not sent"}));
    QCOMPARE(field(2), (QStringList{"Settings.flags", "96", "101", "sent"}));
    QCOMPARE(diffs.at(2).shown.size(), 2); // one row per switch
    QCOMPARE(field(3), (QStringList{"Settings.battRemNrg", "30000", "12345", "not sent"}));
    QCOMPARE(diffs.at(3).shown.at(0).file, QString("12.345 Wh"));
    QCOMPARE(field(4), (QStringList{"Profile2.name", "PROFILE2", "MINE", "sent"}));
}

void TestSettingsDiff::limitedToTheModel() {
    TSettings a = DefaultSettings();
    TSettings b = a;
    b.logoScreen[3] = 2;
    b.logoScreen[4] = 2;
    b.indPar[0][2] = 9;
    b.indPar[0][3] = 9;
    b.brTime[0][btColor] = 0;
    TMod small;
    small.numLogo = 4;
    small.numIPar = 3;
    QCOMPARE(Rows(a, b, small), (QStringList{"Mod | VV Mode: Indicator 3 | Power | Battery 1 %",
                                             "Theme | Logo 4: Show in | None | Goodbye"}));
    QCOMPARE(Rows(a, b).size(), 5);
}

void TestSettingsDiff::groupedByPageAndLocalised() {
    TSettings a = DefaultSettings();
    TSettings b = a;
    b.v2p[0][vpPercent] = 5;    // Battery, last in the file
    b.keyAction[0] = 1;         // Buttons
    b.profile[4].powerTC = 333; // Profiles
    b.pidRegP = 700;            // Mod
    b.flags |= sfSwapButtons;   // Buttons, first in the file
    const QStringList rows = Rows(a, b, FullModel(), QLocale(QLocale::German));
    QCOMPARE(rows, (QStringList{"Profiles | Profile 5: TC Power | 40,0 W | 33,3 W",
                                "Mod | Regulator P | 600 | 700",
                                "Buttons | Buttons Swap | Disabled | Enabled",
                                "Buttons | Key Action: 2 x Fire | None | Main Menu",
                                "Battery | Discharge Curve 1: Charge | 0,00 % | 0,05 %"}));
}

QTEST_GUILESS_MAIN(TestSettingsDiff)
#include "test_settingsdiff.moc"
