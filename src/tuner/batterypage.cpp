#include "tuner/batterypage.h"

#include "settings/actions.h"
#include "settings/batterypresets.h"
#include "settings/codetables.h"
#include "settings/curvecsv.h"
#include "settings/safefile.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "tuner/binding.h"
#include "tuner/tuner.h"
#include "tuner/v2pchart.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
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

constexpr qint64 CsvSizeLimit = 1 << 20; // a battery curve file is a few hundred bytes

QLabel* Caption(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

QComboBox* List(const char* name, const QStringList& items) {
    auto* list = new QComboBox;
    list->setObjectName(QLatin1String(name));
    list->addItems(items);
    return list;
}

const TFlagBit& FlagBit(qint32 value) {
    for (const TFlagBit& bit : SettingsFlagBits)
        if (bit.value == value)
            return bit;
    Q_UNREACHABLE();
}

// An edit sized for `sample`, the widest text it takes.
QLineEdit* NumberEdit(const char* name, const QString& sample) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QLatin1String(name));
    edit->setAlignment(Qt::AlignRight);
    const int text = edit->fontMetrics().horizontalAdvance(sample);
    edit->setFixedWidth(text + edit->fontMetrics().averageCharWidth() * 2 + 8);
    return edit;
}

QPushButton* Button(const char* name, const QString& caption) {
    auto* button = new QPushButton(caption);
    button->setObjectName(QLatin1String(name));
    return button;
}
} // namespace

TBatteryPage::TBatteryPage(TTunerForm* form) : TTunerPage(form) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createSettingsGroup());
    layout->addWidget(createCurveGroup(), 1);

    m_binder = new TBinder(this);
    m_binder->addFlagLists(BatteryFlags);
    m_binder->addFields(BatteryFields);
    m_binder->addCodeLists(BatteryCodes);
    connect(m_binder, &TBinder::committed, this, [this](QWidget* control) {
        if (control == BattProfile)
            BattProfileChange();
    });
}

QWidget* TBatteryPage::createSettingsGroup() {
    auto* group = new QGroupBox(QStringLiteral(" Settings "), this);
    auto* grid = new QGridLayout(group);
    const TFlagBit& charger = FlagBit(sfCharger);
    const TFlagBit& balancer = FlagBit(sfBalancer);
    Charger = List(charger.control, {charger.clear, charger.set});
    Balancer = List(balancer.control, {balancer.clear, balancer.set});
    BattProfile = List("BattProfile", CodeList(BattProfileNames));
    WHTotal = NumberEdit("WHTotal", QStringLiteral("30.000"));
    SoftCutOff = NumberEdit("SoftCutOff", QStringLiteral("8.40"));
    CalBatt = Button("CalBatt", QStringLiteral("Calibrate Batteries"));
    QPalette red = CalBatt->palette();
    red.setColor(QPalette::ButtonText, Qt::red);
    CalBatt->setPalette(red);
    CalBatt->setToolTip(QStringLiteral("Hold Shift and click to calibrate"));
    CalBatt->installEventFilter(this);

    grid->addWidget(Caption(QLatin1String(charger.caption), Charger), 0, 0);
    grid->addWidget(Charger, 0, 1);
    grid->addWidget(Caption(QLatin1String(balancer.caption), Balancer), 1, 0);
    grid->addWidget(Balancer, 1, 1);
    grid->addWidget(Caption(QStringLiteral("Batt. Profile:"), BattProfile), 0, 3);
    grid->addWidget(BattProfile, 0, 4);
    grid->addWidget(Caption(QStringLiteral("Energy:"), WHTotal), 0, 6);
    grid->addWidget(WHTotal, 0, 7);
    grid->addWidget(new QLabel(QStringLiteral("WH per Cell")), 0, 8);
    grid->addWidget(Caption(QStringLiteral("Soft Cut-Off:"), SoftCutOff), 1, 6);
    grid->addWidget(SoftCutOff, 1, 7);
    grid->addWidget(new QLabel(QStringLiteral("V")), 1, 8);
    grid->addWidget(CalBatt, 0, 10, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    for (int gap : {2, 5})
        grid->setColumnMinimumWidth(gap, 16);
    grid->setColumnStretch(9, 1);
    return group;
}

QWidget* TBatteryPage::createCurveGroup() {
    GroupBox6 = new QGroupBox(QStringLiteral(" Discharge Curve "), this);
    GroupBox6->setObjectName(QStringLiteral("GroupBox6"));
    auto* column = new QVBoxLayout(GroupBox6);
    ChartV2P = new TChartV2P(GroupBox6);
    BitBtn1 = Button("BitBtn1", QStringLiteral("Load .CSV"));
    BitBtn2 = Button("BitBtn2", QStringLiteral("Save .CSV"));
    BitBtn3 = Button("BitBtn3", QStringLiteral("Defaults"));
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

void TBatteryPage::showSettings() {
    m_binder->refresh();
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
        WHTotal->clear();
        SoftCutOff->clear();
        return;
    }
    ChartV2P->showCurve(*table);
    WHTotal->setText(FormatStored((*table)[V2PEnergyRow][0], 3, 1000));
    SoftCutOff->setText(FormatStored((*table)[V2PEnergyRow][1], 2, 100));
    WHTotal->setModified(false);
    SoftCutOff->setModified(false);
}

void TBatteryPage::ChartV2PMouseUp() {
    const auto curve = ChartV2P->storedCurve();
    std::copy(curve.begin(), curve.end(), Settings.v2p.begin());
}

void TBatteryPage::BitBtn1Click() {
    Guarded(this, [this] {
        const QString name = form()->openCsv(DataPath(QStringLiteral("Profiles/Battery")));
        if (name.isEmpty() || !QFileInfo(name).isFile())
            return;
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            Dialogs::error(this,
                           QStringLiteral("Cannot read %1: %2").arg(name, file.errorString()));
            return;
        }
        const auto table =
            file.size() <= CsvSizeLimit ? ParseBatteryCsv(file.readAll()) : std::nullopt;
        if (!table) {
            Dialogs::error(this, QStringLiteral("Invalid CSV file!"));
            return;
        }
        Settings.v2p = *table;
        showTable();
    });
}

void TBatteryPage::BitBtn2Click() {
    Guarded(this, [this] {
        const QString name = form()->saveCsv(DataPath(QStringLiteral("Profiles/Battery")));
        if (name.isEmpty())
            return;
        QString error;
        if (!WriteFileSafely(name, FormatBatteryCsv(Settings.v2p), &error)) {
            Dialogs::error(this, error);
            return;
        }
        Dialogs::information(this, QStringLiteral("Done"));
    });
}

void TBatteryPage::BitBtn3Click() {
    Settings.v2p = GenericBatteryTable();
    showTable();
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
