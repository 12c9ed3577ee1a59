#include "shell/paths.h"

#include <QDir>
#include <QStandardPaths>

QString BaseFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString DataFolder() {
    return BaseFolder() + QLatin1String("/DEVedazi");
}

QString DataPath(const QString& relative) {
    return DataFolder() + QLatin1Char('/') + relative;
}

QStringList WorkingFolders() {
    return {QStringLiteral("Firmware"),
            QStringLiteral("Firmware/Dozore_213"),
            QStringLiteral("Firmware/Dozore_Plus"),
            QStringLiteral("Logo"),
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
