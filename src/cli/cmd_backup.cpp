// The backup command: the device's settings saved as a dated settings file, the same kind
// of file the updater makes before it flashes new firmware (raw answer lines for a firmware
// older than this program).

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
    case TBackupOutcome::SavedRaw:
        Note(RawBackupNote(backup)); // an older firmware: its answers, line by line
        break;
    case TBackupOutcome::VirtualDevice:
    case TBackupOutcome::ReadFailed:
        DeviceError(backup.error);
    case TBackupOutcome::WriteFailed:
        UsageError(backup.error);
    }
    PrintOut(QDir::toNativeSeparators(backup.path) + QLatin1Char('\n'));
    Note(QStringLiteral("Done"));
    return ExitOk;
}
