#pragma once
// The monitor's CSV: a time column and the 29 values of the monitor window, in the units
// the window shows them ("." as decimal separator), empty where the window shows a value
// as missing. Written by the command-line tool row by row and by the window for a whole
// session.

#include <QString>
#include <QStringList>

struct TMonitorSample;
class TMonitorHistory;

QStringList MonitorColumnNames();     // the 29 names, in the window's order
QString MonitorCsvHeader();           // "time," + the names
QString MonitorCsvTime(qint64 msecs); // ISO 8601, UTC, with milliseconds
// One row: the sample's time and its values.
QString MonitorCsvRow(const TMonitorSample& sample);

// The header and one row per sample into path, through a temporary file that replaces
// path only when everything was written; on failure path stays as it was and error (when
// given) says "Cannot write <path>: <reason>".
bool WriteMonitorCsv(const QString& path, const TMonitorHistory& history, QString* error = nullptr);
