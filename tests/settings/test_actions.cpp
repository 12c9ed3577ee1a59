// Device actions against the virtual device: wire sequence, pauses, port state, results.

#include "common/emulink.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "monitor/monitordata.h"
#include "settings/actions.h"

#include <QtTest>

namespace {

using Lines = QList<QByteArray>;

// Milliseconds between the device receiving line a and line b.
double GapMs(const EmuLink& link, const QByteArray& a, const QByteArray& b) {
    qint64 ta = -1, tb = -1;
    const auto trace = const_cast<EmuLink&>(link).emu().trace();
    for (const auto& e : trace) {
        if (e.received && e.line == a && ta < 0)
            ta = e.nsecs;
        if (e.received && e.line == b && ta >= 0 && tb < 0)
            tb = e.nsecs;
    }
    return ta < 0 || tb < 0 ? -1 : double(tb - ta) / 1e6;
}

} // namespace

class TestActions : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetMonitorData(); }

    void softResetIgnoresTheAnswerAndClosesThePort() {
        EmuLink link;
        QVERIFY(link.ok());
        TEmuFaults faults;
        faults.errorFor = "MRST";
        link.emu().setFaults(faults);
        ProgressBar().SetMax(7);
        ProgressBar().SetPosition(3);
        QVERIFY(SoftResetDevice());
        QCOMPARE(link.received(), Lines{"MRST"});
        QVERIFY(!link.port().Active());
        QCOMPARE(PortBusy(), 0);
        QCOMPARE(ProgressBar().Position(), 3); // untouched
    }

    void resetSettingsRestoresFactoryValues() {
        EmuLink link(2);
        QVERIFY(link.ok());
        QVERIFY(link.emu().setValue("PID", "1,2,3"));
        ProgressBar().SetPosition(5);
        QVERIFY(ResetDeviceSettings());
        QCOMPARE(link.received(), (Lines{"SRST", "MRST"}));
        QVERIFY(GapMs(link, "SRST", "MRST") >= 95);
        QCOMPARE(link.emu().value("PID"), QByteArray("600,850,0"));
        QVERIFY(!link.port().Active());
        QCOMPARE(ProgressBar().Position(), 0);
        QCOMPARE(PortBusy(), 0);
        // With the port already closed the link counts as lost.
        QVERIFY(!ResetDeviceSettings());
        QVERIFY(!CalibrateBatteries());
        QCOMPARE(link.received().size(), 2);
    }

    void measureCoilFillsMonitorData() {
        EmuLink link;
        QVERIFY(link.ok());
        QVERIFY(link.emu().setValue("PRT", "512,23")); // the coil the device will measure
        QVERIFY(MeasureCoil());
        QCOMPARE(link.received(), (Lines{"PRT", "PRT?"}));
        QVERIFY(GapMs(link, "PRT", "PRT?") >= 990);
        QCOMPARE(MonitorData.coldRes, 512);
        QCOMPARE(MonitorData.coldTemp, 23);
        QVERIFY(link.port().Active());
        QCOMPARE(PortBusy(), 0);
    }

    void measureCoilFailureLeavesZeros() {
        EmuLink link;
        QVERIFY(link.ok());
        TEmuFaults faults;
        faults.malformedFor = "PRT";
        faults.malformedValue = "512,x";
        link.emu().setFaults(faults);
        MonitorData.coldRes = 9;
        MonitorData.coldTemp = 9;
        QVERIFY(!MeasureCoil());
        QCOMPARE(MonitorData.coldRes, 512); // parsed before the bad field
        QCOMPARE(MonitorData.coldTemp, 0);
        QVERIFY(link.port().Active());
        QCOMPARE(PortBusy(), 0);
    }

    // A device that has vanished: the port error goes on to the caller (the application's
    // error display), and the port is closed all the same.
    void vanishedDeviceStillClosesThePort() {
        EmuLink link(2);
        QVERIFY(link.ok());
        link.emu().stop();
        QVERIFY_THROWS_EXCEPTION(EComError, CalibrateBatteries());
        QVERIFY(!link.port().Active());
        QCOMPARE(PortBusy(), 0);
    }

    void calibrateBatteriesClosesThePort() {
        EmuLink link;
        QVERIFY(link.ok());
        QVERIFY(CalibrateBatteries());
        QCOMPARE(link.received(), Lines{"BCAL"});
        QVERIFY(!link.port().Active());
        QCOMPARE(PortBusy(), 0);
    }

    void pressKeysWritesOnlyAChange() {
        EmuLink link;
        QVERIFY(link.ok());
        ProgressBar().SetPosition(4);
        QVERIFY(PressKeys(0, 0, 0)); // the idle device's value already: no write
        QCOMPARE(link.received(), Lines{"KEYS?"});
        QCOMPARE(ProgressBar().Position(), 0);
        link.emu().clearTrace();
        QVERIFY(PressKeys(2500, 0, 0));
        QCOMPARE(link.received(), (Lines{"KEYS?", "KEYS=2500,0,0"}));
        link.emu().clearTrace();
        QVERIFY(PressKeys(0, 0, 100));
        QCOMPARE(link.writes(), Lines{"KEYS=0,0,100"});
        QVERIFY(link.port().Active());
        QCOMPARE(PortBusy(), 0);
    }

    void pressKeysRefusedFails() {
        EmuLink link;
        QVERIFY(link.ok());
        TEmuFaults faults;
        faults.errorFor = "KEYS";
        link.emu().setFaults(faults);
        QVERIFY(!PressKeys(0, 100, 0));
        QVERIFY(link.writes().isEmpty()); // the read-back failed: nothing written
        QCOMPARE(PortBusy(), 0);
    }
};

QTEST_GUILESS_MAIN(TestActions)
#include "test_actions.moc"
