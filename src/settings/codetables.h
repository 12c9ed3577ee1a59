#pragma once
// The code tables of the settings image: the texts that name the codes a field carries
// (a code is the zero-based position of its text) and the switch-bit maps. The editor and
// the command-line tool both take their texts from here. Texts are UTF-8.

#include <QString>
#include <QStringList>

#include <array>
#include <span>

// Profile modes (TProfile::mode).
inline constexpr std::array<const char*, 3> ModeNames = {"VV", "VW", "TC"};

// Preheat value unit list; item 1 sets profile flag bit 2.
inline constexpr std::array<const char*, 2> PrehUnitNames = {"W", "%"};

// Key combinations, the slots of TSettings::keyAction.
inline constexpr std::array<const char*, 8> KeySlotCaptions = {
    "2 x Fire:",   "3 x Fire:",  "4 x Fire:",   "5 x Fire:",
    "Plus Minus:", "Fire Plus:", "Fire Minus:", "Fire Plus Minus:"};

// Action codes of TSettings::keyAction.
inline constexpr std::array<const char*, 34> ActionNames = {"None",
                                                            "Main Menu",
                                                            "Mod Lock",
                                                            "Parameter Lock",
                                                            "Resistance Lock",
                                                            "Next Mode",
                                                            "Previous Mode",
                                                            "Profile Active",
                                                            "Preheat Active",
                                                            "Alt. Parameter",
                                                            "Temperature Unit",
                                                            "Coil Autoselect",
                                                            "Screen Orientation",
                                                            "Screen Inversion",
                                                            "Screen Layout",
                                                            "Stealth Mode",
                                                            "Battery In %",
                                                            "Next Profile",
                                                            "Previous Profile",
                                                            "Next Battery",
                                                            "Previous Battery",
                                                            "Swap Buttons",
                                                            "1 Watt Change",
                                                            "1 Degrees Change",
                                                            "Sleep +- Exit",
                                                            "Charger",
                                                            "Balancer",
                                                            "Puffs Info",
                                                            "Puffs Reset",
                                                            "Power Off",
                                                            "Firmware Upgrade",
                                                            "Battery Info",
                                                            "Powerbank Mode",
                                                            "Start Game"};

// Display event codes of TSettings::logoScreen.
inline constexpr std::array<const char*, 36> EventNames = {
    "None",         "Welcome",   "Goodbye",        "Fire",       "Active",      "Idle",
    "Charging",     "Sleep",     "Mod Lock",       "Mod Unlock", "Param. Lock", "Param Unlock",
    "Too Hot",      "Shorted",   "Check Atomizer", "Time Cut",   "Imbalanced",  "Weak Battery",
    "Dead Battery", "New Coil",  "Profile 1",      "Profile 2",  "Profile 3",   "Profile 4",
    "Profile 5",    "Profile 6", "Profile 7",      "Profile 8",  "VV Mode",     "VW Mode",
    "TC Mode",      "Charge 0%", "Charge 25%",     "Charge 50%", "Charge 75%",  "Charge 100%"};

// Screen modes, the rows of TSettings::indPar.
inline constexpr std::array<const char*, 4> IndParRowCaptions = {"[ VV Mode ]", "[ VW Mode ]",
                                                                 "[ TC Mode ]", "[ Charge Mode ]"};

// Indicator codes of TSettings::indPar.
inline constexpr std::array<const char*, 29> IndicatorNames = {"None",
                                                               "Resistance",
                                                               "Voltage",
                                                               "Current",
                                                               "Power",
                                                               "Coil Temperature",
                                                               "Board Temperature",
                                                               "Room Temperature",
                                                               "Batt Pack %",
                                                               "Battery 1 %",
                                                               "Battery 2 %",
                                                               "Battery 3 %",
                                                               "Battery Pack Voltage",
                                                               "Battery 1 Voltage",
                                                               "Battery 2 Voltage",
                                                               "Battery 3 Voltage",
                                                               "Battery Energy",
                                                               "Puff Time",
                                                               "Puffs Count",
                                                               "Total Time",
                                                               "Profile Name",
                                                               "Battery Name",
                                                               "Last Resistance",
                                                               "Last Voltage",
                                                               "Last Current",
                                                               "Last Power",
                                                               "Last Time",
                                                               "Last Coil Temperature",
                                                               "Last Energy"};

// Display states, the rows of TSettings::brTime: captions in the brightness group and in
// the time and colour groups.
inline constexpr std::array<const char*, 6> BrightnessCaptions = {
    "Firing:", "Active:", "Idle:", "Charging:", "Sleeping:", "Locked:"};
inline constexpr std::array<const char*, 6> StateCaptions = {
    "Firing:", "Active:", "Idle:", "Charging:", "Sleeping:", "Lock:"};

// LED effects (colour word with bit 15 set, effect number in bits 0-14).
inline constexpr std::array<const char*, 1> LedEffectNames = {"Rainbow"};

// Battery types of TSettings::battProfile; 0 is the editable curve in v2p.
inline constexpr std::array<const char*, 9> BattProfileNames = {
    "User Defined", "Generic",   "LG HE4",    "LG HG2",   "Samsung 25R",
    "Samsung 30Q",  "Sony VTC4", "Sony VTC5", "Sony VTC6"};

// One switch bit, the control that shows it and the control's two items.
struct TFlagBit {
    qint32 value;
    const char* control; // control name of the editor
    const char* caption;
    const char* clear; // item for the bit clear
    const char* set;   // item for the bit set
};

// TSettings::flags. Bits above 32768 belong to no control.
inline constexpr std::array<TFlagBit, 16> SettingsFlagBits = {{
    {1, "LockMod", "Mod Lock:", "Disabled", "Enabled"},
    {2, "LockParam", "Param. Lock:", "Disabled", "Enabled"},
    {4, "StealthMode", "Stealth Mode:", "Disabled", "Enabled"},
    {8, "TempUnit", "Temp. Unit:",
     "\xC2\xB0"
     "C",
     "\xC2\xB0"
     "F"},
    {16, "SwapButtons", "Buttons Swap:", "Disabled", "Enabled"},
    {32, "Charger", "Charger:", "Disabled", "Enabled"},
    {64, "Balancer", "Balancer:", "Disabled", "Enabled"},
    {128, "ScreenOrient", "Orientation:", "Normal", "Rotated"},
    {256, "ScreenInvert", "Inversion:", "Normal", "Inverted"},
    {512, "CoilAutosel", "Coil Autosel.:", "Disabled", "Enabled"},
    {1024, "W1Increment", "1 Watt Change:", "Disabled", "Enabled"},
    {2048, "C1Increment", "1 Deg. Change:", "Disabled", "Enabled"},
    {4096, "BattInPerc", "Battery in %:", "Disabled", "Enabled"},
    {8192, "RGBLED", "RGB LED:", "Disabled", "Enabled"},
    {16384, "SleepExit", "Sleep +- Exit:", "Disabled", "Enabled"},
    {32768, "ScreenLayout", "Screen Layout:", "YiHi", "DNA"},
}};

// TProfile::flags: the check boxes (bit 2 is the preheat unit list, bit 64 has no control,
// bits 16 and 32 share the one preheat check box by mode).
struct TProfileFlagBit {
    qint32 value;
    const char* control;
    const char* caption;
};
inline constexpr std::array<TProfileFlagBit, 7> ProfileFlagBits = {{
    {1, "ProfileRLock", " R/T is Locked"},
    {2, "ProfilePrehUnit", "%"},
    {4, "ProfileUseTFR", " Use TFR Curve"},
    {8, "ProfilePAlt", " Alt. Parameter"},
    {16, "ProfilePrehEn", " Preheat Enabled"},
    {32, "ProfilePrehEn", " Preheat Enabled"},
    {128, "ProfileInact", " Profile is Disabled"},
}};

// The texts of a table as a list, in code order.
QStringList CodeList(std::span<const char* const> names);
// The text of a code, or an empty text for a code outside the table.
QString CodeName(std::span<const char* const> names, qint32 code);
// "Profile 1" .. "Profile 8" (the active-profile list).
QStringList ProfileItemNames();
