// The serial port on a bare pseudo-terminal: the test holds the master side and plays the
// device byte by byte.

#include "link/ComPort.h"
#include "pty.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

namespace {

QString systemText(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

class TestComPort : public QObject {
    Q_OBJECT
private slots:
    void closedPort();
    void openFailure();
    void deviceNameRules();
    void exclusiveOpen();
    void readTimeoutAndLateByte();
    void lineSplitAtCarriageReturn();
    void exactBytesBothWays();
    void staleInputDiscardedOnOpen();
    void secondWriteWaitsForFirst();
    void deviceVanishes();
    void enumAppends();
};

void TestComPort::closedPort() {
    TComPort port;
    QVERIFY(!port.Active());
    QCOMPARE(port.DeviceName(), QStringLiteral("COM1"));
    port.PurgeInput(); // nothing happens
    port.PurgeOutput();
    const QString closed = QStringLiteral("Can't perform this operation on a closed port");
    try {
        port.ReadByte();
        QFAIL("read on a closed port");
    } catch (const EComError& e) {
        QCOMPARE(e.message(), closed);
        QCOMPARE(e.ErrorCode(), 0);
    }
    QVERIFY_THROWS_EXCEPTION(EComError, port.ReadAnsiLine());
    QVERIFY_THROWS_EXCEPTION(EComError, port.WriteAnsiChar('x'));
    QVERIFY_THROWS_EXCEPTION(EComError, port.WriteAnsiLine("VER?"));
    port.setActive(false); // closing a closed port is no error
}

void TestComPort::openFailure() {
    TComPort port;
    port.setDeviceName(QStringLiteral("/dev/devedazi-no-such-port"));
    try {
        port.setActive(true);
        QFAIL("opened a missing device");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode(), ENOENT);
        QCOMPARE(e.message(), systemText(ENOENT));
        QCOMPARE(QString::fromLocal8Bit(e.what()), systemText(ENOENT));
    }
    QVERIFY(!port.Active());
    port.setDeviceName(QStringLiteral("devedazi-no-such-port")); // bare name: below /dev
    QVERIFY_THROWS_EXCEPTION(EComError, port.setActive(true));
    QVERIFY(!port.Active());
}

void TestComPort::deviceNameRules() {
    Pty pty;
    QVERIFY(!pty.slave().isEmpty());
    TComPort port;
    // A bare name is looked up below /dev.
    port.setDeviceName(pty.slave().mid(5));
    port.setActive(true);
    QVERIFY(port.Active());
    port.setActive(true);                   // already open: nothing
    port.setDeviceName(pty.slave().mid(5)); // same name while open: nothing
    try {
        port.setDeviceName(QStringLiteral("/dev/ttyS0"));
        QFAIL("renamed an open port");
    } catch (const EComError& e) {
        QCOMPARE(e.message(), QStringLiteral("Can't perform this operation on an open port"));
        QCOMPARE(e.ErrorCode(), 0);
    }
    QCOMPARE(port.DeviceName(), pty.slave().mid(5));
    port.setActive(false);
    QVERIFY(!port.Active());
    port.setDeviceName(QStringLiteral("/dev/ttyS0"));
    QCOMPARE(port.DeviceName(), QStringLiteral("/dev/ttyS0"));
}

void TestComPort::exclusiveOpen() {
    Pty pty;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("mod"));
    QVERIFY(QFile::link(pty.slave(), link));
    TComPort first;
    first.setDeviceName(link);
    first.setActive(true);
    for (const QString& name : {pty.slave(), link}) {
        TComPort second;
        second.setDeviceName(name);
        QVERIFY_THROWS_EXCEPTION(EComError, second.setActive(true));
        QVERIFY(!second.Active());
    }
    first.setActive(false);
    TComPort third; // free again once the first has closed
    third.setDeviceName(pty.slave());
    third.setActive(true);
    QVERIFY(third.Active());
}

void TestComPort::readTimeoutAndLateByte() {
    Pty pty;
    TComPort port;
    port.setDeviceName(pty.slave());
    port.setActive(true);
    QElapsedTimer timer;
    timer.start();
    try {
        port.ReadByte();
        QFAIL("read without data");
    } catch (const EComError& e) {
        QCOMPARE(e.message(), QStringLiteral("Timeout"));
        QCOMPARE(e.ErrorCode(), 0);
    }
    QCOMPARE_GE(timer.elapsed(), 99);
    QCOMPARE_LT(timer.elapsed(), 2000);

    std::thread device([&pty] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.send("Z");
    });
    quint8 byte = 0;
    try {
        byte = port.ReadByte();
    } catch (const EComError& e) {
        device.join();
        QFAIL(qPrintable(e.message()));
    }
    device.join();
    QCOMPARE(byte, quint8('Z'));
}

void TestComPort::lineSplitAtCarriageReturn() {
    Pty pty;
    TComPort port;
    port.setDeviceName(pty.slave());
    port.setActive(true);
    QVERIFY(pty.send("OK\r\nID=3\r\n"));
    QCOMPARE(port.ReadAnsiLine(), QByteArray("OK\r"));
    QCOMPARE(port.ReadAnsiLine(), QByteArray("\nID=3\r"));
    QCOMPARE(port.ReadByte(), quint8('\n'));
    // A line that stops short of its carriage return times out; the partial line is gone.
    QVERIFY(pty.send("PART"));
    QVERIFY_THROWS_EXCEPTION(EComError, port.ReadAnsiLine());
    QVERIFY(pty.send("NEXT\r"));
    QCOMPARE(port.ReadAnsiLine(), QByteArray("NEXT\r"));
}

void TestComPort::exactBytesBothWays() {
    Pty pty;
    TComPort port;
    port.setDeviceName(pty.slave());
    port.setActive(true);
    port.WriteAnsiLine("VER?");
    QCOMPARE(pty.receive(), QByteArray("VER?\r"));
    port.WriteAnsiChar('\r');
    port.WriteAnsiChar('\n');
    QCOMPARE(pty.receive(), QByteArray("\r\n"));

    // Raw 8-bit: every byte value crosses unchanged, nothing is echoed or translated. A line
    // carries every byte but the control characters; one of those sends nothing at all.
    QByteArray all, line;
    for (int i = 0; i < 256; ++i) {
        all.append(char(i));
        if (i >= 32 && (i < 127 || i >= 160))
            line.append(char(i));
    }
    for (const char c : all)
        port.WriteAnsiChar(c);
    QCOMPARE(pty.receive(), all);
    port.WriteAnsiLine(line);
    QCOMPARE(pty.receive(), line + '\r');
    QVERIFY_THROWS_EXCEPTION(EComError, port.WriteAnsiLine("X\rSRST"));
    QCOMPARE(pty.receive(100), QByteArray());
    QVERIFY(pty.send(all));
    QByteArray got;
    for (int i = 0; i < 256; ++i)
        got.append(char(port.ReadByte()));
    QCOMPARE(got, all);
    QCOMPARE(pty.receive(100), QByteArray());
}

void TestComPort::staleInputDiscardedOnOpen() {
    Pty pty;
    TComPort port;
    port.setDeviceName(pty.slave());
    port.setActive(true);
    port.setActive(false);
    QVERIFY(pty.send("STALE\r"));
    port.setActive(true);
    QVERIFY_THROWS_EXCEPTION(EComError, port.ReadByte());
    QVERIFY(pty.send("A\r"));
    port.PurgeInput();
    QVERIFY_THROWS_EXCEPTION(EComError, port.ReadByte());
}

void TestComPort::secondWriteWaitsForFirst() {
    Pty pty;
    TComPort port;
    port.setDeviceName(pty.slave());
    port.setActive(true);
    // More than the kernel takes at once: the line returns with a remainder still pending,
    // and the next write has to wait until the device has read it.
    const QByteArray big(1 << 20, 'x');
    std::atomic<bool> draining = false;
    QByteArray got;
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        draining = true;
        got = pty.receive(500);
    });
    port.WriteAnsiLine(big);
    const bool returnedAtOnce = !draining;
    port.WriteAnsiChar('!');
    const bool waited = draining;
    device.join();
    QVERIFY(returnedAtOnce);
    QVERIFY(waited);
    QCOMPARE(got.size(), big.size() + 2);
    QVERIFY(got == big + "\r!");
}

void TestComPort::deviceVanishes() {
    Pty pty;
    TComPort port;
    port.setDeviceName(pty.slave());
    port.setActive(true);
    pty.closeMaster();
    try {
        port.ReadByte();
        QFAIL("read from a vanished device");
    } catch (const EComError& e) {
        QCOMPARE(e.ErrorCode(), EIO);
        QCOMPARE(e.message(), systemText(EIO));
    }
    QVERIFY_THROWS_EXCEPTION(EComError, port.WriteAnsiLine("VER?"));
    QVERIFY_THROWS_EXCEPTION(EComError, port.WriteAnsiChar('\r'));
    QVERIFY_THROWS_EXCEPTION(EComError, port.ReadAnsiLine());
    QVERIFY_THROWS_EXCEPTION(EComError, port.PurgeInput());
    QVERIFY_THROWS_EXCEPTION(EComError, port.PurgeOutput());
    QVERIFY(port.Active()); // kept until somebody closes it
    port.setActive(false);
    QVERIFY(!port.Active());
}

void TestComPort::enumAppends() {
    QStringList list{QStringLiteral("Auto")};
    TComPort::EnumComDevicesFromRegistry(list);
    QCOMPARE(list.first(), QStringLiteral("Auto"));
    for (const QString& name : std::as_const(list))
        QVERIFY(!name.isEmpty());
}

QTEST_GUILESS_MAIN(TestComPort)
#include "test_comport.moc"
