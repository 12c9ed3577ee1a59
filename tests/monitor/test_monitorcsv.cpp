// The monitor CSV read back and recorded: what "Save .CSV" writes comes back exactly, every
// kind of malformed line is refused with its line number (and nothing taken), the kept
// extremes of the history agree with its polls, and a recording has each row in the file
// as soon as it is taken and never overwrites a file unasked.

#include "monitor/monitorcsv.h"
#include "monitor/monitorhistory.h"
#include "monitor/monitorrecord.h"

#include <QRandomGenerator>
#include <QtTest>

#include <limits>

namespace {

int RowOf(const char* name) {
    for (int i = 0; i < MonitorRowCount; ++i)
        if (qstrcmp(MonitorRows()[size_t(i)].name, name) == 0)
            return i;
    return -1;
}

// Polls with values of every size and sign (as their rows' kinds allow), values shown as
// missing, and now and then a failed poll that got only its first reads.
TMonitorHistory Session(qsizetype n) {
    QRandomGenerator random(24);
    TMonitorHistory history;
    for (qsizetype i = 0; i < n; ++i) {
        TMonitorSample s;
        s.time = 1700000000000 + i * 337 + random.bounded(9);
        s.flags = (1u << MonitorRowCount) - 1;
        for (int r = 0; r < MonitorRowCount; ++r)
            s.raw[size_t(r)] = i == 1   ? std::numeric_limits<qint32>::min()
                               : i == 2 ? std::numeric_limits<qint32>::max()
                                        : qint32(random.bounded(-5000, 20000));
        if (i % 50 == 7)
            s.flags = 0b111 | SampleFailed;
        history.append(s);
    }
    return history;
}

QByteArray Saved(const TMonitorHistory& history) {
    QTemporaryDir dir;
    const QString path = dir.filePath("s.csv");
    if (!WriteMonitorCsv(path, history))
        return {};
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A good row with cell `column` (0 is the time) replaced.
QByteArray RowWith(int column, const QByteArray& cell) {
    TMonitorSample s;
    s.time = 1700000000000;
    s.flags = (1u << MonitorRowCount) - 1;
    s.raw.fill(120);
    QList<QByteArray> cells = MonitorCsvRow(s).toUtf8().split(',');
    cells[column] = cell;
    return cells.join(',') + '\n';
}

} // namespace

class TestMonitorCsv : public QObject {
    Q_OBJECT
private slots:
    void roundTrip();
    void rangesAgreeWithThePolls();
    void malformed_data();
    void malformed();
    void recorder();
};

// 12,000 polls, more than one piece of the file reader: every poll, failed ones included,
// comes back as it was shown, and saved again gives the same bytes.
void TestMonitorCsv::roundTrip() {
    const TMonitorHistory written = Session(12000);
    const QByteArray bytes = Saved(written);
    QVERIFY(bytes.size() > 2 * 1024 * 1024);
    QTemporaryDir dir;
    const QString path = dir.filePath("r.csv");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    f.close();
    TMonitorHistory read;
    QString error;
    QVERIFY2(LoadMonitorCsv(path, read, &error), qPrintable(error));
    QCOMPARE(read.size(), written.size());
    for (qsizetype i = 0; i < read.size(); ++i) {
        QCOMPARE(read.at(i).time, written.at(i).time);
        QCOMPARE(bool(read.at(i).flags & SampleFailed), bool(written.at(i).flags & SampleFailed));
        for (int r = 0; r < MonitorRowCount; ++r) {
            QCOMPARE(SamplePoint(read.at(i), r), SamplePoint(written.at(i), r));
            QCOMPARE(RowLabel(read.at(i), r), RowLabel(written.at(i), r));
        }
    }
    QCOMPARE(Saved(read), bytes);

    // The same in memory, also with a byte order mark and carriage returns.
    TMonitorHistory again;
    QVERIFY(!ReadMonitorCsv(bytes, again));
    QCOMPARE(again.size(), written.size());
    QByteArray windows = bytes;
    windows.replace("\n", "\r\n").prepend("\xEF\xBB\xBF");
    QVERIFY(!ReadMonitorCsv(windows, again));
    QCOMPARE(Saved(again), bytes);
    QVERIFY(!ReadMonitorCsv(MonitorCsvHeader().toUtf8() + "\n", again)); // no polls
    QCOMPARE(again.size(), 0);
}

// The extremes of any stretch of polls, whole spans or not, are those of its points.
void TestMonitorCsv::rangesAgreeWithThePolls() {
    const TMonitorHistory history = Session(5000);
    QRandomGenerator random(3);
    for (int k = 0; k < 300; ++k) {
        const auto first = qsizetype(random.bounded(5000));
        const auto end = std::min<qsizetype>(5000, first + random.bounded(k < 150 ? 40 : 3000));
        const int row = int(random.bounded(MonitorRowCount));
        TMonitorRange expected;
        for (qsizetype i = first; i < end; ++i)
            if (const auto y = SamplePoint(history.at(i), row))
                expected.add(float(*y));
        const TMonitorRange got = history.range(row, first, end);
        QCOMPARE(got.isEmpty(), expected.isEmpty());
        if (!got.isEmpty()) {
            QCOMPARE(got.lo, expected.lo);
            QCOMPARE(got.hi, expected.hi);
        }
    }
}

void TestMonitorCsv::malformed_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    const QByteArray header = MonitorCsvHeader().toUtf8() + '\n';
    const QByteArray good = RowWith(0, "2023-11-14T22:13:20.000Z");
    const int pack = 1 + RowOf("Batt. Pack");
    const int puffs = 1 + RowOf("Puffs");
    const int temperature = 1 + RowOf("Temperature");
    const auto row = [&](const char* name, QByteArray content, int line, const char* reason) {
        QTest::newRow(name) << content << line << QString(reason);
    };
    row("empty file", "", 1, "empty");
    row("another header", "time,Batt. Pack\n" + good, 1, "header");
    row("no header", good, 1, "header");
    row("header cut off", header.chopped(1), 1, "line feed");
    row("row cut off", header + good + good.left(60), 3, "line feed");
    row("blank line", header + good + "\n" + good, 3, "1 cells, 30 expected");
    row("a cell more", header + good.chopped(1) + ",\n", 2, "31 cells");
    row("a cell less", header + good.left(good.lastIndexOf(',')) + "\n", 2, "29 cells");
    row("quoted cell", header + good + RowWith(pack, "\"8.12\""), 3, "Batt. Pack");
    row("time without zone", header + RowWith(0, "2023-11-14T22:13:20.000"), 2, "time");
    row("time on February 30", header + RowWith(0, "2023-02-30T22:13:20.000Z"), 2, "time");
    row("time at hour 24", header + RowWith(0, "2023-11-14T24:00:00.000Z"), 2, "time");
    row("time in seconds", header + RowWith(0, "1700000000"), 2, "time");
    row("one decimal short", header + RowWith(pack, "8.1"), 2,
        "\"8.1\" is no value of \"Batt. Pack\"");
    row("no decimals", header + RowWith(pack, "8"), 2, "Batt. Pack");
    row("leading zero", header + RowWith(pack, "08.12"), 2, "Batt. Pack");
    row("minus zero", header + RowWith(pack, "-0.00"), 2, "Batt. Pack");
    row("plus sign", header + RowWith(pack, "+8.12"), 2, "Batt. Pack");
    row("comma as separator", header + RowWith(pack, "8;12"), 2, "Batt. Pack");
    row("letters", header + RowWith(pack, "8.1x"), 2, "Batt. Pack");
    row("tab in a cell", header + RowWith(pack, "8\t12"), 2, "\"8?12\"");
    row("beyond 32 bits", header + RowWith(puffs, "4294967296"), 2, "Puffs");
    row("negative count", header + RowWith(puffs, "-1"), 2, "Puffs");
    row("beyond a signed value", header + RowWith(temperature, "2147483648"), 2, "Temperature");
    row("a value written as missing", header + RowWith(1 + RowOf("Power"), "0.0"), 2, "Power");
    row("no coil temperature written", header + RowWith(temperature, "65535"), 2, "Temperature");
    row("overlong line", header + QByteArray(5000, '1') + '\n', 2, "longer than 4096 bytes");
}

// Refused with its line, in memory and from a file, and the history stays as it was.
void TestMonitorCsv::malformed() {
    QFETCH(QByteArray, content);
    QFETCH(int, line);
    QFETCH(QString, reason);
    TMonitorHistory history = Session(1);
    const std::optional<TMonitorCsvError> error = ReadMonitorCsv(content, history);
    QVERIFY(error);
    QCOMPARE(error->line, qsizetype(line));
    QVERIFY2(error->reason.contains(reason), qPrintable(error->reason));
    QCOMPARE(history.size(), 1);

    QTemporaryDir dir;
    const QString path = dir.filePath("bad.csv");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    f.close();
    QString text;
    QVERIFY(!LoadMonitorCsv(path, history, &text));
    QCOMPARE(text, path + ", " + error->text());
    QCOMPARE(history.size(), 1);
}

// Each row is in the file as soon as Append returns; an existing file is refused, or
// replaced as a whole when asked; a file that can't be made says why.
void TestMonitorCsv::recorder() {
    QTemporaryDir dir;
    const QString path = dir.filePath("rec.csv");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("mine\n") == 5);
    old.close();
    TMonitorRecorder recorder;
    QVERIFY(!recorder.Start(path));
    QCOMPARE(recorder.Error(), "Cannot record to " + path + ": the file exists");
    QCOMPARE(FileBytes(path), QByteArray("mine\n"));

    QVERIFY2(recorder.Start(path, true), qPrintable(recorder.Error()));
    QByteArray expected = MonitorCsvHeader().toUtf8() + '\n';
    QCOMPARE(FileBytes(path), expected);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"rec.csv"});
    const TMonitorHistory session = Session(3);
    for (qsizetype i = 0; i < session.size(); ++i) {
        QVERIFY(recorder.Append(session.at(i)));
        expected += MonitorCsvRow(session.at(i)).toUtf8() + '\n';
        QCOMPARE(FileBytes(path), expected);
        QCOMPARE(recorder.rows(), i + 1);
    }
    recorder.Stop();
    QVERIFY(!recorder.active());
    TMonitorHistory read;
    QVERIFY(LoadMonitorCsv(path, read));
    QCOMPARE(read.size(), 3);

    QVERIFY(!recorder.Start(dir.filePath("no/such/folder.csv")));
    QVERIFY2(recorder.Error().startsWith("Cannot write " + dir.filePath("no/such/folder.csv") +
                                         ": No such file"),
             qPrintable(recorder.Error()));
}

QTEST_MAIN(TestMonitorCsv)
#include "test_monitorcsv.moc"
