// The virtual device is alive: firing, the counters and the battery after a puff, and the
// plus and minus buttons.

#include "emulator/emulator.h"
#include "ptyclient.h"

#include <QTest>
#include <QThread>

namespace {
QList<int> ints(const QByteArray& answer) {
    QList<int> out;
    const QList<QByteArray> fields = answer.mid(answer.indexOf('=') + 1).split(',');
    for (const QByteArray& f : fields)
        out.append(f.toInt());
    return out;
}

// Asks ATM until the firing has ended (voltage 0).
void waitIdle(PtyClient& c) {
    QElapsedTimer timer;
    timer.start();
    while (ints(c.ask("ATM?")).value(0) > 0 && timer.elapsed() < 15000)
        QThread::msleep(20);
}
} // namespace

class TestEmuSimulation : public QObject {
    Q_OBJECT
private slots:
    void firingInPowerMode();
    void firingInTemperatureMode();
    void plusAndMinus();
};

void TestEmuSimulation::firingInPowerMode() {
    TDeviceEmulator emu(1); // profile 1 in VW mode at 40.0 W, coil 0.5 ohm
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    QCOMPARE(c.ask("ATM?"), QByteArray("ATM=0,500,0,0,65535,0"));
    const QList<int> before = ints(c.ask("BNRG?"));
    QCOMPARE(c.ask("KEYS=400,0,0"), QByteArray("OK"));
    const QList<int> atm = ints(c.ask("ATM?"));
    QCOMPARE(atm.size(), 6);
    QVERIFY(atm[0] > 400 && atm[0] < 500); // about 4.47 V
    QVERIFY(qAbs(atm[2] - 894) < 30);      // about 8.94 A
    QVERIFY(qAbs(atm[3] - 400) <= 2);      // 40.0 W
    QCOMPARE(atm[4], 65535);               // no temperature outside TC
    QVERIFY(ints(c.ask("KEYS?")).value(0) > 0);
    QVERIFY(ints(c.ask("BVLT?")).value(1) < 406); // the cells sag under load
    waitIdle(c);
    QCOMPARE(c.ask("KEYS?"), QByteArray("KEYS=0,0,0"));
    const QList<int> last = ints(c.ask("LATM?"));
    QCOMPARE(last[5], 400);
    QVERIFY(qAbs(last[3] - 400) <= 2);
    QCOMPARE(c.ask("PUFF?"), QByteArray("PUFF=1,0"));
    QCOMPARE(c.ask("LNRG?"), QByteArray("LNRG=4")); // 40 W x 0.4 s = 4.4 mWh
    QVERIFY(ints(c.ask("BNRG?")).value(0) < before.value(0));
    QCOMPARE(c.ask("KEYS=700,0,0"), QByteArray("OK"));
    waitIdle(c);
    QCOMPARE(c.ask("PUFF?"), QByteArray("PUFF=2,1")); // 1.1 s of firing in all
}

void TestEmuSimulation::firingInTemperatureMode() {
    TDeviceEmulator emu(4);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    QCOMPARE(c.ask("PROF=2"), QByteArray("OK"));
    QCOMPARE(c.ask("PMOD[2]=2"), QByteArray("OK"));
    QCOMPARE(c.ask("PPAR[2]=420,400,500,230"), QByteArray("OK"));
    QCOMPARE(c.ask("KEYS=800,0,0"), QByteArray("OK"));
    QThread::msleep(30);
    const int early = ints(c.ask("ATM?")).value(4);
    QThread::msleep(150);
    const int later = ints(c.ask("ATM?")).value(4);
    QVERIFY2(early > 22 && early < later && later <= 240,
             qPrintable(QString("%1 %2").arg(early).arg(later)));
    waitIdle(c);
    const QList<int> last = ints(c.ask("LATM?"));
    QVERIFY(last[4] >= 215 && last[4] <= 240);     // regulated at the target
    QVERIFY(last[1] > 500);                        // the hot coil's resistance
    QVERIFY(last[3] < 500);                        // the regulator backs off
    QVERIFY(ints(c.ask("TEMP?")).value(2) >= 215); // peak temperature
}

void TestEmuSimulation::plusAndMinus() {
    TDeviceEmulator emu(1);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    QCOMPARE(c.ask("KEYS=0,0,100"), QByteArray("OK")); // VW: 0.1 W
    QCOMPARE(c.ask("PPAR[0]?"), QByteArray("PPAR[0]=420,401,400,220"));
    QVERIFY(ints(c.ask("KEYS?")).value(2) > 0);     // still held
    QCOMPARE(c.ask("FLGS=1120"), QByteArray("OK")); // 1 W steps
    QCOMPARE(c.ask("KEYS=0,100,0"), QByteArray("OK"));
    QCOMPARE(c.ask("PPAR[0]?"), QByteArray("PPAR[0]=420,391,400,220"));
    QCOMPARE(c.ask("PMOD[0]=0"), QByteArray("OK")); // VV: 0.1 V
    QCOMPARE(c.ask("KEYS=0,0,100"), QByteArray("OK"));
    QCOMPARE(c.ask("PPAR[0]?"), QByteArray("PPAR[0]=430,391,400,220"));
    QCOMPARE(c.ask("PMOD[0]=2"), QByteArray("OK")); // TC: 5 degrees
    QCOMPARE(c.ask("KEYS=0,100,0"), QByteArray("OK"));
    QCOMPARE(c.ask("PPAR[0]?"), QByteArray("PPAR[0]=430,391,400,215"));
    QCOMPARE(c.ask("PUFF?"), QByteArray("PUFF=0,0")); // buttons alone don't fire
}

QTEST_GUILESS_MAIN(TestEmuSimulation)
#include "test_simulation.moc"
