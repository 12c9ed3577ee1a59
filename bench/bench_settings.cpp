// Settings transfer speed against the virtual device, as a ratio to the protocol floor:
// the flush's 100 ms of silence plus the 10 ms pause after every read.
//   download: 100 ms + 98 x 10 ms;  unchanged upload: 100 ms + 97 x 10 ms.
// Usage: bench_settings [rounds]   (default 5; prints the median and the best round)

#include "benchdevice.h"
#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "settings/models.h"
#include "settings/transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double TimeMs(const std::function<bool()>& run, bool* ok) {
    QElapsedTimer timer;
    timer.start();
    *ok = run() && *ok;
    return double(timer.nsecsElapsed()) / 1e6;
}

void Report(const char* what, std::vector<double> ms, double floorMs) {
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("%-17s median %7.1f ms  ratio %.3f   best %7.1f ms  ratio %.3f   (floor %.0f ms)\n",
                what, median, median / floorMs, ms.front(), ms.front() / floorMs, floorMs);
}

// Where the time above the floor goes, from the device's trace of the last transfer:
// device turnaround (request in -> answer out) and host turnaround (answer out -> next
// request in, less the 10 ms pause).
void Breakdown(const TDeviceEmulator& emu) {
    const auto trace = emu.trace();
    double device = 0, host = 0;
    int answers = 0, gaps = 0;
    qint64 lastIn = -1, lastOut = -1;
    for (const auto& e : trace) {
        if (e.line.isEmpty())
            continue;
        if (e.received) {
            if (lastOut >= 0) {
                host += double(e.nsecs - lastOut) / 1e6 - 10;
                ++gaps;
            }
            lastIn = e.nsecs;
            lastOut = -1;
        } else if (lastIn >= 0) {
            device += double(e.nsecs - lastIn) / 1e6;
            ++answers;
            lastOut = e.nsecs;
        }
    }
    if (answers && gaps)
        std::printf("  last upload: device turnaround %.3f ms per request, host %.3f ms "
                    "beyond the pause (%d requests)\n",
                    device / answers, host / gaps, answers);
}

// How late this machine wakes a 10 ms sleep right now (scheduler load shows up here).
double PauseOvershootMs() {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 50; ++i)
        Pause(10);
    return double(timer.nsecsElapsed()) / 1e6 / 50 - 10;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    TDeviceEmulator emu(1);
    TComPort port;
    if (!OpenBenchDevice(emu, port))
        return 1;
    bool ok = true;
    std::vector<double> down, up;
    for (int i = 0; i < rounds; ++i) {
        emu.clearTrace();
        down.push_back(TimeMs(ReadDeviceSettings, &ok));
        emu.clearTrace();
        up.push_back(TimeMs(WriteDeviceSettings, &ok));
    }
    ComPort = nullptr;
    port.setActive(false);
    if (!ok) {
        std::fprintf(stderr, "a transfer failed\n");
        return 1;
    }
    Report("download", down, 100 + 98 * 10);
    Report("unchanged upload", up, 100 + 97 * 10);
    Breakdown(emu);
    std::printf("  a 10 ms pause oversleeps by %.3f ms on this machine now\n", PauseOvershootMs());
    emu.stop();
    return 0;
}
