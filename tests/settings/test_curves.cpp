// Decimal numbers as typed and shown (parse, clamp, round, format) and the two curve files.

#include "settings/curvecsv.h"
#include "settings/numbers.h"

#include <QtTest>

class TestCurves : public QObject {
    Q_OBJECT
private slots:
    void parsingAcceptsEitherSeparator_data();
    void parsingAcceptsEitherSeparator();
    void clampShowsWhatItStores_data();
    void clampShowsWhatItStores();
    void tfrFileRoundTrip();
    void tfrFileLoadsAllOrNothing();
    void batteryFileOfTheGenericCurve();
    void batteryFileLoadsAllOrNothing();
};

void TestCurves::parsingAcceptsEitherSeparator_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    for (const char* locale : {"en_US", "de_DE"}) {
        QTest::addRow("%s 4.2", locale) << locale << "4.2" << 4.2;
        QTest::addRow("%s 4,2", locale) << locale << "4,2" << 4.2;
        QTest::addRow("%s blanks", locale) << locale << " 12 " << 12.0;
        QTest::addRow("%s empty", locale) << locale << "" << 0.0;
        QTest::addRow("%s text", locale) << locale << "abc" << 0.0;
        QTest::addRow("%s two separators", locale) << locale << "1,234.5" << 0.0;
        QTest::addRow("%s infinity", locale) << locale << "inf" << 0.0;
        QTest::addRow("%s huge", locale) << locale << "1e999" << 0.0;
        QTest::addRow("%s negative", locale) << locale << "-1.5" << -1.5;
    }
}

void TestCurves::parsingAcceptsEitherSeparator() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(ParseFloat(text, QLocale(locale)), value);
}

void TestCurves::clampShowsWhatItStores_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("shown"); // with "." as separator; "," in the de_DE run
    QTest::newRow("power tie to even") << "12.25" << 1 << 1.0 << 200.0 << 10 << 122 << "12.2";
    QTest::newRow("power tie up") << "12.75" << 1 << 1.0 << 200.0 << 10 << 128 << "12.8";
    QTest::newRow("voltage comma") << "4,2" << 2 << 1.0 << 8.4 << 100 << 420 << "4.20";
    QTest::newRow("above max") << "99999" << 0 << 0.0 << 65535.0 << 1 << 65535 << "65535";
    QTest::newRow("empty to min") << "" << 0 << 1.0 << 6000.0 << 1 << 1 << "1";
    QTest::newRow("info zero") << "0" << 1 << 0.1 << 60.0 << 1000 << 100 << "0.1";
    QTest::newRow("logo ms") << "1.25" << 1 << 0.0 << 60.0 << 1000 << 1200 << "1.2";
    QTest::newRow("fade tenths") << "2.5" << 1 << 0.0 << 60.0 << 10 << 25 << "2.5";
    QTest::newRow("lock whole") << "12.7" << 0 << 0.0 << 600.0 << 1 << 13 << "13";
    QTest::newRow("energy") << "45" << 3 << 0.0 << 30.0 << 1000 << 30000 << "30.000";
    QTest::newRow("negative to zero") << "-0.04" << 1 << -5.0 << 5.0 << 10 << 0 << "0.0";
}

void TestCurves::clampShowsWhatItStores() {
    QFETCH(QString, text);
    QFETCH(int, decimals);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(int, scale);
    QFETCH(int, stored);
    QFETCH(QString, shown);
    for (const char* name : {"en_US", "de_DE"}) {
        const QLocale locale(name);
        const TClamped result = ClampValue(text, decimals, min, max, scale, locale);
        QCOMPARE(result.stored, stored);
        QString expected = shown;
        expected.replace('.', locale.decimalPoint());
        QCOMPARE(result.shown, expected);
        // Shown again from the stored value, the field reads the same.
        QCOMPARE(FormatStored(result.stored, decimals, scale, locale), expected);
    }
}

void TestCurves::tfrFileRoundTrip() {
    QCOMPARE(FormatTfrCsv({10000, 10000, 10000, 10000, 10000}),
             QByteArray("\"Temperature (degC)\",\"Electrical Resistivity\"\r\n"
                        "100,1.0000\r\n150,1.0000\r\n200,1.0000\r\n250,1.0000\r\n300,1.0000\r\n"));
    QLocale::setDefault(QLocale(QLocale::German)); // "," in the user's locale changes nothing
    const TTfrCurve curve{12000, 12346, 9, 0, 99999};
    const QByteArray text = FormatTfrCsv(curve);
    QVERIFY(text.contains("150,1.2346\r\n"));
    QCOMPARE(ParseTfrCsv(text), std::optional<TTfrCurve>(curve));
    QLocale::setDefault(QLocale::c());
}

void TestCurves::tfrFileLoadsAllOrNothing() {
    const auto load = [](const char* text) { return ParseTfrCsv(QByteArray(text)); };
    // The text after the first comma is the value; a non-number is 0; LF or CR alone work.
    QCOMPARE(load("h\n100,1,2345\n150,1.23456\r200,abc\r\n250,2\n300,3"),
             std::optional<TTfrCurve>(TTfrCurve{12345, 12346, 0, 20000, 30000}));
    QCOMPARE(load("\xEF\xBB\xBFh\n1,1\n1,1\n1,1\n1,1\n1,1\n"),
             std::optional<TTfrCurve>(TTfrCurve{10000, 10000, 10000, 10000, 10000}));
    QVERIFY(!load("h\n100,1\n150,1\n200,1\n250,1\n"));          // a line missing
    QVERIFY(!load("h\n100,1\n150;1.2\n200,1\n250,1\n300,1\n")); // no comma
    QVERIFY(!load(""));
}

void TestCurves::batteryFileOfTheGenericCurve() {
    const TV2PTable generic = DefaultSettings().v2p;
    QCOMPARE(FormatBatteryCsv(generic),
             QByteArray("\"Battery Charge (%)\",\"Cell Voltage (V)\"\r\n"
                        "0.00,3.10\r\n3.70,3.52\r\n7.65,3.65\r\n18.09,3.69\r\n28.18,3.73\r\n"
                        "39.73,3.78\r\n51.15,3.82\r\n64.34,3.89\r\n76.60,3.99\r\n89.43,4.10\r\n"
                        "100.00,4.20\r\n\"Battery Energy (Wh)\",\"Cut-Off Voltage (V)\"\r\n"
                        "9.000,2.50\r\n"));
    QCOMPARE(ParseBatteryCsv(FormatBatteryCsv(generic)), std::optional<TV2PTable>(generic));
}

void TestCurves::batteryFileLoadsAllOrNothing() {
    QByteArray points = "heading\r\n3,7;3,52\r\nabc,4.2\r\n";
    for (int i = 0; i < 9; ++i)
        points += "50,3.8\r\n";
    const auto table = ParseBatteryCsv(points); // 12 lines: energy and cut-off defaulted
    QVERIFY(table);
    QCOMPARE((*table)[0], (std::array<qint32, 2>{300, 0}));
    QCOMPARE((*table)[1], (std::array<qint32, 2>{0, 420}));
    QCOMPARE((*table)[V2PEnergyRow], (std::array<qint32, 2>{18000, 250}));
    QVERIFY(!ParseBatteryCsv(points + "second heading\r\n")); // 13 lines: line 14 missing
    const auto full = ParseBatteryCsv(points + "second heading\r\n8.5,3\r\nignored\r\n");
    QVERIFY(full);
    QCOMPARE((*full)[V2PEnergyRow], (std::array<qint32, 2>{8500, 300}));
    QVERIFY(!ParseBatteryCsv("heading\r\n1,2\r\n3;4\r\n"));
}

QTEST_GUILESS_MAIN(TestCurves)
#include "test_curves.moc"
