// The monitor's row table: where each value comes from, its label and CSV cell, the
// missing rules, the chart mapping and the mark text; and what a failed poll leaves.

#include "monitor/monitorcsv.h"
#include "monitor/monitorrows.h"
#include "settings/settings.h"

#include <QtTest>

#include <cmath>

namespace {

int RowOf(const char* name) {
    for (int i = 0; i < MonitorRowCount; ++i)
        if (qstrcmp(MonitorRows()[size_t(i)].name, name) == 0)
            return i;
    return -1;
}

// A poll of a two-cell device in VW mode, profile 2 active, not firing.
void Fill(TMonitorData& m, TSettings& s) {
    m = TMonitorData{};
    m.obtained = AllMonitorReads;
    m.battVolt[0] = 812;
    m.battVolt[1] = 406;
    m.battVolt[2] = 406;
    m.battLevel[0] = 87;
    m.atm[AtmResistance] = 512;
    m.atm[AtmTemperature] = AtmNoTemperature;
    m.lastAtm[AtmVoltage] = 360;
    m.lastAtm[AtmResistance] = 480;
    m.lastAtm[AtmCurrent] = 750;
    m.lastAtm[AtmPower] = 0;
    m.lastAtm[AtmTemperature] = AtmNoTemperature;
    m.lastAtm[AtmTime] = 1250;
    m.coldRes = 498;
    m.boardTemp = -3;
    m.roomTemp = 22;
    m.peakTemp = 231;
    m.errors = -1;
    m.lastEnergy = 17;
    s = DefaultSettings();
    s.curProfile = 2;
    s.profile[2].voltage = 375;
    s.profile[2].powerVW = 255;
    s.profile[2].powerTC = 300;
    s.profile[2].temperature = 215;
    s.cntPuffs = 42;
    s.battRemNrg = 12345;
}

} // namespace

class TestMonitorRows : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void rows_data();
    void rows();
    void firingValues();
    void missingProfile();
    void failedPoll();
    void csvRow();
};

void TestMonitorRows::rows_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("label"); // C locale
    QTest::addColumn<QString>("germanLabel");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<double>("y"); // the chart point; NaN: a gap
    QTest::addColumn<QString>("mark");
    const double gap = std::nan("");
    // name, label, German label, CSV cell, Y on 0..100, mark text
    const auto row = [](const char* name, const char* label, const char* german, const char* cell,
                        double y, const char* mark) {
        QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(label)
                            << QString::fromUtf8(german) << QString::fromUtf8(cell) << y
                            << QString::fromUtf8(mark);
    };
    row("Batt. Pack", "8.12 V", "8,12 V", "8.12", 41.5, "8.12");
    row("Batt. Cell 3", "0.00 V", "0,00 V", "0.00", -2.4 / 1.9 * 100, "0.00");
    row("Batt. Level", "87 %", "87 %", "87", 87, "87");
    row("Power", "--- W", "--- W", "", gap, "");
    row("Power VW", "25.5 W", "25,5 W", "25.5", 12.75, "25.5");
    row("Power TC", "30.0 W", "30,0 W", "30.0", 15, "30.0");
    row("Temperature", "--- °C", "--- °C", "", gap, "");
    row("Temp. Set", "215 °C", "215 °C", "215", 53.75, "215");
    row("Temp. Peak", "231 °C", "231 °C", "231", 57.75, "231");
    row("Voltage", "--- V", "--- V", "", gap, "");
    row("Voltage Set", "3.75 V", "3,75 V", "3.75", 3.75 / 8.6 * 100, "3.75");
    row("Current", "--- A", "--- A", "", gap, "");
    row("Cold Ohms", "0.498 Ω", "0,498 Ω", "0.498", 0.498 / 3 * 100, "0.498");
    row("Live Ohms", "0.512 Ω", "0,512 Ω", "0.512", 0.512 / 3 * 100, "0.512");
    row("Board Temp.", "-3 °C", "-3 °C", "-3", -3, "-3");
    row("Room Temp.", "22 °C", "22 °C", "22", 22, "22");
    row("Puffs", "42", "42", "42", 42 / 9.99, "42");
    row("Time", "--- s", "--- s", "", gap, "");
    // "%u" of -1: all 32 bits unsigned, plotted far above the band.
    row("Errors", "4294967295", "4294967295", "4294967295", 4294967295.0 / 2.55, "4294967295");
    row("Last Energy", "17 mWh", "17 mWh", "17", 17 / 9.99, "17");
    row("Last Power", "0.0 W", "0,0 W", "0.0", 0, "0.0"); // no missing rule
    row("Last Temp.", "--- °C", "--- °C", "", gap, "");
    row("Last Voltage", "3.60 V", "3,60 V", "3.60", 3.6 / 8.6 * 100, "3.60");
    row("Last Current", "7.50 A", "7,50 A", "7.50", 7.5 / 45 * 100, "7.5");
    row("Last Resist.", "0.480 Ω", "0,480 Ω", "0.480", 16, "0.480");
    row("Last Time", "1.250 s", "1,250 s", "1.250", 12.5, "1.3"); // mark: 1 decimal
    row("Batt. Charge", "12.345 Wh", "12,345 Wh", "12.345", 12.345 / 30 * 100, "12.3");
}

void TestMonitorRows::rows() {
    QFETCH(QString, name);
    QFETCH(QString, label);
    QFETCH(QString, germanLabel);
    QFETCH(QString, cell);
    QFETCH(double, y);
    QFETCH(QString, mark);
    const int i = RowOf(name.toUtf8().constData());
    QVERIFY(i >= 0);
    TMonitorData m;
    TSettings s;
    Fill(m, s);
    const TMonitorSample sample = CaptureMonitorSample(m, s, true, 0);
    QCOMPARE(RowLabel(sample, i, QLocale::c()), label);
    QCOMPARE(RowLabel(sample, i, QLocale(QLocale::German)), germanLabel);
    QCOMPARE(RowCsvCell(sample, i), cell);
    const std::optional<double> point = SamplePoint(sample, i);
    QCOMPARE(point.has_value(), !std::isnan(y));
    if (!point)
        return;
    QVERIFY2(std::abs(*point - y) < 1e-9 * std::max(1.0, std::abs(y)),
             qPrintable(QString::number(*point)));
    QCOMPARE(RowMarkText(i, *point, QLocale::c()), mark);
}

// While firing the live values have their points; the German mark has a comma; a
// negative value keeps its sign below 1.
void TestMonitorRows::firingValues() {
    TMonitorData m;
    TSettings s;
    Fill(m, s);
    m.atm[AtmVoltage] = 420;
    m.atm[AtmCurrent] = 1312;
    m.atm[AtmPower] = 551;
    m.atm[AtmTemperature] = 0; // a cold coil in TC mode is a value, not missing
    m.atm[AtmTime] = 1;
    m.lastAtm[AtmCurrent] = -5;
    const TMonitorSample sample = CaptureMonitorSample(m, s, true, 0);
    QCOMPARE(RowLabel(sample, RowOf("Last Current"), QLocale(QLocale::German)), QString("-0,05 A"));
    QCOMPARE(RowCsvCell(sample, RowOf("Last Current")), QString("-0.05"));
    const QLocale c = QLocale::c();
    QCOMPARE(RowLabel(sample, RowOf("Voltage"), c), QString("4.20 V"));
    QCOMPARE(RowLabel(sample, RowOf("Current"), c), QString("13.12 A"));
    QCOMPARE(RowLabel(sample, RowOf("Power"), c), QString("55.1 W"));
    QCOMPARE(RowLabel(sample, RowOf("Temperature"), c), QString::fromUtf8("0 °C"));
    QCOMPARE(RowLabel(sample, RowOf("Time"), c), QString("0.001 s"));
    QCOMPARE(*SamplePoint(sample, RowOf("Power")), 27.55);
    QCOMPARE(RowMarkText(RowOf("Current"), *SamplePoint(sample, RowOf("Current")),
                         QLocale(QLocale::German)),
             QString("13,1"));
}

// No valid active profile: the profile's rows have no value (and no point).
void TestMonitorRows::missingProfile() {
    TMonitorData m;
    TSettings s;
    Fill(m, s);
    s.curProfile = 9;
    const TMonitorSample sample = CaptureMonitorSample(m, s, true, 0);
    for (const char* name : {"Power VW", "Power TC", "Temp. Set", "Voltage Set"}) {
        QCOMPARE(RowLabel(sample, RowOf(name), QLocale::c()), RowMissingText(RowOf(name)));
        QVERIFY(!SamplePoint(sample, RowOf(name)));
    }
    QVERIFY(SamplePoint(sample, RowOf("Puffs")));
}

// A poll that lost the device after "BVLT": what was read shows, the rest is "---", and
// no curve gets a point, not even from the values that were read.
void TestMonitorRows::failedPoll() {
    TMonitorData m;
    TSettings s;
    Fill(m, s);
    m.obtained = ReadId | ReadBnrg | ReadLnrg | ReadBvlt;
    const TMonitorSample sample = CaptureMonitorSample(m, s, false, 0);
    const QLocale c = QLocale::c();
    QCOMPARE(RowLabel(sample, RowOf("Batt. Pack"), c), QString("8.12 V"));
    QCOMPARE(RowLabel(sample, RowOf("Batt. Charge"), c), QString("12.345 Wh"));
    QCOMPARE(RowLabel(sample, RowOf("Last Energy"), c), QString("17 mWh"));
    QCOMPARE(RowLabel(sample, RowOf("Batt. Level"), c), QString("--- %"));
    QCOMPARE(RowLabel(sample, RowOf("Puffs"), c), QString("---"));
    QCOMPARE(RowLabel(sample, RowOf("Power VW"), c), QString("--- W"));
    QCOMPARE(RowLabel(sample, RowOf("Last Resist."), c), QString::fromUtf8("--- Ω"));
    QCOMPARE(RowCsvCell(sample, RowOf("Batt. Pack")), QString("8.12"));
    QCOMPARE(RowCsvCell(sample, RowOf("Errors")), QString());
    for (int i = 0; i < MonitorRowCount; ++i)
        QVERIFY2(!SamplePoint(sample, i), MonitorRows()[size_t(i)].name);
}

void TestMonitorRows::csvRow() {
    TMonitorData m;
    TSettings s;
    Fill(m, s);
    const TMonitorSample sample = CaptureMonitorSample(m, s, true, 1700000000123);
    QCOMPARE(MonitorCsvRow(sample),
             QString::fromUtf8("2023-11-14T22:13:20.123Z,8.12,4.06,4.06,0.00,87,,25.5,30.0,,215,"
                               "231,,3.75,,0.498,0.512,-3,22,42,,4294967295,17,0.0,,3.60,7.50,"
                               "0.480,1.250,12.345"));
    QCOMPARE(MonitorCsvHeader().split(',').size(), MonitorRowCount + 1);
}

QTEST_GUILESS_MAIN(TestMonitorRows)
#include "test_monitorrows.moc"
