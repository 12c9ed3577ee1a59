#include "tuner/screenpage.h"

#include "settings/codetables.h"
#include "settings/history.h"
#include "settings/ledcolour.h"
#include "settings/models.h"
#include "shell/dialogs.h"
#include "tuner/binding.h"
#include "tuner/changemarks.h"
#include "tuner/pagekit.h"
#include "tuner/screenshotgroup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace {

qint32& BrTimeAt(TSettings& s, int, int row) {
    return s.brTime[std::size_t(row)][btTime];
}

const TFieldBinding kFields[] = {
    {"TOutLogo", 1, 0.0, 60.0, 1000, [](TSettings& s, int, int) -> qint32& { return s.timeLogo; },
     0, 6},
    {"TOutInfo", 1, 0.1, 60.0, 1000, [](TSettings& s, int, int) -> qint32& { return s.timeInfo; },
     0, 6},
    {"TimeFadeIn", 1, 0.0, 60.0, 10, [](TSettings& s, int, int) -> qint32& { return s.timeFadeIn; },
     0, 6},
    {"TimeFadeOut", 1, 0.0, 60.0, 10,
     [](TSettings& s, int, int) -> qint32& { return s.timeFadeOut; }, 0, 6},
    {"TOutFiring", 0, 0, 600, 1, &BrTimeAt, 0, 3, true},
    {"TOutActive", 0, 0, 600, 1, &BrTimeAt, 1, 3, true},
    {"TOutIdle", 0, 0, 600, 1, &BrTimeAt, 2, 3, true},
    {"TOutCharging", 0, 0, 600, 1, &BrTimeAt, 3, 3, true},
    {"TOutSleeping", 0, 0, 600, 1, &BrTimeAt, 4, 3, true},
    {"TOutALock", 0, 0, 600, 1, &BrTimeAt, 5, 6, false}, // takes any text, e.g. 12.7
};

const TFlagBinding kFlags[] = {
    {"ScreenOrient", sfScreenRotated, false},   {"ScreenInvert", sfScreenInverted, false},
    {"StealthMode", sfStealthMode, false},      {"BattInPerc", sfBattInPerc, false},
    {"ScreenLayout", sfScreenLayoutDNA, false}, {"RGBLED", sfRGBLED, false},
};

// The display states' names for assistive technology ("Firing brightness").
QString StateName(int row) {
    return QString::fromUtf8(StateCaptions[std::size_t(row)]).chopped(1);
}

const QStringList kColourItems = {QStringLiteral("Solid Color"), QStringLiteral("Rainbow")};

} // namespace

QString LedColourText(qint32 word) {
    if (IsLedEffect(word)) {
        const qint32 effect = LedEffectNumber(word);
        return effect >= 0 && effect + 1 < kColourItems.size()
                   ? kColourItems.at(effect + 1)
                   : QStringLiteral("Effect %1").arg(effect);
    }
    return QStringLiteral("Solid Color ") + ColourWordToRgb(word).name().toUpper();
}

void ShowLedColour(qint32 word, QComboBox* list, TSwatch* swatch) {
    if (IsLedEffect(word)) {
        CodeToList(LedEffectNumber(word) + 1, list);
        swatch->setColour(Qt::black);
        swatch->hide();
    } else {
        CodeToList(0, list);
        swatch->setColour(ColourWordToRgb(word));
        swatch->show();
    }
}

TScreenPage::TScreenPage(TTunerForm* form) : TTunerPage(form) {
    QWidget* content = ScrolledContent(this);
    auto* layout = new QVBoxLayout(content);
    buildSettingsGroups(layout);
    Screenshot = new TScreenshotGroup(content);
    layout->addWidget(Screenshot, 1);
    connect(Screenshot, &TScreenshotGroup::sizeChanged, this, &TScreenPage::screenshotSizeChanged);

    m_binder = new TBinder(this);
    m_binder->addFields(kFields);
    m_binder->addFlagLists(kFlags);
    addMarks();
    PassWheelUnlessFocused(this);
}

void TScreenPage::addMarks() {
    for (int row = 0; row < BrTimeRows; ++row) {
        m_binder->marks()->add(m_trackBars[std::size_t(row)], [row](const TSettings& image) {
            return QStringLiteral("%1%").arg(image.brTime[std::size_t(row)][btBrightness]);
        });
        m_binder->marks()->add(m_colourLists[std::size_t(row)], [row](const TSettings& image) {
            return LedColourText(image.brTime[std::size_t(row)][btColor]);
        });
    }
}

void TScreenPage::buildSettingsGroups(QVBoxLayout* layout) {
    auto* first = new QHBoxLayout();
    first->addWidget(buildDisplayGroup());
    first->addWidget(buildDelayGroup());
    first->addStretch(1);
    layout->addLayout(first);
    auto* second = new QHBoxLayout();
    second->addWidget(buildBrightnessGroup());
    second->addWidget(buildTimeGroup());
    second->addWidget(m_ledGroup = buildLedGroup());
    second->addStretch(1);
    layout->addLayout(second);
}

QGroupBox* TScreenPage::buildDisplayGroup() {
    QGridLayout* grid = nullptr;
    auto* group = NewGridGroup(QStringLiteral(" Display "), &grid, this);
    const char* left[] = {"ScreenOrient", "ScreenInvert", "StealthMode", "BattInPerc"};
    for (int row = 0; row < 4; ++row)
        AddFieldRow(grid, row, 0, FlagCaption(left[row]), NewFlagList(left[row], group));
    grid->setColumnMinimumWidth(2, 24);
    AddFieldRow(grid, 0, 3, FlagCaption("ScreenLayout"), NewFlagList("ScreenLayout", group));
    m_rgbList = NewFlagList("RGBLED", group);
    m_rgbCaption = AddFieldRow(grid, 1, 3, FlagCaption("RGBLED"), m_rgbList);
    return group;
}

QGroupBox* TScreenPage::buildDelayGroup() {
    QGridLayout* grid = nullptr;
    auto* group = NewGridGroup(QStringLiteral(" Delay "), &grid, this);
    const struct {
        const char* caption;
        const char* control;
    } rows[] = {{"Logo:", "TOutLogo"},
                {"Info:", "TOutInfo"},
                {"Fade-In:", "TimeFadeIn"},
                {"Fade-Out:", "TimeFadeOut"}};
    int row = 0;
    for (const auto& line : rows)
        AddFieldRow(grid, row++, 0, QLatin1String(line.caption),
                    NewField(QLatin1String(line.control), group), QStringLiteral("s"));
    return group;
}

QGroupBox* TScreenPage::buildBrightnessGroup() {
    QGridLayout* grid = nullptr;
    auto* group = NewGridGroup(QStringLiteral(" Brightness "), &grid, this);
    const int rowHeight = FieldRowHeight(); // level with the time and colour rows
    for (int row = 0; row < BrTimeRows; ++row) {
        grid->setRowMinimumHeight(row, rowHeight);
        auto* bar = new QSlider(Qt::Horizontal, group);
        bar->setObjectName(QStringLiteral("TrackBar%1").arg(row + 1));
        bar->setRange(0, 100);
        bar->setTickPosition(QSlider::NoTicks);
        bar->setMinimumWidth(bar->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 20);
        bar->setAccessibleName(StateName(row) + QStringLiteral(" brightness"));
        AddFieldRow(grid, row, 0, QLatin1String(BrightnessCaptions[std::size_t(row)]), bar);
        auto* shape = new TSwatch(QStringLiteral("Shape%1").arg(row + 1), false, group);
        auto* perc = new QLabel(QStringLiteral("0%"), group);
        perc->setObjectName(QStringLiteral("Perc%1").arg(row + 1));
        perc->setMinimumWidth(perc->fontMetrics().horizontalAdvance(QStringLiteral("100%")));
        grid->addWidget(shape, row, 2);
        grid->addWidget(perc, row, 3);
        m_trackBars[std::size_t(row)] = bar;
        m_shapes[std::size_t(row)] = shape;
        m_percs[std::size_t(row)] = perc;
        connect(bar, &QSlider::valueChanged, this, [this, row] { TrackBarChange(row); });
        connect(bar, &QSlider::sliderPressed, this, [this] { ++m_drags; });
    }
    return group;
}

QGroupBox* TScreenPage::buildTimeGroup() {
    QGridLayout* grid = nullptr;
    auto* group = NewGridGroup(QStringLiteral(" Time "), &grid, this);
    const char* controls[] = {"TOutFiring",   "TOutActive",   "TOutIdle",
                              "TOutCharging", "TOutSleeping", "TOutALock"};
    for (int row = 0; row < BrTimeRows; ++row) {
        QLineEdit* edit = NewField(QLatin1String(controls[row]), group);
        edit->setAccessibleName(StateName(row) + QStringLiteral(" time"));
        AddFieldRow(grid, row, 0, QLatin1String(StateCaptions[std::size_t(row)]), edit,
                    QStringLiteral("s"));
    }
    return group;
}

QGroupBox* TScreenPage::buildLedGroup() {
    QGridLayout* grid = nullptr;
    auto* group = NewGridGroup(QStringLiteral(" LED Color "), &grid, this);
    for (int row = 0; row < BrTimeRows; ++row) {
        auto* list = new QComboBox(group);
        list->setObjectName(QStringLiteral("ComboBoxC%1").arg(row + 1));
        list->addItems(kColourItems);
        list->setAccessibleName(StateName(row) + QStringLiteral(" LED colour"));
        AddFieldRow(grid, row, 0, QLatin1String(StateCaptions[std::size_t(row)]), list);
        auto* swatch = new TSwatch(QStringLiteral("ShapeC%1").arg(row + 1), true, group);
        swatch->setAccessibleName(StateName(row) + QStringLiteral(" solid colour"));
        swatch->setToolTip(QStringLiteral("Choose the LED colour"));
        grid->addWidget(swatch, row, 2);
        m_colourLists[std::size_t(row)] = list;
        m_colourShapes[std::size_t(row)] = swatch;
        connect(list, &QComboBox::currentIndexChanged, this,
                [this, row] { ComboBoxC1Change(row); });
        connect(swatch, &TSwatch::pressed, this, [this, row] { ShapeC1MouseDown(row); });
    }
    return group;
}

// The label says what is stored, also a value from a file or the device that the bar can't
// take (150 shows "150%" beside a full bar); the swatch shows what the bar shows.
void TScreenPage::showBrightness(int row) {
    const qint32 stored = Settings.brTime[std::size_t(row)][btBrightness];
    const int grey = qBound(0, stored, 100) * 255 / 100;
    m_shapes[std::size_t(row)]->setColour(QColor(grey, grey, grey));
    m_percs[std::size_t(row)]->setText(QStringLiteral("%1%").arg(stored));
}

// Every position is stored at once; the positions of one drag are one step.
void TScreenPage::TrackBarChange(int row) {
    QSlider* bar = m_trackBars[std::size_t(row)];
    const int value = bar->value();
    const QString drag =
        bar->isSliderDown() ? QStringLiteral("TrackBar%1#%2").arg(row + 1).arg(m_drags) : QString();
    ImageHistory().change(
        QStringLiteral("Brightness: %1").arg(StateName(row)),
        [&](TSettings& image) { image.brTime[std::size_t(row)][btBrightness] = value; }, drag);
    showBrightness(row);
}

void TScreenPage::ComboBoxC1Change(int row) {
    const int item = m_colourLists[std::size_t(row)]->currentIndex();
    if (item < 0)
        return; // no selection: the stored word stays
    const qint32 word = item == 0 ? 0 : LedEffectBit + item - 1;
    storeColour(row, word);
    ShowLedColour(Settings.brTime[std::size_t(row)][btColor], m_colourLists[std::size_t(row)],
                  m_colourShapes[std::size_t(row)]);
}

void TScreenPage::ShapeC1MouseDown(int row) {
    TSwatch* swatch = m_colourShapes[std::size_t(row)];
    const auto chosen = Dialogs::color(this, swatch->colour());
    if (!chosen)
        return;
    storeColour(row, RgbToColourWord(*chosen));
    swatch->setColour(ColourWordToRgb(Settings.brTime[std::size_t(row)][btColor]));
}

void TScreenPage::storeColour(int row, qint32 word) {
    ImageHistory().change(
        QStringLiteral("LED Color: %1").arg(StateName(row)),
        [&](TSettings& image) { image.brTime[std::size_t(row)][btColor] = word; });
}

void TScreenPage::showSettings(bool replaced) {
    m_binder->refresh(replaced);
    for (int row = 0; row < BrTimeRows; ++row) {
        QSlider* bar = m_trackBars[std::size_t(row)];
        const QSignalBlocker blocker(bar); // showing a value never stores it
        if (bar->value() != Settings.brTime[std::size_t(row)][btBrightness])
            bar->setValue(Settings.brTime[std::size_t(row)][btBrightness]);
        showBrightness(row);
    }
    for (int row = 0; row < BrTimeRows; ++row)
        ShowLedColour(Settings.brTime[std::size_t(row)][btColor], m_colourLists[std::size_t(row)],
                      m_colourShapes[std::size_t(row)]);
}

void TScreenPage::layoutForModel() {
    Screenshot->SizeBarChange();
    m_rgbCaption->setVisible(ModInfo.rgbColor);
    m_rgbList->setVisible(ModInfo.rgbColor);
    m_ledGroup->setVisible(ModInfo.rgbColor);
}
