#pragma once
// The "Screen" page: display switches, delays, and per display state the brightness, the
// time and the LED colour; below them the screenshot group.

#include "tuner/page.h"

class TScreenshotGroup;

class TScreenPage : public TTunerPage {
    Q_OBJECT
public:
    explicit TScreenPage(TTunerForm* form);
    void showSettings() override;
    void layoutForModel() override;

    TScreenshotGroup* Screenshot = nullptr;

signals:
    void screenshotSizeChanged(); // the size slider moved

private:
    void buildSettingsGroups(class QVBoxLayout* layout);
};
