#pragma once
// The "Mod" page: temperature unit, coil auto-selection, counters, the temperature regulator and
// the indicators of each screen mode.

#include "settings/settings.h"
#include "tuner/page.h"

#include <array>

class QComboBox;
class QGroupBox;
class TBinder;

class TModPage : public TTunerPage {
    Q_OBJECT
public:
    explicit TModPage(TTunerForm* form);
    void showSettings(bool replaced = true) override;
    // Shows the first ModInfo.numIPar indicator lists of each row and hides the others; the
    // hidden positions keep their values in Settings.
    void layoutForModel() override;

    // The indicator lists, index row x 5 + position (rows and positions of Settings.indPar).
    std::array<QComboBox*, IndParRows * IndParCols> INDPCOMBO{};

private:
    QGroupBox* buildSettingsGroup();
    QGroupBox* buildParametersGroup();
    void buildIndicatorRow(QWidget* group, class QGridLayout* grid, int row);

    TBinder* m_binder = nullptr;
};
