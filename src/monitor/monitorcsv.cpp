#include "monitor/monitorcsv.h"

#include "monitor/monitorhistory.h"
#include "monitor/monitorrows.h"
#include "settings/safefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr qsizetype ChunkBytes = 1 << 18;
constexpr qsizetype ReadBytes = 1 << 20;
constexpr qsizetype MaxLineBytes = 4096; // a row is about 200
constexpr int Cells = 1 + MonitorRowCount;
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
qint64 DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const int yoe = int(year - era * 400);
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// "YYYY-MM-DDTHH:MM:SS.mmmZ" as MonitorCsvTime writes it, in milliseconds since the epoch.
std::optional<qint64> ParseTime(std::string_view t) {
    constexpr std::string_view shape = "dddd-dd-ddTdd:dd:dd.dddZ";
    if (t.size() != shape.size())
        return std::nullopt;
    for (size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'd' ? (t[i] < '0' || t[i] > '9') : t[i] != shape[i])
            return std::nullopt;
    const auto number = [&](size_t at, size_t digits) {
        int v = 0;
        for (size_t i = at; i < at + digits; ++i)
            v = v * 10 + (t[i] - '0');
        return v;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59)
        return std::nullopt;
    const qint64 seconds =
        DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return seconds * 1000 + number(20, 3);
}

// A cell for an error message: at most 40 bytes, control characters as "?".
QString Quoted(std::string_view text) {
    constexpr size_t shown = 40;
    QByteArray bytes(text.data(), qsizetype(std::min(text.size(), shown)));
    for (char& c : bytes)
        if (quint8(c) < 32 || c == 127)
            c = '?';
    return QLatin1Char('"') + QString::fromUtf8(bytes) +
           QLatin1String(text.size() > shown ? "...\"" : "\"");
}

// Takes the file line by line (each without its line feed) into its own history, which
// replaces the caller's only when every line was good.
class TCsvParser {
public:
    bool line(std::string_view text);
    // After the last line: what remained after the last line feed (empty for a whole file).
    bool end(std::string_view rest);
    bool tooLong(qsizetype length) {
        return length > MaxLineBytes &&
               fail(m_line + 1, QStringLiteral("longer than %1 bytes").arg(MaxLineBytes));
    }
    std::optional<TMonitorCsvError> error;
    TMonitorHistory history;

private:
    bool fail(qsizetype line, const QString& reason) {
        error = TMonitorCsvError{line, reason};
        return false;
    }
    bool header(std::string_view text);
    bool row(std::string_view text);

    qsizetype m_line = 0;
};

bool TCsvParser::line(std::string_view text) {
    ++m_line;
    if (qsizetype(text.size()) > MaxLineBytes)
        return fail(m_line, QStringLiteral("longer than %1 bytes").arg(MaxLineBytes));
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    if (m_line == 1)
        return header(text);
    if (history.size() >= MaxMonitorCsvRows)
        return fail(m_line, QStringLiteral("more than %1 polls").arg(MaxMonitorCsvRows));
    return row(text);
}

bool TCsvParser::end(std::string_view rest) {
    if (!rest.empty())
        return fail(m_line + 1, QStringLiteral("no line feed at its end (the file is cut off)"));
    if (m_line == 0)
        return fail(1, QStringLiteral("the file is empty"));
    return true;
}

bool TCsvParser::header(std::string_view text) {
    if (text.substr(0, ByteOrderMark.size()) == ByteOrderMark)
        text.remove_prefix(ByteOrderMark.size());
    static const QByteArray expected = MonitorCsvHeader().toUtf8();
    if (text != std::string_view(expected.constData(), size_t(expected.size())))
        return fail(1, QStringLiteral("not the monitor's header (\"time,Batt. Pack,...\")"));
    return true;
}

bool TCsvParser::row(std::string_view text) {
    std::array<std::string_view, Cells> cells;
    int count = 0;
    for (size_t start = 0;;) {
        const size_t comma = text.find(',', start);
        if (count < Cells)
            cells[size_t(count)] = text.substr(start, comma - start);
        ++count;
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (count != Cells)
        return fail(m_line, QStringLiteral("%1 cells, %2 expected").arg(count).arg(Cells));
    TMonitorSample sample;
    const std::optional<qint64> time = ParseTime(cells[0]);
    if (!time)
        return fail(
            m_line,
            QStringLiteral("the time %1 is not YYYY-MM-DDTHH:MM:SS.mmmZ").arg(Quoted(cells[0])));
    sample.time = *time;
    for (int i = 0; i < MonitorRowCount; ++i) {
        const std::string_view cell = cells[size_t(i) + 1];
        const TMonitorRow& r = MonitorRows()[size_t(i)];
        if (cell.empty()) {
            if (r.missing == TMissingRule::Never)
                sample.flags |= SampleFailed; // only a failed poll leaves such a value out
            continue;
        }
        const std::optional<qint32> raw = RowRawFromCsvCell(i, cell);
        if (!raw)
            return fail(m_line, QStringLiteral("%1 is no value of \"%2\" as the monitor writes it")
                                    .arg(Quoted(cell), QString::fromUtf8(r.name)));
        sample.raw[size_t(i)] = *raw;
        sample.flags |= 1u << i;
    }
    history.append(sample);
    return true;
}

// Feeds the complete lines of data; returns what follows the last line feed.
std::string_view FeedLines(TCsvParser& parser, std::string_view data) {
    for (;;) {
        const size_t feed = data.find('\n');
        if (feed == std::string_view::npos)
            return data;
        if (!parser.line(data.substr(0, feed)))
            return {};
        data.remove_prefix(feed + 1);
    }
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

QString TMonitorCsvError::text() const {
    return QStringLiteral("line %1: %2").arg(line).arg(reason);
}

std::optional<TMonitorCsvError> ReadMonitorCsv(QByteArrayView bytes, TMonitorHistory& history) {
    TCsvParser parser;
    const std::string_view rest =
        FeedLines(parser, std::string_view(bytes.data(), size_t(bytes.size())));
    if (!parser.error && !parser.end(rest))
        return parser.error;
    if (parser.error)
        return parser.error;
    history = std::move(parser.history);
    return std::nullopt;
}

bool LoadMonitorCsv(const QString& path, TMonitorHistory& history, QString* error) {
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot read %1: %2").arg(shown, file.errorString());
        return false;
    }
    TCsvParser parser;
    QByteArray buffer;
    qsizetype kept = 0; // bytes of an unfinished line at the start of buffer
    for (;;) {
        buffer.resize(kept + ReadBytes);
        const qint64 got = file.read(buffer.data() + kept, ReadBytes);
        if (got < 0) {
            if (error)
                *error = QStringLiteral("Cannot read %1: %2").arg(shown, file.errorString());
            return false;
        }
        const std::string_view data(buffer.constData(), size_t(kept + got));
        const std::string_view rest = got == 0 ? data : FeedLines(parser, data);
        if (parser.error || got == 0 || parser.tooLong(qsizetype(rest.size()))) {
            if (!parser.error)
                parser.end(rest);
            break;
        }
        std::memmove(buffer.data(), rest.data(), rest.size());
        kept = qsizetype(rest.size());
    }
    if (parser.error) {
        if (error)
            *error = QStringLiteral("%1, %2").arg(shown, parser.error->text());
        return false;
    }
    history = std::move(parser.history);
    return true;
}
