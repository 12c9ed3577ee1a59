#pragma once
// Live data acquisition: one poll of the device's measurements, and the timer loop that
// repeats it while monitoring is on. No widgets here; the monitor window sits on top.

#include "monitor/monitordata.h"
#include "settings/history.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// One poll: 13 reads into MonitorData and a few live fields of the settings image. True
// when every value was read without a transport failure. Values not obtained are 0 in
// MonitorData; `polled` receives only the image's values actually obtained (ID, remaining
// energy, puff counters, active profile and its voltage and powers), MonitorData.obtained
// tells which reads got their answer. A "PROF" answer outside 0..7 is not kept and skips
// the "PPAR[%d]" read.
bool ReadMonitorData(TPolledValues& polled);
// The same, with the values obtained stored into Settings (the command line, which has no
// editor).
bool ReadMonitorData();

// The gap before the next poll, after a poll that read `data`: while the device fires the
// next poll starts as soon as the window has handled its events, otherwise `interval` ms
// later. Every poll is a sequence of its own (the port flushed, the busy flag taken and
// given back), so a shorter gap gives up nothing of the transport's pacing; it only lets
// the polls of a firing follow each other closely.
int NextPollGap(const TMonitorData& data, int interval);

// Repeats ReadMonitorData with a gap of NextPollGap between the end of one poll and the
// start of the next. A tick that finds the port busy (another transaction, possibly one
// showing a message box) is skipped and tried again `interval` ms later. A failed poll
// stops monitoring; so does a port error escaping from a poll, which is passed on to the
// caller of the event loop (the application's error display). What a poll read of the
// settings image goes to ImageHistory().takeDeviceValues(), which keeps the user's edits.
class TMonitorPoller : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultInterval = 100;

    explicit TMonitorPoller(QObject* parent = nullptr);
    void start();
    void stop();
    // While monitoring, the next poll starts as soon as the window's events are handled
    // (the device was just made to fire, say) instead of after the gap.
    void pollSoon();
    bool active() const { return m_active; }
    bool polling() const { return m_polling; } // a poll is running right now
    int skippedTicks() const { return m_skipped; }
    void setInterval(int ms) { m_interval = ms; }
    int interval() const { return m_interval; }
    // When the last poll started: milliseconds since the epoch (UTC); 0 before the first.
    qint64 lastPollTime() const { return m_pollTime; }
    // Milliseconds from the start of the poll before the last one to the start of the last,
    // 0 until monitoring has made two polls since it started.
    int pollPeriod() const { return m_period; }

signals:
    // After every poll, also a failed one (its zeros are to be shown once).
    void polled(bool ok);
    // Monitoring ended: by stop() (failed = false) or by a failed poll (failed = true).
    void stopped(bool failed);

private:
    void tick();

    QTimer m_timer;
    int m_interval = DefaultInterval;
    bool m_active = false;
    bool m_polling = false;
    int m_skipped = 0;
    qint64 m_pollTime = 0;
    QElapsedTimer m_clock; // since the start of the last poll
    int m_period = 0;
};
