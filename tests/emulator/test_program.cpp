// devedazi-emu as a program: options, the link, the trace and state files, stopping on
// SIGTERM.

#include "ptyclient.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestEmuProgram : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void runsUntilTerminated();
    void refusesBadOptions();

private:
    QString m_program;
    bool start(QProcess& p, const QStringList& args, QString* path);
};

void TestEmuProgram::initTestCase() {
    m_program = qEnvironmentVariable("DEVEDAZI_BUILD_DIR") + "/src/devedazi-emu";
    if (!QFileInfo(m_program).isExecutable())
        QSKIP("devedazi-emu is not built");
}

bool TestEmuProgram::start(QProcess& p, const QStringList& args, QString* path) {
    p.start(m_program, args);
    if (!p.waitForStarted(5000) || !p.waitForReadyRead(5000))
        return false;
    *path = QString::fromLocal8Bit(p.readLine()).trimmed();
    return !path->isEmpty();
}

void TestEmuProgram::runsUntilTerminated() {
    QTemporaryDir dir;
    const QString link = dir.filePath("device");
    const QString state = dir.filePath("state.txt");
    const QString trace = dir.filePath("trace.txt");
    const QStringList args = {"--model", "4",   "--version", "2.0.0", "--link", link,
                              "--state", state, "--trace",   trace,   "--crlf"};
    for (int run = 0; run < 2; ++run) {
        QProcess p;
        QString path;
        QVERIFY(start(p, args, &path));
        QVERIFY(path.startsWith("/dev/"));
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);
        PtyClient c(link);
        QVERIFY(c.ok());
        QCOMPARE(c.ask("ID?"), QByteArray("ID=4"));
        QCOMPARE(c.ask("VER?"), QByteArray("\nVER=2.0.0")); // the LF of the previous CR LF
        if (run == 0)
            QCOMPARE(c.ask("PNAM[0]=SAVED"), QByteArray("\nOK"));
        else // the second run started from the state the first one left
            QCOMPARE(c.ask("PNAM[0]?"), QByteArray("\nPNAM[0]=SAVED"));
        p.terminate();
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }
    QFile s(state);
    QVERIFY(s.open(QIODevice::ReadOnly));
    const QByteArray text = s.readAll();
    QVERIFY(text.contains("\nID=4\n") && text.contains("\nPNAM[0]=SAVED\n"));
    QFile t(trace);
    QVERIFY(t.open(QIODevice::ReadOnly));
    QVERIFY(t.readAll().contains(" TX PNAM[0]=SAVED\n"));
}

void TestEmuProgram::refusesBadOptions() {
    for (const QStringList& args : {QStringList{"--model", "x"},
                                    {"--malformed", "KACT"},
                                    {"--trace", "/nonexistent/dir/trace"}}) {
        QProcess p;
        p.start(m_program, args);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 1);
    }
}

QTEST_GUILESS_MAIN(TestEmuProgram)
#include "test_program.moc"
