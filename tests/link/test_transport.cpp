// The command transport: against the virtual device for the protocol and its pacing, and
// against a scripted pseudo-terminal where the exact bytes or odd answer lines matter.

#include "common/emulink.h"
#include "link/terminal.h"
#include "link/transport.h"
#include "pty.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <thread>

namespace {

// The app's port opened on a scripted pseudo-terminal and installed as ComPort.
class PtyLink {
public:
    PtyLink() {
        ResetTransport();
        port.setDeviceName(pty.slave());
        port.setActive(true);
        ComPort = &port;
    }
    ~PtyLink() { ComPort = nullptr; }
    Pty pty;
    TComPort port;
};

// Trace timestamps (ms) of the non-empty lines the device received.
QList<double> requestTimes(const TDeviceEmulator& emu) {
    QList<double> times;
    const auto trace = emu.trace();
    for (const auto& e : trace)
        if (e.received && !e.line.isEmpty())
            times.append(double(e.nsecs) / 1e6);
    return times;
}

int flushCarriageReturns(const TDeviceEmulator& emu) {
    int n = 0;
    const auto trace = emu.trace();
    for (const auto& e : trace)
        n += e.received && e.line.isEmpty() ? 1 : 0;
    return n;
}

} // namespace

class TestTransport : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetTransport(); }
    void exactBytesOnTheWire();
    void answerLinesPicked();
    void answerLinesPickedFromDevice();
    void boundedAnswers();
    void babblingDevice();
    void refusedReadRetriesWithFlushes();
    void writeParamRules();
    void readIntsRetriesAndParsing();
    void closedPortSetsLinkLost();
    void nothingSentOnceLinkLost();
    void silentDeviceEndsSequenceQuickly();
    void pacingFromTrace();
    void frameFlagsAndProgress();
    void frameReleasesPortWhenDeviceVanishes();
    void controlCharactersNeverSent_data();
    void controlCharactersNeverSent();
};

void TestTransport::exactBytesOnTheWire() {
    PtyLink link;
    QVERIFY(link.pty.send("junk that the flush drops"));
    FlushPort();
    QCOMPARE(link.pty.receive(), QByteArray("\r\r\r"));

    QVERIFY(link.pty.send("VER=1.5.1\r"));
    QString value;
    QVERIFY(GetParam(QStringLiteral("VER"), value));
    QCOMPARE(link.pty.receive(), QByteArray("VER?\r"));

    QVERIFY(link.pty.send("OK\r"));
    QVERIFY(PutParam(QStringLiteral("PNAM[0]"), QString::fromLatin1("D\xe9j\xe0")));
    QCOMPARE(link.pty.receive(), QByteArray("PNAM[0]=D\xe9j\xe0\r")); // 8-bit, no UTF-8

    QVERIFY(link.pty.send("OK\r"));
    QVERIFY(RunCommand(QStringLiteral("MRST")));
    QCOMPARE(link.pty.receive(), QByteArray("MRST\r"));

    // WriteInts joins without blanks; the device's old value is read first.
    QVERIFY(link.pty.send("TCR=1,2,3\rOK\r"));
    WriteInts(QStringLiteral("TCR"), {-1, 0, 7});
    QCOMPARE(link.pty.receive(), QByteArray("TCR?\rTCR=-1,0,7\r"));
    QVERIFY(!LinkLost);
}

void TestTransport::answerLinesPicked() {
    PtyLink link;
    QString value;
    // Echo, blanks, a stray line and a leading LF are skipped or trimmed.
    QVERIFY(link.pty.send("ID?\r\n  \tLOG: x\r\n ID=3 \r"));
    QVERIFY(GetParam(QStringLiteral("ID"), value));
    QCOMPARE(value, QStringLiteral("3"));
    // The name may sit inside the line; the value starts after the line's first "=".
    QVERIFY(link.pty.send("PID=1,2,3\r"));
    QVERIFY(GetParam(QStringLiteral("ID"), value));
    QCOMPARE(value, QStringLiteral("1,2,3"));
    QVERIFY(link.pty.send("PNAM[1]=A=B\r"));
    QVERIFY(GetParam(QStringLiteral("PNAM[1]"), value));
    QCOMPARE(value, QStringLiteral("A=B"));
    // An empty value is an answer.
    QVERIFY(link.pty.send("VER=\r"));
    ReadParam(QStringLiteral("VER"), value);
    QVERIFY(!LinkLost);
    QCOMPARE(value, QString());
    // "OK" is no answer to a read, a lower-case "error" is no refusal, and "ERROR" is.
    QVERIFY(link.pty.send("OK\rerror\rERROR\r"));
    QVERIFY(!GetParam(QStringLiteral("VER"), value));
    QCOMPARE(value, QString());
    // Writes: only "OK" confirms; a value line is skipped.
    QVERIFY(link.pty.send("MRST=1\rOK\r"));
    QVERIFY(RunCommand(QStringLiteral("MRST")));
    QVERIFY(link.pty.send("ERROR\rOK\r"));
    QVERIFY(!PutParam(QStringLiteral("X"), QStringLiteral("1")));
    QCOMPARE(link.pty.receive(), QByteArray("ID?\rID?\rPNAM[1]?\rVER?\rVER?\rMRST\rX=1\r"));
}

void TestTransport::answerLinesPickedFromDevice() {
    EmuLink link(3);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TEmuFaults faults;
    faults.echo = true;
    faults.crlf = true;
    faults.lfBefore = true;
    faults.noise = true;
    link.emu().setFaults(faults);
    TIntegers id;
    ReadInts(QStringLiteral("ID"), 1, id);
    QCOMPARE(id, TIntegers{3});
    QVERIFY(!LinkLost);
    QVERIFY(link.emu().setValue("PNAM[0]", "X=Y"));
    QString name;
    ReadParam(QStringLiteral("PNAM[0]"), name);
    QCOMPARE(name, QStringLiteral("X=Y"));
    WriteParam(QStringLiteral("PNAM[0]"), QStringLiteral("NEW"));
    QVERIFY(!LinkLost);
    QCOMPARE(link.emu().value("PNAM[0]"), QByteArray("NEW"));
    QCOMPARE(link.received().size(), 4); // no request needed a second attempt
}

void TestTransport::boundedAnswers() {
    PtyLink link;
    QString value;
    // An answer line that never ends: given up at 64 KiB, long before the 3 s limit.
    std::atomic<bool> stop = false;
    std::thread device([&] {
        const QByteArray chunk(4096, 'A');
        while (!stop)
            link.pty.send(chunk, 50);
    });
    QElapsedTimer timer;
    timer.start();
    bool answered = GetParam(QStringLiteral("VER"), value);
    qint64 ms = timer.elapsed();
    stop = true;
    device.join();
    QVERIFY(!answered);
    QCOMPARE(value, QString());
    QCOMPARE_LT(ms, 2500);

    // Unrelated lines without end, each in time: the request gives up after 3 s.
    stop = false;
    std::thread chatter([&] {
        while (!stop) {
            link.pty.send("LOG: idle\r");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    timer.start();
    answered = GetParam(QStringLiteral("VER"), value);
    ms = timer.elapsed();
    stop = true;
    chatter.join();
    QVERIFY(!answered);
    QCOMPARE_GE(ms, 2900);
    QCOMPARE_LT(ms, 20000);
}

void TestTransport::babblingDevice() {
    EmuLink link;
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TEmuFaults faults;
    faults.babble = true;
    link.emu().setFaults(faults);
    QString value;
    QVERIFY(!GetParam(QStringLiteral("VER"), value));
    faults.babble = false;
    link.emu().setFaults(faults);
    FlushPort(); // ends although the stream ran right up to it
    QVERIFY(GetParam(QStringLiteral("VER"), value));
    QCOMPARE(value, QStringLiteral("1.5.1"));
}

void TestTransport::refusedReadRetriesWithFlushes() {
    EmuLink link;
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TEmuFaults faults;
    faults.errorFor = "VER";
    link.emu().setFaults(faults);
    link.emu().clearTrace();
    ProgressBar().SetPosition(0);
    QString value = QStringLiteral("stale");
    ReadParam(QStringLiteral("VER"), value);
    QVERIFY(LinkLost);
    QCOMPARE(value, QString());
    QCOMPARE(ProgressBar().Position(), 1);
    QList<QByteArray> lines;
    const auto trace = link.emu().trace();
    for (const auto& e : trace)
        if (e.received)
            lines.append(e.line);
    const QByteArray cr;
    QCOMPARE(lines, (QList<QByteArray>{"VER?", cr, cr, cr, "VER?", cr, cr, cr, "VER?"}));
    // Each flush waits for 100 ms of silence before the next attempt.
    const QList<double> t = requestTimes(link.emu());
    QCOMPARE_GE(t[1] - t[0], 99.0);
    QCOMPARE_GE(t[2] - t[1], 99.0);
}

void TestTransport::writeParamRules() {
    EmuLink link;
    QVERIFY2(link.ok(), qPrintable(link.error()));
    QSignalSpy spy(&ProgressBar(), &TProgress::changed);
    ProgressBar().SetPosition(0);
    const QByteArray held = link.emu().value("PNAM[2]");
    QVERIFY(!held.isEmpty());
    WriteParam(QStringLiteral("PNAM[2]"), QString::fromLatin1(held)); // unchanged: no write
    QCOMPARE(ProgressBar().Position(), 1);
    QVERIFY(link.writes().isEmpty());
    WriteParam(QStringLiteral("PNAM[2]"), QStringLiteral("TC-SS"));
    QCOMPARE(ProgressBar().Position(), 3);
    QCOMPARE(link.writes(), QList<QByteArray>{"PNAM[2]=TC-SS"});
    QCOMPARE(link.emu().value("PNAM[2]"), QByteArray("TC-SS"));
    QCOMPARE_GE(spy.size(), 3); // every step is signalled
    QVERIFY(!LinkLost);

    // A parameter whose value is refused is never written.
    link.emu().clearTrace();
    link.emu().setFaults([] {
        TEmuFaults f;
        f.errorFor = "PNAM[3]";
        return f;
    }());
    WriteParam(QStringLiteral("PNAM[3]"), QStringLiteral("X"));
    QVERIFY(LinkLost);
    QVERIFY(link.writes().isEmpty()); // the read was refused: nothing is written

    // A refused write: three attempts with a flush before the second and the third, then
    // LinkLost; the read and the write step both count.
    link.emu().setFaults({});
    link.emu().clearTrace();
    LinkLost = false;
    ProgressBar().SetPosition(0);
    WriteParam(QStringLiteral("BNRG"), QStringLiteral("1")); // read-only on the device
    QVERIFY(LinkLost);
    QCOMPARE(ProgressBar().Position(), 2);
    QList<QByteArray> lines;
    const auto trace = link.emu().trace();
    for (const auto& e : trace)
        if (e.received)
            lines.append(e.line);
    const QByteArray cr;
    QCOMPARE(lines,
             (QList<QByteArray>{"BNRG?", "BNRG=1", cr, cr, cr, "BNRG=1", cr, cr, cr, "BNRG=1"}));
}

void TestTransport::readIntsRetriesAndParsing() {
    EmuLink link;
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TEmuFaults faults;
    faults.malformedFor = "ID";
    faults.malformedValue = "1,2";
    link.emu().setFaults(faults);
    link.emu().clearTrace();
    ProgressBar().SetPosition(0);
    TIntegers list{9, 9, 9};
    ReadInts(QStringLiteral("ID"), 3, list);
    QVERIFY(LinkLost);
    QCOMPARE(list, (TIntegers{0, 0, 0}));
    QCOMPARE(link.received().size(), 3);
    QCOMPARE(flushCarriageReturns(link.emu()), 6);
    QCOMPARE(ProgressBar().Position(), 3);

    const struct {
        QByteArray text;
        int count;
        TIntegers expected;
        bool lost;
    } cases[] = {
        {"5,x", 2, {5, 0}, true},
        {"1,,2", 3, {1, 0, 0}, true},
        {"2147483647,-2147483648", 2, {2147483647, -2147483648}, false},
        {"2147483648", 1, {0}, true},
        {"7 ", 1, {7}, false}, // the line's trailing blank is trimmed
        {"1 ,2", 2, {0, 0}, true},
    };
    for (const auto& c : cases) {
        faults.malformedValue = c.text;
        link.emu().setFaults(faults);
        link.emu().clearTrace();
        LinkLost = false;
        ReadInts(QStringLiteral("ID"), c.count, list);
        QCOMPARE(list, c.expected);
        QCOMPARE(LinkLost, c.lost);
        QCOMPARE(link.received().size(), 1); // a parse failure is not retried
    }
}

void TestTransport::closedPortSetsLinkLost() {
    TComPort port;
    ComPort = &port;
    FlushPort(); // nothing to do on a closed port
    QString value = QStringLiteral("x");
    QVERIFY(!GetParam(QStringLiteral("VER"), value));
    QVERIFY(LinkLost);
    QCOMPARE(value, QString());
    LinkLost = false;
    QVERIFY(!RunCommand(QStringLiteral("MRST")));
    QVERIFY(LinkLost);
    ComPort = nullptr;
    LinkLost = false;
    QVERIFY(!PutParam(QStringLiteral("X"), QStringLiteral("1")));
    QVERIFY(LinkLost);
    QCOMPARE(PortBusy(), 0);
    SetPortBusy(1); // ignored without a port
    QCOMPARE(PortBusy(), 0);
}

void TestTransport::nothingSentOnceLinkLost() {
    EmuLink link;
    QVERIFY2(link.ok(), qPrintable(link.error()));
    link.emu().clearTrace();
    LinkLost = true;
    ProgressBar().SetPosition(0);
    QElapsedTimer timer;
    timer.start();
    QString value;
    TIntegers list;
    for (int i = 0; i < 30; ++i) {
        QVERIFY(!GetParam(QStringLiteral("VER"), value));
        QVERIFY(!PutParam(QStringLiteral("PNAM[0]"), QStringLiteral("X")));
        QVERIFY(!RunCommand(QStringLiteral("MRST")));
        ReadParam(QStringLiteral("VER"), value);
        WriteParam(QStringLiteral("PNAM[0]"), QStringLiteral("X"));
        ReadInts(QStringLiteral("ID"), 1, list);
    }
    // With the pauses and flushes of a live link these calls would take over 6 s.
    QCOMPARE_LT(timer.elapsed(), 1500);
    QVERIFY(LinkLost);
    QVERIFY(link.emu().trace().isEmpty());
    QCOMPARE(ProgressBar().Position(), 90);
}

void TestTransport::silentDeviceEndsSequenceQuickly() {
    EmuLink link;
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TEmuFaults faults;
    faults.silentAfter = 2;
    link.emu().setFaults(faults);
    bool ok = true;
    {
        TSequence sequence(40);
        link.emu().clearTrace();
        QString value;
        for (int i = 0; i < 40; ++i)
            ReadParam(QStringLiteral("VER"), value);
        ok = sequence.Finish();
    }
    QVERIFY(!ok);
    QCOMPARE(PortBusy(), 0);
    QCOMPARE(ProgressBar().Position(), 40); // the bar stays where the failure left it
    // Two answers, three unanswered attempts with two flushes between, then silence.
    QCOMPARE(link.received().size(), 5);
    QCOMPARE(flushCarriageReturns(link.emu()), 6);
}

void TestTransport::pacingFromTrace() {
    EmuLink link;
    QVERIFY2(link.ok(), qPrintable(link.error()));
    link.emu().clearTrace();
    {
        TSequence sequence;
        QString value;
        for (int i = 0; i < 4; ++i)
            ReadParam(QStringLiteral("VER"), value);
        WriteParam(QStringLiteral("PNAM[0]"), QStringLiteral("PACE"));
        ReadParam(QStringLiteral("VER"), value);
        QVERIFY(sequence.Finish());
    }
    const auto trace = link.emu().trace();
    QVERIFY(trace.size() > 4);
    double lastCr = 0;
    QList<double> t;
    for (const auto& e : trace) {
        if (!e.received)
            continue;
        if (e.line.isEmpty())
            lastCr = double(e.nsecs) / 1e6;
        else
            t.append(double(e.nsecs) / 1e6);
    }
    QCOMPARE(t.size(), 7);            // 4 reads, the write's read and write, one read
    QCOMPARE_GE(t[0] - lastCr, 90.0); // the frame's flush waits for silence
    for (int i = 1; i <= 4; ++i)
        QCOMPARE_GE(t[i] - t[i - 1], 10.0); // 10 ms after each read
    QCOMPARE_GE(t[6] - t[5], 100.0);        // 100 ms after the written parameter
}

void TestTransport::frameFlagsAndProgress() {
    EmuLink link;
    QVERIFY2(link.ok(), qPrintable(link.error()));
    ProgressBar().SetPosition(7);
    {
        TSequence sequence(5);
        QCOMPARE(PortBusy(), 1);
        QCOMPARE(ProgressBar().Max(), 5);
        QCOMPARE(ProgressBar().Position(), 0);
        QVERIFY(!LinkLost);
        QString value;
        ReadParam(QStringLiteral("VER"), value);
        QCOMPARE(ProgressBar().Position(), 1);
        QVERIFY(sequence.Finish());
        QCOMPARE(ProgressBar().Position(), 0);
    }
    QCOMPARE(PortBusy(), 0);
    LinkLost = true;
    {
        TSequence sequence; // no progress: the bar is left alone
        QVERIFY(!LinkLost); // cleared by the frame
        ProgressBar().SetPosition(3);
        QVERIFY(sequence.Finish());
        QCOMPARE(ProgressBar().Position(), 3);
    }
}

void TestTransport::frameReleasesPortWhenDeviceVanishes() {
    {
        EmuLink link;
        QVERIFY2(link.ok(), qPrintable(link.error()));
        TEmuFaults faults;
        faults.disappearAfter = 1;
        link.emu().setFaults(faults);
        QString error;
        try {
            TSequence sequence(3);
            QString value;
            ReadParam(QStringLiteral("VER"), value);
            ReadParam(QStringLiteral("ID"), value); // the device goes away here
            ReadParam(QStringLiteral("VER"), value);
            sequence.Finish();
        } catch (const EComError& e) {
            error = e.message();
        }
        QVERIFY(!error.isEmpty()); // the system's text, for the default error display
        QCOMPARE(PortBusy(), 0);
        QVERIFY(link.port().Active()); // open until somebody closes it
    }
    // The frame's own flush fails on a vanished device.
    PtyLink link;
    link.pty.closeMaster();
    QVERIFY_THROWS_EXCEPTION(EComError, TSequence());
    QCOMPARE(PortBusy(), 0);
}

void TestTransport::controlCharactersNeverSent_data() {
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("text");
    QTest::newRow("value with CR") << "put"
                                   << "X\rSRST";
    QTest::newRow("value with LF") << "put"
                                   << "X\nBOOT";
    QTest::newRow("value with tab") << "put"
                                    << "A\tB";
    QTest::newRow("value with NUL") << "put" << QString::fromLatin1("A\0B", 3);
    QTest::newRow("value with DEL") << "put"
                                    << "A\x7f";
    QTest::newRow("value with C1 control") << "put" << QString::fromUtf8("A\xc2\x85");
    QTest::newRow("name with CR") << "get"
                                  << "PNAM[0]\rMRST";
    QTest::newRow("command with CR") << "command"
                                     << "SRST\rBOOT";
    QTest::newRow("written parameter") << "write"
                                       << "X\rSRST";
    QTest::newRow("raw line") << "line"
                              << "X\rSRST";
}

// Whatever the text came from, a control character inside a request fails it before
// anything is sent, so the rest can never run as a command of its own.
void TestTransport::controlCharactersNeverSent() {
    QFETCH(QString, request);
    QFETCH(QString, text);
    EmuLink link;
    QVERIFY2(link.ok(), qPrintable(link.error()));
    const QByteArray name = link.emu().value("PNAM[0]");
    link.emu().clearTrace();
    QString error;
    try {
        QString value;
        if (request == "put")
            PutParam(QStringLiteral("PNAM[0]"), text);
        else if (request == "get")
            GetParam(text, value);
        else if (request == "command")
            RunCommand(text);
        else if (request == "write")
            WriteParam(QStringLiteral("PNAM[0]"), text);
        else
            error = TerminalSend(&link.port(), text.toLatin1()).error;
    } catch (const EComError& e) {
        error = e.message();
    }
    QVERIFY2(error.contains("control character"), qPrintable(error));
    const auto lines = link.received();
    QCOMPARE(lines, request == "write" ? QList<QByteArray>{"PNAM[0]?"} : QList<QByteArray>{});
    QCOMPARE(link.emu().value("PNAM[0]"), name);
    QCOMPARE(PortBusy(), 0);
}

QTEST_GUILESS_MAIN(TestTransport)
#include "test_transport.moc"
