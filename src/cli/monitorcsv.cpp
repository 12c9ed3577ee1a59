#include "cli/monitorcsv.h"

#include "monitor/monitordata.h"
#include "settings/settings.h"

#include <optional>

namespace {

enum class TMissing { Never, NotPositive, NoTemperature };
enum class TKind { Real, Signed, Unsigned };

struct TColumn {
    const char* name;
    TKind kind;
    int divisor;  // Real: the raw value divided by this
    int decimals; // Real: decimals of the window's label format
    TMissing missing;
    // The raw value; nullopt when it does not exist (no valid active profile).
    std::optional<qint32> (*raw)(const TMonitorData&, const TSettings&);
};

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

const TColumn Columns[MonitorColumnCount] = {
    {"Batt. Pack", TKind::Real, 100, 2, TMissing::Never, M(m.battVolt[0])},
    {"Batt. Cell 1", TKind::Real, 100, 2, TMissing::Never, M(m.battVolt[1])},
    {"Batt. Cell 2", TKind::Real, 100, 2, TMissing::Never, M(m.battVolt[2])},
    {"Batt. Cell 3", TKind::Real, 100, 2, TMissing::Never, M(m.battVolt[3])},
    {"Batt. Level", TKind::Unsigned, 1, 0, TMissing::Never, M(m.battLevel[0])},
    {"Power", TKind::Real, 10, 1, TMissing::NotPositive, M(m.atm[AtmPower])},
    {"Power VW", TKind::Real, 10, 1, TMissing::Never, P(powerVW)},
    {"Power TC", TKind::Real, 10, 1, TMissing::Never, P(powerTC)},
    {"Temperature", TKind::Signed, 1, 0, TMissing::NoTemperature, M(m.atm[AtmTemperature])},
    {"Temp. Set", TKind::Signed, 1, 0, TMissing::Never, P(temperature)},
    {"Temp. Peak", TKind::Signed, 1, 0, TMissing::Never, M(m.peakTemp)},
    {"Voltage", TKind::Real, 100, 2, TMissing::NotPositive, M(m.atm[AtmVoltage])},
    {"Voltage Set", TKind::Real, 100, 2, TMissing::Never, P(voltage)},
    {"Current", TKind::Real, 100, 2, TMissing::NotPositive, M(m.atm[AtmCurrent])},
    {"Cold Ohms", TKind::Real, 1000, 3, TMissing::Never, M(m.coldRes)},
    {"Live Ohms", TKind::Real, 1000, 3, TMissing::Never, M(m.atm[AtmResistance])},
    {"Board Temp.", TKind::Signed, 1, 0, TMissing::Never, M(m.boardTemp)},
    {"Room Temp.", TKind::Signed, 1, 0, TMissing::Never, M(m.roomTemp)},
    {"Puffs", TKind::Unsigned, 1, 0, TMissing::Never, M(s.cntPuffs)},
    {"Time", TKind::Real, 1000, 3, TMissing::NotPositive, M(m.atm[AtmTime])},
    {"Errors", TKind::Unsigned, 1, 0, TMissing::Never, M(m.errors)},
    {"Last Energy", TKind::Unsigned, 1, 0, TMissing::Never, M(m.lastEnergy)},
    {"Last Power", TKind::Real, 10, 1, TMissing::Never, M(m.lastAtm[AtmPower])},
    {"Last Temp.", TKind::Signed, 1, 0, TMissing::NoTemperature, M(m.lastAtm[AtmTemperature])},
    {"Last Voltage", TKind::Real, 100, 2, TMissing::Never, M(m.lastAtm[AtmVoltage])},
    {"Last Current", TKind::Real, 100, 2, TMissing::Never, M(m.lastAtm[AtmCurrent])},
    {"Last Resist.", TKind::Real, 1000, 3, TMissing::Never, M(m.lastAtm[AtmResistance])},
    {"Last Time", TKind::Real, 1000, 3, TMissing::Never, M(m.lastAtm[AtmTime])},
    {"Batt. Charge", TKind::Real, 1000, 3, TMissing::Never, M(s.battRemNrg)},
};

#undef M
#undef P

bool IsMissing(TMissing rule, qint32 value) {
    switch (rule) {
    case TMissing::NotPositive:
        return value <= 0;
    case TMissing::NoTemperature:
        return value == AtmNoTemperature;
    case TMissing::Never:
        break;
    }
    return false;
}

QString FormatCell(const TColumn& column, const TMonitorData& data, const TSettings& settings) {
    const std::optional<qint32> raw = column.raw(data, settings);
    if (!raw || IsMissing(column.missing, *raw))
        return {};
    switch (column.kind) {
    case TKind::Real:
        return QString::number(double(*raw) / column.divisor, 'f', column.decimals);
    case TKind::Unsigned:
        return QString::number(static_cast<quint32>(*raw));
    case TKind::Signed:
        break;
    }
    return QString::number(*raw);
}

} // namespace

QStringList MonitorColumnNames() {
    QStringList names;
    for (const TColumn& column : Columns)
        names.append(QString::fromUtf8(column.name));
    return names;
}

QString MonitorCsvHeader() {
    return QStringLiteral("time,") + MonitorColumnNames().join(QLatin1Char(','));
}

QString MonitorCsvRow(const QString& time, const TMonitorData& data, const TSettings& settings) {
    QStringList cells{time};
    for (const TColumn& column : Columns)
        cells.append(FormatCell(column, data, settings));
    return cells.join(QLatin1Char(','));
}
