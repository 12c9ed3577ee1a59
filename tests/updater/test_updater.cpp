// The updater window against the virtual device and a fake DFU tool on the search path:
// the boot-mode switch on the wire, the tool's exact arguments, its output in the memo and
// on the progress bar, failures explained, and closing the window during a run.

#include "common/emulink.h"
#include "link/transport.h"
#include "settings/backup.h"
#include "settings/settingsfile.h"
#include "shell/dialogs.h"
#include "updater/updater.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>
#include <time.h>

namespace {

// Records its arguments (NUL-separated) and draws dfu-util's bars. FAKE_DFU_FAIL makes it
// fail like a device it may not open; otherwise it waits for FAKE_DFU_GO at 36 %.
const char* const kFakeDfuUtil = R"(#!/bin/sh
: > "$FAKE_DFU_ARGS"
for a in "$@"; do printf '%s\0' "$a" >> "$FAKE_DFU_ARGS"; done
printf 'dfu-util 0.11\n\nOpening DFU capable USB device...\n'
if [ -n "$FAKE_DFU_FAIL" ]; then
    echo 'dfu-util: Cannot open DFU device 0483:df11 found on devnum 7 (LIBUSB_ERROR_ACCESS)' >&2
    exit 74
fi
printf '\rErase   \t[                         ]   0%%            0 bytes'
printf '\rErase   \t[=========================] 100%%       240000 bytes\nErase    done.\n'
printf '\rDownload\t[=========                ]  36%%        86016 bytes'
i=0
while [ ! -e "$FAKE_DFU_GO" ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done
printf '\rDownload\t[=========================] 100%%       240000 bytes\nDownload done.\n'
echo 'Submitting leave request...' >&2
: > "$FAKE_DFU_ARGS.end"
)";

QStringList memoLines(const TUpdaterForm& form) {
    return form.Memo->toPlainText().split(QLatin1Char('\n'));
}

QStringList backups() {
    return QDir(DefaultBackupFolder()).entryList(QDir::Files);
}

// Nanoseconds on the clock of the emulator's trace (CLOCK_MONOTONIC) at which the file was
// last written (its modification time is on the wall clock).
qint64 writtenAtMonotonic(const QString& path) {
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        return -1;
    timespec mono{}, real{};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    clock_gettime(CLOCK_REALTIME, &real);
    const auto ns = [](const timespec& t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return ns(st.st_mtim) - (ns(real) - ns(mono));
}

} // namespace

class TestUpdater : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
    QString m_firmware;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    QStringList recordedArguments() const {
        QFile file(path("args"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList args;
        const QList<QByteArray> parts = file.readAll().split('\0');
        for (qsizetype i = 0; i + 1 < parts.size(); ++i)
            args.append(QString::fromLocal8Bit(parts[i]));
        return args;
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath("bin"));
        QVERIFY(QDir(m_dir.path()).mkpath("empty"));
        QVERIFY(QDir(m_dir.path()).mkpath("fw dir"));
        QFile tool(path("bin/dfu-util"));
        QVERIFY(tool.open(QIODevice::WriteOnly));
        tool.write(kFakeDfuUtil);
        tool.close();
        QVERIFY(tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        m_firmware = path("fw dir/it's a \"new\" $HOME `id`.dfu");
        QFile firmware(m_firmware);
        QVERIFY(firmware.open(QIODevice::WriteOnly));
        firmware.write("DfuSe");
        firmware.close();

        m_oldPath = qgetenv("PATH");
        qputenv("FAKE_DFU_ARGS", path("args").toLocal8Bit());
        qputenv("FAKE_DFU_GO", path("go").toLocal8Bit());
    }

    void init() {
        qputenv("PATH", path("bin").toLocal8Bit() + ':' + m_oldPath);
        qunsetenv("FAKE_DFU_FAIL");
        QFile::remove(path("args"));
        QFile::remove(path("args.end"));
        QFile::remove(path("go"));
        QDir(DefaultBackupFolder()).removeRecursively();
        ResetTransport();
        ProgressBar().SetPosition(0);
    }

    void cleanup() {
        Dialogs::reset();
        ComPort = nullptr;
        qputenv("PATH", m_oldPath);
    }

    void cancelSendsNothingAndReenables() {
        EmuLink link(4);
        QVERIFY2(link.ok(), qPrintable(link.error()));
        TUpdaterForm form;
        Dialogs::setNextFileName(QString());
        form.BitBtnClick();

        QCOMPARE(form.dialogFolder(), FirmwareFolder() + "/Zedo_Dizerado");
        QVERIFY(!link.received().contains("BOOT"));
        QVERIFY(!link.emu().inBootLoader());
        QVERIFY(link.port().Active());
        QVERIFY(form.BitBtn->isEnabled());
        QVERIFY(!QFile::exists(path("args")));
        QCOMPARE(PortBusy(), 0);
    }

    void updateSwitchesToBootLoaderAndRunsTool() {
        EmuLink link(1);
        QVERIFY2(link.ok(), qPrintable(link.error()));
        QVERIFY(link.emu().setValue("PNAM[6]", "SEVEN"));
        Settings.profile[6].name = "EDITOR";
        TSettings editor = Settings;
        editor.ID = 1; // the model read for the dialog's folder stores the device's ID
        TUpdaterForm form;
        QList<int> positions;
        connect(&ProgressBar(), &TProgress::changed, &form, [&](int position, int) {
            positions.append(position);
            if (position == 36 && form.running()) { // the tool's bar got there: let it finish
                QFile go(path("go"));
                QVERIFY(go.open(QIODevice::WriteOnly));
            }
        });
        Dialogs::setNextFileName(m_firmware);
        Dialogs::setNextAnswer(QMessageBox::Yes); // the one question, before anything is sent
        QElapsedTimer clock;
        clock.start();
        form.BitBtnClick();
        QVERIFY(clock.elapsed() >= 2000); // the device's time to restart
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QVERIFY(Dialogs::shownMessages().first().startsWith(
            "Update the firmware of Dozore 213 with " + QFileInfo(m_firmware).fileName() + "?"));

        QCOMPARE(form.dialogFolder(), FirmwareFolder() + "/Dozore_213");
        // A lone CR then "BOOT" CR, after the settings backup's reads; then nothing more.
        const auto trace = link.emu().trace();
        QList<QByteArray> received;
        qint64 bootAt = -1; // when the first byte of the boot switch arrived
        for (const auto& entry : trace)
            if (entry.received) {
                received.append(entry.line);
                if (entry.line == "PTFR[7]?")
                    bootAt = -1;
                else if (bootAt < 0 && entry.line.isEmpty())
                    bootAt = entry.nsecs;
            }
        QVERIFY(received.size() >= 3);
        QCOMPARE(received.mid(received.size() - 3),
                 (QList<QByteArray>{"PTFR[7]?", QByteArray(), "BOOT"}));

        // The backup was on disk before the device saw any byte of "BOOT" (the file's time
        // comes from a coarse clock that lags, never leads).
        QCOMPARE(backups().size(), 1);
        const QString backup = DefaultBackupFolder() + "/" + backups().first();
        QVERIFY(backup.endsWith(".xml") && QFileInfo(backup).fileName().startsWith("Dozore_213_"));
        QVERIFY(bootAt > 0);
        QVERIFY2(writtenAtMonotonic(backup) < bootAt,
                 qPrintable(QString::number(bootAt - writtenAtMonotonic(backup))));
        TSettings saved = DefaultSettings();
        (void)LoadSettingsFile(backup, saved); // the notes of a load, if any, are not wanted here
        QCOMPARE(saved.profile[6].name, QString("SEVEN"));
        QVERIFY(link.emu().inBootLoader());
        QVERIFY(!link.port().Active());
        QCOMPARE(PortBusy(), 0);

        QCOMPARE(recordedArguments(),
                 (QStringList{"-d", ",0483:df11", "-a", "0", "-s", ":leave", "-D", m_firmware}));

        QVERIFY(Settings == editor); // the backup read into an image of its own

        const QStringList lines = memoLines(form);
        const QString shownPath = QDir::toNativeSeparators(backup);
        QCOMPARE(lines.mid(0, 4), (QStringList{"Saving a settings backup...",
                                               "Settings backup saved to " + shownPath,
                                               "Entering DFU Mode...", "dfu-util 0.11"}));
        QVERIFY(lines.contains("Download done."));
        QCOMPARE(lines.at(lines.size() - 3), "Submitting leave request..."); // stderr, merged
        QCOMPARE(lines.mid(lines.size() - 2),
                 (QStringList{"To restore your settings, open the backup with \"Load Settings\" in "
                              "the Tuner, then send it with \"Upload Settings\":",
                              "    " + shownPath}));
        QCOMPARE(lines.filter("%").size(), 2); // one final line per bar, no partial drawings
        QVERIFY(positions.contains(36));
        QVERIFY(positions.contains(100));
        QCOMPARE(ProgressBar().Position(), 0); // reset after success
        QVERIFY(form.BitBtn->isEnabled());
    }

    void failedBackupAsks_data() {
        QTest::addColumn<bool>("flash");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void failedBackupAsks() {
        QFETCH(bool, flash);
        const QByteArray version = "1.5.1";
        EmuLink link(1, version);
        QVERIFY(link.ok());
        TEmuFaults faults;
        faults.errorFor = "PTFR[3]"; // the download fails near its end
        link.emu().setFaults(faults);
        QFile(path("go")).open(QIODevice::WriteOnly);
        TUpdaterForm form;
        Dialogs::setNextFileName(m_firmware);
        Dialogs::setNextAnswer(QMessageBox::Yes); // update
        Dialogs::setNextAnswer(flash ? QMessageBox::Yes : QMessageBox::No);
        form.BitBtnClick();

        QCOMPARE(Dialogs::shownMessages().size(), 2);
        const QString asked = Dialogs::shownMessages().at(1); // names the reason
        QVERIFY(asked.startsWith("The settings could not be read from the device."));
        QVERIFY(asked.endsWith("Update the firmware without a backup?"));
        QVERIFY(backups().isEmpty());
        QCOMPARE(PortBusy(), 0);
        QVERIFY(form.BitBtn->isEnabled());
        const QStringList lines = memoLines(form);
        QVERIFY(lines.at(1).startsWith("No settings backup: "));
        QVERIFY(!lines.join('\n').contains("To restore"));
        if (flash) {
            QVERIFY(link.emu().inBootLoader());
            QVERIFY(QFile::exists(path("args")));
            return;
        }
        // "No": not a byte more after the failed download; the device stays as it was.
        QCOMPARE(lines.last(), "Firmware update cancelled.");
        QVERIFY(!link.received().contains("BOOT"));
        QByteArray lastReceived; // a lone CR too
        const auto trace = link.emu().trace();
        for (const auto& entry : trace)
            if (entry.received)
                lastReceived = entry.line;
        QCOMPARE(lastReceived, "PTFR[3]?"); // the failed read
        QVERIFY(!link.emu().inBootLoader());
        QVERIFY(link.port().Active());
        QVERIFY(!QFile::exists(path("args")));
    }

    // The usual reason to update: a firmware older than the application. Its settings can't
    // be read into a settings file, so its raw answers are saved, and nothing more is asked.
    void olderFirmwareUpdatesWithARawBackup() {
        EmuLink link(1, "1.4.9");
        QVERIFY(link.ok());
        QVERIFY(link.emu().setValue("PNAM[1]", "OLDONE"));
        QFile(path("go")).open(QIODevice::WriteOnly);
        TUpdaterForm form;
        Dialogs::setNextFileName(m_firmware);
        Dialogs::setNextAnswer(QMessageBox::Yes);
        form.BitBtnClick();

        QCOMPARE(Dialogs::shownMessages().size(), 1); // only the update's own question
        QCOMPARE(backups().size(), 1);
        const QString raw = DefaultBackupFolder() + "/" + backups().first();
        QVERIFY2(QRegularExpression("/Dozore_213_[-_0-9]+_raw\\.txt$").match(raw).hasMatch(),
                 qPrintable(raw));
        QFile file(raw);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("\nPNAM[1]=OLDONE\n"));
        const QString memo = form.Memo->toPlainText();
        QVERIFY(memo.contains("The firmware (1.4.9) is older than this program"));
        QVERIFY(memo.contains(QDir::toNativeSeparators(raw)));
        QVERIFY(memo.contains("Entering DFU Mode..."));
        QVERIFY(memo.contains("Download done."));
        QVERIFY(!memo.contains("To restore your settings")); // that is for settings files
        QVERIFY(link.emu().inBootLoader());
        QVERIFY(QFile::exists(path("args")));
    }

    // "No" to the question: nothing goes to the device after the model was read.
    void questionAnsweredNoSendsNothing() {
        EmuLink link(4);
        QVERIFY(link.ok());
        TUpdaterForm form;
        Dialogs::setNextFileName(m_firmware);
        Dialogs::setNextAnswer(QMessageBox::No);
        form.BitBtnClick();
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        QVERIFY(Dialogs::shownMessages().first().contains("Zedo Dizerado"));
        const QList<QByteArray> received = link.received(); // "ID?", retried on a busy machine
        QVERIFY(!received.isEmpty());
        for (const QByteArray& line : received)
            QCOMPARE(line, QByteArray("ID?"));
        QVERIFY(backups().isEmpty());
        QCOMPARE(memoLines(form), QStringList{"Firmware update cancelled."});
        QVERIFY(link.port().Active() && form.BitBtn->isEnabled());
    }

    // The built-in virtual device has no firmware: refused before anything else, and its
    // settings are never backed up, so no real device's backup makes way for one of it.
    void virtualDeviceIsRefused() {
        EmuLink link(4);
        QVERIFY(link.ok());
        link.port().VirtualDevice = true;
        QVERIFY(QDir().mkpath(DefaultBackupFolder()));
        for (int day = 1; day <= BackupKeepCount; ++day) {
            QFile real(DefaultBackupFolder() + "/" +
                       BackupFileName(4, QDateTime(QDate(2029, 1, day), QTime(8, 0))));
            QVERIFY(real.open(QIODevice::WriteOnly));
        }
        TUpdaterForm form;
        Dialogs::setNextAnswer(QMessageBox::Ok);
        form.BitBtnClick();
        QCOMPARE(Dialogs::shownMessages(),
                 QStringList{"The virtual device has no firmware to update."});
        QVERIFY(Dialogs::lastFileFolder().isEmpty()); // no file dialog either
        QVERIFY(link.received().isEmpty());
        QCOMPARE(backups().size(), BackupKeepCount);
        QVERIFY(form.BitBtn->isEnabled());
    }

    void portErrorDuringTheModelRead() {
        EmuLink link(1);
        QVERIFY(link.ok());
        TUpdaterForm form;
        TEmuFaults faults;
        faults.disappearAfter = 0; // unplugged as the model is read: a port error
        link.emu().setFaults(faults);
        Dialogs::setNextFileName(m_firmware);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        form.BitBtnClick();
        QCOMPARE(Dialogs::shownMessages().size(), 1); // the port's text
        QCOMPARE(PortBusy(), 0);
        QVERIFY(form.BitBtn->isEnabled()); // back, although the handler was cut short
        QVERIFY(!QFile::exists(path("args")));
    }

    void failuresAreExplained() {
        TUpdaterForm form; // no device: the tool runs at once, without "BOOT"
        qputenv("FAKE_DFU_FAIL", "1");
        Dialogs::setNextFileName(m_firmware);
        Dialogs::setNextAnswer(QMessageBox::Yes);
        form.BitBtnClick();
        QVERIFY(Dialogs::shownMessages().first().startsWith("No device is connected on a serial "
                                                            "port"));
        QCOMPARE(form.dialogFolder(), FirmwareFolder());
        QStringList lines = memoLines(form);
        QVERIFY(!lines.contains("Entering DFU Mode..."));
        QVERIFY(lines.filter("Cannot open DFU device").size() == 1);
        QVERIFY(lines.last().contains("70-devedazi.rules"));

        qputenv("PATH", path("empty").toLocal8Bit());
        Dialogs::setNextFileName(m_firmware);
        form.BitBtnClick(); // no tool: nothing is asked, nothing would be sent
        QCOMPARE(Dialogs::shownMessages().size(), 1);
        lines = memoLines(form);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.last().contains("no DFU tool found"));
        QVERIFY(form.BitBtn->isEnabled());

        Dialogs::setNextFileName(path("missing.dfu")); // a file that isn't there: no run
        form.BitBtnClick();
        QCOMPARE(memoLines(form), lines);
    }

    void closingDuringRunAsksAndStops() {
        // Inside a multiple-document frame, as the main window shows it.
        QMdiArea frame;
        QPointer<TUpdaterForm> form = new TUpdaterForm;
        QPointer<QMdiSubWindow> window = frame.addSubWindow(form);
        window->setAttribute(Qt::WA_DeleteOnClose);
        frame.show();
        window->showMaximized();
        QString memo;
        connect(form->Memo, &QPlainTextEdit::textChanged, this,
                [&] { memo = form->Memo->toPlainText(); });
        int step = 0;
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            if (!form || !form->running() || !QFile::exists(path("args")))
                return;
            if (step == 0) {
                Dialogs::setNextAnswer(QMessageBox::No);
                QVERIFY(!window->close()); // kept: the update goes on
                step = 1;
            } else if (step == 1) {
                QVERIFY(form->isVisible() && window->isVisible());
                Dialogs::setNextAnswer(QMessageBox::Yes);
                QVERIFY(!window->close()); // not under the running tool: it closes afterwards
                QVERIFY(form->isVisible());
                step = 2;
            }
        });
        driver.start(50);
        Dialogs::setNextFileName(m_firmware);
        Dialogs::setNextAnswer(QMessageBox::Yes);
        form->BitBtnClick();
        QCOMPARE(step, 2);
        QCOMPARE(Dialogs::shownMessages().size(), 3);
        QVERIFY(Dialogs::shownMessages().at(1).contains("Stop the update?"));
        QVERIFY(memo.endsWith("Firmware update stopped. The device stays in DFU mode: run the "
                              "update again before unplugging it."));
        QVERIFY(!memo.contains("Download done."));
        QTRY_VERIFY(form.isNull()); // closed and deleted once the run was over
        QTRY_VERIFY(window.isNull());
    }

    void mainWindowGoneDuringRun() {
        // The frame is destroyed under a running update (the application shuts down).
        auto* frame = new QMdiArea;
        QPointer<TUpdaterForm> form = new TUpdaterForm;
        frame->addSubWindow(form)->show();
        frame->show();
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            if (frame && form && form->running() && QFile::exists(path("args"))) {
                delete frame;
                frame = nullptr;
            }
        });
        driver.start(50);
        Dialogs::setNextFileName(m_firmware);
        Dialogs::setNextAnswer(QMessageBox::Yes);
        form->BitBtnClick();
        QVERIFY(!frame);
        QVERIFY(form.isNull());
        QVERIFY(!QFile::exists(path("args.end"))); // the tool was stopped, not waited for
    }
};

QTEST_MAIN(TestUpdater)
#include "test_updater.moc"
