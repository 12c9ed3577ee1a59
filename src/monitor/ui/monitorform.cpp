#include "monitor/ui/monitorform.h"

#include "link/transport.h"
#include "monitor/monitor.h"
#include "monitor/monitorcsv.h"
#include "monitor/ui/monitorchart.h"
#include "monitor/ui/monitorpicture.h"
#include "monitor/ui/parametersbox.h"
#include "settings/actions.h"
#include "settings/numbers.h"
#include "settings/settings.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/mother.h"
#include "shell/paths.h"
#include "shell/windowtitle.h"
#include "tuner/binding.h"
#include "tuner/imagecommands.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

constexpr int FireTimeDecimals = 1;
constexpr double FireTimeMin = 0.1; // seconds
constexpr double FireTimeMax = 60.0;
constexpr int FireTimeScale = 1000; // milliseconds per second
constexpr int KeyPressMs = 100;     // how long Plus and Minus are held
constexpr int StatusMs = 8000;

QPushButton* MakeButton(const char* name, const QString& caption, int minWidth, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setMinimumWidth(minWidth);
    return button;
}

} // namespace

// A line of text that shortens itself in the middle (a long path keeps its file name)
// instead of widening the window; the whole text is its tool tip and accessible name.
// Changing it repaints the line alone: it changes after every poll.
class TElidedLabel : public QWidget {
public:
    TElidedLabel(const char* name, Qt::Alignment alignment, QWidget* parent)
        : QWidget(parent), m_alignment(alignment | Qt::AlignVCenter) {
        setObjectName(QLatin1String(name));
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    const QString& text() const { return m_text; }
    void setText(const QString& text) {
        if (text == m_text)
            return;
        m_text = text;
        setToolTip(text);
        setAccessibleName(text);
        update();
    }
    QSize sizeHint() const override { return {0, fontMetrics().height()}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), int(m_alignment),
                         fontMetrics().elidedText(m_text, Qt::ElideMiddle, width()));
    }

private:
    QString m_text;
    Qt::Alignment m_alignment;
};

namespace {

void ShowStatus(const QString& text) {
    if (MotherForm)
        MotherForm->statusBar()->showMessage(text, StatusMs);
}

QString Proposed(const char* extension) {
    return DataPath(
        QDateTime::currentDateTime().toString(QStringLiteral("'Monitor_'yyyy-MM-dd_HH-mm-ss'.'")) +
        QLatin1String(extension));
}

QString Polls(qsizetype n) {
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? QStringLiteral("poll")
                                                     : QStringLiteral("polls"));
}

QString Rows(qsizetype n) {
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? QStringLiteral("row")
                                                     : QStringLiteral("rows"));
}

} // namespace

int TMonitorForm::FireTime = 1000;
int TMonitorForm::HoverIndex = 0;

TMonitorForm::TMonitorForm(QWidget* parent) : QWidget(parent) {
    SetFormTitle(this, QStringLiteral("Monitor"));
    Timer = new TMonitorPoller(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    connect(Timer, &TMonitorPoller::polled, this, &TMonitorForm::UpdateDisplay);
    connect(Timer, &TMonitorPoller::stopped, this, &TMonitorForm::showState);

    GroupBox1 = new TParametersBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox2 = new QGroupBox(QStringLiteral(" Live View "), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    Chart = new TMonitorChart(m_history, GroupBox2);
    Chart->setObjectName(QStringLiteral("Chart"));
    Chart->setAccessibleName(QStringLiteral("Live View"));
    Chart->setHoverIndex(HoverIndex);
    connect(Chart, &TMonitorChart::hoverChanged, this, [](int index) { HoverIndex = index; });
    connect(Chart, &TMonitorChart::viewChanged, this, &TMonitorForm::showRange);
    connect(GroupBox1, &TParametersBox::curveToggled, Chart, &TMonitorChart::setCurveShown);
    auto* chartLayout = new QVBoxLayout(GroupBox2);
    chartLayout->setContentsMargins(DPIX(2), DPIX(2), DPIX(2), DPIX(2));
    chartLayout->setSpacing(DPIX(2));
    chartLayout->addWidget(buildViewBar());
    chartLayout->addWidget(Chart, 1);
    chartLayout->addWidget(buildStateBar());

    auto* top = new QHBoxLayout;
    top->setSpacing(DPIX(4));
    top->addWidget(GroupBox1);
    top->addWidget(GroupBox2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(DPIX(4), DPIX(4), DPIX(4), DPIX(4));
    layout->addLayout(top, 1);
    layout->addWidget(buildButtons());
    showState();
    showRange();
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
    SaveCsv = MakeButton("SaveCsv", QStringLiteral("Save .CSV"), DPIX(120), panel);
    OpenCsv = MakeButton("OpenCsv", QStringLiteral("Open .CSV..."), DPIX(120), panel);
    Record = MakeButton("Record", QStringLiteral("Record..."), DPIX(120), panel);
    SavePicture = MakeButton("SavePicture", QStringLiteral("Save Picture..."), DPIX(120), panel);
    connect(Button1, &QPushButton::clicked, this, &TMonitorForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TMonitorForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TMonitorForm::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TMonitorForm::Button4Click);
    connect(Button5, &QPushButton::clicked, this, &TMonitorForm::Button5Click);
    connect(SaveCsv, &QPushButton::clicked, this, &TMonitorForm::SaveCsvClick);
    connect(OpenCsv, &QPushButton::clicked, this, &TMonitorForm::OpenCsvClick);
    connect(Record, &QPushButton::clicked, this, &TMonitorForm::RecordClick);
    connect(SavePicture, &QPushButton::clicked, this, &TMonitorForm::SavePictureClick);

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
    grid->addWidget(OpenCsv, 1, 3);
    grid->addWidget(Record, 0, 4);
    grid->addWidget(SavePicture, 1, 4);
    grid->setColumnStretch(5, 1);
    return panel;
}

// Over the chart: its zoom ("+", "-", "Fit All", also as keys and with Ctrl+wheel), the
// freeze, and the time range in view.
QWidget* TMonitorForm::buildViewBar() {
    auto* bar = new QWidget(GroupBox2);
    ZoomIn = MakeButton("ZoomIn", QStringLiteral("+"), DPIX(32), bar);
    ZoomOut = MakeButton("ZoomOut", QStringLiteral("-"), DPIX(32), bar);
    FitAll = MakeButton("FitAll", QStringLiteral("Fit All"), DPIX(60), bar);
    Freeze = MakeButton("Freeze", QStringLiteral("Freeze"), DPIX(60), bar);
    ZoomIn->setAccessibleName(QStringLiteral("Zoom In"));
    ZoomOut->setAccessibleName(QStringLiteral("Zoom Out"));
    ZoomIn->setToolTip(QStringLiteral("Zoom in: fewer polls (+ or Ctrl+wheel)"));
    ZoomOut->setToolTip(QStringLiteral("Zoom out: more polls (- or Ctrl+wheel)"));
    FitAll->setToolTip(QStringLiteral("The whole session (0)"));
    Freeze->setToolTip(QStringLiteral("Keep the view still while polling goes on"));
    Freeze->setCheckable(true);
    connect(ZoomIn, &QPushButton::clicked, Chart, &TMonitorChart::zoomIn);
    connect(ZoomOut, &QPushButton::clicked, Chart, &TMonitorChart::zoomOut);
    connect(FitAll, &QPushButton::clicked, Chart, &TMonitorChart::fitAll);
    connect(Freeze, &QPushButton::toggled, Chart, &TMonitorChart::setFrozen);
    const auto key = [this](QKeySequence keys, QPushButton* button) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
    };
    key(QKeySequence(Qt::Key_Plus), ZoomIn);
    key(QKeySequence(Qt::Key_Equal), ZoomIn);
    key(QKeySequence(Qt::Key_Minus), ZoomOut);
    key(QKeySequence(Qt::Key_0), FitAll);
    ViewRange = new TElidedLabel("ViewRange", Qt::AlignRight, bar);

    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(DPIX(4));
    for (QPushButton* button : {ZoomIn, ZoomOut})
        button->setMaximumWidth(std::max(DPIX(40), button->minimumSizeHint().width()));
    for (QPushButton* button : {ZoomIn, ZoomOut, FitAll, Freeze})
        row->addWidget(button);
    row->addSpacing(DPIX(8));
    row->addWidget(ViewRange, 1);
    return bar;
}

// Under the chart: whether the device is polled and how often, and the recording.
QWidget* TMonitorForm::buildStateBar() {
    auto* bar = new QWidget(GroupBox2);
    MonitorState = new TElidedLabel("MonitorState", Qt::AlignLeft, bar);
    RecordState = new TElidedLabel("RecordState", Qt::AlignRight, bar);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(DPIX(8));
    row->addWidget(MonitorState, 1);
    row->addWidget(RecordState, 2);
    return bar;
}

void TMonitorForm::UpdateDisplay(bool ok) {
    const qint64 time = Timer->lastPollTime();
    AddSample(CaptureMonitorSample(MonitorData, Settings, ok,
                                   time > 0 ? time : QDateTime::currentMSecsSinceEpoch()));
    showState();
}

void TMonitorForm::AddSample(const TMonitorSample& sample) {
    const bool kept = m_keptRows == m_history.size();
    m_history.append(sample);
    GroupBox1->showSample(sample);
    record(sample);
    if (kept && m_recorder.active())
        m_keptRows = m_history.size();
    Chart->samplesAdded();
}

// A row that can't be written ends the recording; monitoring goes on.
void TMonitorForm::record(const TMonitorSample& sample) {
    if (!m_recorder.active())
        return;
    if (!m_recorder.Append(sample)) {
        m_recordFailure = m_recorder.Error();
        ShowStatus(QStringLiteral("Recording stopped: %1").arg(m_recordFailure));
    }
    showRecording();
}

// A new live session when the window shows an opened file (which keeps its polls).
void TMonitorForm::Button1Click() {
    if (!m_openedFile.isEmpty())
        newLiveSession();
    ReconnectForCommand();
    Timer->start();
    showState();
}

void TMonitorForm::Button2Click() {
    Timer->stop();
    showState();
}

// The firing's first poll comes at once, the ones after it follow each other closely.
void TMonitorForm::Button3Click() {
    pressKeys(FireTime, 0, 0);
    Timer->pollSoon();
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
        ReconnectForCommand();
        if (PortBusy() == 0)
            PressKeys(fire, minus, plus);
    });
}

void TMonitorForm::FireTumeExit() {
    FireTime = ClampEdit(FireTume, FireTimeDecimals, FireTimeMin, FireTimeMax, FireTimeScale);
}

void TMonitorForm::SaveCsvClick() {
    Guarded(this, [&] { saveCsv(); });
}

bool TMonitorForm::saveCsv() {
    const QString file = Dialogs::saveFileName(this, QStringLiteral("Save .CSV"), Proposed("csv"),
                                               QStringLiteral("CSV (*.csv)"), QString(), nullptr,
                                               QStringLiteral("csv"));
    if (file.isEmpty())
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool written = WriteMonitorCsv(file, m_history, &error);
    QApplication::restoreOverrideCursor();
    if (!written) {
        Dialogs::error(this, error);
        return false;
    }
    m_keptRows = std::max(m_keptRows, m_history.size());
    Dialogs::information(this, QStringLiteral("Done"));
    return true;
}

// A multi-hour session must not vanish on a stray click.
void TMonitorForm::closeEvent(QCloseEvent* event) {
    const qsizetype polls = unsavedPolls();
    if (polls > 0 && CloseQuestions != TCloseQuestions::None) {
        const QString since = QLocale().toString(
            QDateTime::fromMSecsSinceEpoch(m_history.at(m_keptRows).time), QLocale::ShortFormat);
        const QStringList buttons = {QStringLiteral("Save .CSV..."), QStringLiteral("Discard"),
                                     QStringLiteral("Cancel")};
        const int answer = Dialogs::choose(
            this, QMessageBox::Warning, QStringLiteral("Unsaved Session"),
            QStringLiteral("Closing the Monitor would lose %1 of the session since %2 that no "
                           "file holds.")
                .arg(Polls(polls), since),
            buttons, 2, 2);
        bool close = answer == 1;
        if (answer == 0)
            Guarded(this, [&] { close = saveCsv(); });
        if (!close) {
            event->ignore();
            return;
        }
    }
    Timer->stop();
    QWidget::closeEvent(event);
}

// A recorded or saved session in place of the one shown; monitoring and recording end.
// Polls that are in no file are only given up when the user says so.
void TMonitorForm::OpenCsvClick() {
    Guarded(this, [&] {
        if (hasUnsavedPolls() &&
            !Dialogs::question(this, QStringLiteral("The session's %1 are not saved. Open a file "
                                                    "in its place?")
                                         .arg(Polls(m_history.size() - m_keptRows))))
            return;
        const QString file = Dialogs::openFileName(
            this, QStringLiteral("Open .CSV"), DataPath(QString()), QStringLiteral("CSV (*.csv)"));
        if (!file.isEmpty())
            openFile(file);
    });
}

void TMonitorForm::openFile(const QString& file) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TMonitorHistory loaded;
    QString error;
    const bool read = LoadMonitorCsv(file, loaded, &error);
    QApplication::restoreOverrideCursor();
    if (!read)
        return Dialogs::error(this, QStringLiteral("Invalid CSV file!\n\n%1").arg(error));
    Timer->stop();
    stopRecording();
    m_history = std::move(loaded);
    m_keptRows = m_history.size();
    m_openedFile = file;
    SetFormTitle(this, QStringLiteral("Monitor - %1").arg(QFileInfo(file).fileName()));
    GroupBox1->showSample(m_history.isEmpty() ? TMonitorSample()
                                              : m_history.at(m_history.size() - 1));
    Chart->setEmptyText(QStringLiteral("%1 holds no polls").arg(QFileInfo(file).fileName()));
    Chart->historyReset();
    showState();
}

void TMonitorForm::newLiveSession() {
    m_history.clear();
    m_keptRows = 0;
    m_openedFile.clear();
    SetFormTitle(this, QStringLiteral("Monitor"));
    GroupBox1->showSample(TMonitorSample());
    Chart->setEmptyText(QStringLiteral("Start Monitoring to see live values"));
    Chart->historyReset();
}

// A new file gets every poll from now on. An existing one is started anew only when the
// user says so; the old one stays whole until the new one has its header.
void TMonitorForm::RecordClick() {
    Guarded(this, [&] {
        if (m_recorder.active())
            return stopRecording();
        const QString file = Dialogs::saveFileName(this, QStringLiteral("Record"), Proposed("csv"),
                                                   QStringLiteral("CSV (*.csv)"), QString(),
                                                   nullptr, QStringLiteral("csv"), false);
        if (file.isEmpty())
            return;
        const bool exists = QFileInfo::exists(file);
        if (exists && !Dialogs::question(this, QStringLiteral("%1 exists. Record into it anew? "
                                                              "What it holds now is lost.")
                                                   .arg(QDir::toNativeSeparators(file))))
            return;
        startRecording(file, exists);
    });
}

void TMonitorForm::startRecording(const QString& file, bool replace) {
    m_recordFailure.clear();
    if (!m_recorder.Start(file, replace)) {
        Dialogs::error(this, m_recorder.Error());
        return showRecording();
    }
    Record->setText(QStringLiteral("Stop Recording"));
    showRecording();
}

void TMonitorForm::stopRecording() {
    m_recorder.Stop();
    showRecording();
}

void TMonitorForm::SavePictureClick() {
    Guarded(this, [&] {
        QString filter;
        const QString file = Dialogs::saveFileName(this, QStringLiteral("Save Picture"),
                                                   Proposed("png"), MonitorPictureFilters(),
                                                   QString(), &filter, QStringLiteral("png"));
        if (file.isEmpty())
            return;
        QString error;
        const QString range =
            MonitorRangeText(m_history, Chart->firstInView(), Chart->lastInView());
        if (!SaveMonitorPicture(file, *Chart, range, Chart->devicePixelRatioF(), &error))
            return Dialogs::error(this, error);
        Dialogs::information(this, QStringLiteral("Done"));
    });
}

// Which of Start and Stop applies, and what the window shows: live polls and how often
// they come, or an opened file.
void TMonitorForm::showState() {
    const bool active = Timer->active();
    Button1->setEnabled(!active);
    Button2->setEnabled(active);
    QString text;
    if (active && Timer->pollPeriod() > 0)
        text = QStringLiteral("Monitoring: a poll every %1 s")
                   .arg(FormatFixed(Timer->pollPeriod() / 1000.0, 2));
    else if (active)
        text = QStringLiteral("Monitoring");
    else if (!m_openedFile.isEmpty())
        text = QStringLiteral("Opened %1: %2")
                   .arg(QDir::toNativeSeparators(m_openedFile), Polls(m_history.size()));
    else
        text = QStringLiteral("Not monitoring");
    MonitorState->setText(text);
}

void TMonitorForm::showRecording() {
    const QString file = QDir::toNativeSeparators(m_recorder.path());
    QString text;
    if (m_recorder.active())
        text = QStringLiteral("Recording to %1: %2").arg(file, Rows(m_recorder.rows()));
    else if (!m_recordFailure.isEmpty())
        text = QStringLiteral("Recording stopped, %1 kept: %2")
                   .arg(Rows(m_recorder.rows()), m_recordFailure);
    else if (!file.isEmpty())
        text = QStringLiteral("Recorded %1 to %2").arg(Rows(m_recorder.rows()), file);
    RecordState->setText(text);
    Record->setText(m_recorder.active() ? QStringLiteral("Stop Recording")
                                        : QStringLiteral("Record..."));
}

QString TMonitorForm::stateText() const {
    return MonitorState->text();
}

QString TMonitorForm::recordingText() const {
    return RecordState->text();
}

QString TMonitorForm::rangeText() const {
    return ViewRange->text();
}

void TMonitorForm::showRange() {
    ViewRange->setText(MonitorRangeText(m_history, Chart->firstInView(), Chart->lastInView()));
}
