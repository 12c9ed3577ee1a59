#pragma once
// The "Mod" page: temperature unit, coil auto-selection, counters, the temperature regulator and
// the indicators of each screen mode.

#include "tuner/page.h"

class TModPage : public TTunerPage {
    Q_OBJECT
public:
    explicit TModPage(TTunerForm* form);
    void showSettings() override;
};
