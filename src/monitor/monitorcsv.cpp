#include "monitor/monitorcsv.h"

#include "monitor/monitorhistory.h"
#include "monitor/monitorrows.h"
#include "settings/safefile.h"

#include <QDateTime>

namespace {
constexpr qsizetype ChunkBytes = 1 << 18;
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
    TSafeFile file(path);
    QByteArray chunk = (MonitorCsvHeader() + QLatin1Char('\n')).toUtf8();
    bool ok = file.Open();
    for (qsizetype i = 0; ok && i < history.size(); ++i) {
        chunk += (MonitorCsvRow(history.at(i)) + QLatin1Char('\n')).toUtf8();
        if (chunk.size() >= ChunkBytes) {
            ok = file.Write(chunk);
            chunk.clear();
        }
    }
    ok = ok && file.Write(chunk) && file.Commit();
    if (!ok && error)
        *error = file.Error();
    return ok; // a failed file is dropped with `file`, the old one stays
}
