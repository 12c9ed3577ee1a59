// The terminal against the virtual device: the exchange in the link core and the window
// that shows it. Upper-case input, the echo line, every received line until silence, an
// empty line, a closed port, a device that keeps talking, a send that fails.

#include "common/emulink.h"
#include "link/ComPort.h"
#include "link/terminal.h"
#include "link/transport.h"
#include "shell/dialogs.h"
#include "shell/terminal.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <pty.h>
#include <thread>
#include <unistd.h>

class TestTerminal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); } // the history's file
    void cleanup() { Dialogs::reset(); }
    void typedCommandAndAnswer();
    void emptyLineAndClosedPort();
    void linesAsReceived();
    void linesUntilSilence();
    void deviceThatKeepsTalking();
    void sendThatFails();

private:
    static QStringList memoLines(const TTerminalForm& form) {
        return form.Memo->toPlainText().split('\n');
    }
};

void TestTerminal::typedCommandAndAnswer() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TTerminalForm form;
    form.show();
    QTest::keyClicks(form.Command, "ver?");
    QCOMPARE(form.Command->text(), QString("VER?"));
    QTest::keyClick(form.Command, Qt::Key_Return);
    QCOMPARE(memoLines(form), QStringList({"VER?", "VER=1.5.1"}));
    QVERIFY(form.Command->text().isEmpty());
    QCOMPARE(PortBusy(), 0);
    QCOMPARE(link.received(), QList<QByteArray>({"VER?"}));

    QTest::keyClicks(form.Command, "id?");
    QTest::mouseClick(form.BitBtn, Qt::LeftButton);
    QCOMPARE(memoLines(form), QStringList({"VER?", "VER=1.5.1", "ID?", "ID=1"}));

    form.Command->clear();
    QTest::keyClicks(form.Command, QString(300, 'a'));
    QCOMPARE(form.Command->text(), QString(255, 'A'));
}

void TestTerminal::emptyLineAndClosedPort() {
    EmuLink link(1);
    QVERIFY(link.ok());
    TTerminalForm form;
    link.emu().clearTrace();
    QTest::mouseClick(form.BitBtn, Qt::LeftButton);
    QCOMPARE(form.Memo->toPlainText(), QString("")); // one empty line
    QCOMPARE(form.Memo->blockCount(), 1);
    const auto trace = link.emu().trace();
    QCOMPARE(trace.size(), 1);
    QVERIFY(trace.at(0).received && trace.at(0).line.isEmpty()); // a lone carriage return

    link.port().setActive(false);
    form.Command->setText("VER?");
    QTest::mouseClick(form.BitBtn, Qt::LeftButton);
    QCOMPARE(memoLines(form), QStringList({"", "VER?"}));
    QVERIFY(Dialogs::shownMessages().isEmpty());
    QCOMPARE(TerminalSend(&link.port(), "VER?").sent, false);
}

// Nothing is trimmed or flushed: echo, noise and CR LF endings come as they are.
void TestTerminal::linesAsReceived() {
    EmuLink link(1);
    QVERIFY(link.ok());
    TEmuFaults faults;
    faults.echo = true;
    faults.noise = true;
    faults.crlf = true;
    link.emu().setFaults(faults);
    const TTerminalExchange x = TerminalSend(&link.port(), "VER?");
    QVERIFY(x.sent && !x.cutShort && x.error.isEmpty());
    QCOMPARE(x.lines, QList<QByteArray>({"VER?\r", "\nLOG: idle 1\r", "\nVER=1.5.1\r"}));
    QCOMPARE(x.partial, QByteArray("\n"));

    TTerminalForm form;
    form.Command->setText("ID?");
    QTest::mouseClick(form.BitBtn, Qt::LeftButton);
    QCOMPARE(memoLines(form), QStringList({"ID?", "ID?", "LOG: idle 2", "ID=1"}));
}

// A device that sends lines with short gaps is read until it pauses for 100 ms; what it
// sent after its last carriage return is shown too.
void TestTerminal::linesUntilSilence() {
    int master = -1, slave = -1;
    QVERIFY(openpty(&master, &slave, nullptr, nullptr, nullptr) == 0);
    TComPort port;
    port.setDeviceName(QString::fromLocal8Bit(ttyname(slave)));
    port.setActive(true);
    std::thread device([master] {
        char request[16];
        [[maybe_unused]] ssize_t n = read(master, request, sizeof request); // "GO\r"
        for (int i = 0; i < 8; ++i) {
            const QByteArray line = "LINE" + QByteArray::number(i) + "\r";
            n = write(master, line.constData(), size_t(line.size()));
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
        n = write(master, "NO END", 6);
    });
    ComPort = &port;
    TTerminalForm form;
    form.Command->setText("GO");
    QTest::mouseClick(form.BitBtn, Qt::LeftButton);
    device.join();
    ComPort = nullptr;
    const QStringList lines = memoLines(form);
    QCOMPARE(lines.size(), 10);
    QCOMPARE(lines.at(8), QString("LINE7"));
    QCOMPARE(lines.last(), QString("NO END"));
    port.setActive(false);
    close(master);
    close(slave);
}

void TestTerminal::deviceThatKeepsTalking() {
    EmuLink link(1);
    QVERIFY(link.ok());
    TEmuFaults faults;
    faults.babble = true; // bytes without end and without a carriage return
    link.emu().setFaults(faults);
    QElapsedTimer clock;
    clock.start();
    const TTerminalExchange x = TerminalSend(&link.port(), "VER?", 300);
    QVERIFY(clock.elapsed() >= 300);
    QVERIFY(x.sent && x.cutShort);
    QVERIFY(!x.partial.isEmpty());
    QCOMPARE(PortBusy(), 0);
}

void TestTerminal::sendThatFails() {
    EmuLink link(1);
    QVERIFY(link.ok());
    TEmuFaults faults;
    faults.disappearAfter = 0; // the device is gone right after the first line
    link.emu().setFaults(faults);
    TTerminalForm form;
    form.Command->setText("VER?");
    QTest::mouseClick(form.BitBtn, Qt::LeftButton); // sent; the read fails unreported
    QVERIFY(Dialogs::shownMessages().isEmpty());
    Dialogs::setNextAnswer(QMessageBox::Ok);
    form.Command->setText("ID?");
    QTest::mouseClick(form.BitBtn, Qt::LeftButton); // the write fails
    QCOMPARE(Dialogs::shownMessages().size(), 1);
    QCOMPARE(memoLines(form), QStringList({"VER?", "ID?"}));
    QCOMPARE(PortBusy(), 0);
}

QTEST_MAIN(TestTerminal)
#include "test_terminal.moc"
