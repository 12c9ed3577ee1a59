// devedazi-cli backup end to end against devedazi-emu: the dated file holds the device's
// image (read by python3's XML parser), the default folder, rotation to the newest 20 of
// the model, the exit codes; and diff --units, which lists what the Tuner's compare shows.

#include "cli/clirunner.h"

#include <QRegularExpression>
#include <QTest>

class TestCliBackup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RequireBuiltPrograms(); }
    void backupWritesADatedSettingsFile();
    void defaultFolderAndRotation();
    void olderFirmwareGivesRawAnswers();
    void failuresWriteNothing();
    void diffInDisplayUnits();
};

void TestCliBackup::backupWritesADatedSettingsFile() {
    TEmuProcess emu({"--model", "4"}, "PNAM[2]=MINE\nPPAR[2]=350,250,300,200\n");
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const TRun r = RunCliOn(emu, {"backup", dir.path()});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err.trimmed(), QString("Done"));
    const QString path = r.out.trimmed();
    QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(dir.path()) +
                                "/Zedo_Dizerado_\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.xml$")
                 .match(path)
                 .hasMatch(),
             qPrintable(path));
    QCOMPARE(FolderEntries(dir.path()), QStringList{QFileInfo(path).fileName()}); // no leftovers

    const auto xml = XmlAttributes(path);
    QCOMPARE(xml.value("Settings.ID"), QString("4"));
    QCOMPARE(xml.value("Settings.Version"), QString("1.5.1"));
    QCOMPARE(xml.value("Profile3.name"), QString("MINE"));
    QCOMPARE(xml.value("Profile3.powerTC"), QString("300"));
    QCOMPARE(xml.value("V2P12.voltage"), QString("250"));
    QVERIFY(emu.writes().isEmpty()); // a backup only reads
}

void TestCliBackup::defaultFolderAndRotation() {
    TEmuProcess emu({"--model", "1"});
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir data;
    const QString folder = data.filePath("DEVedazi/Profiles/Settings/Backups");
    QVERIFY(QDir().mkpath(folder));
    for (int i = 0; i < 22; ++i)
        QVERIFY(WriteText(folder + QStringLiteral("/Dozore_213_2020-01-%1_00-00-00.xml")
                                       .arg(i + 1, 2, 10, QLatin1Char('0')),
                          "<Root/>"));
    QVERIFY(WriteText(folder + "/Dozore_Plus_2020-01-01_00-00-00.xml", "<Root/>"));

    const TRun r = RunCli({"--port", emu.pty(), "backup"}, {"XDG_DATA_HOME=" + data.path()});
    QCOMPARE(r.code, 0);
    QCOMPARE(QFileInfo(r.out.trimmed()).absolutePath(), folder);
    const QStringList left = FolderEntries(folder);
    QCOMPARE(left.size(), 20 + 1);
    QVERIFY(left.contains("Dozore_Plus_2020-01-01_00-00-00.xml"));
    QVERIFY(!left.contains("Dozore_213_2020-01-03_00-00-00.xml")); // the three oldest went
    QVERIFY(left.contains("Dozore_213_2020-01-04_00-00-00.xml"));
    QVERIFY(left.contains(QFileInfo(r.out.trimmed()).fileName()));
}

// A firmware older than the program: its answers are kept as raw lines, as the updater
// keeps them before flashing.
void TestCliBackup::olderFirmwareGivesRawAnswers() {
    TEmuProcess emu({"--version", "1.4.9", "--model", "2"}, "PNAM[7]=LAST\n");
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const TRun r = RunCliOn(emu, {"backup", dir.path()});
    QCOMPARE(r.code, 0);
    const QString path = r.out.trimmed();
    QVERIFY2(path.startsWith(dir.path() + "/Dozore_Plus_") && path.endsWith("_raw.txt"),
             qPrintable(path));
    QVERIFY2(r.err.contains("The firmware (1.4.9) is older than this program") &&
                 r.err.contains("devedazi-cli send"),
             qPrintable(r.err));
    const QList<QByteArray> lines = ReadAll(path).split('\n');
    QCOMPARE(lines.first(), QByteArray("PROF=0"));
    QVERIFY(lines.contains("PNAM[7]=LAST"));
    QVERIFY(emu.writes().isEmpty());
}

void TestCliBackup::failuresWriteNothing() {
    QTemporaryDir dir;
    {
        TEmuProcess emu({"--silent-after", "30"});
        QVERIFY2(emu.ok(), qPrintable(emu.errors()));
        const TRun r = RunCliOn(emu, {"backup", dir.path()});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
    }
    QVERIFY(FolderEntries(dir.path()).isEmpty());
    TEmuProcess emu;
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QCOMPARE(RunCliOn(emu, {"backup", dir.filePath("missing")}).code, 2);
    QCOMPARE(RunCliOn(emu, {"backup", dir.path(), dir.path()}).code, 2);
    QVERIFY(emu.received().isEmpty()); // refused before any exchange
}

void TestCliBackup::diffInDisplayUnits() {
    TEmuProcess emu({"--model", "4"});
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString file = dir.filePath("s.xml");
    QCOMPARE(RunCliOn(emu, {"download", file}).code, 0);
    QCOMPARE(RunCliOn(emu, {"diff", "--units", file}).out, QString());
    QByteArray text = ReadAll(file);
    text.replace("powerVW=\"400\"", "powerVW=\"455\""); // every profile
    text.replace("Key1=\"0\"", "Key1=\"5\"");
    text.replace("Color=\"32768\"", "Color=\"31744\"");
    QVERIFY(WriteText(file, text));

    const TRun units = RunCliOn(emu, {"diff", file, "--units"});
    QCOMPARE(units.code, 0);
    QStringList expected;
    for (int p = 1; p <= 8; ++p)
        expected << QStringLiteral("Profiles\tProfile %1: VW Power\t40.0 W\t45.5 W").arg(p);
    expected << "Screen\tLED Color: Charging\tRainbow\tSolid Color #F80000"
             << "Buttons\tKey Action: 2 x Fire\tNone\tNext Mode";
    QCOMPARE(units.out.split('\n', Qt::SkipEmptyParts), expected);
    // The plain listing keeps its stored values, one line per field.
    const TRun plain = RunCliOn(emu, {"diff", file});
    QCOMPARE(plain.out.count('\n'), 10);
    QVERIFY(plain.out.startsWith("Profile1.powerVW\t400\t455\n"));
    QVERIFY(plain.out.contains("BrTime4.Color\t32768\t31744\n"));
    QVERIFY(emu.writes().isEmpty());
}

QTEST_GUILESS_MAIN(TestCliBackup)
#include "test_cli_backup.moc"
