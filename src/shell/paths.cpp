#include "shell/paths.h"

#include "settings/models.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QStringList WorkingFolders() {
    QStringList folders{QStringLiteral("Firmware")};
    const auto models = KnownModels();
    for (const TMod& model : models)
        folders << QStringLiteral("Firmware/") + ModelFolder(model.ID);
    return folders + QStringList{QStringLiteral("Logo"),
                                 QStringLiteral("Logo/128x32"),
                                 QStringLiteral("Logo/128x64"),
                                 QStringLiteral("Screenshots"),
                                 QStringLiteral("Profiles/Settings"),
                                 QStringLiteral("Profiles/Battery"),
                                 QStringLiteral("Profiles/TFR")};
}

bool CreateWorkingFolders() {
    bool ok = true;
    const QStringList folders = WorkingFolders();
    for (const QString& folder : folders)
        ok = QDir().mkpath(DataPath(folder)) && ok;
    return ok;
}

QString SettingsFolder() {
    return DataPath(QStringLiteral("Profiles/Settings"));
}

QString DefaultSettingsFile() {
    return SettingsFolder() + QLatin1String("/default.xml");
}

QString AppSettingsFile() {
    return DataPath(QStringLiteral("settings.xml"));
}

QString ManualPath(const QString& fileName, const QString& appDir) {
    const QString dir = appDir.isEmpty() ? QCoreApplication::applicationDirPath() : appDir;
    const QStringList candidates{
        dir + QLatin1String("/Manual/") + fileName,
        QDir::cleanPath(dir + QLatin1String("/../share/devedazi/Manual/") + fileName)};
    for (const QString& path : candidates)
        if (QFileInfo::exists(path))
            return path;
    return candidates.constFirst();
}
