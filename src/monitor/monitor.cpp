#include "monitor/monitor.h"

#include "link/transport.h"
#include "settings/models.h"
#include "settings/settings.h"

#include <QDateTime>

#include <algorithm>

namespace {

constexpr int MonitorProgressSteps = 12;
constexpr int MaxCells = 3;

// Reads `count` values; true when they were obtained (the link is still up), which is
// recorded in MonitorData.obtained under `bit`. `values` has at least `count` elements
// afterwards, 0 where nothing was obtained.
bool Read(const QString& name, TMonitorRead bit, int count, TIntegers& values) {
    ReadInts(name, count, values);
    if (values.size() < count)
        values.resize(count);
    if (LinkLost)
        return false;
    MonitorData.obtained |= bit;
    return true;
}

bool Read(const char* name, TMonitorRead bit, int count, TIntegers& values) {
    return Read(QString::fromLatin1(name), bit, count, values);
}

void ReadBattery(const char* name, TMonitorRead bit, qint32 (&target)[4]) {
    const int count = std::clamp(ModInfo.numBatt, 0, MaxCells) + 1;
    TIntegers values;
    Read(name, bit, count, values);
    for (int i = 0; i < 4; ++i)
        target[i] = i < count ? values[i] : 0;
}

void ReadArray(const char* name, TMonitorRead bit, qint32* target, int count) {
    TIntegers values;
    Read(name, bit, count, values);
    std::copy_n(values.begin(), count, target);
}

void ReadModelAndEnergy() {
    TIntegers values;
    if (Read("ID", ReadId, 1, values)) {
        Settings.ID = values[0];
        SelectModel(values[0]);
    }
    if (Read("BNRG", ReadBnrg, 1, values))
        Settings.battRemNrg = values[0];
    Read("LNRG", ReadLnrg, 1, values);
    MonitorData.lastEnergy = values[0];
}

void ReadMeasurements() {
    ReadBattery("BVLT", ReadBvlt, MonitorData.battVolt);
    ReadBattery("BPER", ReadBper, MonitorData.battLevel);
    ReadArray("ATM", ReadAtm, MonitorData.atm, 6);
    ReadArray("LATM", ReadLatm, MonitorData.lastAtm, 6);
    TIntegers values;
    Read("TEMP", ReadTemp, 3, values);
    MonitorData.boardTemp = values[0];
    MonitorData.roomTemp = values[1];
    MonitorData.peakTemp = values[2];
}

void ReadCounters() {
    TIntegers values;
    if (Read("PUFF", ReadPuff, 2, values)) {
        Settings.cntPuffs = values[0];
        Settings.cntPTime = values[1];
    }
    Read("AERR", ReadAerr, 1, values);
    MonitorData.errors = values[0];
    Read("PRT", ReadPrt, 2, values);
    MonitorData.coldRes = values[0];
    MonitorData.coldTemp = values[1];
}

void ReadActiveProfile() {
    TIntegers values;
    if (!Read("PROF", ReadProf, 1, values))
        return;
    if (values[0] < 0 || values[0] >= ProfileCount) {
        MonitorData.obtained |= ReadPpar; // nothing lost: the shown profile stays as it was
        return;
    }
    const int index = values[0];
    Settings.curProfile = index;
    if (!Read(QStringLiteral("PPAR[%1]").arg(index), ReadPpar, 4, values))
        return;
    TProfile& profile = Settings.profile[size_t(index)];
    profile.voltage = values[0];
    profile.powerVW = values[1];
    profile.powerTC = values[2];
    profile.temperature = values[3];
}

} // namespace

bool ReadMonitorData() {
    TSequence sequence(MonitorProgressSteps);
    MonitorData.obtained = 0;
    ReadModelAndEnergy();
    ReadMeasurements();
    ReadCounters();
    ReadActiveProfile();
    return sequence.Finish();
}

int NextPollGap(const TMonitorData& data, int interval) {
    const bool firing = data.atm[AtmTime] > 0 || data.atm[AtmPower] > 0;
    return firing ? 0 : interval;
}

TMonitorPoller::TMonitorPoller(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TMonitorPoller::tick);
}

void TMonitorPoller::start() {
    if (!m_active) {
        m_period = 0;
        m_clock.invalidate();
    }
    m_active = true;
    if (!m_polling && !m_timer.isActive())
        m_timer.start(m_interval);
}

void TMonitorPoller::pollSoon() {
    if (m_active && !m_polling)
        m_timer.start(0);
}

void TMonitorPoller::stop() {
    m_timer.stop();
    if (!m_active)
        return;
    m_active = false;
    emit stopped(false);
}

void TMonitorPoller::tick() {
    if (m_polling || PortBusy() != 0) { // never wait for the port on the thread that holds it
        ++m_skipped;
        m_timer.start(m_interval);
        return;
    }
    m_polling = true;
    m_pollTime = QDateTime::currentMSecsSinceEpoch();
    if (m_clock.isValid())
        m_period = int(m_clock.elapsed());
    m_clock.start();
    bool ok = false;
    try {
        ok = ReadMonitorData();
    } catch (...) {
        // A port error (the device vanished while a line was sent) ends monitoring like a
        // failed poll and goes on to the application's error display; start() works again.
        m_polling = false;
        m_active = false;
        emit stopped(true);
        throw;
    }
    m_polling = false;
    if (!ok)
        m_active = false;
    emit polled(ok);
    if (!ok)
        emit stopped(true);
    else if (m_active)
        m_timer.start(NextPollGap(MonitorData, m_interval));
}
