#pragma once
// The "Buttons" page: lock and button switches and the action of each button combination.

#include "tuner/page.h"

class QGroupBox;
class TBinder;

class TButtonsPage : public TTunerPage {
    Q_OBJECT
public:
    explicit TButtonsPage(TTunerForm* form);
    void showSettings(bool replaced = true) override;

private:
    QGroupBox* buildSettingsGroup();
    QGroupBox* buildKeyActionsGroup();

    TBinder* m_binder = nullptr;
};
