#include "tuner/buttonspage.h"

#include "settings/codetables.h"
#include "tuner/binding.h"
#include "tuner/pagekit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

namespace {

const TFlagBinding kFlags[] = {
    {"LockMod", sfLockMod, false},         {"LockParam", sfLockParam, false},
    {"SwapButtons", sfSwapButtons, false}, {"W1Increment", sfW1Increment, false},
    {"C1Increment", sfC1Increment, false}, {"SleepExit", sfSleepExit, false},
};

// ComboBox100 .. ComboBox107: keyAction[0] .. keyAction[7].
constexpr std::array<const char*, KeyActionCount> kActionLists = {
    "ComboBox100", "ComboBox101", "ComboBox102", "ComboBox103",
    "ComboBox104", "ComboBox105", "ComboBox106", "ComboBox107"};

qint32& KeyActionAt(TSettings& s, int, int slot) {
    return s.keyAction[std::size_t(slot)];
}

} // namespace

TButtonsPage::TButtonsPage(TTunerForm* form) : TTunerPage(form) {
    QWidget* content = ScrolledContent(this);
    auto* layout = new QVBoxLayout(content);
    for (QGroupBox* group : {buildSettingsGroup(), buildKeyActionsGroup()}) {
        auto* line = new QHBoxLayout();
        line->addWidget(group);
        line->addStretch(1);
        layout->addLayout(line);
    }
    layout->addStretch(1);

    m_binder = new TBinder(this);
    m_binder->addFlagLists(kFlags);
    std::array<TCodeBinding, KeyActionCount> actions{};
    for (int slot = 0; slot < KeyActionCount; ++slot)
        actions[std::size_t(slot)] = {kActionLists[std::size_t(slot)], &KeyActionAt, slot};
    m_binder->addCodeLists(actions);
    PassWheelUnlessFocused(this);
}

// Two columns of three: the locks and the button swap, then the step and sleep switches.
QGroupBox* TButtonsPage::buildSettingsGroup() {
    QGridLayout* grid = nullptr;
    auto* group = NewGridGroup(QStringLiteral(" Settings "), &grid, this);
    grid->setColumnMinimumWidth(2, 24);
    for (int i = 0; i < int(std::size(kFlags)); ++i) {
        const char* control = kFlags[i].control;
        AddFieldRow(grid, i % 3, (i / 3) * 3, FlagCaption(control), NewFlagList(control, group));
    }
    return group;
}

// Two columns of four: the fire-button counts, then the button combinations.
QGroupBox* TButtonsPage::buildKeyActionsGroup() {
    QGridLayout* grid = nullptr;
    auto* group = NewGridGroup(QStringLiteral(" Key Actions "), &grid, this);
    grid->setColumnMinimumWidth(2, 24);
    for (int slot = 0; slot < KeyActionCount; ++slot) {
        QComboBox* list =
            NewCodeList(QLatin1String(kActionLists[std::size_t(slot)]), ActionNames, group);
        AddFieldRow(grid, slot % 4, (slot / 4) * 3,
                    QLatin1String(KeySlotCaptions[std::size_t(slot)]), list);
    }
    return group;
}

void TButtonsPage::showSettings(bool replaced) {
    m_binder->refresh(replaced);
}
