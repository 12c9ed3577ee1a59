#include "cli/clioutput.h"

#include "link/transport.h"

#include <cstdio>
#include <unistd.h>

namespace {

bool g_quiet = false;
bool g_barShown = false;
constexpr int BarWidth = 40;

void Write(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void DrawBar(int position, int max) {
    if (max <= 0)
        return;
    const int pos = qBound(0, position, max);
    const int filled = pos * BarWidth / max;
    const QString bar =
        QStringLiteral("\r[%1%2] %3%")
            .arg(QString(filled, QLatin1Char('#')), QString(BarWidth - filled, QLatin1Char(' ')))
            .arg(pos * 100 / max, 3);
    Write(stderr, bar);
    g_barShown = true;
}

} // namespace

void PrintOut(const QString& text) {
    TConsoleProgress::Clear();
    Write(stdout, text);
}

void PrintErr(const QString& text) {
    TConsoleProgress::Clear();
    Write(stderr, text);
}

void SetQuiet(bool quiet) {
    g_quiet = quiet;
}
bool Quiet() {
    return g_quiet;
}

void Note(const QString& text) {
    if (!g_quiet)
        PrintErr(text + QLatin1Char('\n'));
}

TConsoleProgress::TConsoleProgress() {
    m_enabled = !g_quiet && ::isatty(STDERR_FILENO);
    if (m_enabled)
        QObject::connect(&ProgressBar(), &TProgress::changed, &ProgressBar(), DrawBar);
}

TConsoleProgress::~TConsoleProgress() {
    if (m_enabled)
        QObject::disconnect(&ProgressBar(), &TProgress::changed, &ProgressBar(), nullptr);
    Clear();
}

void TConsoleProgress::Clear() {
    if (!g_barShown)
        return;
    g_barShown = false;
    Write(stderr, QStringLiteral("\r%1\r").arg(QString(BarWidth + 7, QLatin1Char(' '))));
}
