// The update command: the Updater's steps on the command line, through the same core
// (firmware/firmwareupdate.h): one question, the settings backup, the switch into the boot
// loader, the DFU tool (a progress bar on a terminal, its output with --verbose), then
// waiting for the device to come back and printing its new firmware version.

#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "cli/cliport.h"
#include "cli/commands.h"
#include "firmware/firmwareupdate.h"
#include "link/transport.h"
#include "settings/backup.h"
#include "settings/models.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>

#include <memory>

namespace {

constexpr int kComeBackMs = 60000; // a device restarts with its new firmware within this
constexpr int kRetryMs = 500;

// The device's port, when one is there; with "auto" and no device, nothing (the device may
// be in its boot loader already). A named port that can't be opened ends the command.
std::unique_ptr<TDevicePort> OpenDeviceIfThere(const QString& choice) {
    try {
        return std::make_unique<TDevicePort>(choice);
    } catch (const ECliError& e) {
        if (choice.trimmed().compare(QLatin1String("auto"), Qt::CaseInsensitive) != 0)
            throw;
        Note(QStringLiteral("No device on a serial port: it is taken to be in its boot loader "
                            "already."));
        return nullptr;
    }
}

// Returns the backup's path (empty when the user goes on without one).
QString BackUp(const TCliOptions& opt) {
    Note(QStringLiteral("Saving a settings backup..."));
    const TBackupResult backup = BackupDeviceSettings(DefaultBackupFolder());
    if (backup.outcome == TBackupOutcome::SavedRaw) {
        Note(RawBackupNote(backup));
        return backup.path;
    }
    if (backup.saved()) {
        Note(QStringLiteral("Settings backup saved to %1")
                 .arg(QDir::toNativeSeparators(backup.path)));
        return backup.path;
    }
    Note(QStringLiteral("No settings backup: ") + backup.error);
    Confirm(opt, NoBackupQuestion(backup.error));
    return QString();
}

void RunTool(const TCliOptions& opt, const TDfuTool& tool) {
    TDfuRun run;
    QEventLoop loop;
    QObject::connect(&run, &TDfuRun::lines, &run, [&opt](const QStringList& lines) {
        if (opt.verbose)
            PrintErr(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    });
    QObject::connect(&run, &TDfuRun::finished, &loop, &QEventLoop::quit);
    run.start(tool);
    loop.exec();
    if (!run.succeeded())
        throw ECliError(ExitDfu, run.outcomeText());
}

// Until the device answers again on its port (found anew for "auto"): its firmware version.
QString WaitForDevice(const QString& choice) {
    Note(QStringLiteral("Waiting for the device to come back..."));
    const QDeadlineTimer deadline(kComeBackMs);
    while (!deadline.hasExpired()) {
        try {
            TDevicePort port(choice);
            if (const auto version = ReadFirmwareVersion())
                return *version;
        } catch (const ECliError&) {
            // not there yet
        } catch (const EComError&) {
            // there, but not answering yet
        }
        Pause(kRetryMs);
    }
    throw ECliError(ExitDevice, QStringLiteral("The firmware was written, but the device did not "
                                               "answer within %1 s. Unplug it and plug it in "
                                               "again, then check with \"devedazi-cli info\".")
                                    .arg(kComeBackMs / 1000));
}

} // namespace

int CmdUpdate(const TCliOptions& opt) {
    const QFileInfo file(opt.args.at(0));
    if (!file.isFile())
        UsageError(QStringLiteral("No firmware file %1").arg(opt.args.at(0)));
    const QString firmware = file.absoluteFilePath();
    // Without a DFU tool the device must not be sent into its boot loader at all.
    const TDfuTool tool = FindDfuTool(QCoreApplication::applicationDirPath(), firmware);
    if (!tool.found()) {
        TDfuOutcome missing;
        missing.toolFound = false;
        throw ECliError(ExitDfu, DfuOutcomeText(missing));
    }
    QString backup;
    {
        const std::unique_ptr<TDevicePort> port = OpenDeviceIfThere(opt.port);
        if (port && !ReadModel())
            DeviceError(QStringLiteral("The device does not answer."));
        Confirm(opt, UpdateQuestion(port && ModInfo.ID > 0 ? ModInfo.name : QString(), firmware,
                                    port != nullptr));
        if (port) {
            backup = BackUp(opt);
            Note(QStringLiteral("Entering DFU Mode..."));
            EnterBootLoader();
        }
    }
    Note(QStringLiteral("Writing the firmware %1...").arg(QDir::toNativeSeparators(firmware)));
    RunTool(opt, tool);
    const QString version = WaitForDevice(opt.port);
    PrintOut(QStringLiteral("Firmware: %1\n").arg(version));
    if (backup.endsWith(QLatin1String(".xml")))
        Note(QStringLiteral("To restore your settings: devedazi-cli upload %1")
                 .arg(QDir::toNativeSeparators(backup)));
    Note(QStringLiteral("Done"));
    return ExitOk;
}
