#pragma once
// The live values of the device, as read by the last monitor poll (and the coil probe).

#include <QtGlobal>

struct TMonitorData {
    qint32 errors = 0;        // "AERR"
    qint32 lastEnergy = 0;    // "LNRG", mWh of the last firing
    qint32 coldRes = 0;       // "PRT" value 0, milliohm (also set by the coil probe)
    qint32 coldTemp = 0;      // "PRT" value 1, degrees C belonging to coldRes
    qint32 boardTemp = 0;     // "TEMP" value 0
    qint32 roomTemp = 0;      // "TEMP" value 1
    qint32 peakTemp = 0;      // "TEMP" value 2
    qint32 battVolt[4] = {};  // "BVLT", 0.01 V: [0] the pack, [1..3] the cells
    qint32 battLevel[4] = {}; // "BPER", percent, same order
    // "ATM" (live firing) and "LATM" (last firing), by index:
    // 0 voltage 0.01 V, 1 resistance milliohm, 2 current 0.01 A, 3 power 0.1 W,
    // 4 coil temperature (65535 = none), 5 firing time ms
    qint32 atm[6] = {};
    qint32 lastAtm[6] = {};
    // TMonitorRead bits: the reads of the last poll that got their answer. A failed poll
    // leaves the bits of the reads after the failure clear (their values are 0 or stale).
    quint32 obtained = 0;
};

// The reads of one poll, in poll order.
enum TMonitorRead : quint32 {
    ReadId = 1u << 0,    // "ID"
    ReadBnrg = 1u << 1,  // "BNRG"
    ReadLnrg = 1u << 2,  // "LNRG"
    ReadBvlt = 1u << 3,  // "BVLT"
    ReadBper = 1u << 4,  // "BPER"
    ReadAtm = 1u << 5,   // "ATM"
    ReadLatm = 1u << 6,  // "LATM"
    ReadTemp = 1u << 7,  // "TEMP"
    ReadPuff = 1u << 8,  // "PUFF"
    ReadAerr = 1u << 9,  // "AERR"
    ReadPrt = 1u << 10,  // "PRT"
    ReadProf = 1u << 11, // "PROF"
    ReadPpar = 1u << 12, // "PPAR[%d]" (also set when a bad "PROF" answer skips it)
    AllMonitorReads = (1u << 13) - 1
};

// Indices into atm and lastAtm.
enum TAtmIndex { AtmVoltage = 0, AtmResistance, AtmCurrent, AtmPower, AtmTemperature, AtmTime };
constexpr qint32 AtmNoTemperature = 65535;

extern TMonitorData MonitorData;

void ResetMonitorData(); // all values back to 0 (for tests)
