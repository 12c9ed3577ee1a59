#pragma once
// The "Battery" page: charger, balancer, battery profile with the built-in presets, energy,
// cut-off, the discharge curve chart and calibration.
//
// The profile list chooses what the page shows: "User Defined" shows the table in
// Settings.v2p and lets the user edit it (energy, cut-off, curve, CSV files, defaults); a
// preset shows its own table with all of that disabled and leaves Settings.v2p alone. A
// stored battProfile that names no item shows no selection, no curve and empty, disabled
// fields, and stays stored until the user picks an item.

#include "tuner/page.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class TBinder;
class TChartV2P;

class TBatteryPage : public TTunerPage {
    Q_OBJECT
public:
    explicit TBatteryPage(TTunerForm* form);
    void showSettings(bool replaced = true) override;

    QComboBox* Charger = nullptr;
    QComboBox* Balancer = nullptr;
    QComboBox* BattProfile = nullptr;
    QLineEdit* WHTotal = nullptr;
    QLineEdit* SoftCutOff = nullptr;
    QPushButton* CalBatt = nullptr;
    QGroupBox* GroupBox6 = nullptr; // " Discharge Curve "
    TChartV2P* ChartV2P = nullptr;
    QPushButton* BitBtn1 = nullptr; // "Load .CSV"
    QPushButton* BitBtn2 = nullptr; // "Save .CSV"
    QPushButton* BitBtn3 = nullptr; // "Defaults"

public slots:
    void BattProfileChange(); // the shown table and what may be edited, after a choice
    void ChartV2PMouseUp();   // a dragged curve into Settings.v2p
    void BitBtn1Click();      // "Load .CSV"
    void BitBtn2Click();      // "Save .CSV"
    void BitBtn3Click();      // "Defaults"
    // A press on "Calibrate Batteries": only with Shift held does it calibrate. True when it
    // acted.
    bool CalBattMouseDown(Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createSettingsGroup(QWidget* parent);
    QWidget* createCurveGroup(QWidget* parent);
    void showTable(); // chart, energy and cut-off from battProfile's table

    TBinder* m_binder = nullptr;
};
