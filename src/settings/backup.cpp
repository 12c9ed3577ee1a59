#include "settings/backup.h"

#include "link/transport.h"
#include "settings/XMLSettings.h"
#include "settings/datafolder.h"
#include "settings/models.h"
#include "settings/safefile.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "settings/transfer.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString kStampFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");

QString FolderOfModel(qint32 id) {
    const QString folder = ModelFolder(id);
    return folder.isEmpty() ? QStringLiteral("Unknown") : folder;
}

const QString kRawSuffix = QStringLiteral("_raw.txt");

// The name for this model and time that no file in the folder has yet.
QString FreeBackupPath(const QDir& dir, qint32 modelId, const QDateTime& when, bool raw = false) {
    const QString stem = FolderOfModel(modelId) + QLatin1Char('_') + when.toString(kStampFormat);
    const QString suffix = raw ? kRawSuffix : QStringLiteral(".xml");
    QString path = dir.filePath(stem + suffix);
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1_%2%3").arg(stem).arg(n).arg(suffix));
    return path;
}

bool MakeFolder(const QString& folder, TBackupResult& failure) {
    if (QDir(folder).mkpath(QStringLiteral(".")))
        return true;
    failure.outcome = TBackupOutcome::WriteFailed;
    failure.error =
        QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
    return false;
}

// An older firmware: what it answers, line by line, in a text file of its own.
TBackupResult BackupRawAnswers(const QString& folder, const QDateTime& when) {
    TRawSettings raw;
    TBackupResult result;
    if (!ReadRawSettings(raw)) {
        result.error = QStringLiteral("The settings could not be read from the device.");
        return result;
    }
    if (!MakeFolder(folder, result))
        return result;
    result.path = FreeBackupPath(QDir(folder), raw.id, when, true);
    QString error;
    if (!WriteFileSafely(result.path, (raw.lines.join(QLatin1Char('\n')) + '\n').toUtf8(),
                         &error)) {
        result.outcome = TBackupOutcome::WriteFailed;
        result.error = error;
        result.path.clear();
        return result;
    }
    result.outcome = TBackupOutcome::SavedRaw;
    result.firmware = raw.version;
    result.lines = int(raw.lines.size());
    result.unanswered = raw.unanswered;
    result.removed = PruneBackups(folder, FolderOfModel(raw.id));
    return result;
}

TBackupResult Failed(TBackupOutcome outcome, const QString& error) {
    TBackupResult result;
    result.outcome = outcome;
    result.error = error;
    return result;
}

} // namespace

QString DefaultBackupFolder() {
    return DataPath(QStringLiteral("Profiles/Settings/Backups"));
}

QString BackupFileName(qint32 modelId, const QDateTime& when) {
    return QStringLiteral("%1_%2.xml").arg(FolderOfModel(modelId), when.toString(kStampFormat));
}

QString RawBackupFileName(qint32 modelId, const QDateTime& when) {
    return QStringLiteral("%1_%2%3").arg(FolderOfModel(modelId), when.toString(kStampFormat),
                                         kRawSuffix);
}

QString RawBackupNote(const TBackupResult& result) {
    QString note =
        QStringLiteral("The firmware (%1) is older than this program (%2), so its settings can't "
                       "be read into a settings file. Instead, the device's answers were saved "
                       "as they came, one NAME=VALUE line per setting (%3 lines")
            .arg(result.firmware, AppVersion())
            .arg(result.lines);
    if (result.unanswered > 0)
        note += QStringLiteral("; %1 settings this firmware doesn't know are left out")
                    .arg(result.unanswered);
    note += QStringLiteral("), to:\n    %1\n"
                           "To put them back after the update, send the lines one by one with "
                           "the Terminal or with \"devedazi-cli send\" (a line the new firmware "
                           "answers with ERROR can be skipped).")
                .arg(QDir::toNativeSeparators(result.path));
    return note;
}

TBackupResult BackupDeviceSettings(const QString& folder, const QDateTime& when) {
    if (VirtualDeviceOpen())
        return Failed(TBackupOutcome::VirtualDevice,
                      QStringLiteral("No backup is made of the built-in virtual device."));
    TSettings image = DefaultSettings();
    if (!ReadDeviceSettingsInto(image)) {
        if (TakeFirmwareRefusal())
            return BackupRawAnswers(folder, when);
        return Failed(TBackupOutcome::ReadFailed,
                      QStringLiteral("The settings could not be read from the device."));
    }
    TBackupResult result;
    if (!MakeFolder(folder, result))
        return result;
    result.path = FreeBackupPath(QDir(folder), image.ID, when);
    try {
        SaveSettingsFile(result.path, image);
    } catch (const EXMLSettingsError& e) {
        return Failed(TBackupOutcome::WriteFailed, e.message());
    }
    result.outcome = TBackupOutcome::Saved;
    result.removed = PruneBackups(folder, FolderOfModel(image.ID));
    return result;
}

QStringList PruneBackups(const QString& folder, const QString& modelFolder, int keep) {
    const QRegularExpression pattern(
        QStringLiteral("^%1_(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)(?:_(\\d{1,6}))?"
                       "(?:\\.xml|_raw\\.txt)$")
            .arg(QRegularExpression::escape(modelFolder)));
    struct TFound {
        QString stamp;
        int number; // 1 for the first file of a second, then 2, 3 ...
        QString path;
    };
    QList<TFound> found;
    const QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& file : files) {
        const QRegularExpressionMatch m = pattern.match(file.fileName());
        if (m.hasMatch())
            found.append({m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt(),
                          file.filePath()});
    }
    std::sort(found.begin(), found.end(), [](const TFound& a, const TFound& b) {
        return a.stamp != b.stamp ? a.stamp > b.stamp : a.number > b.number; // newest first
    });
    QStringList removed;
    for (qsizetype i = qMax(keep, 0); i < found.size(); ++i)
        if (QFile::remove(found.at(i).path))
            removed.append(found.at(i).path);
    return removed;
}
