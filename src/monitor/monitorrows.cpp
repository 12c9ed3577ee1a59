#include "monitor/monitorrows.h"

#include "settings/numbers.h"
#include "settings/settings.h"

#include <limits>

namespace {

const TProfile* ActiveProfile(const TSettings& s) {
    if (s.curProfile < 0 || s.curProfile >= ProfileCount)
        return nullptr;
    return &s.profile[static_cast<size_t>(s.curProfile)];
}

#define M(expr)                                                                                    \
    []([[maybe_unused]] const TMonitorData& m,                                                     \
       [[maybe_unused]] const TSettings& s) -> std::optional<qint32> { return (expr); }
#define P(field)                                                                                   \
    [](const TMonitorData&, const TSettings& s) -> std::optional<qint32> {                         \
        const TProfile* p = ActiveProfile(s);                                                      \
        return p ? std::optional<qint32>(p->field) : std::nullopt;                                 \
    }

using K = TValueKind;
using R = TMissingRule;

// name, colour, kind, divisor, decimals, unit, missing, min, max, mark decimals, reads, raw
const std::array<TMonitorRow, MonitorRowCount> Rows = {{
    {"Batt. Pack", 0x000000, K::Real, 100, 2, "V", R::Never, 4.8, 12.8, 2, ReadBvlt,
     M(m.battVolt[0])},
    {"Batt. Cell 1", 0x7F0000, K::Real, 100, 2, "V", R::Never, 2.4, 4.3, 2, ReadBvlt,
     M(m.battVolt[1])},
    {"Batt. Cell 2", 0x0000BF, K::Real, 100, 2, "V", R::Never, 2.4, 4.3, 2, ReadBvlt,
     M(m.battVolt[2])},
    {"Batt. Cell 3", 0x808080, K::Real, 100, 2, "V", R::Never, 2.4, 4.3, 2, ReadBvlt,
     M(m.battVolt[3])},
    {"Batt. Level", 0x2F4F4F, K::Unsigned, 1, 0, "%", R::Never, 0, 100, 0, ReadBper,
     M(m.battLevel[0])},
    {"Power", 0x00FF00, K::Real, 10, 1, "W", R::NotPositive, 0, 200, 1, ReadAtm,
     M(m.atm[AtmPower])},
    {"Power VW", 0x00BF00, K::Real, 10, 1, "W", R::Never, 0, 200, 1, ReadPpar, P(powerVW)},
    {"Power TC", 0x00BF00, K::Real, 10, 1, "W", R::Never, 0, 200, 1, ReadPpar, P(powerTC)},
    {"Temperature", 0xFF0000, K::Signed, 1, 0, "°C", R::NoTemperature, 0, 400, 0, ReadAtm,
     M(m.atm[AtmTemperature])},
    {"Temp. Set", 0xBF0000, K::Signed, 1, 0, "°C", R::Never, 0, 400, 0, ReadPpar, P(temperature)},
    {"Temp. Peak", 0xB24444, K::Signed, 1, 0, "°C", R::Never, 0, 400, 0, ReadTemp, M(m.peakTemp)},
    {"Voltage", 0x40E0D0, K::Real, 100, 2, "V", R::NotPositive, 0, 8.6, 2, ReadAtm,
     M(m.atm[AtmVoltage])},
    {"Voltage Set", 0x008080, K::Real, 100, 2, "V", R::Never, 0, 8.6, 2, ReadPpar, P(voltage)},
    {"Current", 0xFFFF00, K::Real, 100, 2, "A", R::NotPositive, 0, 45, 1, ReadAtm,
     M(m.atm[AtmCurrent])},
    {"Cold Ohms", 0x9400D3, K::Real, 1000, 3, "Ω", R::Never, 0, 3, 3, ReadPrt, M(m.coldRes)},
    {"Live Ohms", 0x8A2BE2, K::Real, 1000, 3, "Ω", R::Never, 0, 3, 3, ReadAtm,
     M(m.atm[AtmResistance])},
    {"Board Temp.", 0xCD5C5C, K::Signed, 1, 0, "°C", R::Never, 0, 100, 0, ReadTemp, M(m.boardTemp)},
    {"Room Temp.", 0xF5DEB3, K::Signed, 1, 0, "°C", R::Never, 0, 100, 0, ReadTemp, M(m.roomTemp)},
    {"Puffs", 0xBA55D3, K::Unsigned, 1, 0, "", R::Never, 0, 999, 0, ReadPuff, M(s.cntPuffs)},
    {"Time", 0x00478E, K::Real, 1000, 3, "s", R::NotPositive, 0, 10, 1, ReadAtm, M(m.atm[AtmTime])},
    {"Errors", 0xDA70D6, K::Unsigned, 1, 0, "", R::Never, 0, 255, 0, ReadAerr, M(m.errors)},
    {"Last Energy", 0xFFD700, K::Unsigned, 1, 0, "mWh", R::Never, 0, 999, 0, ReadLnrg,
     M(m.lastEnergy)},
    {"Last Power", 0x3CB371, K::Real, 10, 1, "W", R::Never, 0, 200, 1, ReadLatm,
     M(m.lastAtm[AtmPower])},
    {"Last Temp.", 0xB22222, K::Signed, 1, 0, "°C", R::NoTemperature, 0, 400, 0, ReadLatm,
     M(m.lastAtm[AtmTemperature])},
    {"Last Voltage", 0x7F7F7F, K::Real, 100, 2, "V", R::Never, 0, 8.6, 2, ReadLatm,
     M(m.lastAtm[AtmVoltage])},
    {"Last Current", 0x008000, K::Real, 100, 2, "A", R::Never, 0, 45, 1, ReadLatm,
     M(m.lastAtm[AtmCurrent])},
    {"Last Resist.", 0x808000, K::Real, 1000, 3, "Ω", R::Never, 0, 3, 3, ReadLatm,
     M(m.lastAtm[AtmResistance])},
    {"Last Time", 0x1E90FF, K::Real, 1000, 3, "s", R::Never, 0, 10, 1, ReadLatm,
     M(m.lastAtm[AtmTime])},
    {"Batt. Charge", 0x2F4F4F, K::Real, 1000, 3, "Wh", R::Never, 0, 30, 1, ReadBnrg,
     M(s.battRemNrg)},
}};

#undef M
#undef P

bool IsMissing(TMissingRule rule, qint32 raw) {
    switch (rule) {
    case TMissingRule::NotPositive:
        return raw <= 0;
    case TMissingRule::NoTemperature:
        return raw == AtmNoTemperature;
    case TMissingRule::Never:
        break;
    }
    return false;
}

double Value(const TMonitorRow& row, qint32 raw) {
    switch (row.kind) {
    case TValueKind::Real:
        return double(raw) / row.divisor;
    case TValueKind::Unsigned:
        return double(quint32(raw));
    case TValueKind::Signed:
        break;
    }
    return double(raw);
}

// The raw value of a row that has one, or nothing where it is shown as missing.
std::optional<qint32> Raw(const TMonitorSample& sample, int row) {
    if (!(sample.flags & (1u << row)))
        return std::nullopt;
    const qint32 raw = sample.raw[size_t(row)];
    if (IsMissing(Rows[size_t(row)].missing, raw))
        return std::nullopt;
    return raw;
}

// raw / divisor written exactly with `decimals` decimals when the divisor is 10^decimals
// (every row of the table): the digits of raw with the separator put in.
QString Decimal(qint32 raw, int decimals, const QString& point) {
    const qint64 magnitude = raw < 0 ? -qint64(raw) : qint64(raw);
    QString digits = QString::number(magnitude).rightJustified(decimals + 1, QLatin1Char('0'));
    if (decimals > 0)
        digits.insert(digits.size() - decimals, point);
    return raw < 0 ? QLatin1Char('-') + digits : digits;
}

bool PowerOfTen(int divisor, int decimals) {
    int p = 1;
    for (int i = 0; i < decimals; ++i)
        p *= 10;
    return p == divisor;
}

// The number as the label writes it, with the locale's decimal separator.
QString Number(const TMonitorRow& row, qint32 raw, const QLocale& locale) {
    switch (row.kind) {
    case TValueKind::Real:
        if (PowerOfTen(row.divisor, row.decimals))
            return Decimal(raw, row.decimals, locale.decimalPoint());
        return FormatFixed(Value(row, raw), row.decimals, locale);
    case TValueKind::Unsigned:
        return QString::number(quint32(raw));
    case TValueKind::Signed:
        break;
    }
    return QString::number(raw);
}

QString WithUnit(const QString& number, const TMonitorRow& row) {
    if (!*row.unit)
        return number;
    return number + QLatin1Char(' ') + QString::fromUtf8(row.unit);
}

} // namespace

const std::array<TMonitorRow, MonitorRowCount>& MonitorRows() {
    return Rows;
}

TMonitorSample CaptureMonitorSample(const TMonitorData& data, const TSettings& settings, bool ok,
                                    qint64 time) {
    TMonitorSample sample;
    sample.time = time;
    if (!ok)
        sample.flags |= SampleFailed;
    for (int i = 0; i < MonitorRowCount; ++i) {
        const TMonitorRow& row = Rows[size_t(i)];
        if ((data.obtained & row.reads) != row.reads)
            continue;
        if (const std::optional<qint32> raw = row.raw(data, settings)) {
            sample.raw[size_t(i)] = *raw;
            sample.flags |= 1u << i;
        }
    }
    return sample;
}

std::optional<double> SampleValue(const TMonitorSample& sample, int row) {
    const std::optional<qint32> raw = Raw(sample, row);
    if (!raw)
        return std::nullopt;
    return Value(Rows[size_t(row)], *raw);
}

std::optional<double> SamplePoint(const TMonitorSample& sample, int row) {
    if (sample.flags & SampleFailed)
        return std::nullopt;
    const std::optional<double> value = SampleValue(sample, row);
    if (!value)
        return std::nullopt;
    return RowToChart(row, *value);
}

QString RowLabel(const TMonitorSample& sample, int row, const QLocale& locale) {
    const std::optional<qint32> raw = Raw(sample, row);
    if (!raw)
        return RowMissingText(row);
    const TMonitorRow& r = Rows[size_t(row)];
    return WithUnit(Number(r, *raw, locale), r);
}

QString RowMissingText(int row) {
    return WithUnit(QStringLiteral("---"), Rows[size_t(row)]);
}

QString RowCsvCell(const TMonitorSample& sample, int row) {
    const std::optional<qint32> raw = Raw(sample, row);
    if (!raw)
        return {};
    return Number(Rows[size_t(row)], *raw, QLocale::c());
}

// Digits with an optional "-" and, with decimals, a "." before exactly that many of them,
// as Decimal() and QString::number() write them: no leading zeros, no "-0".
std::optional<qint32> RowRawFromCsvCell(int row, std::string_view cell) {
    const TMonitorRow& r = Rows[size_t(row)];
    const int decimals = r.kind == TValueKind::Real ? r.decimals : 0;
    if (r.kind == TValueKind::Real && !PowerOfTen(r.divisor, r.decimals))
        return std::nullopt; // not written exactly, so not read back either
    const bool negative = !cell.empty() && cell.front() == '-';
    if (negative && r.kind == TValueKind::Unsigned)
        return std::nullopt;
    const std::string_view digits = cell.substr(negative ? 1 : 0);
    const size_t point = decimals > 0 ? digits.size() - size_t(decimals) - 1 : digits.size();
    if (digits.size() < size_t(decimals) + (decimals > 0 ? 2 : 1) ||
        (decimals > 0 && digits[point] != '.') || (point > 1 && digits.front() == '0'))
        return std::nullopt;
    qint64 magnitude = 0;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i == point && decimals > 0)
            continue;
        if (digits[i] < '0' || digits[i] > '9' || magnitude > (qint64(1) << 32))
            return std::nullopt;
        magnitude = magnitude * 10 + (digits[i] - '0');
    }
    const qint64 value = negative ? -magnitude : magnitude;
    const bool fits = r.kind == TValueKind::Unsigned
                          ? value <= qint64(std::numeric_limits<quint32>::max())
                          : value >= std::numeric_limits<qint32>::min() &&
                                value <= std::numeric_limits<qint32>::max();
    if (!fits || (negative && magnitude == 0))
        return std::nullopt;
    const auto raw = qint32(quint32(quint64(value)));
    if (IsMissing(r.missing, raw))
        return std::nullopt; // written as an empty cell
    return raw;
}

double RowToChart(int row, double value) {
    const TMonitorRow& r = Rows[size_t(row)];
    return (100.0 - 0.0) / (r.max - r.min) * (value - r.min);
}

QString RowMarkText(int row, double y, const QLocale& locale) {
    const TMonitorRow& r = Rows[size_t(row)];
    return FormatFixed(r.min + (r.max - r.min) / 100.0 * y, r.markDecimals, locale);
}
