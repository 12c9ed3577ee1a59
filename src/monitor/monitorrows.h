#pragma once
// The monitor's 29 values, in the window's order: where each comes from, how it is shown,
// when it counts as missing and how its curve is scaled. The window's rows and curves and
// the monitor CSV (the window's export and the command-line tool) are all made from this
// one table, so they always agree.

#include "monitor/monitordata.h"

#include <QLocale>
#include <QRgb>
#include <QString>

#include <array>
#include <optional>
#include <string_view>

struct TSettings;

enum class TMissingRule {
    Never,
    NotPositive,  // 0 or less: the device is not firing
    NoTemperature // AtmNoTemperature: no coil temperature (not in TC mode)
};
enum class TValueKind {
    Real,    // the raw value divided by `divisor`, shown with `decimals` decimals
    Signed,  // the raw value as an integer
    Unsigned // the raw value's 32 bits as an unsigned integer
};

struct TMonitorRow {
    const char* name;
    QRgb colour;
    TValueKind kind;
    int divisor;
    int decimals;
    const char* unit; // written after the number with a blank between; "" for none
    TMissingRule missing;
    double min, max;  // the value range the curve maps onto the chart's 0..100
    int markDecimals; // decimals of the value written next to a highlighted point
    quint32 reads;    // the TMonitorRead bits the value comes from
    // The raw value; nothing when it does not exist (no valid active profile).
    std::optional<qint32> (*raw)(const TMonitorData&, const TSettings&);
};

constexpr int MonitorRowCount = 29;
const std::array<TMonitorRow, MonitorRowCount>& MonitorRows();

// One poll as the monitor keeps it: 128 bytes.
struct TMonitorSample {
    qint64 time = 0; // when the poll started, milliseconds since the epoch (UTC)
    std::array<qint32, MonitorRowCount> raw{};
    quint32 flags = 0; // bit i: row i has a raw value (it was read); SampleFailed
};
constexpr quint32 SampleFailed = 1u << 31; // the poll failed: a gap in every curve

// The rows' raw values after a poll that succeeded (ok) or failed. A row whose read got no
// answer has no value.
TMonitorSample CaptureMonitorSample(const TMonitorData& data, const TSettings& settings, bool ok,
                                    qint64 time);

// Row `row` of a sample in the row's unit; nothing where it is shown as missing (not read,
// or the row's missing rule holds).
std::optional<double> SampleValue(const TMonitorSample& sample, int row);
// The row's curve point on the chart's 0..100 scale; nothing for a gap, which every curve
// has for a failed poll.
std::optional<double> SamplePoint(const TMonitorSample& sample, int row);

// The value label: "12.34 V" (locale decimal separator), or the missing text "--- V".
QString RowLabel(const TMonitorSample& sample, int row, const QLocale& locale = QLocale());
QString RowMissingText(int row);
// The CSV cell: the label's number with "." as decimal separator, empty where missing.
QString RowCsvCell(const TMonitorSample& sample, int row);
// The raw value of a non-empty CSV cell, exactly as RowCsvCell writes it (the row's number
// of decimals, no superfluous zeros or signs, within 32 bits, not a value the row shows as
// missing); nothing for anything else.
std::optional<qint32> RowRawFromCsvCell(int row, std::string_view cell);

// A value onto the chart's scale: min..max becomes 0..100 (nothing clamped).
double RowToChart(int row, double value);
// The text next to a highlighted point: the chart value taken back to the row's unit, with
// the row's mark decimals.
QString RowMarkText(int row, double y, const QLocale& locale = QLocale());
