// The monitor window: the chart's paging, panning and hover on synthetic polls, the
// highlighted points, a failed poll, the key buttons and the fire time against the virtual
// device, a monitoring run while the device fires, and the session's CSV.

#include "cli/clirunner.h"
#include "common/emulink.h"
#include "common/fullfs.h"
#include "link/transport.h"
#include "monitor/monitor.h"
#include "monitor/monitorcsv.h"
#include "monitor/ui/monitorchart.h"
#include "monitor/ui/monitorform.h"
#include "monitor/ui/parametersbox.h"
#include "settings/settings.h"
#include "shell/dialogs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cmath>

namespace {

constexpr int LevelRow = 4; // "Batt. Level": Y is the value itself
constexpr int PowerRow = 5;
constexpr int TemperatureRow = 8;
constexpr int TimeRow = 19;

// A poll with every value read; only the battery level is not 0.
TMonitorSample Sample(qint32 level) {
    TMonitorSample s;
    s.flags = (1u << MonitorRowCount) - 1;
    s.raw[LevelRow] = level;
    return s;
}

// A curve that moves: a misplaced point shows.
TMonitorSample Wave(int poll) {
    return Sample(50 + int(std::lround(40 * std::sin(poll / 5.0))));
}

// The pixels where `kept` (as it stands) and `fresh` (the same view drawn anew) differ by
// more than a quarter of the grey scale. Scrolling moves the kept curves by whole pixels, so
// they sit a fraction of a pixel off: the fresh picture is shifted by as much first. A few
// pixels differ where the segments of successive polls join.
int OffRedraw(TMonitorChart& kept, TMonitorChart& fresh) {
    const QImage a = kept.grab().toImage();
    const double keptAt = kept.position(0, 0).x();
    fresh.setCurveShown(LevelRow, fresh.curveShown(LevelRow)); // drawn anew
    const QImage b = fresh.grab().toImage();
    const double phase = (keptAt - fresh.position(0, 0).x()) * a.devicePixelRatio();
    const int from = phase > 0 ? -1 : 1;
    int off = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 1; x + 1 < a.width(); ++x) {
            const double shifted = (1 - std::abs(phase)) * qGray(b.pixel(x, y)) +
                                   std::abs(phase) * qGray(b.pixel(x + from, y));
            off += std::abs(qGray(a.pixel(x, y)) - shifted) > 64;
        }
    return off;
}
constexpr int OffLimit = 60;

void Mouse(QWidget* w, QEvent::Type type, double x, Qt::MouseButton button,
           Qt::MouseButtons buttons) {
    const QPointF pos(x, w->height() / 2.0);
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

void Drag(QWidget* w, double fromX, double toX) {
    Mouse(w, QEvent::MouseButtonPress, fromX, Qt::LeftButton, Qt::LeftButton);
    Mouse(w, QEvent::MouseMove, toX, Qt::NoButton, Qt::LeftButton);
    Mouse(w, QEvent::MouseButtonRelease, toX, Qt::LeftButton, Qt::NoButton);
}

void Hover(TMonitorChart& chart, double x) {
    Mouse(&chart, QEvent::MouseMove, chart.position(x, 0).x(), Qt::NoButton, Qt::NoButton);
}

// Whether point `index` of a curve at Y 50 carries its marker: the marker (radius 3)
// covers the pixel 1.5 to 2.5 pixels above the point, the 2-pixel line does not.
bool Marked(TMonitorChart& chart, double index) {
    const QImage image = chart.grab().toImage();
    const QPointF at = chart.position(index, 50);
    return qGray(image.pixel(int(at.x()), int(at.y()) - 2)) < 160;
}

QLabel* Label(const TMonitorForm& form, int row) {
    return form.parameters()->label(row);
}

QPushButton* Button(const TMonitorForm& form, const char* name) {
    return form.findChild<QPushButton*>(QLatin1String(name));
}

QLineEdit* FireEdit(const TMonitorForm& form) {
    return form.findChild<QLineEdit*>(QStringLiteral("FireTume"));
}

void CommitFireTime(const TMonitorForm& form, const QString& text) {
    FireEdit(form)->setText(text);
    emit FireEdit(form)->editingFinished();
}

// The label a row shows for the CSV cell of the same value.
QString LabelForCell(int row, const QString& cell) {
    if (cell.isEmpty())
        return RowMissingText(row);
    const QString unit = QString::fromUtf8(MonitorRows()[size_t(row)].unit);
    return unit.isEmpty() ? cell : cell + ' ' + unit;
}

QStringList FileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestMonitorForm : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pagingFollowAndPan();
    void keptCurvesMatchRedraw();
    void hoverAndHighlights();
    void failedPollIsAGap();
    void startWithoutDevice();
    void keyButtons();
    void fireTime_data();
    void fireTime();
    void fireTimeKeptAcrossWindows();
    void monitoringWhileFiring();
    void savedCsvHasTheCliFormat();
    void savingFailsWithoutDamage();
};

void TestMonitorForm::init() {
    QLocale::setDefault(QLocale::c());
    ResetMonitorData();
    Settings = DefaultSettings();
    TMonitorForm::FireTime = 1000;
    TMonitorForm::HoverIndex = 0;
}

void TestMonitorForm::cleanup() {
    Dialogs::reset();
    QLocale::setDefault(QLocale::c());
}

// 150 polls on a 400-pixel chart: 100 points per page, the view 49..149. Panned left, new
// points no longer move it; panned back to the end, it follows again. Panning stops at the
// first and the last point. At every step the curve looks as if drawn anew.
void TestMonitorForm::pagingFollowAndPan() {
    TMonitorHistory history;
    TMonitorChart chart(history);
    chart.resize(400, 300);
    chart.setCurveShown(LevelRow, true);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    QCOMPARE(chart.pointsPerPage(), 100);
    const auto add = [&](int n) {
        for (int i = 0; i < n; ++i) {
            history.append(Wave(int(history.size())));
            chart.samplesAdded();
            chart.grab(); // each poll painted, as on screen
        }
    };
    const auto asDrawnAnew = [&] { return OffRedraw(chart, chart) < OffLimit; };
    add(60);
    QCOMPARE(chart.axisMin(), 0.0); // the first page until it is full
    QCOMPARE(chart.axisMax(), 99.0);
    Drag(&chart, 100, 300);
    QCOMPARE(chart.axisMin(), 0.0);
    add(90);
    QCOMPARE(chart.axisMin(), 49.0);
    QCOMPARE(chart.axisMax(), 149.0);
    QVERIFY(chart.followLatest());
    QVERIFY(asDrawnAnew());

    Drag(&chart, 200, 300); // a quarter of the page towards older points
    QVERIFY(!chart.followLatest());
    const double min = chart.axisMin();
    QVERIFY2(min > 20 && min < 30, qPrintable(QString::number(min)));
    add(10);
    QCOMPARE(chart.axisMin(), min);
    QCOMPARE(chart.axisMax(), min + 100);
    QVERIFY(asDrawnAnew());

    for (int i = 0; i < 3; ++i)
        Drag(&chart, 10, 390);
    QCOMPARE(chart.axisMin(), 0.0);
    QVERIFY(!chart.followLatest());
    for (int i = 0; i < 3; ++i)
        Drag(&chart, 390, 10);
    QCOMPARE(chart.axisMax(), 159.0);
    QVERIFY(chart.followLatest());
    add(5);
    QCOMPARE(chart.axisMin(), 64.0);
    QCOMPARE(chart.axisMax(), 164.0);
    QVERIFY(asDrawnAnew());

    chart.resize(800, 300); // the page follows the width
    QCOMPARE(chart.pointsPerPage(), 200);
    QCOMPARE(chart.axisMin(), 0.0);
    QCOMPARE(chart.axisMax(), 199.0);
    add(1);
    QVERIFY(asDrawnAnew());
}

// Poll by poll through the end of the first page, where the scale changes, and on: the
// curves kept and scrolled between polls look as the same view drawn anew.
void TestMonitorForm::keptCurvesMatchRedraw() {
    TMonitorHistory history;
    TMonitorChart live(history);
    TMonitorChart fresh(history);
    for (TMonitorChart* chart : {&live, &fresh}) {
        chart->resize(400, 300);
        chart->setCurveShown(LevelRow, true);
    }
    live.show();
    QVERIFY(QTest::qWaitForWindowExposed(&live));
    for (int i = 0; i < 160; ++i) {
        history.append(Wave(i));
        live.samplesAdded();
        fresh.samplesAdded();
        const int off = OffRedraw(live, fresh);
        QVERIFY2(off < OffLimit, qPrintable(QString("poll %1: %2 pixels").arg(i).arg(off)));
    }
}

// The hover index is the point left of the mouse; it is shared by all curves and kept for
// the next window. The last point and the hovered one carry a marker.
void TestMonitorForm::hoverAndHighlights() {
    TMonitorForm form;
    form.resize(1000, 700);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TMonitorChart& chart = *form.chart();
    QCOMPARE(chart.hoverIndex(), 0);
    for (int i = 0; i < 60; ++i)
        form.AddSample(Sample(50));
    Hover(chart, 30.5); // no curve shown: nothing changes
    QCOMPARE(chart.hoverIndex(), 0);
    form.parameters()->check(LevelRow)->setChecked(true);
    QVERIFY(Marked(chart, 0)); // never hovered in this run: the first point is marked
    QVERIFY(Marked(chart, 59));
    QVERIFY(!Marked(chart, 30));

    Hover(chart, 10.5);
    QCOMPARE(chart.hoverIndex(), 10);
    QCOMPARE(TMonitorForm::HoverIndex, 10);
    QVERIFY(Marked(chart, 10));
    QVERIFY(!Marked(chart, 11));
    QVERIFY(!Marked(chart, 0));
    Hover(chart, 59.5); // beyond the last point: stays
    QCOMPARE(chart.hoverIndex(), 10);
    Hover(chart, -1);
    QCOMPARE(chart.hoverIndex(), -1);
    Hover(chart, 20);
    QCOMPARE(chart.hoverIndex(), 19);

    form.AddSample(Sample(0)); // Y 0 is a point; a missing Power is a gap
    QVERIFY(SamplePoint(form.history().at(60), LevelRow));
    QVERIFY(!SamplePoint(form.history().at(60), PowerRow));

    TMonitorForm second;
    QCOMPARE(second.chart()->hoverIndex(), 19);
}

// A poll that loses the device: a gap in every curve, "---" for what was not read, the
// values read before the loss shown, and monitoring stopped.
void TestMonitorForm::failedPollIsAGap() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TMonitorForm form;
    form.show();
    Button(form, "Button1")->click();
    QTRY_COMPARE_WITH_TIMEOUT(form.history().size(), 1, 5000);
    TEmuFaults faults;
    faults.silentAfter = 4; // "ID", "BNRG", "LNRG", "BVLT"
    link.emu().setFaults(faults);
    QTRY_COMPARE_WITH_TIMEOUT(form.history().size(), 2, 10000);
    QVERIFY(!form.poller()->active());
    QTest::qWait(300);
    QCOMPARE(form.history().size(), 2);

    const TMonitorSample& good = form.history().at(0);
    const TMonitorSample& failed = form.history().at(1);
    QVERIFY(SamplePoint(good, 0));
    for (int i = 0; i < MonitorRowCount; ++i)
        QVERIFY2(!SamplePoint(failed, i), MonitorRows()[size_t(i)].name);
    QCOMPARE(Label(form, 0)->text(), RowLabel(good, 0)); // "Batt. Pack" was read
    QVERIFY(Label(form, 0)->text().endsWith(" V"));
    QCOMPARE(Label(form, LevelRow)->text(), QString("--- %"));
    QCOMPARE(Label(form, 18)->text(), QString("---"));   // "Puffs"
    QCOMPARE(Label(form, 22)->text(), QString("--- W")); // "Last Power"
    QCOMPARE(Label(form, 6)->text(), QString("--- W"));  // "Power VW"
}

// No device: one failed poll, nothing read, and monitoring stops.
void TestMonitorForm::startWithoutDevice() {
    ResetTransport();
    ComPort = nullptr;
    TMonitorForm form;
    Button(form, "Button1")->click();
    QTRY_COMPARE_WITH_TIMEOUT(form.history().size(), 1, 5000);
    QVERIFY(!form.poller()->active());
    for (int i = 0; i < MonitorRowCount; ++i) {
        QCOMPARE(Label(form, i)->text(), RowMissingText(i));
        QVERIFY(!SamplePoint(form.history().at(0), i));
    }
    Button(form, "Button3")->click(); // fails silently
    QVERIFY(Dialogs::shownMessages().isEmpty());
}

// FIRE Test, Plus and Minus write "KEYS"; a press while another transaction holds the
// port is dropped instead of waiting for it.
void TestMonitorForm::keyButtons() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TMonitorForm form;
    form.show();
    CommitFireTime(form, "2.5");
    link.emu().clearTrace();
    Button(form, "Button3")->click();
    Button(form, "Button5")->click();
    Button(form, "Button4")->click();
    QCOMPARE(link.writes(), (QList<QByteArray>{"KEYS=2500,0,0", "KEYS=0,0,100", "KEYS=0,100,0"}));

    link.emu().clearTrace();
    SetPortBusy(1);
    QElapsedTimer clock;
    clock.start();
    Button(form, "Button3")->click();
    QVERIFY(clock.elapsed() < 1000);
    SetPortBusy(0);
    QVERIFY(link.received().isEmpty());
}

void TestMonitorForm::fireTime_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("stored");
    QTest::newRow("2.5") << "C"
                         << "2.5"
                         << "2.5" << 2500;
    // Four characters, rounded to what the field shows (ties to even): 2.6 s, not 2.55 s.
    QTest::newRow("2.55") << "C"
                          << "2.55"
                          << "2.6" << 2600;
    QTest::newRow("2,25") << "C"
                          << "2,25"
                          << "2.2" << 2200;
    QTest::newRow("99") << "C"
                        << "99"
                        << "60.0" << 60000;
    QTest::newRow("empty") << "C"
                           << ""
                           << "0.1" << 100;
    QTest::newRow("0") << "C"
                       << "0"
                       << "0.1" << 100;
    QTest::newRow("not a number") << "C"
                                  << "x1"
                                  << "0.1" << 100;
    QTest::newRow("German 99") << "de_DE"
                               << "99"
                               << "60,0" << 60000;
    QTest::newRow("German 1.5") << "de_DE"
                                << "1.5"
                                << "1,5" << 1500;
}

void TestMonitorForm::fireTime() {
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, stored);
    QLocale::setDefault(QLocale(locale));
    TMonitorForm form;
    QCOMPARE(FireEdit(form)->text(), locale == "C" ? QString("1.0") : QString("1,0"));
    QCOMPARE(FireEdit(form)->maxLength(), 4);
    CommitFireTime(form, typed);
    QCOMPARE(FireEdit(form)->text(), shown);
    QCOMPARE(TMonitorForm::FireTime, stored);
}

// The fire time stays when the window closes, and the field shows it when it opens again
// (rather than 1.0 over a stored 2.5 s).
void TestMonitorForm::fireTimeKeptAcrossWindows() {
    {
        TMonitorForm form;
        CommitFireTime(form, "2.5");
    }
    TMonitorForm again;
    QCOMPARE(TMonitorForm::FireTime, 2500);
    QCOMPARE(FireEdit(again)->text(), QString("2.5"));
}

// A real run against the virtual device in TC mode: FIRE Test makes power, temperature and
// firing time appear and move; the labels show the values the CLI's CSV row has for the
// same poll.
void TestMonitorForm::monitoringWhileFiring() {
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    QVERIFY(link.emu().setValue("PMOD[0]", "2"));
    TMonitorForm form;
    form.resize(1000, 700);
    form.show();
    QTest::mouseClick(form.parameters()->check(PowerRow), Qt::LeftButton);
    QTest::mouseClick(form.parameters()->check(TemperatureRow), Qt::LeftButton);
    QVERIFY(form.chart()->curveShown(PowerRow) && form.chart()->curveShown(TemperatureRow));
    CommitFireTime(form, "2");
    Button(form, "Button1")->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.history().size() >= 2, 5000);
    QVERIFY(!SamplePoint(form.history().at(1), PowerRow)); // idle: a gap
    Button(form, "Button3")->click();
    const auto firing = [&] {
        QList<qsizetype> polls;
        for (qsizetype i = 0; i < form.history().size(); ++i)
            if (SampleValue(form.history().at(i), TimeRow))
                polls.append(i);
        return polls;
    };
    // Wait until the firing has ended (a gap after the firing's points).
    QTRY_VERIFY_WITH_TIMEOUT(firing().size() >= 3 && firing().last() < form.history().size() - 1,
                             10000);
    Button(form, "Button2")->click();
    QVERIFY(!form.poller()->active());

    const QList<qsizetype> polls = firing();
    const auto value = [&](qsizetype poll, int row) {
        return SampleValue(form.history().at(poll), row).value_or(-1);
    };
    QVERIFY(value(polls.first(), PowerRow) > 0);
    QVERIFY(value(polls.last(), TimeRow) > value(polls.first(), TimeRow));
    QVERIFY(value(polls.last(), TemperatureRow) > value(polls.first(), TemperatureRow));
    QVERIFY(SamplePoint(form.history().at(polls.last()), TemperatureRow));

    // The last poll's labels against the CLI's CSV row for the same data.
    const TMonitorSample& last = form.history().at(form.history().size() - 1);
    const TMonitorSample cli = CaptureMonitorSample(MonitorData, Settings, true, last.time);
    QCOMPARE(MonitorCsvRow(last), MonitorCsvRow(cli));
    const QStringList cells = MonitorCsvRow(cli).split(',');
    for (int i = 0; i < MonitorRowCount; ++i)
        QCOMPARE(Label(form, i)->text(), LabelForCell(i, cells.at(i + 1)));
    QVERIFY(Label(form, 0)->text() != QString("---"));
}

// "Save .CSV" writes the whole session, failed polls included, in the format of
// `devedazi-cli monitor`.
void TestMonitorForm::savedCsvHasTheCliFormat() {
    RequireBuiltPrograms();
    TEmuProcess emu;
    QVERIFY2(emu.ok(), qPrintable(emu.errors()));
    const TRun run = RunCliOn(emu, {"monitor", "--count", "1"});
    QCOMPARE(run.code, 0);
    const QStringList cliLines = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(cliLines.size(), 2);

    TMonitorForm form;
    TMonitorSample failed = Sample(0);
    failed.flags = 1u | SampleFailed; // only "Batt. Pack" was read
    failed.raw[0] = 731;
    for (const TMonitorSample& s : {Sample(87), failed, Sample(86)})
        form.AddSample(s);
    QTemporaryDir dir;
    const QString path = dir.filePath("session.csv");
    Dialogs::setNextFileName(path);
    form.SaveCsvClick();
    const QStringList lines = FileLines(path);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), cliLines.at(0));
    const QRegularExpression time(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z,)");
    for (int i = 1; i < 4; ++i) {
        QCOMPARE(lines.at(i), MonitorCsvRow(form.history().at(i - 1)));
        QCOMPARE(lines.at(i).count(','), cliLines.at(1).count(','));
        QVERIFY(time.match(lines.at(i)).hasMatch());
        QVERIFY(time.match(cliLines.at(1)).hasMatch());
    }
    QCOMPARE(lines.at(2), QString("1970-01-01T00:00:00.000Z,7.31") + QString(28, ','));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"session.csv"});

    Dialogs::setNextFileName(QString()); // cancelled: nothing written
    form.AddSample(Sample(85));
    form.SaveCsvClick();
    QCOMPARE(FileLines(path).size(), 4);
    QVERIFY(Dialogs::shownMessages().isEmpty());
}

// A file that cannot be written whole (the disk fills up half-way): the error is shown,
// the old file stays as it was and no temporary file is left; a folder that is a file
// likewise. Saving again with room replaces the old file.
void TestMonitorForm::savingFailsWithoutDamage() {
    TMonitorForm form;
    for (int i = 0; i < 200; ++i) // about 11 kB
        form.AddSample(Sample(87));
    QTemporaryDir dir;
    const QString path = dir.filePath("session.csv");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old session\n");
    old.close();
    {
        const TFileSizeLimit limit(4096);
        Dialogs::setNextFileName(path);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        form.SaveCsvClick();
    }
    QCOMPARE(Dialogs::shownMessages().size(), 1);
    QVERIFY2(Dialogs::shownMessages().at(0).startsWith("Cannot write " + path),
             qPrintable(Dialogs::shownMessages().at(0)));
    QCOMPARE(FileLines(path), QStringList{"old session"});
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"session.csv"});

    Dialogs::setNextFileName(path + "/inside.csv"); // its folder is a file
    Dialogs::setNextAnswer(QMessageBox::Ok);
    form.SaveCsvClick();
    QCOMPARE(Dialogs::shownMessages().size(), 2);
    QCOMPARE(FileLines(path), QStringList{"old session"});

    Dialogs::setNextFileName(path);
    form.SaveCsvClick();
    QCOMPARE(FileLines(path).size(), 201);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"session.csv"});
}

QTEST_MAIN(TestMonitorForm)
#include "test_monitorform.moc"
