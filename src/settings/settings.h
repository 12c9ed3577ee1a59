#pragma once
// The settings image of the device: eight vaping profiles and the device-wide settings.
// Every value is kept in the device's own fixed-point unit (see the field comments); only
// the editor and the monitor convert to decimal units. The code tables that name the
// values live in settings/codetables.h.

#include <QString>

#include <array>

constexpr int ProfileCount = 8;
constexpr int KeyActionCount = 8;
constexpr int LogoSlotCount = 8;
constexpr int IndParRows = 4;
constexpr int IndParCols = 5;
constexpr int BrTimeRows = 6;
constexpr int BrTimeCols = 3;
constexpr int V2PRows = 12; // rows 0..10: discharge curve; row 11: energy and cut-off
constexpr int V2PCurveRows = 11;
constexpr int TFRCount = 5;

// Profile switch bits (TProfile::flags). Other bits (64, above 128) are kept as they came.
enum TProfileFlag : qint32 {
    pfRLock = 1,     // base resistance and temperature are locked
    pfPrehPerc = 2,  // prehValue is a percentage of the mode's power; clear: 0.1 W
    pfUseTFR = 4,    // the TFR curve is in use
    pfAltParam = 8,  // alternative parameter
    pfPrehVW = 16,   // preheat enabled in VW mode
    pfPrehTC = 32,   // preheat enabled in TC mode
    pfInactive = 128 // the profile is disabled
};

// Profile modes (TProfile::mode).
enum TProfileMode : qint32 { pmVV = 0, pmVW = 1, pmTC = 2 };

struct TProfile {
    QString name;           // shown on the device; the editor limits typing to 6 upper-case chars
    qint32 mode = 0;        // TProfileMode
    qint32 flags = 0;       // TProfileFlag bits
    qint32 voltage = 0;     // 0.01 V (VV mode)
    qint32 powerVW = 0;     // 0.1 W (VW mode)
    qint32 powerTC = 0;     // 0.1 W (TC mode)
    qint32 temperature = 0; // whole degrees in the device's unit
    qint32 prehValue = 0;   // 0.1 W, or percent of the mode's power when pfPrehPerc is set
    qint32 prehTime = 0;    // milliseconds
    qint32 prehDelay = 0;   // seconds
    qint32 lockRes = 0;     // base coil resistance, milliohm
    qint32 lockTemp = 0;    // temperature belonging to lockRes, degrees Celsius
    qint32 TCR = 0;         // 10^-6 per degree
    std::array<qint32, TFRCount> TFR{}; // relative resistivity at 100..300 degC, 10000 = 1.0

    bool operator==(const TProfile&) const = default;
};

// Device-wide switch bits (TSettings::flags). Bits above 32768 are kept as they came.
enum TSettingsFlag : qint32 {
    sfLockMod = 1,
    sfLockParam = 2,
    sfStealthMode = 4,
    sfTempUnitF = 8,
    sfSwapButtons = 16,
    sfCharger = 32,
    sfBalancer = 64,
    sfScreenRotated = 128,
    sfScreenInverted = 256,
    sfCoilAutosel = 512,
    sfW1Increment = 1024,
    sfC1Increment = 2048,
    sfBattInPerc = 4096,
    sfRGBLED = 8192,
    sfSleepExit = 16384,
    sfScreenLayoutDNA = 32768
};

// Columns of TSettings::brTime and TSettings::v2p.
enum TBrTimeCol { btBrightness = 0, btTime = 1, btColor = 2 };
enum TV2PCol { vpPercent = 0, vpVoltage = 1 };
constexpr int V2PEnergyRow = 11; // v2p[11]: {energy per cell in mWh, soft cut-off in 0.01 V}
// The battery table: rows 0..10 the discharge curve {charge in 0.01 %, cell voltage in
// 0.01 V}, row V2PEnergyRow the energy and cut-off.
using TV2PTable = std::array<std::array<qint32, 2>, V2PRows>;

// LED colour word (brTime column 2): 5-5-5 bits red (10-14), green (5-9), blue (0-4);
// bit 15 marks an effect whose number is bits 0-14 (effect 0 is "Rainbow").
constexpr qint32 LedEffectBit = 32768;
constexpr qint32 LedRainbow = 32768;

struct TSettings {
    qint32 ID = 0;                   // model identifier reported by the device (selects ModInfo)
    QString Version;                 // firmware version text reported by the device
    qint32 curProfile = 0;           // active profile 0..7
    qint32 flags = 0;                // TSettingsFlag bits
    qint32 cntPuffs = 0;             // puff counter
    qint32 cntPTime = 0;             // accumulated firing time, seconds
    qint32 timeLogo = 0;             // milliseconds
    qint32 timeInfo = 0;             // milliseconds
    qint32 timeFadeIn = 0;           // tenths of a second
    qint32 timeFadeOut = 0;          // tenths of a second
    qint32 battProfile = 0;          // battery type code 0..8 (0: the curve in v2p)
    qint32 battRemNrg = 0;           // remaining battery energy, mWh (reported only)
    std::array<qint32, 3> battCal{}; // carried, never transferred or stored
    qint32 pidRegP = 0;
    qint32 pidRegI = 0;
    qint32 pidRegD = 0;
    std::array<TProfile, ProfileCount> profile{};
    std::array<qint32, KeyActionCount> keyAction{}; // action code per button combination
    std::array<qint32, LogoSlotCount> logoScreen{}; // event code per logo slot
    std::array<std::array<qint32, IndParCols>, IndParRows> indPar{}; // [screen mode][position]
    std::array<std::array<qint32, BrTimeCols>, BrTimeRows> brTime{}; // [state][TBrTimeCol]
    std::array<std::array<qint32, 2>, V2PRows> v2p{};                // [row][TV2PCol]

    bool operator==(const TSettings&) const = default;
};

// The image being edited, shared by every window. Zero at start; the main window loads
// the default settings file into it.
extern TSettings Settings;
// The copied profile, and whether a profile was copied: any flags word is a profile's, also
// one with bit 31 set.
extern TProfile ProfileClipboard;
extern bool ProfileClipboardFilled;

// The built-in defaults (those a settings file that lacks a key yields).
TProfile DefaultProfile(int index); // index 0..7: name "PROFILE1" .. "PROFILE8"
TSettings DefaultSettings();        // ID 0, Version "0.0.0"
