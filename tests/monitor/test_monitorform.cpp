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
#include "monitor/ui/monitorpicture.h"
#include "monitor/ui/parametersbox.h"
#include "settings/history.h"
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
    void zoomAndFitAll();
    void freezeKeepsTheView();
    void spikeSurvivesTheDayView();
    void startStopAndState();
    void recordingStopsOnAFullDisk_data();
    void recordingStopsOnAFullDisk();
    void openRecording();
    void savePicture();
};

void TestMonitorForm::init() {
    QLocale::setDefault(QLocale::c());
    ResetMonitorData();
    Settings = DefaultSettings();
    ImageHistory().reset(); // the fresh image is the baseline
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
    Dialogs::setNextAnswer(QMessageBox::Ok);
    form.SaveCsvClick();
    QCOMPARE(Dialogs::shownMessages(), QStringList{"Done"});
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
    QCOMPARE(Dialogs::shownMessages(), QStringList{"Done"});
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
    Dialogs::setNextAnswer(QMessageBox::Ok);
    form.SaveCsvClick();
    QCOMPARE(Dialogs::shownMessages().last(), QString("Done"));
    QCOMPARE(FileLines(path).size(), 201);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"session.csv"});
}

// "+" and "-" (buttons and keys) halve and double the page about its end while following,
// within a few polls and the whole session; Ctrl+wheel zooms about the mouse; "Fit All"
// shows every poll and keeps doing so as polls come in; a zoom that shows the end follows.
void TestMonitorForm::zoomAndFitAll() {
    TMonitorForm form;
    form.resize(700, 500);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TMonitorChart& chart = *form.chart();
    chart.setCurveShown(LevelRow, true);
    for (int i = 0; i < 1000; ++i)
        form.AddSample(Wave(i));
    const int base = chart.pointsPerPage();
    Button(form, "ZoomIn")->click();
    QCOMPARE(chart.pointsPerPage(), base / 2);
    QCOMPARE(chart.axisMax(), 999.0);
    form.activateWindow();
    form.setFocus();
    QTest::keyClick(&form, Qt::Key_Minus);
    QTest::keyClick(&form, Qt::Key_Minus);
    QCOMPARE(chart.pointsPerPage(), base * 2);
    QVERIFY(chart.followLatest());
    for (int i = 0; i < 12; ++i)
        chart.zoomIn();
    QCOMPARE(chart.pointsPerPage(), TMonitorChart::MinPoints);
    for (int i = 0; i < 12; ++i)
        chart.zoomOut();
    QCOMPARE(chart.pointsPerPage(), 999); // the whole session, no more
    QTest::keyClick(&form, Qt::Key_0);
    QVERIFY(chart.fittingAll());
    QCOMPARE(chart.axisMin(), 0.0);
    QCOMPARE(chart.axisMax(), 999.0);
    for (int i = 0; i < 10; ++i)
        form.AddSample(Wave(i));
    QCOMPARE(chart.axisMin(), 0.0);
    QCOMPARE(chart.axisMax(), 1009.0);

    chart.zoomIn();
    chart.zoomIn();
    chart.panTo(300); // back in time: no longer following
    QVERIFY(!chart.followLatest());
    const double mouse = chart.position(400, 0).x();
    QWheelEvent wheel(QPointF(mouse, 100), chart.mapToGlobal(QPointF(mouse, 100)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    const int before = chart.pointsPerPage();
    QCoreApplication::sendEvent(&chart, &wheel);
    QVERIFY(chart.pointsPerPage() < before);
    QVERIFY2(std::abs(chart.xAt(mouse) - 400) < 1, qPrintable(QString::number(chart.xAt(mouse))));
    form.AddSample(Wave(0));
    QCOMPARE(chart.xAt(mouse), chart.xAt(mouse)); // stays
    while (!chart.followLatest() && chart.pointsPerPage() < 1010)
        Button(form, "ZoomOut")->click();
    QVERIFY(chart.followLatest());
    form.AddSample(Wave(1));
    QCOMPARE(chart.axisMax(), 1011.0);
}

// Frozen, polls come in and nothing on the chart moves; running again, it follows.
void TestMonitorForm::freezeKeepsTheView() {
    TMonitorForm form;
    form.resize(700, 500);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TMonitorChart& chart = *form.chart();
    chart.setCurveShown(LevelRow, true);
    for (int i = 0; i < 300; ++i)
        form.AddSample(Wave(i));
    Button(form, "Freeze")->click();
    QVERIFY(chart.frozen());
    const double min = chart.axisMin();
    form.AddSample(Wave(300)); // the last point in view is no longer the newest
    const QImage still = chart.grab().toImage();
    for (int i = 301; i < 400; ++i) {
        form.AddSample(Wave(i));
        QCOMPARE(chart.axisMin(), min);
    }
    QCOMPARE(form.history().size(), 400);
    QCOMPARE(chart.grab().toImage(), still);
    chart.fitAll(); // the session as it is now, and no further
    const double fitted = chart.axisMax();
    form.AddSample(Wave(400));
    QCOMPARE(chart.axisMax(), fitted);
    Button(form, "Freeze")->click();
    QVERIFY(!chart.frozen());
    QCOMPARE(chart.axisMax(), 400.0);
    QVERIFY(chart.followLatest());
}

// A day of polls with one spike in a flat line: the pixel column holding it reaches the
// spike, on the screen and in the picture.
void TestMonitorForm::spikeSurvivesTheDayView() {
    TMonitorHistory history;
    constexpr int Spike = 150001;
    for (int i = 0; i < 262144; ++i)
        history.append(Sample(i == Spike ? 95 : 10));
    TMonitorChart chart(history);
    chart.resize(900, 300);
    chart.setCurveShown(LevelRow, true);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    chart.fitAll();
    QVERIFY(chart.pointsPerPage() > 200 * chart.width());
    // Whether the curve reaches Y 95 near poll `at`.
    const auto reaches = [&](const QImage& image, int at) {
        const QPointF top = chart.position(at, 95);
        const double r = image.devicePixelRatio();
        int dark = 0;
        for (int dx = -2; dx <= 2; ++dx)
            dark += qGray(image.pixel(int((top.x() + dx) * r), int((top.y() + 1) * r))) < 128;
        return dark > 0;
    };
    const QImage shown = chart.grab().toImage();
    QVERIFY(reaches(shown, Spike));
    QVERIFY(reaches(MonitorPicture(chart, QString(), 1), Spike));
    QVERIFY(!reaches(shown, Spike - 50000)); // the rest stays low
}

// Only the button that applies is enabled; the window says whether it polls and how often.
// An empty chart says what fills it.
void TestMonitorForm::startStopAndState() {
    TMonitorForm form;
    const auto state = [&] { return form.stateText(); };
    QVERIFY(Button(form, "Button1")->isEnabled());
    QVERIFY(!Button(form, "Button2")->isEnabled());
    QCOMPARE(state(), QString("Not monitoring"));
    QCOMPARE(form.chart()->emptyText(), QString("Start Monitoring to see live values"));
    form.resize(700, 500);
    const auto written = [&] { // pixels of text in the middle of the chart
        const QImage image = form.chart()->grab().toImage();
        int grey = 0;
        for (int x = image.width() / 4; x < image.width() * 3 / 4; ++x)
            grey += qGray(image.pixel(x, image.height() / 2)) < 200;
        return grey;
    };
    QVERIFY(written() > 5);
    QCOMPARE(form.chart()->placeholder(), form.chart()->emptyText());

    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    Button(form, "Button1")->click();
    QVERIFY(!Button(form, "Button1")->isEnabled());
    QVERIFY(Button(form, "Button2")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(form.history().size() >= 3, 10000);
    QVERIFY2(
        QRegularExpression(R"(^Monitoring: a poll every \d\.\d\d s$)").match(state()).hasMatch(),
        qPrintable(state()));
    Button(form, "Button2")->click();
    QVERIFY(Button(form, "Button1")->isEnabled());
    QCOMPARE(state(), QString("Not monitoring"));
    QCOMPARE(form.chart()->placeholder(), QString("Tick a value on the left to draw its curve"));
    QVERIFY(written() > 5);
    form.parameters()->check(LevelRow)->setChecked(true);
    QVERIFY(form.chart()->placeholder().isEmpty());
}

void TestMonitorForm::recordingStopsOnAFullDisk_data() {
    QTest::addColumn<bool>("realDisk");
    QTest::newRow("file-size limit") << false;
    QTest::newRow("full tmpfs") << true;
}

// The disk fills up while recording: the recording ends with the system's reason, the file
// holds whole rows only, and monitoring goes on.
void TestMonitorForm::recordingStopsOnAFullDisk() {
    QFETCH(bool, realDisk);
    TFullFileSystem fs;
    if (realDisk && !fs.ok())
        QSKIP(qPrintable("full file system not tested: " + fs.whyNot()));
    QTemporaryDir plain;
    const QString path = (realDisk ? fs.path() : plain.path()) + "/rec.csv";
    EmuLink link(1);
    QVERIFY2(link.ok(), qPrintable(link.error()));
    TMonitorForm form;
    form.show();
    Dialogs::setNextFileName(path);
    Button(form, "Record")->click();
    QVERIFY(form.recorder().active());
    QCOMPARE(Button(form, "Record")->text(), QString("Stop Recording"));
    Button(form, "Button1")->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.recorder().rows() >= 2, 10000);
    const auto label = [&] { return form.recordingText(); };
    QCOMPARE(label(), QString("Recording to %1: %2 rows").arg(path).arg(form.recorder().rows()));
    std::optional<TFileSizeLimit> limit;
    if (realDisk)
        QVERIFY(fs.fill());
    else
        limit.emplace(QFileInfo(path).size() + 100); // less than a row
    QTRY_VERIFY_WITH_TIMEOUT(!form.recorder().active(), 10000);
    const qsizetype polls = form.history().size();
    QTRY_VERIFY_WITH_TIMEOUT(form.history().size() >= polls + 2, 10000);
    limit.reset();
    QVERIFY(form.poller()->active());
    const QString reason = realDisk ? "No space left on device" : "File too large";
    QCOMPARE(label(), QString("Recording stopped, %1 rows kept: Cannot write %2: %3")
                          .arg(form.recorder().rows())
                          .arg(path, reason));
    QCOMPARE(Button(form, "Record")->text(), QString("Record..."));
    TMonitorHistory rows;
    QString error;
    QVERIFY2(LoadMonitorCsv(path, rows, &error), qPrintable(error));
    QCOMPARE(rows.size(), form.recorder().rows());
    for (qsizetype i = 0; i < rows.size(); ++i)
        QCOMPARE(MonitorCsvRow(rows.at(i)), MonitorCsvRow(form.history().at(i)));
    form.Button2Click();
}

// "Open .CSV..." asks before it gives up unsaved polls, refuses a malformed file with its
// line and keeps the session, and shows a good one under its name; "Start Monitoring"
// then begins a new session.
void TestMonitorForm::openRecording() {
    QTemporaryDir dir;
    const QString path = dir.filePath("rec.csv");
    TMonitorHistory saved;
    for (int level : {20, 40, 60})
        saved.append(Sample(level));
    QVERIFY(WriteMonitorCsv(path, saved));
    const QString bad = dir.filePath("bad.csv");
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(MonitorCsvHeader().toUtf8() + "\n" + MonitorCsvRow(saved.at(0)).toUtf8() + "\nx\n");
    f.close();

    TMonitorForm form;
    form.AddSample(Sample(90));
    Dialogs::setNextAnswer(QMessageBox::No);
    form.OpenCsvClick();
    QCOMPARE(Dialogs::shownMessages(),
             QStringList{"The session's 1 poll are not saved. Open a file in its place?"});
    QCOMPARE(form.history().size(), 1);

    Dialogs::setNextAnswer(QMessageBox::Yes);
    Dialogs::setNextFileName(bad);
    Dialogs::setNextAnswer(QMessageBox::Ok);
    form.OpenCsvClick();
    QCOMPARE(Dialogs::shownMessages().last(),
             "Invalid CSV file!\n\n" + bad + ", line 3: 1 cells, 30 expected");
    QCOMPARE(form.history().size(), 1);

    Dialogs::setNextAnswer(QMessageBox::Yes);
    Dialogs::setNextFileName(path);
    form.OpenCsvClick();
    QCOMPARE(form.history().size(), 3);
    QCOMPARE(form.windowTitle(), QString("Monitor - rec.csv"));
    QCOMPARE(Label(form, LevelRow)->text(), QString("60 %"));
    QVERIFY(!form.hasUnsavedPolls());
    Dialogs::setNextFileName(path); // nothing to lose: no question
    form.OpenCsvClick();
    QCOMPARE(Dialogs::shownMessages().size(), 4);

    ResetTransport();
    ComPort = nullptr;
    Button(form, "Button1")->click(); // no device: one failed poll of a new session
    QTRY_COMPARE_WITH_TIMEOUT(form.history().size(), 1, 5000);
    QCOMPARE(form.windowTitle(), QString("Monitor"));
    QVERIFY(form.hasUnsavedPolls());
}

// The chart as shown with the time range and the legend of the shown curves: PNG at the
// screen's pixel ratio, SVG where it can be written.
void TestMonitorForm::savePicture() {
    TMonitorForm form;
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.parameters()->check(LevelRow)->setChecked(true);
    form.parameters()->check(PowerRow)->setChecked(true);
    for (int i = 0; i < 50; ++i)
        form.AddSample(Wave(i));
    QTemporaryDir dir;
    Dialogs::setNextFileName(dir.filePath("chart.png"));
    Dialogs::setNextAnswer(QMessageBox::Ok);
    form.SavePictureClick();
    QCOMPARE(Dialogs::shownMessages(), QStringList{"Done"});
    const QImage png(dir.filePath("chart.png"));
    TMonitorChart& chart = *form.chart();
    QCOMPARE(png.width(), int(chart.width() * chart.devicePixelRatioF()));
    QVERIFY(png.height() > chart.height() * chart.devicePixelRatioF());
    const QImage shown = chart.grab().toImage();
    QCOMPARE(png.copy(QRect(QPoint(0, 0), shown.size())).convertToFormat(QImage::Format_RGB32),
             shown.convertToFormat(QImage::Format_RGB32));
    if (!MonitorPictureSvg())
        QSKIP("built without Qt's SVG module");
    Dialogs::setNextFileName(dir.filePath("chart.svg"));
    Dialogs::setNextAnswer(QMessageBox::Ok);
    form.SavePictureClick();
    QFile svg(dir.filePath("chart.svg"));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    QVERIFY(text.contains("<svg"));
    QVERIFY(text.contains(">Batt. Level<") && text.contains(">Power<"));
    QVERIFY(text.contains(
        MonitorRangeText(form.history(), chart.firstInView(), chart.lastInView()).toUtf8()));
}

QTEST_MAIN(TestMonitorForm)
#include "test_monitorform.moc"
