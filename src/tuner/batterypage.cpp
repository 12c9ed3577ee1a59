#include "tuner/batterypage.h"

#include "settings/actions.h"
#include "settings/batterypresets.h"
#include "settings/codetables.h"
#include "settings/curvecsv.h"
#include "settings/history.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "tuner/binding.h"
#include "tuner/changemarks.h"
#include "tuner/pagekit.h"
#include "tuner/tuner.h"
#include "tuner/v2pchart.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
qint32& Energy(TSettings& s, int, int) {
    return s.v2p[V2PEnergyRow][0];
}
qint32& CutOff(TSettings& s, int, int) {
    return s.v2p[V2PEnergyRow][1];
}

const TFlagBinding BatteryFlags[] = {{"Charger", sfCharger, false},
                                     {"Balancer", sfBalancer, false}};
const TFieldBinding BatteryFields[] = {
    {"WHTotal", 3, 0.0, 30.0, 1000, Energy, 0, 6},  // Wh per cell
    {"SoftCutOff", 2, 2.5, 8.4, 100, CutOff, 0, 4}, // V
};
const TCodeBinding BatteryCodes[] = {
    {"BattProfile", [](TSettings& s, int, int) -> qint32& { return s.battProfile; }}};
} // namespace

TBatteryPage::TBatteryPage(TTunerForm* form) : TTunerPage(form) {
    QWidget* content = ScrolledContent(this);
    auto* layout = new QVBoxLayout(content);
    layout->addWidget(createSettingsGroup(content));
    layout->addWidget(createCurveGroup(content), 1);

    m_binder = new TBinder(this);
    m_binder->addFlagLists(BatteryFlags);
    m_binder->addFields(BatteryFields);
    m_binder->addCodeLists(BatteryCodes);
    connect(m_binder, &TBinder::committed, this, [this](QWidget* control) {
        if (control == BattProfile)
            BattProfileChange();
    });
    m_binder->marks()->add(
        ChartV2P,
        [](const TSettings& image) {
            QStringList points;
            for (int r = 0; r < V2PCurveRows; ++r)
                points << QStringLiteral("%1 % %2 V")
                              .arg(FormatStored(image.v2p[size_t(r)][vpPercent], 2, 100),
                                   FormatStored(image.v2p[size_t(r)][vpVoltage], 2, 100));
            return points.join(QStringLiteral(", "));
        },
        {}, TChangeMarks::chartMark(ChartV2P));
    PassWheelUnlessFocused(this);
}

// Charger and balancer, the battery profile, energy and cut-off in three columns;
// "Calibrate Batteries" at the right edge.
QWidget* TBatteryPage::createSettingsGroup(QWidget* parent) {
    QGridLayout* grid = nullptr;
    auto* group = NewGridGroup(QStringLiteral(" Settings "), &grid, parent);
    Charger = NewFlagList("Charger", group);
    Balancer = NewFlagList("Balancer", group);
    BattProfile = NewCodeList(QStringLiteral("BattProfile"), BattProfileNames, group);
    WHTotal = NewField(QStringLiteral("WHTotal"), group);
    SoftCutOff = NewField(QStringLiteral("SoftCutOff"), group);
    CalBatt = NewButton(QStringLiteral("CalBatt"), QStringLiteral("Calibrate Batteries"), 0, group);
    SetRedCaption(CalBatt);
    CalBatt->setToolTip(QStringLiteral("Hold Shift and click to calibrate"));
    CalBatt->installEventFilter(this);

    AddFieldRow(grid, 0, 0, FlagCaption("Charger"), Charger);
    AddFieldRow(grid, 1, 0, FlagCaption("Balancer"), Balancer);
    AddFieldRow(grid, 0, 3, QStringLiteral("Batt. Profile:"), BattProfile);
    AddFieldRow(grid, 0, 6, QStringLiteral("Energy:"), WHTotal, QStringLiteral("WH per Cell"));
    AddFieldRow(grid, 1, 6, QStringLiteral("Soft Cut-Off:"), SoftCutOff, QStringLiteral("V"));
    grid->addWidget(CalBatt, 0, 10, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    for (int gap : {2, 5})
        grid->setColumnMinimumWidth(gap, 24);
    grid->setColumnStretch(9, 1);
    return group;
}

// The chart over the row of its three buttons.
QWidget* TBatteryPage::createCurveGroup(QWidget* parent) {
    GroupBox6 = new QGroupBox(QStringLiteral(" Discharge Curve "), parent);
    GroupBox6->setObjectName(QStringLiteral("GroupBox6"));
    auto* column = new QVBoxLayout(GroupBox6);
    ChartV2P = new TChartV2P(GroupBox6);
    BitBtn1 = NewButton(QStringLiteral("BitBtn1"), QStringLiteral("Load .CSV"), 0, GroupBox6);
    BitBtn2 = NewButton(QStringLiteral("BitBtn2"), QStringLiteral("Save .CSV"), 0, GroupBox6);
    BitBtn3 = NewButton(QStringLiteral("BitBtn3"), QStringLiteral("Defaults"), 0, GroupBox6);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {BitBtn1, BitBtn2, BitBtn3})
        buttons->addWidget(button);
    buttons->addStretch(1);
    column->addWidget(ChartV2P, 1);
    column->addLayout(buttons);
    connect(ChartV2P, &TChartV2P::curveDropped, this, &TBatteryPage::ChartV2PMouseUp);
    connect(BitBtn1, &QPushButton::clicked, this, &TBatteryPage::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TBatteryPage::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TBatteryPage::BitBtn3Click);
    return GroupBox6;
}

void TBatteryPage::showSettings(bool replaced) {
    m_binder->refresh(replaced);
    showTable();
}

void TBatteryPage::BattProfileChange() {
    showTable();
}

void TBatteryPage::showTable() {
    const bool user = Settings.battProfile == 0;
    const TV2PTable* table = user ? &Settings.v2p : BatteryPreset(Settings.battProfile);
    WHTotal->setEnabled(user);
    SoftCutOff->setEnabled(user);
    GroupBox6->setEnabled(user);
    if (!table) { // a code without a table: nothing to show
        ChartV2P->clearCurve();
        m_binder->showText(WHTotal, QString());
        m_binder->showText(SoftCutOff, QString());
        return;
    }
    ChartV2P->showCurve(*table);
    if (!user) { // the preset's values, which are not stored
        m_binder->showText(WHTotal, FormatStored((*table)[V2PEnergyRow][0], 3, 1000));
        m_binder->showText(SoftCutOff, FormatStored((*table)[V2PEnergyRow][1], 2, 100));
    }
}

void TBatteryPage::ChartV2PMouseUp() {
    if (ChartV2P->pointCount() != V2PCurveRows)
        return; // only a whole curve is stored
    const auto curve = ChartV2P->storedCurve();
    ImageHistory().change(QStringLiteral("Discharge Curve"), [&](TSettings& image) {
        std::copy(curve.begin(), curve.end(), image.v2p.begin());
    });
}

void TBatteryPage::BitBtn1Click() {
    Guarded(this, [this] {
        const auto content = form()->readCsv(DataPath(QStringLiteral("Profiles/Battery")));
        if (!content)
            return;
        const auto table = ParseBatteryCsv(*content);
        if (!table) {
            Dialogs::error(this, QStringLiteral("Invalid CSV file!"));
            return;
        }
        ImageHistory().change(QStringLiteral("Load .CSV (Discharge Curve)"),
                              [&](TSettings& image) { image.v2p = *table; });
    });
}

void TBatteryPage::BitBtn2Click() {
    Guarded(this, [this] {
        form()->writeCsv(DataPath(QStringLiteral("Profiles/Battery")),
                         FormatBatteryCsv(Settings.v2p));
    });
}

void TBatteryPage::BitBtn3Click() {
    ImageHistory().change(QStringLiteral("Defaults (Discharge Curve)"),
                          [](TSettings& image) { image.v2p = GenericBatteryTable(); });
}

bool TBatteryPage::CalBattMouseDown(Qt::KeyboardModifiers modifiers) {
    if (!(modifiers & Qt::ShiftModifier))
        return false;
    Guarded(this, [this] {
        if (!CheckConnected(this))
            return;
        const auto answer = Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Confirm"),
                                             QStringLiteral("Calibrate Batteries at 4.2V?"),
                                             QMessageBox::Ok | QMessageBox::Cancel);
        if (answer != QMessageBox::Ok)
            return;
        Dialogs::information(this, CalibrateBatteries() ? QStringLiteral("Done")
                                                        : QStringLiteral("Error"));
    });
    return true;
}

// "Calibrate Batteries" acts on a mouse press with Shift held, never on a plain click or
// the keyboard; a press it acts on does not also push the button.
bool TBatteryPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == CalBatt && event->type() == QEvent::MouseButtonPress)
        return CalBattMouseDown(static_cast<QMouseEvent*>(event)->modifiers());
    return TTunerPage::eventFilter(watched, event);
}
