// The device's little physics: a coil that heats while firing, a regulator in TC mode, a
// battery that sags under load and drains with every puff, counters that advance.
// Time advances lazily: every request first brings the state up to the request's time.

#include "emulator/emu_device.h"

#include <algorithm>
#include <cmath>

namespace emu {

namespace {

constexpr double RoomTemp = 22;         // degrees Celsius
constexpr double CoilHeatCap = 0.05;    // J per kelvin
constexpr double RegulatorGain = 2.5;   // W per kelvin below the target
constexpr double CoilLoss = 0.2;        // W per kelvin to the wick and the air
constexpr double CellResistance = 0.02; // ohm, for the voltage sag under load
constexpr double Efficiency = 0.92;
constexpr double MaxOutVolts = 8.4;
constexpr qint64 MaxFireMs = 10000; // the device's own time cut
constexpr double StepSec = 0.01;

QByteArray joinNumbers(const QList<qint32>& list) {
    QByteArray out;
    for (qsizetype i = 0; i < list.size(); ++i)
        out += (i ? "," : "") + QByteArray::number(list.at(i));
    return out;
}

} // namespace

void Device::resetLive() {
    m_firing = false;
    m_fireLeftMs = 0;
    m_fireSec = 0;
    m_energyJ = 0;
    m_sagVolts = 0;
    m_keysUntil = {};
    m_atm = idleAtm();
}

std::array<qint32, 6> Device::idleAtm() const {
    return {0, get("EMU.COIL", 0), 0, 0, 65535, 0};
}

void Device::advance(qint64 nowMs) {
    if (m_simMs < 0 || nowMs <= m_simMs) {
        m_simMs = std::max(m_simMs, nowMs);
        return;
    }
    qint64 dt = nowMs - m_simMs;
    m_simMs = nowMs;
    if (m_firing) {
        const qint64 fireMs = std::min(dt, m_fireLeftMs);
        const qint64 steps = fireMs / 10;
        for (qint64 i = 0; i < steps; ++i)
            step(StepSec);
        if (fireMs % 10)
            step(static_cast<double>(fireMs % 10) / 1000);
        m_fireLeftMs -= fireMs;
        dt -= fireMs;
        if (m_fireLeftMs <= 0)
            finishFiring();
    }
    const double idleSec = static_cast<double>(dt) / 1000;
    m_heat *= std::exp(-idleSec / 60);
    m_coilTemp = RoomTemp + (m_coilTemp - RoomTemp) * std::exp(-idleSec / 1.0);
}

// One step of firing: the regulator chooses the output, the coil heats, the battery sags.
void Device::step(double dtSec) {
    const int p = std::clamp(get("PROF", 0), 0, 7);
    const QByteArray ppar = "PPAR[" + QByteArray::number(p) + ']';
    const int mode = get("PMOD[" + QByteArray::number(p) + ']', 0);
    const int tcr = get("PTCR[" + QByteArray::number(p) + ']', 0);
    const double alpha = (tcr > 0 ? tcr : 920) * 1e-6;
    const double r0 = std::max(1, get("EMU.COIL", 0)) / 1000.0;
    const double r = mode == 2 ? r0 * (1 + alpha * (m_coilTemp - 20)) : r0;
    const double vMax = std::min(MaxOutVolts, packVolts());
    double v = 0;
    if (mode == 0) {
        v = std::min(vMax, get(ppar, 0) / 100.0);
    } else if (mode == 1) {
        v = std::min(vMax, std::sqrt(std::max(0.0, get(ppar, 1) / 10.0) * r));
    } else {
        double target = get(ppar, 3);
        if (get("FLGS", 0) & 8) // the target is given in Fahrenheit
            target = (target - 32) * 5 / 9;
        // Feed-forward of the coil's losses at the target plus a proportional part.
        const double maxPower = std::max(0.0, get(ppar, 2) / 10.0);
        const double want = CoilLoss * (target - RoomTemp) + RegulatorGain * (target - m_coilTemp);
        v = std::min(vMax, std::sqrt(std::clamp(want, 0.0, maxPower) * r));
    }
    const double power = v * v / r;
    m_coilTemp += (power - CoilLoss * (m_coilTemp - RoomTemp)) / CoilHeatCap * dtSec;
    m_energyJ += power * dtSec;
    m_fireSec += dtSec;
    const double packNow = std::max(0.1, (packVolts() + m_sagVolts * m_model.numBatt));
    m_sagVolts = power / (packNow * Efficiency) * CellResistance;
    m_atm = {static_cast<qint32>(std::lround(v * 100)),
             static_cast<qint32>(std::lround(r * 1000)),
             static_cast<qint32>(std::lround(v / r * 100)),
             static_cast<qint32>(std::lround(power * 10)),
             mode == 2 ? static_cast<qint32>(std::lround(m_coilTemp)) : 65535,
             static_cast<qint32>(std::lround(m_fireSec * 1000))};
    if (mode == 2)
        m_peakTemp = std::max(m_peakTemp, m_coilTemp);
}

// The end of a puff: the last-firing values, the counters and the battery move on.
void Device::finishFiring() {
    find("LATM")->ints = QList<qint32>(m_atm.begin(), m_atm.end());
    qint32& puffs = at("PUFF", 0);
    puffs = std::min(puffs + 1, 65535);
    m_ptimeRest += m_fireSec;
    const double whole = std::floor(m_ptimeRest);
    m_ptimeRest -= whole;
    qint32& ptime = at("PUFF", 1);
    ptime = static_cast<qint32>(std::min(65535.0, ptime + whole));
    const double mwh = m_energyJ / 3.6;
    at("LNRG", 0) = static_cast<qint32>(std::lround(mwh));
    qint32& remaining = at("BNRG", 0);
    remaining = std::max<qint32>(0, remaining - static_cast<qint32>(std::lround(mwh / Efficiency)));
    m_charge = std::max(0.0, m_charge - mwh / Efficiency / packCapacityMWh() * 10000);
    m_heat += m_energyJ / 20;
    m_peakTemp = std::max(m_peakTemp, RoomTemp + 2 + m_heat);
    m_firing = false;
    m_fireLeftMs = 0;
    m_sagVolts = 0;
    m_atm = idleAtm();
}

void Device::pressKeys(const QList<qint32>& keys, qint64 nowMs) {
    for (int i = 0; i < 3; ++i)
        if (keys.at(i) > 0)
            m_keysUntil[static_cast<size_t>(i)] = nowMs + keys.at(i);
    if (keys.at(0) > 0) {
        if (m_firing)
            finishFiring();
        m_firing = true;
        m_fireLeftMs = std::min<qint64>(keys.at(0), MaxFireMs);
        m_fireSec = 0;
        m_energyJ = 0;
        step(0); // the output is on from the first moment
    }
    if (keys.at(1) > 0)
        changeMainValue(-1);
    if (keys.at(2) > 0)
        changeMainValue(+1);
}

// Plus and minus: the active profile's main value by one step of the device.
void Device::changeMainValue(int direction) {
    const int p = std::clamp(get("PROF", 0), 0, 7);
    const QByteArray ppar = "PPAR[" + QByteArray::number(p) + ']';
    const int mode = get("PMOD[" + QByteArray::number(p) + ']', 0);
    const int flags = get("FLGS", 0);
    if (mode == 0) {
        qint32& v = at(ppar, 0);
        v = std::clamp(v + direction * 10, 100, 840);
    } else if (mode == 1) {
        qint32& w = at(ppar, 1);
        w = std::clamp(w + direction * ((flags & 1024) ? 10 : 1), 10, 2000);
    } else {
        qint32& t = at(ppar, 3);
        t = std::clamp(t + direction * ((flags & 2048) ? 1 : 5), 100, 600);
    }
}

void Device::measureCoil() {
    find("PRT")->ints = {get("EMU.COIL", 0),
                         get("EMU.COIL", 1) + static_cast<qint32>(std::lround(m_heat))};
}

// Calibration happens with fully charged cells: the measurement is set to 4.2 V per cell.
void Device::calibrateBatteries() {
    m_charge = 10000;
}

double Device::cellVolts() const {
    double prevSoc = get("V2P[0]", 0), prevV = get("V2P[0]", 1);
    double volts = prevV;
    for (int r = 1; r <= 10; ++r) {
        const QByteArray row = "V2P[" + QByteArray::number(r) + ']';
        const double soc = get(row, 0), v = get(row, 1);
        if (m_charge >= prevSoc && m_charge <= soc && soc > prevSoc)
            volts = prevV + (v - prevV) * (m_charge - prevSoc) / (soc - prevSoc);
        else if (m_charge > soc)
            volts = v;
        prevSoc = soc;
        prevV = v;
    }
    return std::max(0.0, volts / 100 - m_sagVolts);
}

double Device::packVolts() const {
    return cellVolts() * std::max(1, m_model.numBatt);
}

double Device::packCapacityMWh() const {
    const int perCell = get("V2P[11]", 0);
    return (perCell > 0 ? perCell : 9000) * static_cast<double>(std::max(1, m_model.numBatt));
}

int Device::cellPercent() const {
    return static_cast<int>(std::lround(m_charge / 100));
}

QByteArray Device::liveList(const QByteArray& name) {
    const int cells = std::max(0, m_model.numBatt);
    if (name == "BVLT" || name == "BPER") {
        const bool volts = name == "BVLT";
        const qint32 cell =
            volts ? static_cast<qint32>(std::lround(cellVolts() * 100)) : cellPercent();
        QList<qint32> list{volts ? cell * cells : cell};
        for (int i = 0; i < cells; ++i)
            list.append(cell);
        return joinNumbers(list);
    }
    if (name == "ATM") {
        const std::array<qint32, 6> atm = m_firing ? m_atm : idleAtm();
        return joinNumbers(QList<qint32>(atm.begin(), atm.end()));
    }
    if (name == "TEMP") {
        const double board = RoomTemp + 2 + m_heat + (m_firing ? m_fireSec * 2 : 0);
        m_peakTemp = std::max(m_peakTemp, board);
        return joinNumbers({static_cast<qint32>(std::lround(board)), static_cast<qint32>(RoomTemp),
                            static_cast<qint32>(std::lround(m_peakTemp))});
    }
    return {};
}

} // namespace emu
