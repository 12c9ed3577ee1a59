#pragma once
// The "Battery" page: charger, balancer, battery profile with the built-in presets, energy,
// cut-off, the discharge curve chart and calibration.

#include "tuner/page.h"

class TBatteryPage : public TTunerPage {
    Q_OBJECT
public:
    explicit TBatteryPage(TTunerForm* form);
    void showSettings() override;
};
