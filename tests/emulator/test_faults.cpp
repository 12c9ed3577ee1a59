// The virtual device's fault modes, each seen on the raw line, and its trace file.

#include "emulator/emulator.h"
#include "ptyclient.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
auto lines(int n) {
    return [n](const QByteArray& b) { return b.count('\r') >= n; };
}
} // namespace

class TestEmuFaults : public QObject {
    Q_OBJECT
private slots:
    void framingFaults();
    void refusedAndMalformed();
    void silence();
    void answerDelay();
    void disappearing();
    void babbling();
    void traceFile();
};

void TestEmuFaults::framingFaults() {
    TDeviceEmulator emu(1);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    TEmuFaults f;
    f.echo = true;
    emu.setFaults(f);
    c.send("ID?\r");
    QCOMPARE(c.readUntil(lines(2), 2000), QByteArray("ID?\rID=1\r"));

    f = {};
    f.crlf = true;
    emu.setFaults(f);
    c.send("ID?\r");
    QCOMPARE(c.readUntil(lines(1), 2000), QByteArray("ID=1\r\n"));

    f = {};
    f.lfBefore = true;
    emu.setFaults(f);
    c.send("ID=5\r");
    QCOMPARE(c.readUntil(lines(1), 2000), QByteArray("\nERROR\r"));

    f = {};
    f.noise = true;
    emu.setFaults(f);
    c.send("ID?\r");
    const QList<QByteArray> got = c.readUntil(lines(2), 2000).split('\r');
    QCOMPARE(got.size(), 3);
    QVERIFY(!got[0].isEmpty() && !got[0].contains('=') && got[0] != "ERROR" && got[0] != "OK");
    QCOMPARE(got[1], QByteArray("ID=1"));

    emu.setFaults({}); // and back to a clean line
    c.send("ID?\r");
    QCOMPARE(c.readUntil(lines(1), 2000), QByteArray("ID=1\r"));
    QVERIFY(c.readQuiet(50).isEmpty());
}

void TestEmuFaults::refusedAndMalformed() {
    TDeviceEmulator emu(1);
    TEmuFaults f;
    f.errorFor = "KACT";
    f.malformedFor = "PID";
    f.malformedValue = "1,x";
    emu.setFaults(f);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    QCOMPARE(c.ask("KACT?"), QByteArray("ERROR"));
    QCOMPARE(c.ask("KACT=0,0,0,0,0,0,0,0"), QByteArray("ERROR"));
    QCOMPARE(c.ask("PID?"), QByteArray("PID=1,x"));
    QCOMPARE(c.ask("PID=1,2,3"), QByteArray("OK")); // writes are not affected
    QCOMPARE(c.ask("ID?"), QByteArray("ID=1"));
    QCOMPARE(emu.value("PID"), QByteArray("1,2,3"));
}

void TestEmuFaults::silence() {
    TDeviceEmulator emu(1);
    TEmuFaults f;
    f.silentAfter = 2;
    emu.setFaults(f);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    c.send("\r"); // flush lines don't count as requests
    QCOMPARE(c.ask("ID?"), QByteArray("ID=1"));
    QCOMPARE(c.ask("VER?"), QByteArray("VER=1.5.1"));
    QVERIFY(c.ask("ID?", 200).isEmpty());
    QVERIFY(c.ask("VER?", 100).isEmpty());
    int received = 0;
    const auto trace = emu.trace();
    for (const auto& e : trace)
        received += e.received && !e.line.isEmpty();
    QCOMPARE(received, 4); // still heard and traced
    f.silentAfter = 1;     // counting starts again with the new faults
    emu.setFaults(f);
    QCOMPARE(c.ask("ID?"), QByteArray("ID=1"));
    QVERIFY(c.ask("ID?", 100).isEmpty());
}

void TestEmuFaults::answerDelay() {
    TDeviceEmulator emu(1);
    TEmuFaults f;
    f.answerDelayMs = 120;
    emu.setFaults(f);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    c.send("ID?\rVER?\r");
    QCOMPARE(c.readUntil(lines(2), 3000), QByteArray("ID=1\rVER=1.5.1\r"));
    const auto t = emu.trace();
    QCOMPARE(t.size(), 4);
    QVERIFY(t[0].received && !t[2].received);
    QVERIFY(t[2].nsecs - t[0].nsecs >= 120 * 1000000LL);
    QVERIFY(t[3].nsecs - t[1].nsecs >= 120 * 1000000LL);
}

void TestEmuFaults::disappearing() {
    TDeviceEmulator emu(1);
    TEmuFaults f;
    f.disappearAfter = 1;
    emu.setFaults(f);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    QCOMPARE(c.ask("ID?"), QByteArray("ID=1"));
    QVERIFY(c.ask("VER?", 2000).isEmpty());
    QVERIFY(c.hungUp()); // the other side sees the line go down
    QVERIFY(!emu.running());
    QVERIFY(emu.start()); // and the device can come back on a new line
    PtyClient again(emu.slavePath());
    QCOMPARE(again.ask("ID?"), QByteArray("ID=1"));
}

void TestEmuFaults::babbling() {
    TDeviceEmulator emu(1);
    TEmuFaults f;
    f.babble = true;
    emu.setFaults(f);
    QVERIFY(emu.start());
    PtyClient c(emu.slavePath());
    QVERIFY(c.readQuiet(50).isEmpty()); // nothing before a request
    c.send("ID?\r");
    const QByteArray stream =
        c.readUntil([](const QByteArray& b) { return b.size() >= 2000; }, 5000);
    QVERIFY(stream.size() >= 2000);
    QVERIFY(!stream.contains('\r') && !stream.contains('\n'));
    emu.setFaults({});
    c.readQuiet(50); // what was on its way
    QCOMPARE(c.ask("ID?"), QByteArray("ID=1"));
}

void TestEmuFaults::traceFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("trace.txt");
    {
        TDeviceEmulator emu(3);
        QVERIFY(emu.setTraceFile(path));
        QVERIFY(emu.start());
        PtyClient c(emu.slavePath());
        c.send("\r");
        QCOMPARE(c.ask("ID?"), QByteArray("ID=3"));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = file.readAll().trimmed().split('\n');
    QCOMPARE(rows.size(), 3);
    QVERIFY(rows[0].endsWith(" RX "));
    QVERIFY(rows[1].endsWith(" RX ID?"));
    QVERIFY(rows[2].endsWith(" TX ID=3"));
    bool ok = false;
    QVERIFY(rows[2].split(' ').first().toDouble(&ok) >= 0 && ok);
}

QTEST_GUILESS_MAIN(TestEmuFaults)
#include "test_faults.moc"
