// Settings commands: download, upload, diff.

#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "cli/commands.h"
#include "settings/models.h"
#include "settings/settings.h"
#include "settings/settingsdiff.h"
#include "settings/settingsfile.h"
#include "settings/transfer.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Loads a settings file without touching it, telling what the load cleaned. A missing file
// is a usage error here, not the default image.
TSettings LoadFileUntouched(const QString& path) {
    if (!QFileInfo(path).isFile())
        UsageError(QStringLiteral("No settings file %1").arg(path));
    TSettings image = DefaultSettings();
    const QStringList notes = LoadSettingsFile(path, image, TFileUse::ReadOnly);
    for (const QString& note : notes)
        PrintErr(note + QLatin1Char('\n'));
    return image;
}

// The image the device holds; entries it doesn't transfer keep the built-in defaults.
void DownloadOrFail() {
    Settings = DefaultSettings();
    if (!ReadDeviceSettings())
        TransferFailed();
}

} // namespace

int CmdDownload(const TCliOptions& opt) {
    const QString path = opt.args.at(0);
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        UsageError(QStringLiteral("No folder %1").arg(info.absolutePath()));
    if (info.isDir())
        UsageError(QStringLiteral("%1 is a folder").arg(path));
    DownloadOrFail();
    SaveSettingsFile(path, Settings);
    Note(QStringLiteral("Done"));
    return ExitOk;
}

int CmdUpload(const TCliOptions& opt) {
    Settings = LoadFileUntouched(opt.args.at(0));
    if (!WriteDeviceSettings())
        TransferFailed();
    Note(QStringLiteral("Done"));
    return ExitOk;
}

int CmdDiff(const TCliOptions& opt) {
    const TSettings file = LoadFileUntouched(opt.args.at(0));
    DownloadOrFail();
    const QList<TFieldDiff> diffs = DiffSettings(Settings, file, ModInfo);
    if (opt.units) {
        const QList<TShownDiff> rows = ShownDiffs(diffs);
        for (const TShownDiff& r : rows)
            PrintOut(
                QStringLiteral("%1\t%2\t%3\t%4\n").arg(PageName(r.page), r.item, r.device, r.file));
        return ExitOk;
    }
    for (const TFieldDiff& d : diffs)
        PrintOut(QStringLiteral("%1\t%2\t%3\n").arg(d.field, d.device, d.file));
    return ExitOk;
}
