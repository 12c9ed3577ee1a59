#include "tuner/batterypage.h"

TBatteryPage::TBatteryPage(TTunerForm* form) : TTunerPage(form) {}

void TBatteryPage::showSettings() {}
