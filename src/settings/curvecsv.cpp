#include "settings/curvecsv.h"

#include "settings/numbers.h"

#include <QLocale>
#include <QStringDecoder>

#include <limits>

namespace {
const QLocale kC = QLocale::c();
constexpr int TfrTemperatures[TFRCount] = {100, 150, 200, 250, 300};

QString Fixed(double value, int decimals) {
    return FormatFixed(value, decimals, kC);
}

QByteArray Joined(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines)
        out += line.toLatin1() + "\r\n";
    return out;
}

// The text before and after the first comma of a line, or nothing without a comma.
std::optional<std::pair<QString, QString>> SplitFirstComma(const QStringList& lines, int index) {
    if (index >= lines.size())
        return std::nullopt;
    const QString& line = lines.at(index);
    const qsizetype comma = line.indexOf(QLatin1Char(','));
    if (comma < 0)
        return std::nullopt;
    return std::make_pair(line.left(comma), line.mid(comma + 1));
}
} // namespace

qint32 ToStored(double value, int scale) {
    const double scaled = value * double(scale);
    constexpr double lo = std::numeric_limits<qint32>::min();
    constexpr double hi = std::numeric_limits<qint32>::max();
    if (!(scaled >= lo))
        return std::numeric_limits<qint32>::min();
    if (scaled > hi)
        return std::numeric_limits<qint32>::max();
    return qint32(RoundHalfEven(scaled));
}

QStringList CsvLines(const QByteArray& content) {
    QString text;
    if (auto encoding = QStringConverter::encodingForData(content)) {
        QStringDecoder decoder(*encoding);
        text = decoder.decode(content);
    } else {
        QStringDecoder utf8(QStringConverter::Utf8);
        text = utf8.decode(content);
        if (utf8.hasError())
            text = QString::fromLatin1(content);
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

QByteArray FormatTfrCsv(const TTfrCurve& curve) {
    QStringList lines{QStringLiteral("\"Temperature (degC)\",\"Electrical Resistivity\"")};
    for (int i = 0; i < TFRCount; ++i)
        lines << QStringLiteral("%1,%2").arg(TfrTemperatures[i]).arg(Fixed(curve[i] / 10000.0, 4));
    return Joined(lines);
}

std::optional<TTfrCurve> ParseTfrCsv(const QByteArray& content) {
    const QStringList lines = CsvLines(content);
    TTfrCurve curve{};
    for (int i = 0; i < TFRCount; ++i) {
        const auto parts = SplitFirstComma(lines, i + 1);
        if (!parts)
            return std::nullopt;
        curve[std::size_t(i)] = ToStored(ParseFloat(parts->second, kC), 10000);
    }
    return curve;
}

QByteArray FormatBatteryCsv(const TV2PTable& table) {
    QStringList lines{QStringLiteral("\"Battery Charge (%)\",\"Cell Voltage (V)\"")};
    for (int row = 0; row < V2PCurveRows; ++row)
        lines << Fixed(table[row][vpPercent] / 100.0, 2) + QLatin1Char(',') +
                     Fixed(table[row][vpVoltage] / 100.0, 2);
    lines << QStringLiteral("\"Battery Energy (Wh)\",\"Cut-Off Voltage (V)\"");
    lines << Fixed(table[V2PEnergyRow][0] / 1000.0, 3) + QLatin1Char(',') +
                 Fixed(table[V2PEnergyRow][1] / 100.0, 2);
    return Joined(lines);
}

std::optional<TV2PTable> ParseBatteryCsv(const QByteArray& content) {
    const QStringList lines = CsvLines(content);
    TV2PTable table{};
    for (int row = 0; row < V2PCurveRows; ++row) {
        const auto parts = SplitFirstComma(lines, row + 1);
        if (!parts)
            return std::nullopt;
        table[row] = {ToStored(ParseFloat(parts->first, kC), 100),
                      ToStored(ParseFloat(parts->second, kC), 100)};
    }
    if (lines.size() <= 12) {
        table[V2PEnergyRow] = {18000, 250};
        return table;
    }
    const auto last = SplitFirstComma(lines, 13);
    if (!last)
        return std::nullopt;
    table[V2PEnergyRow] = {ToStored(ParseFloat(last->first, kC), 1000),
                           ToStored(ParseFloat(last->second, kC), 100)};
    return table;
}
