#include "settings/backup.h"

#include "settings/XMLSettings.h"
#include "settings/datafolder.h"
#include "settings/models.h"
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

// The name for this model and time that no file in the folder has yet.
QString FreeBackupPath(const QDir& dir, qint32 modelId, const QDateTime& when) {
    const QString name = BackupFileName(modelId, when);
    QString path = dir.filePath(name);
    const QString stem = name.chopped(4); // without ".xml"
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1_%2.xml").arg(stem).arg(n));
    return path;
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

TBackupResult BackupDeviceSettings(const QString& folder, const QDateTime& when) {
    TSettings image = DefaultSettings();
    if (!ReadDeviceSettingsInto(image)) {
        if (const auto version = TakeFirmwareRefusal())
            return Failed(TBackupOutcome::Refused,
                          FirmwareRefusalText(*version).replace(QLatin1Char('\r'), '\n'));
        return Failed(TBackupOutcome::ReadFailed,
                      QStringLiteral("The settings could not be read from the device."));
    }
    const QDir dir(folder);
    if (!dir.mkpath(QStringLiteral(".")))
        return Failed(
            TBackupOutcome::WriteFailed,
            QStringLiteral("Cannot create the folder %1").arg(QDir::toNativeSeparators(folder)));
    TBackupResult result;
    result.path = FreeBackupPath(dir, image.ID, when);
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
        QStringLiteral("^%1_(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)(?:_(\\d{1,6}))?\\.xml$")
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
