// The memory of the editor's undo history: the heap that 1,000 steps hold, each step the
// whole image before and after one field change, plus what the three kinds of larger steps
// cost (a whole-image replacement, which also keeps two baselines, and a logo step, which
// keeps the pictures one bit per pixel), and the time one step takes.
// Usage: bench_history [steps]   (default 1000)

#include "display/displaydata.h"
#include "settings/history.h"
#include "settings/models.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QUndoStack>

#include <malloc.h>

#include <cstdio>

namespace {

qint64 HeapBytes() {
    return qint64(mallinfo2().uordblks);
}

// The heap that `steps` runs of `step` add to the history, per step.
template <class F> double BytesPerStep(int steps, F step) {
    ImageHistory().reset();
    const qint64 before = HeapBytes();
    for (int i = 0; i < steps; ++i)
        step(i);
    const qint64 after = HeapBytes();
    if (ImageHistory().stack()->count() != steps)
        std::printf("  (only %d of %d steps were kept)\n", ImageHistory().stack()->count(), steps);
    return double(after - before) / steps;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int steps = argc > 1 ? qMax(1, atoi(argv[1])) : 1000;
    Settings = DefaultSettings();
    SelectModel(4);

    QElapsedTimer timer;
    timer.start();
    const double field = BytesPerStep(steps, [](int i) {
        ImageHistory().change(QStringLiteral("VW Power (Profile 1)"),
                              [i](TSettings& image) { image.profile[0].powerVW = 100 + i; });
    });
    const double usPerStep = double(timer.nsecsElapsed()) / 1e3 / steps;
    const double name = BytesPerStep(steps, [](int i) {
        ImageHistory().change(QStringLiteral("Name (Profile 1)"), [i](TSettings& image) {
            image.profile[0].name = QStringLiteral("N%1").arg(i);
        });
    });
    const int bigSteps = qMax(1, steps / 10);
    const double replace = BytesPerStep(bigSteps, [](int i) {
        TSettings image = Settings;
        image.pidRegP = i;
        ImageHistory().replace(QStringLiteral("Load Settings"), image, {TImageSource::New, {}});
    });
    const double logo = BytesPerStep(bigSteps, [](int i) {
        ImageHistory().changeLogos(QStringLiteral("Clear Logo 1"),
                                   [i] { LogoImages[0][0][0] = (i % 2) ? PixelOff : PixelOn; });
    });
    std::printf("image (sizeof TSettings): %zu bytes\n", sizeof(TSettings));
    std::printf("%d field steps: %.2f MiB (%.0f bytes per step), %.1f us per step\n", steps,
                field * steps / 1048576.0, field, usPerStep);
    std::printf("%d name steps: %.2f MiB (%.0f bytes per step)\n", steps, name * steps / 1048576.0,
                name);
    std::printf("whole-image steps (Load Settings): %.0f bytes per step\n", replace);
    std::printf("logo steps (Load/Clear Logo): %.0f bytes per step\n", logo);
    ImageHistory().reset();
    return 0;
}
