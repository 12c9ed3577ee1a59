#include "monitor/ui/monitorform.h"

#include "link/transport.h"
#include "monitor/monitor.h"
#include "monitor/monitorcsv.h"
#include "monitor/ui/monitorchart.h"
#include "monitor/ui/parametersbox.h"
#include "settings/actions.h"
#include "settings/numbers.h"
#include "settings/settings.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/mother.h"
#include "shell/paths.h"
#include "tuner/binding.h"

#include <QApplication>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int FireTimeDecimals = 1;
constexpr double FireTimeMin = 0.1; // seconds
constexpr double FireTimeMax = 60.0;
constexpr int FireTimeScale = 1000; // milliseconds per second
constexpr int KeyPressMs = 100;     // how long Plus and Minus are held

QPushButton* MakeButton(const char* name, const QString& caption, int minWidth, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setMinimumWidth(minWidth);
    return button;
}

} // namespace

int TMonitorForm::FireTime = 1000;
int TMonitorForm::HoverIndex = 0;

TMonitorForm::TMonitorForm(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Monitor"));
    Timer = new TMonitorPoller(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    connect(Timer, &TMonitorPoller::polled, this, &TMonitorForm::UpdateDisplay);

    GroupBox1 = new TParametersBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox2 = new QGroupBox(QStringLiteral(" Live View "), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    Chart = new TMonitorChart(m_history, GroupBox2);
    Chart->setObjectName(QStringLiteral("Chart"));
    Chart->setAccessibleName(QStringLiteral("Live View"));
    Chart->setHoverIndex(HoverIndex);
    connect(Chart, &TMonitorChart::hoverChanged, this, [](int index) { HoverIndex = index; });
    connect(GroupBox1, &TParametersBox::curveToggled, Chart, &TMonitorChart::setCurveShown);
    auto* chartLayout = new QVBoxLayout(GroupBox2);
    chartLayout->setContentsMargins(DPIX(2), DPIX(2), DPIX(2), DPIX(2));
    chartLayout->addWidget(Chart);

    auto* top = new QHBoxLayout;
    top->setSpacing(DPIX(4));
    top->addWidget(GroupBox1);
    top->addWidget(GroupBox2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(DPIX(4), DPIX(4), DPIX(4), DPIX(4));
    layout->addLayout(top, 1);
    layout->addWidget(buildButtons());
}

TMonitorForm::~TMonitorForm() {
    Timer->stop();
    delete Chart; // it draws from m_history, which goes before the children
}

QWidget* TMonitorForm::buildButtons() {
    auto* panel = new QWidget(this);
    Button1 = MakeButton("Button1", QStringLiteral("Start Monitoring"), DPIX(200), panel);
    Button2 = MakeButton("Button2", QStringLiteral("Stop Monitoring"), DPIX(200), panel);
    Button3 = MakeButton("Button3", QStringLiteral("FIRE Test"), DPIX(160), panel);
    Button4 = MakeButton("Button4", QStringLiteral("Minus"), DPIX(160), panel);
    Button5 = MakeButton("Button5", QStringLiteral("Plus"), DPIX(160), panel);
    SaveCsv = MakeButton("SaveCsv", QStringLiteral("Save .CSV"), DPIX(160), panel);
    connect(Button1, &QPushButton::clicked, this, &TMonitorForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TMonitorForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TMonitorForm::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TMonitorForm::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TMonitorForm::Button5Click);
    connect(SaveCsv, &QPushButton::clicked, this, &TMonitorForm::SaveCsvClick);

    auto* caption = new QLabel(QStringLiteral("Fire time:"), panel);
    FireTume = new QLineEdit(FormatStored(FireTime, FireTimeDecimals, FireTimeScale), panel);
    FireTume->setObjectName(QStringLiteral("FireTume"));
    FireTume->setMaxLength(4);
    FireTume->setMaximumWidth(std::max(DPIX(77), FireTume->minimumSizeHint().width()));
    caption->setBuddy(FireTume);
    connect(FireTume, &QLineEdit::editingFinished, this, &TMonitorForm::FireTumeExit);
    auto* fire = new QHBoxLayout;
    fire->setSpacing(DPIX(6));
    fire->addWidget(caption);
    fire->addWidget(FireTume);
    fire->addWidget(new QLabel(QStringLiteral("s"), panel));
    fire->addStretch(1);

    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, DPIX(4), 0, 0);
    grid->setHorizontalSpacing(DPIX(16));
    grid->addWidget(Button1, 0, 0);
    grid->addWidget(Button2, 1, 0);
    grid->addLayout(fire, 0, 1);
    grid->addWidget(Button3, 1, 1);
    grid->addWidget(Button5, 0, 2);
    grid->addWidget(Button4, 1, 2);
    grid->addWidget(SaveCsv, 0, 3);
    grid->setColumnStretch(4, 1);
    return panel;
}

void TMonitorForm::UpdateDisplay(bool ok) {
    const qint64 time = Timer->lastPollTime();
    AddSample(CaptureMonitorSample(MonitorData, Settings, ok,
                                   time > 0 ? time : QDateTime::currentMSecsSinceEpoch()));
}

void TMonitorForm::AddSample(const TMonitorSample& sample) {
    m_history.append(sample);
    GroupBox1->showSample(sample);
    Chart->samplesAdded();
}

void TMonitorForm::Button1Click() {
    Timer->start();
}

void TMonitorForm::Button2Click() {
    Timer->stop();
}

void TMonitorForm::Button3Click() {
    pressKeys(FireTime, 0, 0);
}

void TMonitorForm::Button4Click() {
    pressKeys(0, KeyPressMs, 0);
}

void TMonitorForm::Button5Click() {
    pressKeys(0, 0, KeyPressMs);
}

// The result is not looked at: a key press that does not reach the device shows in the
// values. A transaction that holds the port while it asks the user (its dialog runs this
// handler) would be waited for forever: the press is dropped instead.
void TMonitorForm::pressKeys(qint32 fire, qint32 minus, qint32 plus) {
    Guarded(this, [&] {
        if (PortBusy() == 0)
            PressKeys(fire, minus, plus);
    });
}

void TMonitorForm::FireTumeExit() {
    FireTime = ClampEdit(FireTume, FireTimeDecimals, FireTimeMin, FireTimeMax, FireTimeScale);
}

void TMonitorForm::SaveCsvClick() {
    Guarded(this, [&] {
        const QString name = QDateTime::currentDateTime().toString(
            QStringLiteral("'Monitor_'yyyy-MM-dd_HH-mm-ss'.csv'"));
        const QString file = Dialogs::saveFileName(this, QStringLiteral("Save .CSV"),
                                                   DataPath(name), QStringLiteral("CSV (*.csv)"),
                                                   QString(), nullptr, QStringLiteral("csv"));
        if (file.isEmpty())
            return;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QString error;
        const bool written = WriteMonitorCsv(file, m_history, &error);
        QApplication::restoreOverrideCursor();
        if (!written)
            Dialogs::error(this, error);
    });
}
