// Port detection over a fake sysfs tree, and the comparison of port names by device node.

#include "fakesys.h"
#include "link/portdetect.h"

#include <QTemporaryDir>
#include <QtTest>

class TestPortDetect : public QObject {
    Q_OBJECT
private slots:
    void lastMatchWinsInNaturalOrder();
    void deviceWithoutUsbIdentity();
    void criteriaIgnoreLetterCase();
    void missingTreeFindsNothing();
    void samePortByDeviceNode();
};

void TestPortDetect::lastMatchWinsInNaturalOrder() {
    FakeSys sys;
    sys.addUsbTty("ttyACM10", "0483", "5740");
    sys.addUsbTty("ttyUSB0", "0403", "6001"); // another vendor, listed after the matches
    sys.addUsbTty("ttyACM2", "0483", "5740");
    sys.addVirtualTty("tty0");

    QStringList names;
    for (const auto& d : ListSerialDevices(sys.root()))
        names << d.portName;
    QCOMPARE(names, QStringList({"ttyACM2", "ttyACM10", "ttyUSB0"}));

    QCOMPARE(DetectPort("USB", "0483", "5740", sys.root()), QString("ttyACM10"));
    QCOMPARE(DetectPort("USB", "0403", "", sys.root()), QString("ttyUSB0"));
    QCOMPARE(DetectPort("USB", "0483", "5741", sys.root()), QString());
}

void TestPortDetect::deviceWithoutUsbIdentity() {
    FakeSys sys;
    sys.addUsbTty("ttyACM0", "0483", "5740");
    sys.addPlatformTty("ttyS0");
    sys.addPlatformTty("ttyS1", "0"); // placeholder without hardware: not listed

    const auto devices = ListSerialDevices(sys.root());
    QCOMPARE(devices.size(), 2);
    QCOMPARE(devices.at(1).portName, QString("ttyS0"));
    QCOMPARE(devices.at(1).bus, QString("PLATFORM"));
    QVERIFY(devices.at(1).vendor.isEmpty());
    QCOMPARE(devices.at(0).bus, QString("USB"));

    // Without a vendor the port matches only criteria that leave the vendor open.
    QCOMPARE(DetectPort("", "", "", sys.root()), QString("ttyS0"));
    QCOMPARE(DetectPort("", "0483", "", sys.root()), QString("ttyACM0"));
    QCOMPARE(DetectPort("USB", "", "", sys.root()), QString("ttyACM0"));
}

void TestPortDetect::criteriaIgnoreLetterCase() {
    FakeSys sys;
    sys.addUsbTty("ttyACM0", "0483", "5740");
    sys.addUsbTty("ttyACM1", "1a86", "7523");
    QCOMPARE(DetectPort("usb", "0483", "5740", sys.root()), QString("ttyACM0"));
    QCOMPARE(DetectPort("Usb", "1A86", "7523", sys.root()), QString("ttyACM1"));
}

void TestPortDetect::missingTreeFindsNothing() {
    QTemporaryDir dir;
    QVERIFY(ListSerialDevices(dir.path() + "/none").isEmpty());
    QCOMPARE(DetectPort("USB", "0483", "5740", dir.path() + "/none"), QString());
}

void TestPortDetect::samePortByDeviceNode() {
    QVERIFY(SamePort("ttyACM0", "/dev/ttyACM0"));
    QVERIFY(SamePort(" ttyACM0 ", "/dev//ttyACM0"));
    QVERIFY(!SamePort("ttyACM0", "ttyACM1"));
    QVERIFY(!SamePort("", ""));
    QCOMPARE(PortDevicePath("ttyUSB3", "/tmp/dev"), QString("/tmp/dev/ttyUSB3"));

    QTemporaryDir dir;
    const QString node = dir.path() + "/node";
    QFile file(node);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(node, dir.path() + "/by-id"));
    QVERIFY(SamePort(dir.path() + "/by-id", node));
    // A symlink that no longer resolves compares by its own path.
    QVERIFY(QFile::remove(node));
    QVERIFY(!SamePort(dir.path() + "/by-id", node));
}

QTEST_GUILESS_MAIN(TestPortDetect)
#include "test_portdetect.moc"
