#include "settings/safefile.h"

#include <QDir>
#include <QSaveFile>

bool WriteFileSafely(const QString& path, const QByteArray& data, QString* error) {
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    ok = ok && file.write(data) == data.size();
    ok = ok && file.flush();
    if (ok)
        ok = file.commit();
    else
        file.cancelWriting();
    if (!ok && error)
        *error = QStringLiteral("Cannot write %1: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
    return ok;
}
