// Hot-plug: the polling source over a fake sysfs tree delivers arrival and removal to the
// port's handlers; the automatic choice of source always ends with a working one.

#include "fakesys.h"
#include "link/ComPort.h"
#include "link/hotplug.h"

#include <QTemporaryDir>
#include <QtTest>

class TestHotPlug : public QObject {
    Q_OBJECT
private slots:
    void pollDeliversArrivalAndRemoval();
    void automaticSourceStarts();
};

void TestHotPlug::pollDeliversArrivalAndRemoval() {
    FakeSys sys;
    sys.addUsbTty("ttyACM0", "0483", "5740"); // present before: no event for it
    TComPort port;
    QStringList events;
    port.OnDeviceArrival = [&](TComPort* sender, const QString& name) {
        QCOMPARE(sender, &port);
        events << "+" + name;
    };
    port.OnDeviceRemoved = [&](TComPort*, const QString& name) { events << "-" + name; };

    QTemporaryDir dev;
    THotPlug::Options options;
    options.source = THotPlug::Source::Poll;
    options.sysRoot = sys.root();
    options.devRoot = dev.path();
    options.pollMs = 20;
    THotPlug hotplug(&port, options);
    QCOMPARE(hotplug.sourceName(), QString("poll"));

    // The arrival waits until the device node can be opened.
    sys.addUsbTty("ttyUSB1", "0403", "6001");
    QTest::qWait(200);
    QVERIFY(events.isEmpty());
    const QString node = dev.path() + "/ttyUSB1";
    QFile file(node);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QTRY_COMPARE(events, QStringList({"+" + node}));

    sys.removeTty("ttyACM0");
    sys.removeTty("ttyUSB1");
    QTRY_COMPARE(events.size(), 3);
    QVERIFY(events.contains("-" + dev.path() + "/ttyACM0"));
    QVERIFY(events.contains("-" + node));

    // A node that never becomes ready is reported anyway, after a short wait.
    sys.addUsbTty("ttyUSB2", "0403", "6001");
    QTRY_COMPARE_WITH_TIMEOUT(events.size(), 4, 5000);
    QCOMPARE(events.last(), "+" + dev.path() + "/ttyUSB2");
}

void TestHotPlug::automaticSourceStarts() {
    TComPort port;
    THotPlug hotplug(&port, THotPlug::Options());
    QVERIFY(QStringList({"udev", "kernel", "poll"}).contains(hotplug.sourceName()));
    qInfo("hot-plug source here: %s", qPrintable(hotplug.sourceName()));
}

QTEST_GUILESS_MAIN(TestHotPlug)
#include "test_hotplug.moc"
