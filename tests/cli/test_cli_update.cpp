// devedazi-cli update and doctor end to end: the update against devedazi-emu and a stand-in
// DFU tool on the search path (the backup, the boot switch on the wire, the tool's exact
// arguments, its output with --verbose, the device back with its new version, the exit
// codes); doctor against a fake sysfs tree and device folder.

#include "cli/clirunner.h"
#include "link/fakesys.h"

#include <QTest>

namespace {

// Records its arguments (NUL-separated), draws dfu-util's bar, and restarts the virtual
// device (FAKE_DFU_EMU: its process) as a written firmware would; FAKE_DFU_FAIL fails.
const char* const kFakeDfuUtil = R"(#!/bin/sh
: > "$FAKE_DFU_ARGS"
for a in "$@"; do printf '%s\0' "$a" >> "$FAKE_DFU_ARGS"; done
printf 'dfu-util 0.11\n\nOpening DFU capable USB device...\n'
if [ -n "$FAKE_DFU_FAIL" ]; then
    echo 'dfu-util: No DFU capable USB device available' >&2
    exit 74
fi
printf '\rDownload\t[=========                ]  36%%        86016 bytes'
printf '\rDownload\t[=========================] 100%%       240000 bytes\nDownload done.\n'
[ -n "$FAKE_DFU_EMU" ] && kill -USR1 "$FAKE_DFU_EMU"
exit 0
)";

} // namespace

class TestCliUpdate : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_firmware;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QStringList env(const TEmuProcess& emu, const QStringList& more = {}) const {
        return QStringList{"PATH=" + path("bin") + ":" + qEnvironmentVariable("PATH"),
                           "XDG_DATA_HOME=" + path("data"), "FAKE_DFU_ARGS=" + path("args"),
                           "FAKE_DFU_EMU=" + QString::number(emu.pid())} +
               more;
    }
    QStringList backups() const {
        return QDir(path("data/DEVedazi/Profiles/Settings/Backups")).entryList(QDir::Files);
    }
    QStringList recordedArguments() const {
        QStringList args;
        const QList<QByteArray> parts = ReadAll(path("args")).split('\0');
        for (qsizetype i = 0; i + 1 < parts.size(); ++i)
            args.append(QString::fromLocal8Bit(parts[i]));
        return args;
    }

private slots:
    void initTestCase() {
        RequireBuiltPrograms();
        QVERIFY(QDir(m_dir.path()).mkpath("bin"));
        QVERIFY(QDir(m_dir.path()).mkpath("empty"));
        QVERIFY(WriteText(path("bin/dfu-util"), kFakeDfuUtil));
        QVERIFY(QFile(path("bin/dfu-util")).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        m_firmware = path("new firmware.dfu");
        QVERIFY(WriteText(m_firmware, "DfuSe"));
    }
    void init() {
        QFile::remove(path("args"));
        QDir(path("data")).removeRecursively();
    }

    // The usual case: a firmware older than the program. Its raw answers are the backup,
    // nothing more is asked, and the device comes back with the new firmware.
    void updatesAnOlderFirmware() {
        TEmuProcess emu({"--model", "4", "--version", "1.4.9", "--update-to", "1.5.1"});
        QVERIFY2(emu.ok(), qPrintable(emu.errors()));
        const TRun r = RunCli({"--port", emu.pty(), "update", m_firmware, "--yes"}, env(emu));
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("Firmware: 1.5.1\n"));
        QVERIFY2(r.err.contains("The firmware (1.4.9) is older than this program"),
                 qPrintable(r.err));
        QVERIFY(!r.err.contains("Opening DFU")); // the tool's output only with --verbose
        QCOMPARE(backups().size(), 1);
        QVERIFY(backups().first().startsWith("Zedo_Dizerado_") &&
                backups().first().endsWith("_raw.txt"));
        QCOMPARE(recordedArguments(),
                 (QStringList{"-d", ",0483:df11", "-a", "0", "-s", ":leave", "-D", m_firmware}));
        const QStringList received = emu.received();
        const qsizetype boot = received.indexOf("BOOT");
        QVERIFY(boot > 0);
        QVERIFY(received.mid(boot + 1).contains("VER?")); // read again once it was back
    }

    void verboseShowsTheTool() {
        TEmuProcess emu({"--update-to", "1.5.2"});
        QVERIFY2(emu.ok(), qPrintable(emu.errors()));
        const TRun r =
            RunCli({"update", "--verbose", "--port", emu.pty(), "-y", m_firmware}, env(emu));
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("Firmware: 1.5.2\n"));
        QVERIFY2(r.err.contains("Opening DFU capable USB device...\n") &&
                     r.err.contains("Download done."),
                 qPrintable(r.err));
        QCOMPARE(backups().size(), 1);
        QVERIFY(r.err.contains("To restore your settings: devedazi-cli upload "));
    }

    void failuresAndTheirCodes() {
        TEmuProcess emu;
        QVERIFY2(emu.ok(), qPrintable(emu.errors()));
        // Not confirmed (no terminal, no --yes): nothing but the model read reaches the device.
        TRun r = RunCli({"--port", emu.pty(), "update", m_firmware}, env(emu));
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("Update the firmware of Dozore 213 with new firmware.dfu?"));
        QVERIFY(!emu.received().contains("BOOT"));
        QVERIFY(backups().isEmpty());
        // No DFU tool: refused before the device is touched.
        QStringList noTool = env(emu);
        noTool[0] = "PATH=" + path("empty");
        r = RunCli({"--port", emu.pty(), "update", m_firmware, "--yes"}, noTool);
        QCOMPARE(r.code, 5);
        QVERIFY(r.err.contains("no DFU tool found"));
        QCOMPARE(emu.received().filter("BOOT").size(), 0);
        // The tool fails: its own code, and the reason.
        r = RunCli({"--port", emu.pty(), "update", m_firmware, "--yes"},
                   env(emu, {"FAKE_DFU_FAIL=1"}));
        QCOMPARE(r.code, 5);
        QVERIFY2(r.err.contains("no device in DFU mode was found"), qPrintable(r.err));
        QVERIFY(emu.received().contains("BOOT"));
        QCOMPARE(RunCli({"update", path("missing.dfu"), "--yes"}, env(emu)).code, 2);
    }

    void doctorExitCodes() {
        FakeSys sys;
        QTemporaryDir dev;
        const QStringList roots{
            "DEVEDAZI_SYS_ROOT=" + sys.root(), "DEVEDAZI_DEV_ROOT=" + dev.path(),
            "DEVEDAZI_PROC_ROOT=" + dev.filePath("proc"), "DEVEDAZI_FS_ROOT=" + dev.filePath("fs"),
            "XDG_DATA_HOME=" + path("data")};
        TRun r = RunCli({"doctor"}, roots);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.startsWith("PROBLEM: No device is connected"), qPrintable(r.out));
        QVERIFY(r.out.endsWith("The device cannot be used yet.\n"));
        // The rule's text is saved where the commands to install it say.
        QCOMPARE(
            ReadAll(path("data/DEVedazi/70-devedazi.rules")),
            ReadAll(qEnvironmentVariable("DEVEDAZI_SOURCE_DIR") + "/packaging/70-devedazi.rules"));

        sys.addUsbTty("ttyACM0", "0483", "5740");
        QVERIFY(WriteText(dev.filePath("ttyACM0"), ""));
        r = RunCli({"doctor"}, roots);
        QCOMPARE(r.code, 0);
        QVERIFY2(
            r.out.startsWith("ok: The device is connected: USB 0483:5740, serial port ttyACM0"),
            qPrintable(r.out));
        r = RunCli({"doctor", "--port", "ttyUSB9"}, roots);
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains("PROBLEM: The chosen port ttyUSB9 does not exist (any more)."));
    }
};

QTEST_GUILESS_MAIN(TestCliUpdate)
#include "test_cli_update.moc"
