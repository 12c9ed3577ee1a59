// Model table, version comparison and the firmware check, the latter two against the
// virtual device.

#include "common/emulink.h"
#include "link/transport.h"
#include "settings/models.h"
#include "settings/settings.h"

#include <QTest>

class TestModels : public QObject {
    Q_OBJECT
private slots:
    void init() {
        ResetModels();
        ResetTransport();
        Settings.ID = 0;
    }
    void selectModel();
    void compareVersions_data();
    void compareVersions();
    void appVersion();
    void readModel();
    void readModelFailure();
    void checkFirmware_data();
    void checkFirmware();
};

void TestModels::selectModel() {
    QCOMPARE(ModInfo.ID, 0); // start-up zeros, not the "Unknown Device" row
    QVERIFY(ModInfo.name.isEmpty());
    QCOMPARE(ModInfo.numIPar, 0);
    SelectModel(4);
    QCOMPARE(ModInfo.ID, 4);
    QCOMPARE(ModInfo.name, QStringLiteral("Zedo Dizerado"));
    QCOMPARE(ModInfo.scrWidth, 128);
    QCOMPARE(ModInfo.scrHeight, 64);
    QVERIFY(ModInfo.scrColor);
    QVERIFY(ModInfo.rgbColor);
    QCOMPARE(ModInfo.numLogo, 4);
    QCOMPARE(ModInfo.numIPar, 5);
    QCOMPARE(ModInfo.numBatt, 2);
    // An unknown ID keeps everything but the ID.
    SelectModel(7);
    QCOMPARE(ModInfo.ID, 7);
    QCOMPARE(ModInfo.name, QStringLiteral("Zedo Dizerado"));
    QVERIFY(ModInfo.rgbColor);
    SelectModel(0);
    QCOMPARE(ModInfo.name, QStringLiteral("Unknown Device"));
    QCOMPARE(ModInfo.numLogo, 0);
    QCOMPARE(ModInfo.scrHeight, 32);
}

void TestModels::compareVersions_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("result");
    QTest::newRow("equal") << "1.5.1"
                           << "1.5.1" << 0;
    QTest::newRow("older") << "1.5.0"
                           << "1.5.1" << 1;
    QTest::newRow("newer minor") << "1.6.0"
                                 << "1.5.1" << -1;
    QTest::newRow("newer major") << "2.0.0"
                                 << "1.5.1" << -1;
    QTest::newRow("numeric parts") << "1.10.0"
                                   << "1.9.0" << -1;
    QTest::newRow("first difference decides") << "1.4.9"
                                              << "1.5.0" << 1;
    QTest::newRow("non-number is -1") << "1.x.1"
                                      << "1.5.1" << 1;
    QTest::newRow("both non-numbers") << "1.x.1"
                                      << "1.y.1" << 0;
    QTest::newRow("fewer parts") << "1.5"
                                 << "1.5.1" << 0;
    QTest::newRow("more parts") << "1.5.1.7"
                                << "1.5.1" << 0;
    QTest::newRow("empty") << ""
                           << "1.5.1" << 0;
    QTest::newRow("both empty") << ""
                                << "" << 0;
    QTest::newRow("trailing dot is an empty part") << "1.5."
                                                   << "1.5.1" << 1;
    QTest::newRow("blanks around parts") << " 1 . 5 . 0 "
                                         << "1.5.1" << 1;
    QTest::newRow("blank ends a part") << "1 5.1"
                                       << "1.5.1" << 0;
    QTest::newRow("empty middle part") << "1..1"
                                       << "1.5.1" << 1;
    QTest::newRow("beyond 32 bits") << "1.99999999999.1"
                                    << "1.5.1" << 1;
}

void TestModels::compareVersions() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, result);
    QCOMPARE(CompareVersions(a, b), result);
}

void TestModels::appVersion() {
    QCOMPARE(AppVersion(), QStringLiteral("1.5.1"));
    QCOMPARE(AppBuild(), 135);
    QCOMPARE(FirmwareRefusalText(QStringLiteral("1.5.0")),
             QStringLiteral("Incompatible firmware version (1.5.0)\rPlease update firmware"));
}

void TestModels::readModel() {
    EmuLink link(2);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    QVERIFY(ReadModel());
    QCOMPARE(Settings.ID, 2);
    QCOMPARE(ModInfo.ID, 2);
    QCOMPARE(ModInfo.name, QStringLiteral("Dozore Plus"));
    QCOMPARE(ProgressBar().Max(), 1);
    QCOMPARE(ProgressBar().Position(), 0);
    QCOMPARE(PortBusy(), 0);
    QCOMPARE(link.received(), QList<QByteArray>{"ID?"});
}

void TestModels::readModelFailure() {
    EmuLink link(4);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    SelectModel(4);
    Settings.ID = 4;
    TEmuFaults faults;
    faults.errorFor = "ID";
    link.emu().setFaults(faults);
    QVERIFY(!ReadModel());
    QCOMPARE(Settings.ID, 0);
    QCOMPARE(ModInfo.name, QStringLiteral("Unknown Device"));
    QCOMPARE(ProgressBar().Position(), 1); // left where the failed read put it
    QCOMPARE(PortBusy(), 0);
    QCOMPARE(link.received().size(), 3);

    // Not an integer: no retry, also the Unknown Device.
    faults.errorFor.clear();
    faults.malformedFor = "ID";
    faults.malformedValue = "two";
    link.emu().setFaults(faults);
    SelectModel(4);
    QVERIFY(!ReadModel());
    QCOMPARE(ModInfo.ID, 0);
    QCOMPARE(PortBusy(), 0);
}

void TestModels::checkFirmware_data() {
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<bool>("passes");
    QTest::newRow("same") << QByteArray("1.5.1") << true;
    QTest::newRow("older") << QByteArray("1.5.0") << false;
    QTest::newRow("newer") << QByteArray("1.6.0") << true;
    QTest::newRow("two digits") << QByteArray("1.10.0") << true;
    QTest::newRow("garbled part") << QByteArray("1.x.1") << false;
    QTest::newRow("two parts") << QByteArray("1.5") << true;
    QTest::newRow("four parts") << QByteArray("1.5.1.7") << true;
}

void TestModels::checkFirmware() {
    QFETCH(QByteArray, device);
    QFETCH(bool, passes);
    EmuLink link(1, device);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    QString version;
    bool ok = false;
    {
        TSequence sequence(1);
        ok = CheckFirmware(version);
        QCOMPARE(PortBusy(), 1);
    }
    QCOMPARE(PortBusy(), 0); // the refusal is shown only after the port is released
    QCOMPARE(ok, passes);
    QCOMPARE(version, QString::fromLatin1(device));
    const auto refusal = TakeFirmwareRefusal();
    QCOMPARE(refusal.has_value(), !passes);
    if (refusal)
        QCOMPARE(*refusal, QString::fromLatin1(device));
    QVERIFY(!TakeFirmwareRefusal().has_value()); // taken once

    // A refusal nobody took is dropped by the next check, which then tells only its own.
    if (passes)
        return;
    {
        TSequence sequence(1);
        CheckFirmware(version);
        link.emu().setFaults([] {
            TEmuFaults f;
            f.errorFor = "VER";
            return f;
        }());
        QVERIFY(CheckFirmware(version) || LinkLost);
    }
    QVERIFY(!TakeFirmwareRefusal().has_value());
}

QTEST_GUILESS_MAIN(TestModels)
#include "test_models.moc"
