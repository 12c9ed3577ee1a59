// The monitor window in a long session: synthetic polls (no device, no pauses) fed into the
// window offscreen at 1280 x 800 with all 29 curves shown. For each history length it
// prints the per-poll update (store, labels, repaint of the page in view: median and 99th
// percentile), the slowest repaint after panning to a random place, and the resident
// memory the history added. Then, for the window, the day view: the whole history fitted
// into the chart (hundreds of polls per pixel column), drawn anew. Run by hand:
//   bench_monitor              the window as built
//   bench_monitor --qtcharts   the same store and labels with a Qt Charts view fed only the
//                              page in view of the shown curves (the alternative measured)
//   --cpu                      times in processor time of the thread instead of wall-clock
//   bench_monitor --sampling   the poll loop against the virtual device: how long a poll
//                              takes, the time from poll start to poll start while the
//                              device is idle and while it fires, and how many polls see
//                              a 1 s FIRE Test
//   bench_monitor --open       a 24-hour session (262,144 polls) saved by "Save .CSV", then
//                              opened with "Open .CSV...": the time until the window shows
//                              it and the resident memory that added

#include "benchdevice.h"
#include "monitor/monitor.h"
#include "monitor/monitorcsv.h"
#include "monitor/monitorhistory.h"
#include "monitor/ui/monitorchart.h"
#include "monitor/ui/monitorform.h"
#include "monitor/ui/parametersbox.h"
#include "settings/actions.h"
#include "shell/dialogs.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Width = 1280;
constexpr int Height = 800;
constexpr int MeasuredPolls = 500;
constexpr int Pans = 50;
const qsizetype Lengths[] = {0, 10000, 100000, 262144};

// A poll of a device that fires for 3 polls out of 10: live values only while firing.
TMonitorSample Synthetic(qsizetype n) {
    const double t = double(n);
    const bool firing = n % 10 < 3;
    TMonitorSample s;
    s.time = 1700000000000 + n * 330;
    s.flags = (1u << MonitorRowCount) - 1;
    const auto wave = [&](double base, double amp, double period) {
        return qint32(std::lround(base + amp * std::sin(t / period)));
    };
    s.raw = {wave(1150, 80, 900),
             wave(383, 27, 900),
             wave(383, 27, 900),
             wave(383, 27, 900),
             wave(70, 25, 2000),
             firing ? wave(550, 200, 7) : 0,
             550,
             400,
             firing ? wave(230, 20, 5) : 65535,
             230,
             wave(250, 30, 50),
             firing ? 420 : 0,
             400,
             firing ? 1300 : 0,
             320,
             firing ? wave(330, 20, 3) : 320,
             wave(35, 5, 40),
             22,
             qint32(n / 10),
             firing ? qint32(n % 10 + 1) * 330 : 0,
             0,
             wave(14, 3, 11),
             wave(550, 100, 13),
             65535,
             420,
             1300,
             330,
             990,
             wave(18000, 2000, 5000)};
    return s;
}

double MegaBytesResident() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// Wall-clock time, or with --cpu the processor time of this thread (the same work without
// what other processes on a busy machine take from it).
bool g_cpuTime = false;

qint64 NowNs() {
    timespec ts{};
    clock_gettime(g_cpuTime ? CLOCK_THREAD_CPUTIME_ID : CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

double MsSince(qint64 startNs) {
    return double(NowNs() - startNs) / 1e6;
}

// What the benchmark drives: a poll's sample in, a pan, and the history.
struct TSubject {
    QWidget* window;
    std::function<void(const TMonitorSample&)> add;
    std::function<void(const TMonitorSample&)> fill; // add without the chart's work
    std::function<void(double min)> pan;
    std::function<qsizetype()> size;
    std::function<void()> drawDay; // the whole history drawn anew (none: not measured)
};

constexpr int DayDraws = 200;

void Run(const TSubject& subject) {
    subject.window->resize(Width, Height);
    subject.window->show();
    QApplication::processEvents();
    subject.window->repaint(); // fonts and caches before the baseline
    const double baseline = MegaBytesResident();
    QRandomGenerator random(42);
    for (const qsizetype length : Lengths) {
        while (subject.size() < length) {
            subject.fill(Synthetic(subject.size()));
            if (subject.size() % 4096 == 0)
                QApplication::processEvents();
        }
        QApplication::processEvents();
        std::vector<double> updates;
        for (int i = 0; i < MeasuredPolls; ++i) {
            const qint64 start = NowNs();
            subject.add(Synthetic(subject.size()));
            QApplication::processEvents();
            updates.push_back(MsSince(start));
        }
        double panMax = 0;
        for (int i = 0; i < Pans; ++i) {
            const qint64 start = NowNs();
            subject.pan(random.bounded(1.0) * double(subject.size()));
            QApplication::processEvents();
            panMax = std::max(panMax, MsSince(start));
        }
        subject.pan(double(subject.size())); // back to the end: following again
        QApplication::processEvents();
        std::printf("history %lld: update median %.2f ms p99 %.2f ms, pan max %.2f ms, memory "
                    "+%.0f MB\n",
                    static_cast<long long>(length), Percentile(updates, 0.5),
                    Percentile(updates, 0.99), panMax, MegaBytesResident() - baseline);
        std::fflush(stdout);
    }
    if (!subject.drawDay)
        return;
    std::vector<double> draws;
    for (int i = 0; i < DayDraws; ++i) {
        const qint64 start = NowNs();
        subject.drawDay();
        draws.push_back(MsSince(start));
    }
    std::printf("day view: draw median %.2f ms p99 %.2f ms\n", Percentile(draws, 0.5),
                Percentile(draws, 0.99));
}

void RunWindow() {
    TMonitorForm form;
    for (int i = 0; i < MonitorRowCount; ++i)
        form.parameters()->check(i)->setChecked(true);
    const auto add = [&](const TMonitorSample& s) { form.AddSample(s); };
    TMonitorChart& chart = *form.chart();
    const auto drawDay = [&] {
        if (!chart.fittingAll())
            chart.fitAll();
        chart.setCurveShown(0, true); // drawn anew
        chart.repaint();
    };
    Run({&form, add, add, [&](double min) { chart.panTo(min); },
         [&] { return form.history().size(); }, drawDay});
}

// The alternative: Qt Charts, each shown series replaced by the page in view after every
// poll (a series cannot hold the history: its append grows with the points it holds). A
// line series has no gaps; the points without a value are left out here, which draws a line
// across the gap but costs what the real thing would.
class TChartsWindow : public QWidget {
public:
    TChartsWindow() {
        auto* layout = new QHBoxLayout(this);
        layout->addWidget(m_box = new TParametersBox(this));
        m_chart = new QChart;
        m_chart->legend()->hide();
        m_chart->setMargins(QMargins(8, 8, 8, 8));
        m_x = new QValueAxis;
        m_y = new QValueAxis;
        m_y->setRange(0, 100);
        m_chart->addAxis(m_x, Qt::AlignBottom);
        m_chart->addAxis(m_y, Qt::AlignLeft);
        m_x->hide();
        m_y->hide();
        for (int i = 0; i < MonitorRowCount; ++i) {
            auto* series = new QLineSeries;
            series->setPen(QPen(QColor::fromRgb(MonitorRows()[size_t(i)].colour), 2));
            m_chart->addSeries(series);
            series->attachAxis(m_x);
            series->attachAxis(m_y);
            m_series.push_back(series);
        }
        auto* view = new QChartView(m_chart, this);
        view->setRenderHint(QPainter::Antialiasing);
        layout->addWidget(view, 1);
        m_view = view;
    }
    void add(const TMonitorSample& sample, bool feedChart = true) {
        m_history.append(sample);
        m_box->showSample(sample);
        if (m_follow)
            m_min = std::max(0.0, double(m_history.size() - 1 - perPage()));
        if (feedChart)
            feed();
    }
    void pan(double min) {
        m_min = std::clamp(min, 0.0, std::max(0.0, double(m_history.size() - 1 - perPage())));
        m_follow = m_min + perPage() >= double(m_history.size() - 1);
        feed();
    }
    qsizetype size() const { return m_history.size(); }

private:
    int perPage() const { return std::max(1, m_view->width() / 4); }
    void feed() {
        const qsizetype first = qsizetype(m_min);
        const qsizetype last = std::min(m_history.size() - 1, first + perPage());
        for (int row = 0; row < MonitorRowCount; ++row) {
            QList<QPointF> points;
            points.reserve(last - first + 1);
            for (qsizetype i = first; i <= last; ++i)
                if (const auto y = SamplePoint(m_history.at(i), row))
                    points.append(QPointF(double(i), *y));
            m_series[size_t(row)]->replace(points);
        }
        m_x->setRange(m_min, m_min + perPage());
    }

    TMonitorHistory m_history;
    TParametersBox* m_box;
    QChart* m_chart;
    QChartView* m_view;
    QValueAxis* m_x;
    QValueAxis* m_y;
    std::vector<QLineSeries*> m_series;
    double m_min = 0;
    bool m_follow = true;
};

void RunQtCharts() {
    TChartsWindow window;
    Run({&window,
         [&](const TMonitorSample& s) { window.add(s); },
         [&](const TMonitorSample& s) { window.add(s, false); },
         [&](double min) { window.pan(min); },
         [&] { return window.size(); },
         {}});
}

// One poll of the sampling run.
struct TPollTiming {
    qint64 start; // ms since the epoch
    qint64 end;
    bool firing;
};

double Median(std::vector<double> v) {
    return v.empty() ? 0 : Percentile(std::move(v), 0.5);
}

int RunSampling() {
    TDeviceEmulator emu;
    TComPort port;
    if (!OpenBenchDevice(emu, port))
        return 1;
    constexpr int IdlePolls = 30;
    constexpr int PollsAfterFiring = 10;
    std::vector<TPollTiming> polls;
    TMonitorPoller poller;
    QEventLoop loop;
    int afterFiring = -1;
    QObject::connect(&poller, &TMonitorPoller::polled, [&](bool ok) {
        polls.push_back({poller.lastPollTime(), QDateTime::currentMSecsSinceEpoch(),
                         MonitorData.atm[AtmTime] > 0});
        if (!ok)
            return loop.quit();
        if (polls.size() == IdlePolls) { // between two polls, as the window's "FIRE Test"
            PressKeys(1000, 0, 0);
            poller.pollSoon();
        }
        if (afterFiring < 0 && polls.size() > IdlePolls + 1 && !polls.back().firing)
            afterFiring = 0;
        if (afterFiring >= 0 && ++afterFiring > PollsAfterFiring)
            loop.quit();
    });
    poller.start();
    loop.exec();
    poller.stop();
    std::vector<double> duration, idle, firing;
    int firingPolls = 0;
    for (size_t i = 0; i < polls.size(); ++i) {
        duration.push_back(double(polls[i].end - polls[i].start));
        firingPolls += polls[i].firing;
        if (i == 0)
            continue;
        const double period = double(polls[i].start - polls[i - 1].start);
        if (polls[i - 1].firing)
            firing.push_back(period);
        else if (!polls[i].firing && i < IdlePolls)
            idle.push_back(period);
    }
    std::printf("poll: median %.0f ms; poll start to poll start: idle median %.0f ms, firing "
                "median %.0f ms; polls that saw a 1 s FIRE Test: %d\n",
                Median(duration), Median(idle), Median(firing), firingPolls);
    std::fflush(stdout);
    ComPort = nullptr;
    return 0;
}

int RunOpen() {
    constexpr qsizetype Polls = 262144;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("day.csv"));
    {
        TMonitorHistory day;
        for (qsizetype i = 0; i < Polls; ++i)
            day.append(Synthetic(i));
        QString error;
        if (!WriteMonitorCsv(path, day, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    TMonitorForm form;
    for (int i = 0; i < MonitorRowCount; ++i)
        form.parameters()->check(i)->setChecked(true);
    form.resize(Width, Height);
    form.show();
    QApplication::processEvents();
    form.repaint();
    const double baseline = MegaBytesResident();
    Dialogs::setNextFileName(path);
    const qint64 start = NowNs();
    form.OpenCsvClick();
    form.repaint();
    const double ms = MsSince(start);
    std::printf("open %lld polls (%.0f MB file): %.0f ms until shown, memory +%.0f MB\n",
                static_cast<long long>(form.history().size()),
                double(QFileInfo(path).size()) / (1024.0 * 1024.0), ms,
                MegaBytesResident() - baseline);
    std::fflush(stdout);
    return form.history().size() == Polls ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool qtCharts = false;
    bool sampling = false;
    bool open = false;
    for (int i = 1; i < argc; ++i) {
        open = open || QByteArray(argv[i]) == "--open";
        qtCharts = qtCharts || QByteArray(argv[i]) == "--qtcharts";
        sampling = sampling || QByteArray(argv[i]) == "--sampling";
        g_cpuTime = g_cpuTime || QByteArray(argv[i]) == "--cpu";
    }
    if (sampling)
        return RunSampling();
    if (open)
        return RunOpen();
    if (qtCharts)
        RunQtCharts();
    else
        RunWindow();
    return 0;
}
