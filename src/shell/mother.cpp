#include "shell/mother.h"

#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "link/devicetext.h"
#include "link/transport.h"
#include "settings/XMLSettings.h"
#include "settings/history.h"
#include "settings/models.h"
#include "settings/recovery.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "shell/about.h"
#include "shell/application.h"
#include "shell/artwork.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "shell/progressbar.h"
#include "shell/recentfiles.h"
#include "tuner/imagecommands.h"

#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

TMotherForm* MotherForm = nullptr;

namespace {

constexpr int kLogoSize = 200;

QPushButton* makeButton(const QString& name, const QString& text, const QString& hint,
                        QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setFixedSize(160, 25);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    return button;
}

} // namespace

int DPIX(int i) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int dpi = screen ? qRound(screen->logicalDotsPerInchX()) : 96;
    return i * dpi / 96;
}

TMotherForm::TMotherForm(const TMotherOptions& options, QWidget* parent)
    : QMainWindow(parent), m_options(options) {
    MotherForm = this;
    setObjectName(QStringLiteral("MotherForm"));
    setWindowTitle(QStringLiteral("ZRK Tuner"));
    setWindowIcon(AppIcon());
    setFont(QFont(QStringLiteral("Tahoma"), 9));
    ComPort = new TComPort(this);
    ComPort->setObjectName(QStringLiteral("ComPort"));
    ComPort->CloseOnError = true; // a port error closes it: reopened at the next command
    ::ComPort = ComPort;
    createMenus();
    createToolBar();
    createWorkspace();
    createStatusBar();
    AboutForm = new TAboutForm(this);

    // The designed size, but never more than the screen offers (a small screen at 200 %).
    const int client = 720 + menuBar()->sizeHint().height();
    QSize size(1016, client);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
    setMinimumSize(size);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    ComPort->OnDeviceArrival = [this](TComPort* sender, const QString& name) {
        guarded([&] { ComPortDeviceArrival(sender, name); });
    };
    ComPort->OnDeviceRemoved = [this](TComPort* sender, const QString& name) {
        guarded([&] { ComPortDeviceRemoved(sender, name); });
    };
    THotPlug::Options hotplug;
    hotplug.source = options.hotplug;
    hotplug.sysRoot = options.sysRoot;
    hotplug.devRoot = options.devRoot;
    hotplug.pollMs = options.pollMs;
    m_hotplug = new THotPlug(ComPort, hotplug, this);
    FormCreate();
}

TMotherForm::~TMotherForm() {
    delete m_hotplug;
    m_hotplug = nullptr;
    const auto children = MdiArea->subWindowList();
    for (QMdiSubWindow* sub : children)
        delete sub;
    FormDestroy();
    ComPort->OnDeviceArrival = nullptr;
    ComPort->OnDeviceRemoved = nullptr;
    try {
        ComPort->setActive(false);
    } catch (const EComError&) {
    }
    m_demo.reset();
    if (::ComPort == ComPort)
        ::ComPort = nullptr;
    if (MotherForm == this)
        MotherForm = nullptr;
}

// ---- building the window ----------------------------------------------------------------

void TMotherForm::createToolBar() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(39);
    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(8, 7, 8, 7);
    row->setSpacing(6);
    BitBtn1 = makeButton(QStringLiteral("BitBtn1"), QStringLiteral("Tuner"),
                         QStringLiteral("Edit the device settings"), Panel1);
    BitBtn2 = makeButton(QStringLiteral("BitBtn2"), QStringLiteral("Monitor"),
                         QStringLiteral("Watch live measurements"), Panel1);
    BitBtn3 = makeButton(QStringLiteral("BitBtn3"), QStringLiteral("Updater"),
                         QStringLiteral("Update the firmware"), Panel1);
    BitBtn4 = makeButton(QStringLiteral("BitBtn4"), QStringLiteral("Terminal"),
                         QStringLiteral("Send raw commands to the device"), Panel1);
    for (QPushButton* button : {BitBtn1, BitBtn2, BitBtn3, BitBtn4})
        row->addWidget(button);
    row->addStretch(1);
    Label1 = new QLabel(QStringLiteral("COM-Port:"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    ComPorts = new QComboBox(Panel1);
    ComPorts->setObjectName(QStringLiteral("ComPorts"));
    Label1->setBuddy(ComPorts); // names the box for assistive technology
    ComPorts->setEditable(true);
    ComPorts->setInsertPolicy(QComboBox::NoInsert);
    ComPorts->setCompleter(nullptr); // typing takes effect at the next arrival, not at once
    ComPorts->setFixedWidth(120);
    const QString hint = QStringLiteral("Serial port of the device: Auto finds it, Demo is "
                                        "the built-in virtual device");
    ComPorts->setToolTip(hint);
    ComPorts->setStatusTip(hint);
    row->addWidget(Label1);
    row->addWidget(ComPorts);
    connect(BitBtn1, &QPushButton::clicked, this, &TMotherForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TMotherForm::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TMotherForm::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TMotherForm::BitBtn4Click);
    connect(ComPorts, &QComboBox::activated, this, &TMotherForm::ComPortsSelect);
}

// The box's text, unless that is empty or "Demo" (which lasts for the session only): then
// the last real choice, loaded or picked.
QString TMotherForm::savedChoice() const {
    const QString text = ComPorts->currentText().trimmed();
    if (text.isEmpty() || text.compare(DemoChoice(), Qt::CaseInsensitive) == 0)
        return m_lastRealChoice;
    return text;
}

void TMotherForm::createWorkspace() {
    MdiArea = new QMdiArea(this);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    Logo = new QLabel(MdiArea->viewport());
    Logo->setObjectName(QStringLiteral("Logo"));
    Logo->setPixmap(ProductPicture(kLogoSize));
    Logo->setFixedSize(kLogoSize, kLogoSize);
    Logo->lower();
    MdiArea->viewport()->installEventFilter(this);

    // The first start without a device says above the workspace what it opened.
    FirstStartNote = new QLabel(FirstStartNoteText(), this);
    FirstStartNote->setObjectName(QStringLiteral("FirstStartNote"));
    FirstStartNote->setWordWrap(true);
    FirstStartNote->setContentsMargins(8, 4, 8, 4);
    FirstStartNote->setAutoFillBackground(true);
    FirstStartNote->setBackgroundRole(QPalette::ToolTipBase);
    FirstStartNote->setForegroundRole(QPalette::ToolTipText);
    FirstStartNote->setVisible(false);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(Panel1);
    column->addWidget(FirstStartNote);
    column->addWidget(MdiArea, 1);
    setCentralWidget(central);
}

void TMotherForm::createStatusBar() {
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setFixedHeight(21);
    StatusBar->setSizeGripEnabled(false);
    ProgressBar = new TSegmentedProgressBar(StatusBar);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setFixedSize(200, 17);
    Connection = new QLabel(StatusBar);
    Connection->setObjectName(QStringLiteral("Connection"));
    StatusBar->addPermanentWidget(Connection);
    StatusBar->addPermanentWidget(ProgressBar);
    setStatusBar(StatusBar);
    // Transactions that close the port (soft reset, calibration, the updater) don't tell
    // the main window, so the state is looked at twice a second.
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { guarded([this] { watchConnection(); }); });
    timer->start(500);
    connect(&::ProgressBar(), &TProgress::changed, this, &TMotherForm::showConnection);
}

QString TMotherForm::connectionText() const {
    if (demoActive()) {
        const QString model = m_demo ? ModelName(m_demo->modelId()) : QString();
        return QStringLiteral("Demo: the built-in virtual device (%1), no real device needed")
            .arg(model);
    }
    if (!ComPort->Active() && !ComPort->LostReason().isEmpty())
        return QStringLiteral("Device lost: %1").arg(ComPort->LostReason());
    if (!ComPort->Active())
        return QStringLiteral("No device");
    QString text = QStringLiteral("Connected: %1").arg(ComPort->DeviceName());
    if (ModelSelections() != m_selectionsAtOpen && ModInfo.ID > 0) // read since the opening
        text += QStringLiteral(" (%1)").arg(ModInfo.name);
    return text;
}

void TMotherForm::showConnection() {
    const QString text = connectionText();
    if (Connection->text() != text) {
        Connection->setText(text);
        Connection->setToolTip(text);
    }
}

void TMotherForm::createFileMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    MenuNewSettings =
        file->addAction(style()->standardIcon(QStyle::SP_FileIcon), QStringLiteral("New Settings"));
    file->addSeparator();
    MenuLoadSsettings = file->addAction(style()->standardIcon(QStyle::SP_DialogOpenButton),
                                        QStringLiteral("&Load Settings"));
    MenuSaveSettings = file->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                       QStringLiteral("&Save Settings"));
    MenuSaveSettings->setEnabled(false); // the Tuner enables it once it shows settings
    MenuRecentFiles = file->addMenu(QStringLiteral("&Recent Files"));
    MenuRecentFiles->setObjectName(QStringLiteral("MenuRecentFiles"));
    file->addSeparator();
    MenuExit = file->addAction(QStringLiteral("E&xit"));
    MenuNewSettings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    MenuLoadSsettings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    MenuSaveSettings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    MenuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(MenuNewSettings, &QAction::triggered, this, &TMotherForm::MenuNewSettingsClick);
    connect(MenuLoadSsettings, &QAction::triggered, this, &TMotherForm::MenuLoadSsettingsClick);
    connect(MenuSaveSettings, &QAction::triggered, this, &TMotherForm::MenuSaveSettingsClick);
    connect(MenuExit, &QAction::triggered, this, &QWidget::close);
    connect(MenuRecentFiles, &QMenu::aboutToShow, this, [this] {
        const QStringList gone = TRecentFiles::instance().dropMissing();
        if (!gone.isEmpty())
            ShowNote(QStringLiteral("No longer found, removed from Recent Files: %1")
                         .arg(QDir::toNativeSeparators(gone.join(QStringLiteral(", ")))));
    });
    connect(&TRecentFiles::instance(), &TRecentFiles::changed, this, &TMotherForm::fillRecentFiles);
    fillRecentFiles();
}

void TMotherForm::fillRecentFiles() {
    MenuRecentFiles->clear();
    const QStringList files = TRecentFiles::instance().files();
    for (int i = 0; i < files.size(); ++i) {
        const QString file = files.at(i);
        QAction* entry = MenuRecentFiles->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(file).fileName()));
        entry->setObjectName(QStringLiteral("RecentFile%1").arg(i + 1));
        entry->setToolTip(QDir::toNativeSeparators(file));
        entry->setStatusTip(QDir::toNativeSeparators(file));
        connect(entry, &QAction::triggered, this, [this, file] { openRecentFile(file); });
    }
    if (files.isEmpty())
        MenuRecentFiles->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

// The history's undo and redo; Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y reach them from every
// working window.
void TMotherForm::createEditMenu() {
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("MenuEdit"));
    MenuUndo = NewUndoAction(this, true);
    MenuRedo = NewRedoAction(this, true);
    edit->addAction(MenuUndo);
    edit->addAction(MenuRedo);
}

// Options > Device text encoding: how names and the terminal's lines travel to the device.
void TMotherForm::createOptionsMenu() {
    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    QMenu* encoding = options->addMenu(QStringLiteral("Device text encoding"));
    auto* group = new QActionGroup(this);
    MenuEncodingWestern = encoding->addAction(DeviceEncodingTitle(TDeviceEncoding::Western));
    MenuEncodingCyrillic = encoding->addAction(DeviceEncodingTitle(TDeviceEncoding::Cyrillic));
    for (QAction* action : {MenuEncodingWestern, MenuEncodingCyrillic}) {
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, this, &TMotherForm::MenuEncodingClick);
    }
    MenuEncodingWestern->setChecked(true);
}

void TMotherForm::MenuEncodingClick() {
    SetDeviceEncoding(MenuEncodingCyrillic->isChecked() ? TDeviceEncoding::Cyrillic
                                                        : TDeviceEncoding::Western);
    guarded([this] { saveINI(); }); // the command line reads the same setting
}

void TMotherForm::createMenus() {
    createFileMenu();
    createEditMenu();
    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    MenuCascade = window->addAction(QStringLiteral("Cascade"));
    MenuVertical = window->addAction(QStringLiteral("Vertical"));
    MenuHorizontal = window->addAction(QStringLiteral("Horizontal"));
    createOptionsMenu();
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    ManualRus = help->addAction(QStringLiteral("Russian Manual"));
    ManualEn = help->addAction(QStringLiteral("English Manual"));
    help->addSeparator();
    MenuConnectionCheck = help->addAction(QStringLiteral("Connection Check..."));
    help->addSeparator();
    MenuAbout = help->addAction(QStringLiteral("A&bout"));
    connect(MenuCascade, &QAction::triggered, this, &TMotherForm::MenuCascadeClick);
    connect(MenuVertical, &QAction::triggered, this, &TMotherForm::MenuVerticalClick);
    connect(MenuHorizontal, &QAction::triggered, this, &TMotherForm::MenuHorizontalClick);
    connect(ManualRus, &QAction::triggered, this, &TMotherForm::ManualRusClick);
    connect(ManualEn, &QAction::triggered, this, &TMotherForm::ManualEnClick);
    connect(MenuAbout, &QAction::triggered, this, &TMotherForm::MenuAboutClick);
    connect(MenuConnectionCheck, &QAction::triggered, this, &TMotherForm::MenuConnectionCheckClick);
    // F1: the manual in the user's language.
    (QLocale().language() == QLocale::Russian ? ManualRus : ManualEn)
        ->setShortcut(QKeySequence(Qt::Key_F1));
    const struct {
        QAction* action;
        const char* name;
    } names[] = {{MenuNewSettings, "MenuNewSettings"},
                 {MenuLoadSsettings, "MenuLoadSsettings"},
                 {MenuSaveSettings, "MenuSaveSettings"},
                 {MenuExit, "MenuExit"},
                 {MenuCascade, "MenuCascade"},
                 {MenuVertical, "MenuVertical"},
                 {MenuHorizontal, "MenuHorizontal"},
                 {ManualRus, "ManualRus"},
                 {ManualEn, "ManualEn"},
                 {MenuAbout, "MenuAbout"},
                 {MenuConnectionCheck, "MenuConnectionCheck"},
                 {MenuEncodingWestern, "MenuEncodingWestern"},
                 {MenuEncodingCyrillic, "MenuEncodingCyrillic"}};
    for (const auto& entry : names)
        entry.action->setObjectName(QLatin1String(entry.name));
}

bool TMotherForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MdiArea->viewport() && event->type() == QEvent::Resize)
        placeLogo();
    return QMainWindow::eventFilter(watched, event);
}

void TMotherForm::placeLogo() {
    Logo->move(MdiArea->viewport()->width() - kLogoSize, 0);
    Logo->lower();
}

// ---- start-up and shutdown --------------------------------------------------------------

void TMotherForm::FormCreate() {
    CreateWorkingFolders();
    loadEncoding(); // before default.xml, whose names are judged by it
    runStep([this] {
        Dialogs::warnings(this, LoadSettingsFile(DefaultSettingsFile()));
        SaveSettingsFile(DefaultSettingsFile());
    });
    ImageHistory().reset(TImageOrigin{TImageSource::New, {}});
    runStep([this] { loadINI(); });
    runStep([this] { OpenPort(TOpenReason::Start); });
    runStep([this] { setWindowTitle(QStringLiteral("DEVedazi v%1").arg(AppVersion())); });
    ProgressBar->follow(::ProgressBar());
    ProfileClipboard.flags = -1;
    ProfileClipboardFilled = false;
    runStep([this] { offerRecovery(); });
    m_recoveryTimer = new QTimer(this);
    m_recoveryTimer->setSingleShot(true);
    m_recoveryTimer->setInterval(1000);
    connect(m_recoveryTimer, &QTimer::timeout, this,
            [this] { guarded([this] { keepRecovery(); }); });
    const auto soon = [this] {
        if (!m_recoveryTimer->isActive())
            m_recoveryTimer->start();
    };
    connect(&ImageHistory(), &TImageHistory::imageChanged, this, soon);
    connect(&ImageHistory(), &TImageHistory::baselineChanged, this, soon);
}

void TMotherForm::FormDestroy() {
    guarded([this] { saveINI(); });
}

QString TMotherForm::RecoveryFolder() {
    return DataPath(QStringLiteral("Recovery"));
}

// The changed image on disk, written safely; none while nothing is changed.
void TMotherForm::keepRecovery() {
    const TImageHistory& history = ImageHistory();
    if (!history.hasChanges()) {
        RemoveRecovery(RecoveryFolder());
        return;
    }
    QString error;
    if (!WriteRecovery(RecoveryFolder(), Settings, history.baseline(), history.origin(),
                       history.lastChangeTime(), &error))
        ShowNote(error);
}

// A session that ended without asking left its changes: offered once. Restored, the file
// stays the image's until the next change rewrites it; declined, it goes.
void TMotherForm::offerRecovery() {
    const auto kept = ReadRecovery(RecoveryFolder());
    if (!kept)
        return;
    const int count = int(UnsavedChanges(kept->baseline, kept->image).size());
    if (count == 0) {
        RemoveRecovery(RecoveryFolder());
        return;
    }
    const QString text = QStringLiteral("Restore %1 from %2?")
                             .arg(count == 1 ? QStringLiteral("1 unsaved change")
                                             : QStringLiteral("%1 unsaved changes").arg(count),
                                  QLocale().toString(kept->time, QLocale::ShortFormat));
    const int answer =
        Dialogs::choose(this, QMessageBox::Question, QStringLiteral("Unsaved Changes"), text,
                        {QStringLiteral("Restore"), QStringLiteral("Discard")}, 0, 0);
    if (answer != 0) {
        RemoveRecovery(RecoveryFolder());
        return;
    }
    ImageHistory().replace(QStringLiteral("Restore Unsaved Changes"), kept->image, kept->baseline,
                           kept->origin);
    showTuner();
}

void TMotherForm::endBySignal() {
    m_endingBySignal = true;
    guarded([this] { keepRecovery(); });
    if (!close())
        m_endingBySignal = false; // a window refused (a firmware update runs)
}

// A start-up step: its failure is shown and the next step runs.
void TMotherForm::runStep(const std::function<void()>& step) {
    guarded(step);
}

void TMotherForm::guarded(const std::function<void()>& action) {
    Guarded(this, action);
}

// The device text encoding, read on its own (a file that can't be read is reported by loadINI).
void TMotherForm::loadEncoding() {
    TDeviceEncoding encoding = TDeviceEncoding::Western;
    if (QFileInfo::exists(AppSettingsFile())) {
        try {
            TXMLSettings ini(AppSettingsFile());
            ini.Discard();
            encoding = DeviceEncodingFromKey(ini.ReadString(
                QStringLiteral("General"), DeviceEncodingSettingKey(), QStringLiteral("Latin-1")));
        } catch (const std::exception&) {
        }
    }
    SetDeviceEncoding(encoding);
    (encoding == TDeviceEncoding::Cyrillic ? MenuEncodingCyrillic : MenuEncodingWestern)
        ->setChecked(true);
}

// A settings file that can't be read is reported with its place; the port choice falls
// back to "Auto" and the file is written anew at exit.
void TMotherForm::loadINI() {
    ComPorts->setEditText(AutoChoice());
    m_lastRealChoice = AutoChoice();
    m_firstStart = !QFileInfo::exists(AppSettingsFile());
    try {
        TXMLSettings ini(AppSettingsFile());
        const QString choice =
            ini.ReadString(QStringLiteral("General"), QStringLiteral("ComPort"), AutoChoice());
        // "Demo" is never kept (an older file may hold it): the device's port is looked for.
        if (!choice.trimmed().isEmpty() &&
            choice.trimmed().compare(DemoChoice(), Qt::CaseInsensitive) != 0) {
            ComPorts->setEditText(choice);
            m_lastRealChoice = choice.trimmed();
        }
        TRecentFiles::instance().load(ini);
        ini.Close();
        const QStringList gone = TRecentFiles::instance().dropMissing();
        if (!gone.isEmpty())
            ShowNote(QStringLiteral("No longer found, removed from Recent Files: %1")
                         .arg(QDir::toNativeSeparators(gone.join(QStringLiteral(", ")))));
    } catch (const std::exception& e) {
        Dialogs::error(this, QStringLiteral("Cannot read the application settings %1:\n%2\n"
                                            "The port choice is \"Auto\"; the file is written "
                                            "anew when the program ends.")
                                 .arg(QDir::toNativeSeparators(AppSettingsFile()),
                                      QString::fromUtf8(e.what())));
    }
}

void TMotherForm::saveINI() {
    const QString file = AppSettingsFile();
    std::unique_ptr<TXMLSettings> ini;
    try {
        ini = std::make_unique<TXMLSettings>(file);
    } catch (const EXMLSettingsError&) {
        // A file that can be read but isn't good XML was reported at start: its text is kept
        // beside the new one. One that can't be read at all is left alone (and reported).
        if (!QFileInfo(file).isReadable())
            throw;
        QFile::remove(file + QLatin1String(".bad"));
        QFile::rename(file, file + QLatin1String(".bad"));
        ini = std::make_unique<TXMLSettings>(file);
    }
    ini->WriteString(QStringLiteral("General"), QStringLiteral("ComPort"), savedChoice());
    ini->WriteString(QStringLiteral("General"), DeviceEncodingSettingKey(),
                     DeviceEncodingKey(DeviceEncoding()));
    TRecentFiles::instance().save(*ini);
    ini->Close();
}

void TMotherForm::restoreWindow() {
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}
