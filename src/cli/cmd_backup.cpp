// The backup command: the device's settings saved as a dated settings file, the same kind
// of file the updater makes before it flashes new firmware.

#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "cli/commands.h"
#include "settings/backup.h"

#include <QDir>
#include <QFileInfo>

int CmdBackup(const TCliOptions& opt) {
    QString folder = DefaultBackupFolder();
    if (!opt.args.isEmpty()) {
        folder = opt.args.at(0);
        if (!QFileInfo(folder).isDir())
            UsageError(QStringLiteral("No folder %1").arg(folder));
    }
    const TBackupResult backup = BackupDeviceSettings(folder);
    switch (backup.outcome) {
    case TBackupOutcome::Saved:
        break;
    case TBackupOutcome::Refused:
        throw ECliError(ExitFirmware, backup.error);
    case TBackupOutcome::ReadFailed:
        DeviceError();
    case TBackupOutcome::WriteFailed:
        UsageError(backup.error);
    }
    PrintOut(QDir::toNativeSeparators(backup.path) + QLatin1Char('\n'));
    Note(QStringLiteral("Done"));
    return ExitOk;
}
