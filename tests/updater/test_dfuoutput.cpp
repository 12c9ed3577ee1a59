// The DFU tool's output turned into memo lines and progress, the tool lookup and its
// arguments, and the closing line of a failed run.

#include "firmware/dfuoutput.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestDfuOutput : public QObject {
    Q_OBJECT

private:
    static QStringList run(const QList<QByteArray>& chunks, int* percent = nullptr) {
        TDfuOutput out;
        QStringList lines;
        for (const QByteArray& chunk : chunks) {
            out.feed(chunk);
            lines += out.takeLines();
        }
        out.finish();
        lines += out.takeLines();
        if (percent)
            *percent = out.percent();
        return lines;
    }

    static void writeScript(const QString& path) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nexit 0\n");
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

private slots:
    void chunksAreTrimmedAndSplit() {
        // Blank lines around the text, CR LF and lone CR endings, controls at the edges.
        QCOMPARE(run({"\r\n\r\n  Opening DFU capable USB device...\r\n\r\n"}),
                 QStringList{"Opening DFU capable USB device..."});
        QCOMPARE(run({"dfu-util 0.11\n\nCopyright\r\n\tDevice ID 0483:df11 \x01\n"}),
                 (QStringList{"dfu-util 0.11", "Copyright", "Device ID 0483:df11"}));
        QCOMPARE(run({" \r\n\t \n"}), QStringList{});
        QCOMPARE(run({}), QStringList{});
    }

    void lineSplitAcrossReadsStaysWhole() {
        TDfuOutput out;
        out.feed("Claiming USB DFU ");
        QCOMPARE(out.takeLines(), QStringList{});
        out.feed("Interface...\nSetting Alternate");
        QCOMPARE(out.takeLines(), QStringList{"Claiming USB DFU Interface..."});
        out.finish(); // the tool ended without a final line break
        QCOMPARE(out.takeLines(), QStringList{"Setting Alternate"});

        TDfuOutput endless; // output that never breaks its line is not held back forever
        endless.feed(QByteArray(3000, 'x'));
        endless.feed(QByteArray(3000, 'x'));
        QCOMPARE(endless.takeLines(), QStringList{QString(6000, 'x')});
    }

    void progressBarsSetPercentAndLeaveOneLineEach() {
        const QByteArray erase0 = "\rErase   \t[                         ]   0%            0 bytes";
        const QByteArray erase100 =
            "\rErase   \t[=========================] 100%       240000 bytes\nErase    done.\n";
        const QByteArray down36 = "\rDownload\t[=========                ]  36%        86016 bytes";
        const QByteArray down100 =
            "\rDownload\t[=========================] 100%       240000 bytes\nDownload done.\n";

        TDfuOutput out;
        out.feed("Downloading element to address = 0x08005000, size = 240000\n" + erase0);
        QCOMPARE(out.percent(), 0);
        out.feed(erase100);
        QCOMPARE(out.percent(), 100);
        out.feed(down36);
        QCOMPARE(out.percent(), 36); // shown while the bar is still being drawn
        QStringList lines = out.takeLines();
        out.feed(down100 + "Submitting leave request...\n");
        out.finish();
        lines += out.takeLines();
        QCOMPARE(lines,
                 (QStringList{"Downloading element to address = 0x08005000, size = 240000",
                              "Erase   \t[=========================] 100%       240000 bytes",
                              "Erase    done.",
                              "Download\t[=========================] 100%       240000 bytes",
                              "Download done.", "Submitting leave request..."}));
    }

    void brokenOffBarKeepsItsLastState() {
        int percent = -1;
        const QStringList lines = run({"\rDownload\t[===      ]  33%   100 bytes",
                                       "\rDownload\t[======   ]  66%   200 bytes",
                                       "\ndfu-util: Error during download get_status\n"},
                                      &percent);
        QCOMPARE(percent, 66);
        QCOMPARE(lines, (QStringList{"Download\t[======   ]  66%   200 bytes",
                                     "dfu-util: Error during download get_status"}));
    }

    void deviceErrorsAreRecognised() {
        TDfuOutput out;
        out.feed("dfu-util: Cannot open DFU device 0483:df11 found on devnum 7 "
                 "(LIBUSB_ERROR_ACCESS)\n");
        QVERIFY(out.cannotOpenDevice());
        QVERIFY(!out.noDevice());
        TDfuOutput none;
        none.feed("dfu-util: No DFU capable USB device available\n");
        QVERIFY(none.noDevice());
    }

    void outcomeLines() {
        QVERIFY(DfuOutcomeText({}).isEmpty()); // success: no closing line
        TDfuOutcome o;
        o.toolFound = false;
        QVERIFY(DfuOutcomeText(o).contains("dfu-util"));
        o = {};
        o.exitCode = 74;
        o.cannotOpenDevice = true;
        QVERIFY(DfuOutcomeText(o).contains("70-devedazi.rules"));
        o.cannotOpenDevice = false;
        o.noDevice = true;
        QVERIFY(DfuOutcomeText(o).contains("cable"));
        o = {};
        o.exitCode = 1;
        QVERIFY(DfuOutcomeText(o).contains("exit code 1"));
        o = {};
        o.stopped = true;
        o.crashed = true;
        QVERIFY(DfuOutcomeText(o).contains("stopped"));
        o = {};
        o.cannotOpenDevice = true; // a message on the way, but the tool succeeded
        QVERIFY(DfuOutcomeText(o).isEmpty());
    }

    void toolLookup() {
        const QString firmware = "/fw/it's a \"new\" $HOME `id`.dfu";
        QTemporaryDir appDir, pathDir;
        QVERIFY(appDir.isValid() && pathDir.isValid());
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", pathDir.path().toLocal8Bit());

        QVERIFY(!FindDfuTool(appDir.path(), firmware).found());

        writeScript(pathDir.filePath("dfu-util"));
        TDfuTool tool = FindDfuTool(appDir.path(), firmware);
        QCOMPARE(tool.program, pathDir.filePath("dfu-util"));
        QCOMPARE(tool.arguments,
                 (QStringList{"-d", ",0483:df11", "-a", "0", "-s", ":leave", "-D", firmware}));

        // The application's own tool comes first, with its own options.
        writeScript(appDir.filePath("STDFUSE.dll"));
        tool = FindDfuTool(appDir.path(), firmware);
        QCOMPARE(tool.program, appDir.filePath("STDFUSE.dll"));
        QCOMPARE(tool.arguments, (QStringList{"-c", "-d", "--v", "--fn", firmware, "-l"}));
        qputenv("PATH", oldPath);
    }
};

QTEST_GUILESS_MAIN(TestDfuOutput)
#include "test_dfuoutput.moc"
