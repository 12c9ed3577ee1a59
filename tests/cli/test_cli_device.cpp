// devedazi-cli end to end: logos, screenshot, monitor CSV, device actions and raw send.

#include "cli/clirunner.h"
#include "common/fullfs.h"
#include "monitor/monitorcsv.h"
#include "monitor/monitorhistory.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

namespace {

QByteArray Line(char byte) {
    return QByteArray(128, byte).toBase64();
}

// "LOGO[k]=..." lines for a state file.
QByteArray LogoLine(int k, char byte) {
    return "LOGO[" + QByteArray::number(k) + "]=" + Line(byte) + "\n";
}

bool MakePicture(const QString& path, const QStringList& drawing) {
    return RunProgram("/usr/bin/convert", drawing + QStringList{path}).code == 0;
}

QStringList CsvLines(const QString& text) {
    return text.split('\n', Qt::SkipEmptyParts);
}

const QStringList MonitorHeader = {
    "time",       "Batt. Pack",   "Batt. Cell 1", "Batt. Cell 2", "Batt. Cell 3", "Batt. Level",
    "Power",      "Power VW",     "Power TC",     "Temperature",  "Temp. Set",    "Temp. Peak",
    "Voltage",    "Voltage Set",  "Current",      "Cold Ohms",    "Live Ohms",    "Board Temp.",
    "Room Temp.", "Puffs",        "Time",         "Errors",       "Last Energy",  "Last Power",
    "Last Temp.", "Last Voltage", "Last Current", "Last Resist.", "Last Time",    "Batt. Charge"};

} // namespace

class TestCliDevice : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void logosDownload();
    void logosUpload();
    void logosUploadRefusesIncompleteFolders();
    void logosDownloadSwapsTheWholeSet();
    void fullDiskKeepsOldFiles_data();
    void fullDiskKeepsOldFiles();
    void screenshot();
    void monitorCsv();
    void monitorStopsOnCtrlC();
    void monitorKeepsRowsWhenTheDeviceIsLost();
    void monitorRecordsRowByRow();
    void actions();
    void destructiveActionsNeedConfirmation();
    void send();
};

void TestCliDevice::initTestCase() {
    RequireBuiltPrograms();
}

void TestCliDevice::logosDownload() {
    // 128 x 32, column packing: line 0 is rows 0-7 of slot 1; line 5 is rows 8-15 of
    // slot 2, where byte value 1 lights row 8 only.
    TEmuProcess emu({"--model", "1"},
                    LogoLine(0, '\xff') + LogoLine(5, '\x01') + "LSCR=1,2,3,0,0,0,0,35\n");
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString out = dir.filePath("logos/new");
    const TRun r = RunCliOn(emu, {"logos", "download", out});
    QCOMPARE(r.code, 0);
    QCOMPARE(FolderEntries(out),
             (QStringList{"logo1.png", "logo2.png", "logo3.png", "logo4.png", "logo5.png",
                          "logo6.png", "logo7.png", "logo8.png", "screens.csv"}));
    QCOMPARE(PictureInfo(out + "/logo1.png"), QString("PNG 128x32 0.25"));
    QCOMPARE(PictureInfo(out + "/logo1.png", "128x8+0+0"), QString("PNG 128x8 1"));
    QCOMPARE(PictureInfo(out + "/logo2.png", "128x1+0+8"), QString("PNG 128x1 1"));
    QCOMPARE(PictureInfo(out + "/logo2.png"), QString("PNG 128x32 0.03125"));
    QCOMPARE(PictureInfo(out + "/logo3.png"), QString("PNG 128x32 0"));
    QCOMPARE(QString::fromUtf8(ReadAll(out + "/screens.csv")),
             QString("logo,screen,name\nlogo1.png,1,Welcome\nlogo2.png,2,Goodbye\n"
                     "logo3.png,3,Fire\nlogo4.png,0,None\nlogo5.png,0,None\nlogo6.png,0,None\n"
                     "logo7.png,0,None\nlogo8.png,35,Charge 100%\n"));
    QVERIFY(emu.writes().isEmpty());

    // One file of the set cannot be written: none of the others is replaced either.
    const QString old = dir.filePath("old");
    QVERIFY(QDir().mkpath(old + "/logo3.png"));
    QVERIFY(WriteText(old + "/logo1.png", "mine"));
    QCOMPARE(RunCliOn(emu, {"logos", "download", old}).code, 2);
    QCOMPARE(FolderEntries(old), (QStringList{"logo1.png", "logo3.png"}));
    QCOMPARE(ReadAll(old + "/logo1.png"), QByteArray("mine"));

    // The device lost halfway through the logo lines: exit 1 and no folder.
    TEmuProcess gone({"--model", "1", "--disappear-after", "12"});
    QVERIFY2(gone.ok(), qPrintable(gone.errors()));
    QCOMPARE(RunCliOn(gone, {"logos", "download", dir.filePath("lost")}).code, 1);
    QVERIFY(!QFileInfo::exists(dir.filePath("lost")));
}

void TestCliDevice::logosUpload() {
    // 128 x 64 with 4 slots of 8 lines each.
    TEmuProcess emu({"--model", "2"}, "LSCR=5,6,7,8\n");
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString in = dir.path();
    // Top half lit; a double-size white picture; black pictures as .bmp and .JPG.
    QVERIFY(MakePicture(in + "/logo1.png", {"-size", "128x64", "xc:black", "-fill", "white",
                                            "-draw", "rectangle 0,0 127,31"}));
    QVERIFY(MakePicture(in + "/logo2.gif", {"-size", "256x128", "xc:white"}));
    QVERIFY(MakePicture(in + "/logo3.bmp", {"-size", "128x64", "xc:black"}));
    QVERIFY(MakePicture(in + "/logo4.JPG", {"-size", "128x64", "xc:black"}));
    // Slot 3 keeps what the device has; a screen by name and one by code.
    QVERIFY(WriteText(in + "/screens.csv", "logo,screen,name\nlogo1.png,,welcome\nlogo2.png,20\n"
                                           "logo4.png,35,whatever\n"));
    const TRun r = RunCliOn(emu, {"logos", "upload", in});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err.trimmed(), QString("Done"));
    QVERIFY(emu.received().contains("LRST"));

    const auto state = emu.state();
    QCOMPARE(state.value("LSCR"), QString("1,20,7,35"));
    for (int k = 0; k < 32; ++k) {
        const bool lit = k < 4 || (k >= 8 && k < 16);
        QCOMPARE(state.value(QString("LOGO[%1]").arg(k)).toLatin1(), Line(lit ? '\xff' : 0));
    }
}

void TestCliDevice::logosUploadRefusesIncompleteFolders() {
    TEmuProcess emu({"--model", "2"});
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    QVERIFY(MakePicture(dir.filePath("logo1.png"), {"-size", "128x64", "xc:black"}));
    QVERIFY(MakePicture(dir.filePath("logo2.png"), {"-size", "128x64", "xc:black"}));
    QVERIFY(MakePicture(dir.filePath("logo3.png"), {"-size", "128x64", "xc:black"}));
    TRun r = RunCliOn(emu, {"logos", "upload", dir.path()});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains("logo4"), qPrintable(r.err));

    QVERIFY(WriteText(dir.filePath("logo4.png"), "not a picture"));
    r = RunCliOn(emu, {"logos", "upload", dir.path()});
    QCOMPARE(r.code, 2);
    QCOMPARE(r.err, "Cannot read " + dir.filePath("logo4.png") + ": not a PNG file\n");
    QVERIFY(MakePicture(dir.filePath("logo4.png"), {"-size", "128x64", "xc:black"}));
    QVERIFY(WriteText(dir.filePath("screens.csv"), "logo1.png,Nowhere\n"));
    QCOMPARE(RunCliOn(emu, {"logos", "upload", dir.path()}).code, 2);
    // A code outside the table that the device doesn't hold is a typing error.
    QVERIFY(WriteText(dir.filePath("screens.csv"), "logo1.png,99\n"));
    r = RunCliOn(emu, {"logos", "upload", dir.path()});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains("screen 99 is not one of 0 to 35"), qPrintable(r.err));
    QCOMPARE(RunCliOn(emu, {"logos", "upload", dir.filePath("none")}).code, 2);
    QVERIFY(emu.writes().isEmpty());
    QVERIFY(!emu.received().contains("LRST"));
}

quint64 Inode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}

// The set is swapped in as a whole: a crash leaves the old set or the new one, the
// folder's other files stay the same files, and screen codes the device made up go back.
void TestCliDevice::logosDownloadSwapsTheWholeSet() {
    TEmuProcess emu({"--model", "1"}, "LSCR=36,-1,1,0,0,0,0,0\n");
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir parent;
    const QString out = parent.filePath("logos");
    QVERIFY(QDir().mkpath(out));
    QVERIFY(WriteText(out + "/logo1.png", "old 1") && WriteText(out + "/logo3.bmp", "old 3") &&
            WriteText(out + "/notes.txt", "mine"));
    const quint64 notes = Inode(out + "/notes.txt");
    const QStringList old{"logo1.png", "logo3.bmp", "notes.txt"};
    const QStringList args{"--port", emu.pty(), "logos", "download", out};
    const auto dropLeftovers = [&] {
        for (const QString& e : FolderEntries(parent.path()))
            if (e != "logos")
                QDir(parent.filePath(e)).removeRecursively();
    };

    QCOMPARE(RunCli(args, {"DEVEDAZI_TEST_CRASH=before-swap"}).code, 99);
    QCOMPARE(FolderEntries(out), old);
    QCOMPARE(ReadAll(out + "/logo1.png"), QByteArray("old 1"));
    dropLeftovers();
    QCOMPARE(RunCli(args, {"DEVEDAZI_TEST_CRASH=after-swap"}).code, 99);
    QCOMPARE(FolderEntries(out).size(), 8 + 1 + 2);
    QVERIFY(PictureInfo(out + "/logo1.png").startsWith("PNG 128x32"));
    dropLeftovers();

    QCOMPARE(RunCli(args).code, 0);
    QCOMPARE(FolderEntries(parent.path()), QStringList{"logos"});
    QCOMPARE(FolderEntries(out), (QStringList{"logo1.png", "logo2.png", "logo3.bmp", "logo3.png",
                                              "logo4.png", "logo5.png", "logo6.png", "logo7.png",
                                              "logo8.png", "notes.txt", "screens.csv"}));
    QCOMPARE(ReadAll(out + "/logo3.bmp"), QByteArray("old 3"));
    QCOMPARE(Inode(out + "/notes.txt"), notes);
    QVERIFY(ReadAll(out + "/screens.csv")
                .startsWith("logo,screen,name\nlogo1.png,36,\n"
                            "logo2.png,-1,\nlogo3.png,1,Welcome\n"));
    // Named with a trailing slash, and from inside the folder: nothing is left beside the
    // folder, and a process working in it keeps its folder (it is not swapped away).
    const TRun slash = RunCliOn(emu, {"logos", "download", out + "/"});
    QVERIFY2(slash.code == 0, qPrintable(QString(slash.err).replace(QChar(10), QChar(32))));
    QCOMPARE(FolderEntries(parent.path()), QStringList{"logos"});
    const quint64 before = Inode(out);
    const TRun inside =
        RunProgram(BuiltProgram("devedazi-cli"), {"--port", emu.pty(), "logos", "download", "."},
                   {}, 60000, [&](QProcess& p) { p.setWorkingDirectory(out); });
    QCOMPARE(inside.code, 0);
    QCOMPARE(Inode(out), before);
    QCOMPARE(FolderEntries(parent.path()), QStringList{"logos"});
    QVERIFY(FolderEntries(out).contains("notes.txt"));

    QFile::remove(out + "/logo3.bmp");
    QCOMPARE(RunCliOn(emu, {"logos", "upload", out}).code, 0);
    QCOMPARE(emu.state().value("LSCR"), QString("36,-1,1,0,0,0,0,0"));
}

void TestCliDevice::fullDiskKeepsOldFiles_data() {
    QTest::addColumn<bool>("realDisk");
    QTest::newRow("file-size limit") << false;
    QTest::newRow("full tmpfs") << true;
}

// Every output of the tool on a disk that fills up: exit 2 with the file and the system's
// reason, the old files as they were, no temporary file left behind.
void TestCliDevice::fullDiskKeepsOldFiles() {
    QFETCH(bool, realDisk);
    TFullFileSystem fs;
    if (realDisk && !fs.ok())
        QSKIP(qPrintable("full file system not tested: " + fs.whyNot()));
    QByteArray noise; // logos of random pixels: each picture outgrows the 1 KiB limit
    QRandomGenerator random(7);
    for (int k = 0; k < 32; ++k) {
        QByteArray bytes(128, 0);
        for (char& b : bytes)
            b = char(random.bounded(256));
        noise += "LOGO[" + QByteArray::number(k) + "]=" + bytes.toBase64() + "\n";
    }
    TEmuProcess emu({"--model", "2"}, noise);
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir plain;
    const QString dir = realDisk ? fs.path() : plain.path();
    const QMap<QString, QByteArray> old = {{"existing.xml", "<Root><Mine keep=\"1\"/></Root>\n"},
                                           {"shot.bmp", "old shot"},
                                           {"log.csv", "old log"},
                                           {"logos/logo1.png", "old logo"}};
    QVERIFY(QDir().mkpath(dir + "/logos"));
    for (auto it = old.cbegin(); it != old.cend(); ++it)
        QVERIFY(WriteText(dir + "/" + it.key(), it.value()));
    QVERIFY(!realDisk || fs.fill());
    const QStringList before = FolderEntries(dir) + FolderEntries(dir + "/logos");
    const QString reason = realDisk ? "No space left on device" : "File too large";
    const QList<QPair<QStringList, QString>> runs = {
        {{"download", dir + "/existing.xml"}, "existing.xml"},
        {{"screenshot", dir + "/shot.bmp", "--zoom", "8"}, "shot.bmp"},
        {{"monitor", "--count", "12", "--output", dir + "/log.csv"}, "log.csv"},
        {{"logos", "download", dir + "/logos"}, "logos/logo1.png"}};
    for (const auto& [args, file] : runs) {
        const TRun r =
            RunProgram(BuiltProgram("devedazi-cli"), QStringList{"--port", emu.pty()} + args, {},
                       60000, [realDisk](QProcess& p) {
                           if (!realDisk)
                               LimitChildFileSize(p, 1024);
                       });
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err, "Cannot write " + dir + "/" + file + ": " + reason + "\n");
    }
    for (auto it = old.cbegin(); it != old.cend(); ++it)
        QCOMPARE(ReadAll(dir + "/" + it.key()), it.value());
    QCOMPARE(FolderEntries(dir) + FolderEntries(dir + "/logos"), before);
}

void TestCliDevice::screenshot() {
    QTemporaryDir dir;
    {
        TEmuProcess emu({"--model", "2", "--busy", "2"});
        QVERIFY2(emu.ok(), qPrintable(emu.errors()));
        QCOMPARE(RunCliOn(emu, {"screenshot", dir.filePath("a.png"), "--zoom", "3"}).code, 0);
        QVERIFY(PictureInfo(dir.filePath("a.png")).startsWith("PNG 384x192 "));
        QCOMPARE(RunCliOn(emu, {"screenshot", "--zoom=2", dir.filePath("b.gif")}).code, 0);
        QVERIFY(PictureInfo(dir.filePath("b.gif")).startsWith("GIF 256x128 "));
        QCOMPARE(RunCliOn(emu, {"screenshot", dir.filePath("c.jpg")}).code, 0);
        QVERIFY(PictureInfo(dir.filePath("c.jpg")).startsWith("JPEG 128x64 "));
        // The colour picture is not all black.
        QVERIFY(PictureInfo(dir.filePath("a.png")).section(' ', 2).toDouble() > 0);

        const int before = emu.received().size();
        QCOMPARE(RunCliOn(emu, {"screenshot", dir.filePath("d.tif")}).code, 2);
        QCOMPARE(RunCliOn(emu, {"screenshot", dir.filePath("no/g.png")}).code, 2);
        QCOMPARE(emu.received().size(), before);
    }
    {
        TEmuProcess emu({"--model", "1"});
        QVERIFY2(emu.ok(), qPrintable(emu.errors()));
        QCOMPARE(RunCliOn(emu, {"screenshot", dir.filePath("e.bmp")}).code, 0);
        QVERIFY(PictureInfo(dir.filePath("e.bmp")).contains(QRegularExpression("^BMP3? 128x32 ")));
    }
    {
        TEmuProcess emu({"--model", "2", "--disappear-after", "5"});
        QVERIFY2(emu.ok(), qPrintable(emu.errors()));
        QCOMPARE(RunCliOn(emu, {"screenshot", dir.filePath("f.png")}).code, 1);
    }
    QCOMPARE(FolderEntries(dir.path()), (QStringList{"a.png", "b.gif", "c.jpg", "e.bmp"}));
}

void TestCliDevice::monitorCsv() {
    // One cell; a firing in progress with no coil temperature; profile 3 active.
    TEmuProcess emu({"--model", "3"}, "PROF=2\nPPAR[2]=375,255,300,215\nLATM=360,480,750,270,"
                                      "65535,1250\nAERR=255\n");
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString file = dir.filePath("m.csv");
    const TRun r = RunCliOn(emu, {"monitor", "--count", "2", "--output", file});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.isEmpty());
    const QStringList lines = CsvLines(QString::fromUtf8(ReadAll(file)));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0).split(','), MonitorHeader);
    for (int i = 1; i < 3; ++i) {
        const QStringList row = lines.at(i).split(',');
        QCOMPARE(row.size(), 30);
        const QDateTime time = QDateTime::fromString(row.at(0), Qt::ISODateWithMs);
        QVERIFY2(time.isValid() && qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 60,
                 qPrintable(row.at(0)));
        const auto col = [&](const char* name) { return row.at(MonitorHeader.indexOf(name)); };
        QCOMPARE(col("Batt. Cell 2"), QString("0.00")); // a one-cell model has no cell 2
        QCOMPARE(col("Power VW"), QString("25.5"));
        QCOMPARE(col("Temp. Set"), QString("215"));
        QCOMPARE(col("Voltage Set"), QString("3.75"));
        QCOMPARE(col("Last Voltage"), QString("3.60"));
        QCOMPARE(col("Last Resist."), QString("0.480"));
        QCOMPARE(col("Last Current"), QString("7.50"));
        QCOMPARE(col("Last Power"), QString("27.0"));
        QCOMPARE(col("Last Temp."), QString()); // shown as missing
        QCOMPARE(col("Last Time"), QString("1.250"));
        QCOMPARE(col("Errors"), QString("255"));
        // Not firing: the live values are shown as missing.
        QCOMPARE(col("Power"), QString());
        QCOMPARE(col("Voltage"), QString());
        QCOMPARE(col("Current"), QString());
        QCOMPARE(col("Time"), QString());
    }
    // Standard output without --output.
    const TRun out = RunCliOn(emu, {"monitor", "--count=1"});
    QCOMPARE(out.code, 0);
    QCOMPARE(CsvLines(out.out).size(), 2);
    QCOMPARE(CsvLines(out.out).at(0).split(','), MonitorHeader);
}

void TestCliDevice::monitorStopsOnCtrlC() {
    TEmuProcess emu;
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QProcess cli;
    cli.start(BuiltProgram("devedazi-cli"), {"--port", emu.pty(), "monitor"});
    QElapsedTimer clock;
    clock.start();
    QByteArray out;
    while (out.count('\n') < 3 && clock.elapsed() < 20000) {
        cli.waitForReadyRead(100);
        out += cli.readAllStandardOutput();
    }
    QVERIFY(out.count('\n') >= 3);
    ::kill(pid_t(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 0);
    out += cli.readAllStandardOutput();
    QVERIFY(out.endsWith('\n'));
}

void TestCliDevice::monitorKeepsRowsWhenTheDeviceIsLost() {
    // A poll is 13 requests: the second poll loses the device.
    TEmuProcess emu({"--disappear-after", "20"});
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString file = dir.filePath("m.csv");
    const TRun r = RunCliOn(emu, {"monitor", "--count", "5", "--output", file});
    QCOMPARE(r.code, 1);
    QCOMPARE(CsvLines(QString::fromUtf8(ReadAll(file))).size(), 2);
    QCOMPARE(FolderEntries(dir.path()), QStringList{"m.csv"});

    // Lost before the first row: no file at all.
    TEmuProcess gone({"--disappear-after", "3"});
    QVERIFY2(gone.ok(), qPrintable(gone.errors()));
    QCOMPARE(RunCliOn(gone, {"monitor", "--output", dir.filePath("n.csv")}).code, 1);
    QCOMPARE(FolderEntries(dir.path()), QStringList{"m.csv"});
}

// --record refuses an existing file before asking the device anything. A recording killed
// right after its third row holds exactly those rows, one killed at any moment only whole
// rows; both read back strictly, and what --output writes comes back byte for byte.
void TestCliDevice::monitorRecordsRowByRow() {
    TEmuProcess emu;
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString mine = dir.filePath("mine.csv");
    QVERIFY(WriteText(mine, "mine\n"));
    const TRun refused = RunCliOn(emu, {"monitor", "--count", "2", "--record", mine});
    QCOMPARE(refused.code, 2);
    QCOMPARE(refused.err, "Cannot record to " + mine + ": the file exists\n");
    QCOMPARE(ReadAll(mine), QByteArray("mine\n"));
    QVERIFY(emu.received().isEmpty());

    const QString killed = dir.filePath("killed.csv");
    const TRun crash = RunCli({"--port", emu.pty(), "monitor", "--record", killed},
                              {"DEVEDAZI_TEST_CRASH=record-3"});
    QCOMPARE(crash.code, -1);                // ended by SIGKILL
    QCOMPARE(CsvLines(crash.out).size(), 3); // header and two rows reached standard output
    TMonitorHistory rows;
    QString error;
    QVERIFY2(LoadMonitorCsv(killed, rows, &error), qPrintable(error));
    QCOMPARE(rows.size(), 3);

    const QString anytime = dir.filePath("anytime.csv");
    QProcess cli;
    cli.start(BuiltProgram("devedazi-cli"), {"--port", emu.pty(), "monitor", "--record", anytime});
    QTRY_VERIFY_WITH_TIMEOUT(CsvLines(QString::fromUtf8(ReadAll(anytime))).size() >= 4, 30000);
    QTest::qWait(QRandomGenerator::global()->bounded(300));
    ::kill(pid_t(cli.processId()), SIGKILL);
    QVERIFY(cli.waitForFinished(10000));
    QVERIFY2(LoadMonitorCsv(anytime, rows, &error), qPrintable(error));
    QVERIFY(rows.size() >= 3);

    const QString output = dir.filePath("out.csv");
    QCOMPARE(RunCliOn(emu, {"monitor", "--count", "3", "--output", output}).code, 0);
    QVERIFY(LoadMonitorCsv(output, rows));
    QCOMPARE(rows.size(), 3);
    const QString again = dir.filePath("again.csv");
    QVERIFY(WriteMonitorCsv(again, rows));
    QCOMPARE(ReadAll(again), ReadAll(output));
}

void TestCliDevice::actions() {
    TEmuProcess emu;
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QCOMPARE(RunCliOn(emu, {"keys", "--fire", "1500"}).code, 0);
    QCOMPARE(RunCliOn(emu, {"keys", "--plus"}).code, 0);
    QCOMPARE(RunCliOn(emu, {"--quiet", "keys", "--minus"}).code, 0);
    QCOMPARE(emu.writes(), (QStringList{"KEYS=1500,0,0", "KEYS=0,0,100", "KEYS=0,100,0"}));

    const TRun coil = RunCliOn(emu, {"measure-coil"});
    QCOMPARE(coil.code, 0);
    QVERIFY2(QRegularExpression("^Cold Ohms: \\d+\\.\\d{3} \u03A9\nTemperature: -?\\d+ \u00B0C\n$")
                 .match(coil.out)
                 .hasMatch(),
             qPrintable(coil.out));
    QVERIFY(emu.received().contains("PRT"));

    QCOMPARE(RunCliOn(emu, {"soft-reset"}).code, 0);
    QCOMPARE(emu.received().last(), QString("MRST"));
}

void TestCliDevice::destructiveActionsNeedConfirmation() {
    TEmuProcess emu;
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    // No terminal to ask on and no --yes: nothing is sent.
    TRun r = RunCliOn(emu, {"reset-settings"});
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains("Reset Mod settings to default values?"));
    r = RunCliOn(emu, {"calibrate"});
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains("Calibrate Batteries at 4.2V?"));
    QVERIFY(emu.received().isEmpty());

    QCOMPARE(RunCliOn(emu, {"--yes", "reset-settings"}).code, 0);
    QCOMPARE(RunCliOn(emu, {"calibrate", "-y"}).code, 0);
    QCOMPARE(emu.received(), (QStringList{"SRST", "MRST", "BCAL"}));
}

void TestCliDevice::send() {
    TEmuProcess emu({"--error-for", "PROF"});
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    TRun r = RunCliOn(emu, {"send", "ver?"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("VER=1.5.1\n"));
    r = RunCliOn(emu, {"send", "PROF?"});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString("ERROR\n"));
    QCOMPARE(RunCliOn(emu, {"send", QString(256, 'A')}).code, 2);
    QCOMPARE(emu.received(), (QStringList{"VER?", "PROF?"}));

    // A device that never falls silent: what came is printed, but the exchange failed.
    TEmuProcess babble({"--babble"});
    QVERIFY2(babble.ok(), qPrintable(babble.errors()));
    r = RunCliOn(babble, {"send", "VER?"});
    QCOMPARE(r.code, 1);
    QVERIFY(!r.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestCliDevice)
#include "test_cli_device.moc"
