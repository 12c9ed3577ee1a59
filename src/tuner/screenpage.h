#pragma once
// The "Screen" page: display switches, delays, and per display state the brightness, the
// time and the LED colour; below them the screenshot group.

#include "settings/settings.h"
#include "tuner/page.h"

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QSlider;
class QVBoxLayout;
class TBinder;
class TScreenshotGroup;
class TSwatch;

// Shows an LED colour word on a row's colour list and swatch: an effect selects its item
// (effect number + 1; no selection for an effect the list lacks) and hides the swatch, painted
// black; a solid colour selects "Solid Color" and shows the colour on the swatch.
void ShowLedColour(qint32 word, QComboBox* list, TSwatch* swatch);
// An LED colour word as its list names it: "Rainbow", "Solid Color #FF8000".
QString LedColourText(qint32 word);

class TScreenPage : public TTunerPage {
    Q_OBJECT
public:
    explicit TScreenPage(TTunerForm* form);
    void showSettings(bool replaced = true) override;
    // The screenshot area, and the "RGB LED:" list and " LED Color " group for the model.
    void layoutForModel() override;

    TScreenshotGroup* Screenshot = nullptr;

signals:
    void screenshotSizeChanged(); // the size slider moved

private:
    void buildSettingsGroups(QVBoxLayout* layout);
    QGroupBox* buildDisplayGroup();
    QGroupBox* buildDelayGroup();
    QGroupBox* buildBrightnessGroup();
    QGroupBox* buildTimeGroup();
    QGroupBox* buildLedGroup();

    void TrackBarChange(int row);   // TrackBar1 .. TrackBar6: brTime[row][0]
    void ComboBoxC1Change(int row); // the colour lists: solid colour or effect
    void ShapeC1MouseDown(int row); // the colour swatches: the colour dialog
    void showBrightness(int row);   // swatch and percentage of the stored brightness
    void storeColour(int row, qint32 word);
    void addMarks();

    TBinder* m_binder = nullptr;
    std::array<QSlider*, BrTimeRows> m_trackBars{};
    std::array<TSwatch*, BrTimeRows> m_shapes{};
    std::array<QLabel*, BrTimeRows> m_percs{};
    std::array<QComboBox*, BrTimeRows> m_colourLists{};
    std::array<TSwatch*, BrTimeRows> m_colourShapes{};
    QLabel* m_rgbCaption = nullptr;
    QComboBox* m_rgbList = nullptr;
    QGroupBox* m_ledGroup = nullptr;
    int m_drags = 0; // track bar drags so far: the positions of one are one step
};
