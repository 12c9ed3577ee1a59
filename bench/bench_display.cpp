// Timing of the display and monitor transactions against the virtual device, each next to
// its protocol floor: the frame's flush (100 ms of silence), 10 ms after every read, the
// 100 ms pause after "LRST" and the second flush of an upload. Run by hand:
//   bench_display [repetitions]

#include "benchdevice.h"
#include "display/displaydata.h"
#include "display/transfers.h"
#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "monitor/monitor.h"
#include "settings/models.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int FlushMs = 100;
constexpr int ReadMs = 10;

struct TBench {
    const char* name;
    int model;
    int floorMs;
    std::function<bool()> run;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool Measure(const TBench& bench, int repetitions) {
    TDeviceEmulator emu(bench.model);
    TComPort port;
    if (!OpenBenchDevice(emu, port))
        return false;
    ResetTransport();
    SelectModel(bench.model);
    std::vector<double> times;
    bool ok = true;
    for (int i = 0; i < repetitions && ok; ++i) {
        QElapsedTimer clock;
        clock.start();
        ok = bench.run();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    int requests = 0;
    const auto trace = emu.trace();
    for (const auto& entry : trace)
        requests += entry.received && !entry.line.isEmpty();
    ComPort = nullptr;
    port.setActive(false);
    emu.stop();
    if (!ok) {
        std::printf("%-34s FAILED\n", bench.name);
        return false;
    }
    const double best = *std::min_element(times.begin(), times.end());
    const double median = Median(times);
    std::printf("%-36s floor %4d ms  best %6.1f  median %6.1f  worst %6.1f ms  over floor "
                "%+6.1f ms  requests/run %.1f\n",
                bench.name, bench.floorMs, best, median,
                *std::max_element(times.begin(), times.end()), median - bench.floorMs,
                double(requests) / double(times.size()));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const std::vector<TBench> benches = {
        {"logo download (33 reads)", 1, FlushMs + 33 * ReadMs, [] { return ReadLogos(); }},
        {"unchanged logo upload (33 reads)", 1, 2 * FlushMs + 100 + 33 * ReadMs,
         [] { return WriteLogos(); }},
        {"screenshot 128x32 mono (4 lines)", 1, FlushMs + 4 * ReadMs, [] { return ReadScreen(); }},
        {"screenshot 128x64 colour (10 lines)", 2, FlushMs + 10 * ReadMs,
         [] { return ReadScreen(); }},
        {"monitor poll (13 reads)", 1, FlushMs + 13 * ReadMs, [] { return ReadMonitorData(); }},
    };
    std::printf("%d repetitions each\n", repetitions);
    bool ok = true;
    for (const auto& bench : benches) {
        ResetDisplayData(); // black logos, as the fresh device holds
        ok = Measure(bench, repetitions) && ok;
    }
    return ok ? 0 : 1;
}
