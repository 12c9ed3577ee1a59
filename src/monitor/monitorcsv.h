#pragma once
// The monitor's CSV: a time column and the 29 values of the monitor window, in the units
// the window shows them ("." as decimal separator), empty where the window shows a value
// as missing. Written by the command-line tool row by row and by the window for a whole
// session, and read back strictly: a file is taken whole or not at all.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

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

// What is wrong with a monitor CSV: the line (1 is the header) and why.
struct TMonitorCsvError {
    qsizetype line = 0;
    QString reason;
    QString text() const; // "line 12: ..."
};

// The most polls a file may hold (16 days at three polls a second, 512 MiB in memory).
constexpr qsizetype MaxMonitorCsvRows = qsizetype(1) << 22;

// Reads what WriteMonitorCsv and the command-line tool write: the header, then one row per
// poll, every line ended by a line feed (a carriage return before it is allowed, and a
// byte order mark before the header). Every cell must be as the writer writes it: the time
// as YYYY-MM-DDTHH:MM:SS.mmmZ, each value in its row's format or empty. A row with an empty
// cell where the window never shows a value as missing is a failed poll (a gap in every
// curve), as it was when written. The polls replace what history held; on the first
// malformed line history stays as it was and the error tells the line and why.
std::optional<TMonitorCsvError> ReadMonitorCsv(QByteArrayView bytes, TMonitorHistory& history);

// The file read in pieces by ReadMonitorCsv's rules. False, with history as it was and
// error saying "Cannot read <path>: <reason>" or "<path>, line N: <reason>", when it can't
// be read or is malformed.
bool LoadMonitorCsv(const QString& path, TMonitorHistory& history, QString* error = nullptr);
