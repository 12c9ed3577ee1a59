#pragma once
// The monitor's CSV: a time column and the 29 values of the monitor window, in the units
// the window shows them, empty where the window shows a value as missing.

#include <QString>
#include <QStringList>

struct TMonitorData;
struct TSettings;

constexpr int MonitorColumnCount = 29;

QStringList MonitorColumnNames(); // the 29 names, in the window's order
QString MonitorCsvHeader();       // "time," + the names
// One row: time (ISO 8601) and the values of data and the live fields of settings.
QString MonitorCsvRow(const QString& time, const TMonitorData& data, const TSettings& settings);
