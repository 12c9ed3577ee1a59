// devedazi-cli end to end: info, download, upload, diff, port choice and exit codes.

#include "cli/clirunner.h"
#include "link/fakesys.h"

#include <QTest>

class TestCliSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void linksNoWidgets();
    void usageErrorsExitTwo_data();
    void usageErrorsExitTwo();
    void downloadWritesTheSettingsFile();
    void uploadWritesOnlyWhatDiffers();
    void diffListsFieldsWithoutWriting();
    void badSettingsFilesExitTwo();
    void sharedFileCannotInjectCommands();
    void oldFirmwareExitsThree();
    void deviceLostMidTransferExitsOne();
    void portChoice();
};

void TestCliSettings::initTestCase() {
    RequireBuiltPrograms();
}

void TestCliSettings::linksNoWidgets() {
    // The tool runs where there is no display: only the core, never the widget library.
    const TRun r = RunProgram("ldd", {BuiltProgram("devedazi-cli")});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains("libQt6Core"));
    QVERIFY2(!r.out.contains("Widgets"), qPrintable(r.out));
}

void TestCliSettings::usageErrorsExitTwo_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"frobnicate"};
    QTest::newRow("unknown option") << QStringList{"--bogus", "info"};
    QTest::newRow("missing file") << QStringList{"download"};
    QTest::newRow("extra argument") << QStringList{"info", "x"};
    QTest::newRow("logos without verb") << QStringList{"logos"};
    QTest::newRow("logos bad verb") << QStringList{"logos", "erase", "d"};
    QTest::newRow("keys without choice") << QStringList{"keys"};
    QTest::newRow("keys twice") << QStringList{"keys", "--plus", "--minus"};
    QTest::newRow("fire too short") << QStringList{"keys", "--fire", "99"};
    QTest::newRow("fire not a number") << QStringList{"keys", "--fire=1s"};
    QTest::newRow("zoom 9") << QStringList{"screenshot", "a.png", "--zoom", "9"};
    QTest::newRow("zoom 0") << QStringList{"screenshot", "a.png", "--zoom=0"};
    QTest::newRow("count 0") << QStringList{"monitor", "--count", "0"};
    QTest::newRow("port without value") << QStringList{"info", "--port"};
    QTest::newRow("option of another command") << QStringList{"info", "--zoom", "2"};
}

void TestCliSettings::usageErrorsExitTwo() {
    QFETCH(QStringList, args);
    const TRun r = RunCli(args);
    QCOMPARE(r.code, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.contains("--help"));
}

void TestCliSettings::downloadWritesTheSettingsFile() {
    // A colour model with RGB rows and four logo slots, with a few values of its own.
    TEmuProcess emu({"--model", "4"},
                    "PNAM[2]=A=B\nPPAR[2]=350,250,300,200\nBRTM[0]=90,20,992\nLSCR=1,2,3,4\n");
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString file = dir.filePath("device.xml");
    // An existing file keeps what the settings don't own, as the GUI's save does.
    QVERIFY(WriteText(file, "<?xml version=\"1.0\"?>\n<Mine><Extra keep=\"1\"/></Mine>\n"));

    const TRun r = RunCliOn(emu, {"download", file});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.err.trimmed(), QString("Done"));

    const auto xml = XmlAttributes(file);
    QCOMPARE(xml.value("Extra.keep"), QString("1"));
    QCOMPARE(xml.value("Settings.ID"), QString("4"));
    QCOMPARE(xml.value("Settings.Version"), QString("1.5.1"));
    QCOMPARE(xml.value("Profile3.name"), QString("A=B"));
    QCOMPARE(xml.value("Profile3.voltage"), QString("350"));
    QCOMPARE(xml.value("Profile3.temperature"), QString("200"));
    QCOMPARE(xml.value("BrTime1.Brightness"), QString("90"));
    QCOMPARE(xml.value("BrTime1.Color"), QString("992"));
    QCOMPARE(xml.value("LogoScreen.Logo4"), QString("4"));
    // Slots the model lacks hold the defaults, as every key of the file is written.
    QCOMPARE(xml.value("LogoScreen.Logo8"), QString("0"));
    QCOMPARE(xml.value("V2P12.voltage"), QString("250"));
    QCOMPARE(xml.size(), 1 + 15 + 8 * 18 + 8 + 8 + 20 + 18 + 24);
    QCOMPARE(FolderEntries(dir.path()), QStringList{"device.xml"});
    QVERIFY(emu.writes().isEmpty());
}

void TestCliSettings::uploadWritesOnlyWhatDiffers() {
    TEmuProcess emu;
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString file = dir.filePath("s.xml");
    QCOMPARE(RunCliOn(emu, {"download", file}).code, 0);

    QByteArray text = ReadAll(file);
    text.replace("timeLogo=\"1000\"", "timeLogo=\"1500\"");
    text.replace("<Profile2 name=\"PROFILE2\"", "<Profile2 name=\"MINE\"");
    QVERIFY(WriteText(file, text));

    const TRun r = RunCliOn(emu, {"--quiet", "upload", file});
    QCOMPARE(r.code, 0);
    QVERIFY(r.err.isEmpty()); // --quiet: no "Done"
    QCOMPARE(emu.writes(), (QStringList{"TIME=1500,500", "PNAM[1]=MINE"}));
    QCOMPARE(ReadAll(file), text); // the file itself is left as it was

    // The same file again: nothing differs, nothing is written.
    const int before = emu.writes().size();
    QCOMPARE(RunCliOn(emu, {"upload", file}).code, 0);
    QCOMPARE(emu.writes().size(), before);

    const auto state = emu.state();
    QCOMPARE(state.value("TIME"), QString("1500,500"));
    QCOMPARE(state.value("PNAM[1]"), QString("MINE"));
}

void TestCliSettings::diffListsFieldsWithoutWriting() {
    TEmuProcess emu({"--model", "1"});
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString file = dir.filePath("s.xml");
    QCOMPARE(RunCliOn(emu, {"download", file}).code, 0);
    TRun same = RunCliOn(emu, {"diff", file});
    QCOMPARE(same.code, 0);
    QCOMPARE(same.out, QString());

    QByteArray text = ReadAll(file);
    text.replace("<Profile5 name=\"PROFILE5\" mode=\"1\"",
                 "<Profile5 name=\"PROFILE5\" mode=\"2\"");
    // Values the 128x32 model doesn't hold are not compared: RGB colour, Par4 and Par5.
    text.replace("Color=\"31744\"", "Color=\"1\"");
    text.replace("Par5=\"14\"", "Par5=\"1\"");
    QVERIFY(WriteText(file, text));
    const TRun r = RunCliOn(emu, {"diff", file});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("Profile5.mode\t1\t2\n"));
    QVERIFY(emu.writes().isEmpty());
}

void TestCliSettings::badSettingsFilesExitTwo() {
    TEmuProcess emu;
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString broken = dir.filePath("broken.xml");
    const QString badInt = dir.filePath("badint.xml");
    QVERIFY(WriteText(broken, "<Root><Settings ID=\"1\"></Root>"));
    QVERIFY(WriteText(badInt, "<Root><Settings flags=\"12a\"/></Root>"));

    TRun r = RunCliOn(emu, {"upload", dir.filePath("missing.xml")});
    QCOMPARE(r.code, 2);
    QVERIFY(!QFile::exists(dir.filePath("missing.xml")));
    // Errors name the user's file (never a copy of it), the place in it, and say it once.
    r = RunCliOn(emu, {"upload", broken});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.startsWith(broken + " is not a valid XML file: ") && r.err.contains("line 1"),
             qPrintable(r.err));
    r = RunCliOn(emu, {"diff", badInt});
    QCOMPARE(r.code, 2);
    QCOMPARE(r.err, badInt + ", section \"Settings\", key \"flags\": '12a' is not a valid "
                             "integer value\n");
    r = RunCliOn(emu, {"download", dir.filePath("no/such/folder/s.xml")});
    QCOMPARE(r.code, 2);
    // None of them reached the device.
    QVERIFY(emu.received().isEmpty());
}

// A shared file whose profile name holds a CR and a command: upload and diff load it
// cleaned and say so; the device gets the cleaned name and no command.
void TestCliSettings::sharedFileCannotInjectCommands() {
    TEmuProcess emu;
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString file = dir.filePath("shared.xml");
    const QByteArray text = "<Root><Profile1 name=\"X&#13;SRST\" mode=\"2\"/></Root>";
    QVERIFY(WriteText(file, text));
    const QString note = file + ": control characters removed from Profile1.name\n";

    TRun r = RunCliOn(emu, {"diff", file});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, note);
    QVERIFY(r.out.contains("Profile1.name\tPROFILE1\tXSRST\n"));
    r = RunCliOn(emu, {"--quiet", "upload", file});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, note);
    QCOMPARE(ReadAll(file), text);
    QVERIFY(emu.writes().contains("PNAM[0]=XSRST"));
    const QStringList received = emu.received();
    for (const QString& line : received)
        QVERIFY2(line.contains('?') || line.contains('='), qPrintable(line));
    QCOMPARE(emu.state().value("PNAM[0]"), QString("XSRST"));
}

void TestCliSettings::oldFirmwareExitsThree() {
    TEmuProcess emu({"--version", "1.4.9"});
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    QTemporaryDir dir;
    const QString file = dir.filePath("s.xml");
    TRun r = RunCliOn(emu, {"download", file});
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains("Incompatible firmware version (1.4.9)"), qPrintable(r.err));
    QVERIFY(r.err.contains("Please update firmware"));
    QVERIFY(FolderEntries(dir.path()).isEmpty());

    QVERIFY(WriteText(file, "<Root><Settings timeLogo=\"2000\"/></Root>"));
    QCOMPARE(RunCliOn(emu, {"upload", file}).code, 3);
    QVERIFY(emu.writes().isEmpty());

    r = RunCliOn(emu, {"info"});
    QCOMPARE(r.code, 3);
    QVERIFY(r.out.contains("Firmware: 1.4.9\n"));
}

void TestCliSettings::deviceLostMidTransferExitsOne() {
    QTemporaryDir dir;
    const QString file = dir.filePath("s.xml");
    const QByteArray old = "<Root><Settings ID=\"3\"/></Root>\n";
    QVERIFY(WriteText(file, old));
    {
        TEmuProcess emu({"--disappear-after", "30"});
        QVERIFY2(emu.ok(), qPrintable(emu.errors()));
        const TRun r = RunCliOn(emu, {"download", file});
        QCOMPARE(r.code, 1);
        QVERIFY(!r.err.isEmpty());
    }
    QCOMPARE(ReadAll(file), old);
    QCOMPARE(FolderEntries(dir.path()), QStringList{"s.xml"});
    {
        TEmuProcess emu({"--disappear-after", "30"});
        QVERIFY2(emu.ok(), qPrintable(emu.errors()));
        QCOMPARE(RunCliOn(emu, {"upload", file}).code, 1);
    }
    {
        // A port that doesn't answer at all.
        TEmuProcess emu({"--silent-after", "0"});
        QVERIFY2(emu.ok(), qPrintable(emu.errors()));
        const TRun r = RunCliOn(emu, {"info"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QString("Error\n"));
    }
}

void TestCliSettings::portChoice() {
    TEmuProcess emu({"--model", "3"});
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    FakeSys sys;
    QTemporaryDir dev;
    const QStringList env{"DEVEDAZI_SYS_ROOT=" + sys.root(), "DEVEDAZI_DEV_ROOT=" + dev.path()};

    // Nothing with the device's identity: "auto" finds nothing.
    TRun r = RunCli({"info"}, env);
    QCOMPARE(r.code, 4);
    QVERIFY(r.err.contains("No compatible USB device is connected"));

    sys.addUsbTty("ttyACM3", "1234", "5678");
    sys.addUsbTty("ttyACM7", "0483", "5740");
    QVERIFY(QFile::link(emu.pty(), dev.filePath("ttyACM7")));
    r = RunCli({"--port", "AUTO", "info"}, env);
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.startsWith("Model: Dozore Mini\nID: 3\nFirmware: 1.5.1\n"
                              "Display: 128x32 monochrome\nLogo slots: 8\nCells: 1\n"),
             qPrintable(r.out + r.err));
    // A bare name lies in the device folder; a symlink is as good as the pty.
    QCOMPARE(RunCli({"--port", "ttyACM7", "info"}, env).code, 0);
    QCOMPARE(RunCliOn(emu, {"info"}).code, 0);

    r = RunCli({"ports"}, env);
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("ttyACM3\t%1/ttyACM3\tUSB\t1234:5678\n"
                            "ttyACM7\t%1/ttyACM7\tUSB\t0483:5740\t*\n")
                        .arg(dev.path()));

    r = RunCli({"--port", dev.filePath("ttyACM3"), "info"}, env);
    QCOMPARE(r.code, 4);
    QVERIFY(r.err.contains("Cannot open communication port!"));
}

QTEST_GUILESS_MAIN(TestCliSettings)
#include "test_cli_settings.moc"
