#include "monitor/monitor.h"

#include "link/transport.h"
#include "settings/history.h"
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

template <qint32 TSettings::*Member> qint32& Global(TSettings& image, int) {
    return image.*Member;
}
template <qint32 TProfile::*Member> qint32& OfProfile(TSettings& image, int profile) {
    return image.profile[size_t(profile)].*Member;
}

void ReadModelAndEnergy(TPolledValues& polled) {
    TIntegers values;
    if (Read("ID", ReadId, 1, values)) {
        polled.append({&Global<&TSettings::ID>, 0, values[0]});
        SelectModel(values[0]);
    }
    if (Read("BNRG", ReadBnrg, 1, values))
        polled.append({&Global<&TSettings::battRemNrg>, 0, values[0]});
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

void ReadCounters(TPolledValues& polled) {
    TIntegers values;
    if (Read("PUFF", ReadPuff, 2, values)) {
        polled.append({&Global<&TSettings::cntPuffs>, 0, values[0]});
        polled.append({&Global<&TSettings::cntPTime>, 0, values[1]});
    }
    Read("AERR", ReadAerr, 1, values);
    MonitorData.errors = values[0];
    Read("PRT", ReadPrt, 2, values);
    MonitorData.coldRes = values[0];
    MonitorData.coldTemp = values[1];
}

void ReadActiveProfile(TPolledValues& polled) {
    TIntegers values;
    if (!Read("PROF", ReadProf, 1, values))
        return;
    if (values[0] < 0 || values[0] >= ProfileCount) {
        MonitorData.obtained |= ReadPpar; // nothing lost: the shown profile stays as it was
        return;
    }
    const int index = values[0];
    polled.append({&Global<&TSettings::curProfile>, 0, index});
    if (!Read(QStringLiteral("PPAR[%1]").arg(index), ReadPpar, 4, values))
        return;
    polled.append({&OfProfile<&TProfile::voltage>, index, values[0]});
    polled.append({&OfProfile<&TProfile::powerVW>, index, values[1]});
    polled.append({&OfProfile<&TProfile::powerTC>, index, values[2]});
    polled.append({&OfProfile<&TProfile::temperature>, index, values[3]});
}

} // namespace

bool ReadMonitorData(TPolledValues& polled) {
    TSequence sequence(MonitorProgressSteps);
    MonitorData.obtained = 0;
    polled.clear();
    ReadModelAndEnergy(polled);
    ReadMeasurements();
    ReadCounters(polled);
    ReadActiveProfile(polled);
    return sequence.Finish();
}

bool ReadMonitorData() {
    TPolledValues polled;
    const bool ok = ReadMonitorData(polled);
    for (const TPolledValue& value : std::as_const(polled))
        value.field(Settings, value.profile) = value.value;
    return ok;
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
    TPolledValues read;
    try {
        ok = ReadMonitorData(read);
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
    ImageHistory().takeDeviceValues(read); // what was read, also before a failure
    emit polled(ok);
    if (!ok)
        emit stopped(true);
    else if (m_active)
        m_timer.start(NextPollGap(MonitorData, m_interval));
}
