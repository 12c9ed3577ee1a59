#pragma once
// The "Profiles" page: the header (active profile, model, firmware), the eight profile tabs with
// every profile field, the TFR chart, copy and paste.

#include "tuner/page.h"

class TProfilesPage : public TTunerPage {
    Q_OBJECT
public:
    explicit TProfilesPage(TTunerForm* form);
    void showSettings() override;
};
