#pragma once
// Live data acquisition: one poll of the device's measurements, and the timer loop that
// repeats it while monitoring is on. No widgets here; the monitor window sits on top.

#include "monitor/monitordata.h"

#include <QObject>
#include <QTimer>

// One poll: 13 reads into MonitorData and a few live fields of Settings. True when every
// value was read without a transport failure. Values not obtained are 0 in MonitorData;
// Settings receives only values actually obtained; MonitorData.obtained tells which reads
// got their answer. A "PROF" answer outside 0..7 is not
// stored and skips the "PPAR[%d]" read.
bool ReadMonitorData();

// Repeats ReadMonitorData with a gap of `interval` ms between the end of one poll and the
// start of the next. A tick that finds the port busy (another transaction, possibly one
// showing a message box) is skipped and tried again at the next tick. A failed poll stops
// monitoring; so does a port error escaping from a poll, which is passed on to the caller of
// the event loop (the application's error display).
class TMonitorPoller : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultInterval = 100;

    explicit TMonitorPoller(QObject* parent = nullptr);
    void start();
    void stop();
    bool active() const { return m_active; }
    bool polling() const { return m_polling; } // a poll is running right now
    int skippedTicks() const { return m_skipped; }
    void setInterval(int ms) { m_timer.setInterval(ms); }
    // When the last poll started: milliseconds since the epoch (UTC); 0 before the first.
    qint64 lastPollTime() const { return m_pollTime; }

signals:
    // After every poll, also a failed one (its zeros are to be shown once).
    void polled(bool ok);
    // Monitoring ended: by stop() (failed = false) or by a failed poll (failed = true).
    void stopped(bool failed);

private:
    void tick();

    QTimer m_timer;
    bool m_active = false;
    bool m_polling = false;
    int m_skipped = 0;
    qint64 m_pollTime = 0;
};
