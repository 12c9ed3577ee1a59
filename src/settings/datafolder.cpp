#include "settings/datafolder.h"

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
