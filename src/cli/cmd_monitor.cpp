// monitor: the live values as CSV, one row per poll.

#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "cli/commands.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "monitor/monitor.h"
#include "monitor/monitorcsv.h"
#include "monitor/monitorrows.h"
#include "settings/safefile.h"
#include "settings/settings.h"

#include <QDateTime>

#include <memory>

namespace {

constexpr int PollGapMs = TMonitorPoller::DefaultInterval; // as the window's poller
constexpr int StopCheckMs = 10;

// Rows go to standard output, or into the output file (written through a temporary file;
// every row is written to it at once, and a failed write ends the run with the reason).
class TCsvSink {
public:
    explicit TCsvSink(const QString& path) {
        if (path.isEmpty())
            return;
        m_file = std::make_unique<TSafeFile>(path);
        if (!m_file->Open())
            UsageError(m_file->Error());
    }
    void Line(const QString& line) {
        if (!m_file) {
            PrintOut(line + QLatin1Char('\n'));
            return;
        }
        if (!m_file->Write((line + QLatin1Char('\n')).toUtf8()))
            UsageError(m_file->Error());
    }
    // Keeps the file (when rows is positive or the run did not fail) or drops it.
    void End(bool keep) {
        if (!m_file)
            return;
        if (!keep) {
            m_file->Cancel();
            return;
        }
        if (!m_file->Commit())
            UsageError(m_file->Error());
    }

private:
    std::unique_ptr<TSafeFile> m_file;
};

// The gap between polls, cut short by Ctrl-C.
void WaitGap() {
    for (int waited = 0; waited < PollGapMs && !StopRequested(); waited += StopCheckMs)
        Pause(StopCheckMs);
}

// One poll; a port error (the device gone) fails it like a lost link.
bool Poll(QString& failure) {
    failure = QStringLiteral("Error");
    try {
        return ReadMonitorData();
    } catch (const EComError& e) {
        failure = QStringLiteral("Error: %1").arg(e.message());
        return false;
    }
}

} // namespace

int CmdMonitor(const TCliOptions& opt) {
    InstallStopHandlers();
    TCsvSink sink(opt.output);
    sink.Line(MonitorCsvHeader());
    int rows = 0;
    bool failed = false;
    QString failure;
    while (!StopRequested() && (opt.count < 0 || rows < opt.count)) {
        if (rows > 0)
            WaitGap();
        if (StopRequested())
            break;
        const qint64 time = QDateTime::currentMSecsSinceEpoch();
        // A failed poll's zeros are no measurement: the run ends without that row.
        if (!Poll(failure)) {
            failed = true;
            break;
        }
        sink.Line(MonitorCsvRow(CaptureMonitorSample(MonitorData, Settings, true, time)));
        ++rows;
    }
    // Rows already taken are kept also when the device is lost later on.
    sink.End(!failed || rows > 0);
    if (failed)
        DeviceError(failure);
    return ExitOk;
}
