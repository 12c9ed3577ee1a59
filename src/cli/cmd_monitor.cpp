// monitor: the live values as CSV, one row per poll.

#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "cli/commands.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "monitor/monitor.h"
#include "monitor/monitorcsv.h"
#include "monitor/monitorrecord.h"
#include "monitor/monitorrows.h"
#include "settings/safefile.h"
#include "settings/settings.h"

#include <QDateTime>
#include <QFile>

#include <csignal>
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

// The gap between polls (none while the device fires), cut short by Ctrl-C.
void WaitGap() {
    const int gap = NextPollGap(MonitorData, PollGapMs);
    for (int waited = 0; waited < gap && !StopRequested(); waited += StopCheckMs)
        Pause(StopCheckMs);
}

// --record: a new file (an existing one is refused before the device is asked anything)
// that gets every row as soon as it is taken.
class TRecording {
public:
    explicit TRecording(const QString& path) {
        if (path.isEmpty())
            return;
        if (!m_recorder.Start(path))
            UsageError(m_recorder.Error());
        m_crashAfter = CrashAfterRows();
    }
    // False with the reason in error when the row could not be written.
    bool Row(const TMonitorSample& sample, QString& error) {
        if (!m_recorder.active())
            return true;
        if (!m_recorder.Append(sample)) {
            error = m_recorder.Error();
            return false;
        }
        if (m_recorder.rows() == m_crashAfter)
            ::raise(SIGKILL);
        return true;
    }
    // A run that failed before its first row leaves no file behind.
    void End(bool keep) {
        const bool created = m_recorder.active() || m_recorder.rows() > 0;
        m_recorder.Stop();
        if (created && !keep && m_recorder.rows() == 0)
            QFile::remove(m_recorder.path());
    }

private:
    // Test hook: DEVEDAZI_TEST_CRASH=record-N kills the process right after the Nth row.
    static qsizetype CrashAfterRows() {
        const QString hook = qEnvironmentVariable("DEVEDAZI_TEST_CRASH");
        if (!hook.startsWith(QLatin1String("record-")))
            return -1;
        bool ok = false;
        const int rows = hook.mid(7).toInt(&ok);
        return ok ? rows : -1;
    }

    TMonitorRecorder m_recorder;
    qsizetype m_crashAfter = -1;
};

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
    TRecording recording(opt.record);
    TCsvSink sink(opt.output);
    sink.Line(MonitorCsvHeader());
    int rows = 0;
    bool failed = false;
    QString failure;
    QString writeError;
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
        const TMonitorSample sample = CaptureMonitorSample(MonitorData, Settings, true, time);
        if (!recording.Row(sample, writeError))
            break;
        sink.Line(MonitorCsvRow(sample));
        ++rows;
    }
    // Rows already taken are kept also when the device is lost later on.
    recording.End(!failed || rows > 0);
    sink.End(!failed || rows > 0);
    if (!writeError.isEmpty())
        UsageError(writeError);
    if (failed)
        DeviceError(failure);
    return ExitOk;
}
