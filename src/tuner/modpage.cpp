#include "tuner/modpage.h"

#include "settings/codetables.h"
#include "settings/models.h"
#include "tuner/binding.h"
#include "tuner/pagekit.h"
#include "tuner/screenart.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

const TFieldBinding kFields[] = {
    {"PuffCount", 0, 0, 65535, 1, [](TSettings& s, int, int) -> qint32& { return s.cntPuffs; }, 0,
     5, true},
    {"PuffTime", 0, 0, 65535, 1, [](TSettings& s, int, int) -> qint32& { return s.cntPTime; }, 0, 5,
     true},
    {"PidRegP", 0, 1, 6000, 1, [](TSettings& s, int, int) -> qint32& { return s.pidRegP; }, 0, 5,
     true},
    {"PidRegI", 0, 0, 10000, 1, [](TSettings& s, int, int) -> qint32& { return s.pidRegI; }, 0, 5,
     true},
    {"PidRegD", 0, 0, 5000, 1, [](TSettings& s, int, int) -> qint32& { return s.pidRegD; }, 0, 5,
     true},
};

const TFlagBinding kFlags[] = {
    {"TempUnit", sfTempUnitF, false},
    {"CoilAutosel", sfCoilAutosel, false},
};

// INDPCOMBO[row x 5 + position]; entry 0 keeps the name of the first list, ComboBox1.
constexpr std::array<const char*, IndParRows* IndParCols> kIndicatorNames = {
    "ComboBox1", "IndPar0_1", "IndPar0_2", "IndPar0_3", "IndPar0_4", "IndPar1_0", "IndPar1_1",
    "IndPar1_2", "IndPar1_3", "IndPar1_4", "IndPar2_0", "IndPar2_1", "IndPar2_2", "IndPar2_3",
    "IndPar2_4", "IndPar3_0", "IndPar3_1", "IndPar3_2", "IndPar3_3", "IndPar3_4"};

qint32& IndicatorAt(TSettings& s, int, int index) {
    return s.indPar[std::size_t(index / IndParCols)][std::size_t(index % IndParCols)];
}

// The hints of the four screen pictures, also the start of each list's accessible name.
constexpr std::array<const char*, IndParRows> kModeHints = {"VV Mode", "VW Mode", "TC Mode",
                                                            "Charge Mode"};

} // namespace

TModPage::TModPage(TTunerForm* form) : TTunerPage(form) {
    QWidget* content = ScrolledContent(this);
    auto* layout = new QVBoxLayout(content);
    auto* top = new QHBoxLayout();
    top->addWidget(buildSettingsGroup());
    top->addStretch(1);
    layout->addLayout(top);
    auto* middle = new QHBoxLayout();
    middle->addWidget(buildParametersGroup());
    middle->addStretch(1);
    layout->addLayout(middle);
    layout->addStretch(1);

    m_binder = new TBinder(this);
    m_binder->addFields(kFields);
    m_binder->addFlagLists(kFlags);
    std::array<TCodeBinding, IndParRows * IndParCols> indicators{};
    for (int i = 0; i < int(indicators.size()); ++i)
        indicators[std::size_t(i)] = {kIndicatorNames[std::size_t(i)], &IndicatorAt, i};
    m_binder->addCodeLists(indicators);
    PassWheelUnlessFocused(this);
}

QGroupBox* TModPage::buildSettingsGroup() {
    QGridLayout* grid = nullptr;
    auto* group = NewGridGroup(QStringLiteral(" Settings "), &grid, this);
    AddFieldRow(grid, 0, 0, FlagCaption("TempUnit"), NewFlagList("TempUnit", group));
    AddFieldRow(grid, 1, 0, FlagCaption("CoilAutosel"), NewFlagList("CoilAutosel", group));
    AddFieldRow(grid, 2, 0, QStringLiteral("Puffs Count:"), NewField("PuffCount", group));
    AddFieldRow(grid, 3, 0, QStringLiteral("Total Time:"), NewField("PuffTime", group),
                QStringLiteral("s"));
    grid->setColumnMinimumWidth(3, 24);
    AddFieldRow(grid, 0, 4, QStringLiteral("Regulator P:"), NewField("PidRegP", group));
    AddFieldRow(grid, 1, 4, QStringLiteral("Regulator I:"), NewField("PidRegI", group));
    AddFieldRow(grid, 2, 4, QStringLiteral("Regulator D:"), NewField("PidRegD", group));
    return group;
}

QGroupBox* TModPage::buildParametersGroup() {
    auto* group = new QGroupBox(QStringLiteral(" Parameters "), this);
    auto* rows = new QVBoxLayout(group);
    for (int row = 0; row < IndParRows; ++row) {
        auto* grid = new QGridLayout();
        rows->addLayout(grid);
        buildIndicatorRow(group, grid, row);
    }
    return group;
}

// One screen mode: the picture as background of a grid whose middle column holds positions
// 0..2; to the right the mode caption with positions 3 and 4 below it, level with 1 and 2.
// Rows 0 and 4 are the picture's top and bottom margins.
void TModPage::buildIndicatorRow(QWidget* group, QGridLayout* grid, int row) {
    auto* picture = new TScreenPicture(TScreenMode(row), group);
    picture->setObjectName(QStringLiteral("ScreenPicture%1").arg(row + 1));
    picture->setToolTip(QLatin1String(kModeHints[std::size_t(row)]));
    grid->addWidget(picture, 0, 0, 5, 3);
    grid->setColumnMinimumWidth(0, ScreenArtValueWidth);
    grid->setColumnMinimumWidth(2, ScreenArtBatteryWidth);
    grid->setRowMinimumHeight(0, 3);
    grid->setRowMinimumHeight(4, 3);
    grid->setVerticalSpacing(1);
    grid->addWidget(new QLabel(QLatin1String(IndParRowCaptions[std::size_t(row)]), group), 1, 3);
    for (int position = 0; position < IndParCols; ++position) {
        const int index = row * IndParCols + position;
        QComboBox* list =
            NewCodeList(QLatin1String(kIndicatorNames[std::size_t(index)]), IndicatorNames, group);
        list->setAccessibleName(QStringLiteral("%1 position %2")
                                    .arg(QLatin1String(kModeHints[std::size_t(row)]))
                                    .arg(position + 1));
        if (position < 3)
            grid->addWidget(list, 1 + position, 1);
        else
            grid->addWidget(list, position - 1, 3);
        INDPCOMBO[std::size_t(index)] = list;
    }
    grid->setColumnStretch(4, 1);
}

void TModPage::showSettings(bool replaced) {
    m_binder->refresh(replaced);
}

void TModPage::layoutForModel() {
    const int shown = qBound(0, ModInfo.numIPar, IndParCols);
    for (int index = 0; index < int(INDPCOMBO.size()); ++index)
        INDPCOMBO[std::size_t(index)]->setVisible(index % IndParCols < shown);
}
