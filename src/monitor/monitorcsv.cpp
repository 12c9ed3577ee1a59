#include "monitor/monitorcsv.h"

#include "monitor/monitorhistory.h"
#include "monitor/monitorrows.h"

#include <QDateTime>
#include <QSaveFile>

namespace {

constexpr qsizetype ChunkBytes = 1 << 18;

bool Fail(const QSaveFile& file, const QString& path, QString* error) {
    if (error)
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
    return false;
}

} // namespace

QStringList MonitorColumnNames() {
    QStringList names;
    for (const TMonitorRow& row : MonitorRows())
        names.append(QString::fromUtf8(row.name));
    return names;
}

QString MonitorCsvHeader() {
    return QStringLiteral("time,") + MonitorColumnNames().join(QLatin1Char(','));
}

QString MonitorCsvTime(qint64 msecs) {
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString MonitorCsvRow(const TMonitorSample& sample) {
    QStringList cells{MonitorCsvTime(sample.time)};
    for (int i = 0; i < MonitorRowCount; ++i)
        cells.append(RowCsvCell(sample, i));
    return cells.join(QLatin1Char(','));
}

bool WriteMonitorCsv(const QString& path, const TMonitorHistory& history, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(file, path, error);
    QByteArray chunk = (MonitorCsvHeader() + QLatin1Char('\n')).toUtf8();
    const auto flush = [&] {
        const bool written = file.write(chunk) == chunk.size();
        chunk.clear();
        return written;
    };
    for (qsizetype i = 0; i < history.size(); ++i) {
        chunk += (MonitorCsvRow(history.at(i)) + QLatin1Char('\n')).toUtf8();
        if (chunk.size() >= ChunkBytes && !flush())
            return Fail(file, path, error); // the temporary file is dropped with `file`
    }
    if (!flush() || !file.commit())
        return Fail(file, path, error);
    return true;
}
