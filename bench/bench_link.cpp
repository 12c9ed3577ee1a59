// bench_link: one sequence of 98 ReadInts against the virtual device, timed against the
// protocol floor (the frame's 100 ms flush plus 10 ms after each read).
//
// Usage: bench_link [runs]   (default 5)

#include "benchdevice.h"
#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "link/transport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kReads = 98;
constexpr double kFloorMs = 100.0 + kReads * 10.0;

// Parameters of the catalogue with their value counts, cycled to make up the 98 reads.
QList<QPair<QString, int>> readList(const TDeviceEmulator& emu) {
    static const QRegularExpression integerList(QStringLiteral("^-?\\d+(,-?\\d+)*$"));
    QList<QPair<QString, int>> all;
    const QStringList names = emu.parameterNames();
    for (const QString& name : names) {
        const QByteArray value = emu.value(name.toLatin1());
        if (!integerList.match(QString::fromLatin1(value)).hasMatch())
            continue;
        all.append({name, int(value.count(',')) + 1});
    }
    QList<QPair<QString, int>> list;
    while (!all.isEmpty() && list.size() < kReads)
        list.append(all.at(list.size() % all.size()));
    return list;
}

double runOnce(const QList<QPair<QString, int>>& reads) {
    QElapsedTimer timer;
    timer.start();
    TSequence sequence(kReads);
    TIntegers values;
    for (const auto& r : reads)
        ReadInts(r.first, r.second, values);
    if (!sequence.Finish())
        std::fprintf(stderr, "sequence failed\n");
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    TDeviceEmulator emu(4);
    TComPort port;
    if (!OpenBenchDevice(emu, port))
        return 1;
    const auto reads = readList(emu);
    if (reads.size() != kReads) {
        std::fprintf(stderr, "too few integer parameters\n");
        return 1;
    }
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        times.append(runOnce(reads));
        std::printf("run %d: %.1f ms  ratio %.4f\n", i + 1, times.last(), times.last() / kFloorMs);
    }
    std::sort(times.begin(), times.end());
    const double median = times.at(times.size() / 2);
    std::printf("%d ReadInts (%s): median %.1f ms, floor %.0f ms, ratio %.4f (best %.4f)\n", kReads,
                LinkLost ? "FAILED" : "ok", median, kFloorMs, median / kFloorMs,
                times.first() / kFloorMs);
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly)) // the figures drift with the machine's load
        std::printf("load average: %s", load.readLine().constData());
    ComPort = nullptr;
    port.setActive(false);
    emu.stop();
    return LinkLost ? 1 : 0;
}
