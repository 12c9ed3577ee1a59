#pragma once
// The built-in battery tables: one discharge curve with its energy and cut-off per cell
// type the device knows. A preset is chosen by TSettings::battProfile (1..8) and is only
// shown by the editor; it never replaces the user's own table in TSettings::v2p.

#include "settings/settings.h"

#include <array>

constexpr int BatteryPresetCount = 8;

// Index 0 is battProfile 1 ("Generic", also the default curve), index 7 is battProfile 8.
extern const std::array<TV2PTable, BatteryPresetCount> BatteryPresets;

// The preset a battProfile code names, or null for 0 (the user's curve) and codes without
// a preset.
const TV2PTable* BatteryPreset(qint32 battProfile);

// The "Generic" table: the default curve, energy 9.000 Wh and cut-off 2.50 V.
const TV2PTable& GenericBatteryTable();
