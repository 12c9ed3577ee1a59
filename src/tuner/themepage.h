#pragma once
// The "Theme" page: the logo slots (picture, screen assignment, Load, Save, Clear) and the logo
// download and upload.

#include "tuner/page.h"

class TThemePage : public TTunerPage {
    Q_OBJECT
public:
    explicit TThemePage(TTunerForm* form);
    void showSettings() override;
};
