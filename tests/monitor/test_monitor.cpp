// Monitor polls against the virtual device, and the poll loop.

#include "common/emulink.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "monitor/monitor.h"
#include "settings/actions.h"
#include "settings/history.h"
#include "settings/models.h"
#include "settings/settings.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QList<QByteArray> Reads(const EmuLink& link) {
    QList<QByteArray> out;
    const auto lines = link.received();
    for (const auto& line : lines)
        if (line.endsWith('?'))
            out.append(line.chopped(1));
    return out;
}

// The values of the device's last answer to `name`, as sent on the wire.
QList<qint32> Answer(TDeviceEmulator& emu, const QByteArray& name) {
    const auto trace = emu.trace();
    for (auto it = trace.crbegin(); it != trace.crend(); ++it)
        if (!it->received && it->line.startsWith(name + '=')) {
            QList<qint32> values;
            const auto fields = it->line.mid(name.size() + 1).split(',');
            for (const auto& f : fields)
                values.append(f.toInt());
            return values;
        }
    return {};
}

QString s_lastError; // what the error display of the test application last caught

int Count(const QList<QByteArray>& list, const QByteArray& name) {
    return int(std::count(list.begin(), list.end(), name));
}

} // namespace

class TestMonitor : public QObject {
    Q_OBJECT
private slots:
    void init();
    void pollReadsThirteenValuesInOrder();
    void oneCellModel();
    void activeProfileFive();
    void profileOutOfRangeIsNotUsed();
    void modelSwapBetweenPolls();
    void deviceStopsMidPoll();
    void pollerRepeatsWithGap();
    void pollerSkipsBusyTicks();
    void pollerFollowsAFiringClosely();
    void pollerStopsAfterFailure();
    void pollerRestartsAfterAPortError();
};

void TestMonitor::init() {
    ResetMonitorData();
    Settings = DefaultSettings();
    ImageHistory().reset(); // the fresh image is the baseline
}

void TestMonitor::pollReadsThirteenValuesInOrder() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    QVERIFY(link.emu().setValue("BNRG", "12345"));
    QVERIFY(link.emu().setValue("LNRG", "17"));
    QVERIFY(link.emu().setValue("LATM", "380,512,741,282,65535,1500"));
    QVERIFY(link.emu().setValue("PUFF", "42,900"));
    QVERIFY(link.emu().setValue("AERR", "3"));
    QVERIFY(link.emu().setValue("PRT", "480,21"));
    MonitorData.battVolt[3] = 77; // not carried by a two-cell model: cleared
    QVERIFY(ReadMonitorData());
    QCOMPARE(Reads(link), (QList<QByteArray>{"ID", "BNRG", "LNRG", "BVLT", "BPER", "ATM", "LATM",
                                             "TEMP", "PUFF", "AERR", "PRT", "PROF", "PPAR[0]"}));
    QCOMPARE(Settings.ID, 1);
    QCOMPARE(ModInfo.ID, 1);
    QCOMPARE(Settings.battRemNrg, 12345);
    QCOMPARE(MonitorData.lastEnergy, 17);
    const auto volts = Answer(link.emu(), "BVLT");
    QCOMPARE(volts.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(MonitorData.battVolt[i], volts[i]);
    QCOMPARE(MonitorData.battVolt[3], 0);
    const auto atm = Answer(link.emu(), "ATM");
    QCOMPARE(QList<qint32>(MonitorData.atm, MonitorData.atm + 6), atm);
    QCOMPARE(QList<qint32>(MonitorData.lastAtm, MonitorData.lastAtm + 6),
             (QList<qint32>{380, 512, 741, 282, 65535, 1500}));
    const auto temp = Answer(link.emu(), "TEMP");
    QCOMPARE((QList<qint32>{MonitorData.boardTemp, MonitorData.roomTemp, MonitorData.peakTemp}),
             temp);
    QCOMPARE(Settings.cntPuffs, 42);
    QCOMPARE(Settings.cntPTime, 900);
    QCOMPARE(MonitorData.errors, 3);
    QCOMPARE(MonitorData.coldRes, 480);
    QCOMPARE(MonitorData.coldTemp, 21);
    QCOMPARE(PortBusy(), 0);
    QCOMPARE(ProgressBar().Position(), 0);
}

void TestMonitor::oneCellModel() {
    EmuLink link(3);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    for (int i = 0; i < 4; ++i)
        MonitorData.battVolt[i] = MonitorData.battLevel[i] = 99;
    QVERIFY(ReadMonitorData());
    QCOMPARE(Answer(link.emu(), "BVLT").size(), 2);
    QCOMPARE(Answer(link.emu(), "BPER").size(), 2);
    QVERIFY(MonitorData.battVolt[1] > 0);
    for (int i : {2, 3}) {
        QCOMPARE(MonitorData.battVolt[i], 0);
        QCOMPARE(MonitorData.battLevel[i], 0);
    }
}

void TestMonitor::activeProfileFive() {
    EmuLink link(2);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    QVERIFY(link.emu().setValue("PROF", "5"));
    QVERIFY(link.emu().setValue("PPAR[5]", "355,612,433,245"));
    const TProfile other = Settings.profile[0];
    QVERIFY(ReadMonitorData());
    QCOMPARE(Reads(link).last(), QByteArray("PPAR[5]"));
    QCOMPARE(Settings.curProfile, 5);
    const TProfile& p = Settings.profile[5];
    QCOMPARE((QList<qint32>{p.voltage, p.powerVW, p.powerTC, p.temperature}),
             (QList<qint32>{355, 612, 433, 245}));
    QVERIFY(Settings.profile[0] == other);
}

void TestMonitor::profileOutOfRangeIsNotUsed() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    Settings.curProfile = 2;
    const auto profiles = Settings.profile;
    for (const QByteArray bad : {"9", "-1", "8"}) {
        TEmuFaults faults;
        faults.malformedFor = "PROF";
        faults.malformedValue = bad;
        link.emu().setFaults(faults);
        link.emu().clearTrace();
        QVERIFY(ReadMonitorData());
        QCOMPARE(MonitorData.obtained, quint32(AllMonitorReads)); // nothing lost
        QCOMPARE(Reads(link).last(), QByteArray("PROF"));
        QCOMPARE(Settings.curProfile, 2);
        QVERIFY(Settings.profile == profiles);
    }
}

void TestMonitor::modelSwapBetweenPolls() {
    EmuLink link(5); // three cells
    QVERIFY2(link.ok(), qPrintable(link.error()));
    QVERIFY(ReadMonitorData());
    QCOMPARE(Answer(link.emu(), "BVLT").size(), 4);
    QVERIFY(MonitorData.battVolt[3] > 0);
    QVERIFY(link.emu().setValue("ID", "3")); // another model on the same port: one cell
    QVERIFY(ReadMonitorData());
    QCOMPARE(ModInfo.ID, 3);
    QCOMPARE(ModInfo.numBatt, 1);
    QCOMPARE(Answer(link.emu(), "BVLT").size(), 2);
    QCOMPARE(MonitorData.battVolt[2], 0);
    QCOMPARE(MonitorData.battVolt[3], 0);
}

void TestMonitor::deviceStopsMidPoll() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    QVERIFY(link.emu().setValue("BNRG", "22222"));
    QVERIFY(link.emu().setValue("PUFF", "5,6"));
    QVERIFY(ReadMonitorData());
    QCOMPARE(MonitorData.obtained, quint32(AllMonitorReads));
    QCOMPARE(Settings.cntPuffs, 5);
    Settings.curProfile = 4;
    Settings.profile[4].voltage = 333;
    QVERIFY(link.emu().setValue("BNRG", "11111"));
    TEmuFaults faults;
    faults.silentAfter = 5; // answers ID .. BPER, then nothing
    link.emu().setFaults(faults);
    QVERIFY(!ReadMonitorData());
    QCOMPARE(PortBusy(), 0);
    QCOMPARE(MonitorData.obtained, quint32(ReadId | ReadBnrg | ReadLnrg | ReadBvlt | ReadBper));
    QCOMPARE(Settings.battRemNrg, 11111); // read before the stop
    QVERIFY(MonitorData.battLevel[0] > 0);
    for (int i = 0; i < 6; ++i) // not obtained: shown as zeros
        QCOMPARE(MonitorData.atm[i], 0);
    QCOMPARE(MonitorData.coldRes, 0);
    // ... but the settings image keeps what it had
    QCOMPARE(Settings.cntPuffs, 5);
    QCOMPARE(Settings.cntPTime, 6);
    QCOMPARE(Settings.curProfile, 4);
    QCOMPARE(Settings.profile[4].voltage, 333);
    QCOMPARE(Settings.ID, 1);
}

void TestMonitor::pollerRepeatsWithGap() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TMonitorPoller poller;
    QSignalSpy polled(&poller, &TMonitorPoller::polled);
    poller.start();
    QVERIFY(poller.active());
    QTRY_VERIFY_WITH_TIMEOUT(polled.count() >= 3, 20000);
    poller.stop();
    QVERIFY(!poller.active());
    for (const auto& args : polled)
        QVERIFY(args.at(0).toBool());
    // between the last read of one poll and the first of the next lies the timer interval
    qint64 lastPpar = -1;
    int gaps = 0;
    const auto trace = link.emu().trace();
    for (const auto& e : trace) {
        if (!e.received)
            continue;
        if (e.line.startsWith("PPAR["))
            lastPpar = e.nsecs;
        else if (e.line == "ID?" && lastPpar >= 0) {
            QVERIFY2(e.nsecs - lastPpar >= 80'000'000,
                     qPrintable(QString::number(e.nsecs - lastPpar)));
            ++gaps;
        }
    }
    QVERIFY(gaps >= 2);
}

void TestMonitor::pollerSkipsBusyTicks() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TMonitorPoller poller;
    QSignalSpy polled(&poller, &TMonitorPoller::polled);
    SetPortBusy(1); // another transaction holds the port (e.g. showing a message box)
    poller.start();
    QTRY_VERIFY_WITH_TIMEOUT(poller.skippedTicks() >= 3, 10000);
    QCOMPARE(polled.count(), 0);
    QVERIFY(Reads(link).isEmpty());
    SetPortBusy(0);
    QTRY_VERIFY_WITH_TIMEOUT(polled.count() >= 1, 10000);
    QVERIFY(polled.first().at(0).toBool());
    poller.stop();
}

// While the device fires, the next poll starts as soon as the last one has ended; after the
// firing the timer's gap applies again (here a minute, so no further poll comes). Each poll
// is still a sequence of its own: it flushes the line before its first read.
void TestMonitor::pollerFollowsAFiringClosely() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TMonitorPoller poller;
    poller.setInterval(10);
    int firing = 0;
    int after = 0;
    connect(&poller, &TMonitorPoller::polled, this, [&] {
        poller.setInterval(60000);
        if (MonitorData.atm[AtmTime] > 0)
            ++firing;
        else if (firing > 0)
            ++after;
    });
    QVERIFY(PressKeys(3000, 0, 0));
    link.emu().clearTrace();
    poller.start();
    QTRY_VERIFY_WITH_TIMEOUT(after == 1, 20000);
    QTest::qWait(300);
    QCOMPARE(after, 1);
    QVERIFY2(firing >= 2, qPrintable(QString::number(firing)));
    QVERIFY(poller.active());
    poller.stop();
    int polls = 0;
    int flushes = 0; // the empty lines of the flushes' carriage returns
    const auto trace = link.emu().trace();
    for (const auto& entry : trace) {
        if (!entry.received)
            continue;
        polls += entry.line == "ID?";
        flushes += entry.line.isEmpty();
        QVERIFY(entry.line != "ID?" || flushes >= 3 * polls);
    }
    QCOMPARE(polls, firing + 1);
}

void TestMonitor::pollerStopsAfterFailure() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TMonitorPoller poller;
    QSignalSpy polled(&poller, &TMonitorPoller::polled);
    QSignalSpy stopped(&poller, &TMonitorPoller::stopped);
    TEmuFaults faults;
    faults.silentAfter = 20; // the second poll fails in its 8th read
    link.emu().setFaults(faults);
    poller.start();
    QTRY_VERIFY_WITH_TIMEOUT(stopped.count() == 1, 30000);
    QCOMPARE(stopped.first().at(0).toBool(), true);
    QCOMPARE(polled.count(), 2);
    QCOMPARE(polled.at(1).at(0).toBool(), false);
    QVERIFY(!poller.active());
    const int idReads = Count(Reads(link), "ID");
    QTest::qWait(350);
    QCOMPARE(Count(Reads(link), "ID"), idReads); // no further poll
    QCOMPARE(polled.count(), 2);
    poller.start(); // the user starts again; stop() reports a plain stop
    poller.stop();
    QCOMPARE(stopped.count(), 2);
    QCOMPARE(stopped.at(1).at(0).toBool(), false);
}

// A port error escaping from a tick reaches the application's error display (the app's own
// notify() does the same) and leaves a poller that can be started again.
void TestMonitor::pollerRestartsAfterAPortError() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TMonitorPoller poller;
    QSignalSpy stopped(&poller, &TMonitorPoller::stopped);
    TEmuFaults faults;
    faults.disappearAfter = 3; // the device vanishes after ID, BNRG and LNRG
    link.emu().setFaults(faults);
    s_lastError.clear();
    poller.start();
    QTRY_VERIFY_WITH_TIMEOUT(stopped.count() == 1, 20000);
    QVERIFY(!s_lastError.isEmpty());
    QCOMPARE(stopped.first().at(0).toBool(), true);
    QVERIFY(!poller.active());
    QVERIFY(!poller.polling());
    QCOMPARE(PortBusy(), 0);
    s_lastError.clear();
    poller.start(); // the port is still dead: the next tick fails again, but it runs
    QTRY_VERIFY_WITH_TIMEOUT(stopped.count() == 2, 20000);
    QVERIFY(!s_lastError.isEmpty());
    QVERIFY(!poller.active());
}

class TErrorDisplayApp : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (const EComError& e) {
            s_lastError = e.message();
            return false;
        }
    }
};

int main(int argc, char** argv) {
    TErrorDisplayApp app(argc, argv);
    TestMonitor test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_monitor.moc"
