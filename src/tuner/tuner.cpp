#include "tuner/tuner.h"

#include "settings/actions.h"
#include "settings/history.h"
#include "settings/models.h"
#include "settings/safefile.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/mother.h"
#include "shell/paths.h"
#include "shell/windowtitle.h"
#include "tuner/batterypage.h"
#include "tuner/binding.h"
#include "tuner/buttonspage.h"
#include "tuner/changemarks.h"
#include "tuner/comparedialog.h"
#include "tuner/imagecommands.h"
#include "tuner/modpage.h"
#include "tuner/pagekit.h"
#include "tuner/profilespage.h"
#include "tuner/screenpage.h"
#include "tuner/themepage.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const QString kCsvFilter = QStringLiteral("All (*);;CSV File (*.csv)");
const QString kCsvChoice = QStringLiteral("CSV File (*.csv)");
constexpr qint64 kCsvSizeLimit = 1 << 20; // a curve file is a few hundred bytes

constexpr int kCommandWidth = 160; // the command buttons' least width

QList<TTunerForm*>& OpenForms() {
    static QList<TTunerForm*> forms;
    return forms;
}

// A tab's mark: the dot, a tool tip with the count, and its name for assistive technology.
void MarkTab(QTabBar* bar, int index, const QString& caption, int count) {
    bar->setTabIcon(index, count > 0 ? ChangeMarkIcon() : QIcon());
    bar->setTabToolTip(index, count > 0 ? ChangeCountText(count) : QString());
    bar->setAccessibleTabName(
        index, count > 0 ? QStringLiteral("%1, changed (%2)").arg(caption, ChangeCountText(count))
                         : caption);
}

} // namespace

void ReportFailure(QWidget* parent) {
    if (const auto version = TakeFirmwareRefusal())
        Dialogs::error(parent, FirmwareRefusalText(*version));
    const QString lost = LostDeviceText(); // a port error closed the port on the way
    Dialogs::information(parent, lost.isEmpty() ? QStringLiteral("Error")
                                                : QStringLiteral("Error\n\n") + lost);
}

TTunerForm::TTunerForm(QWidget* parent) : QWidget(parent) {
    SetFormTitle(this, QStringLiteral("Tuner"));
    OpenForms().append(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    createTopStrip();
    createStartPanel();
    createPages();
    createActions();
    layout->addWidget(TopStrip);
    layout->addWidget(StartPanel, 1);
    layout->addWidget(PageControl, 1);
    connect(&ImageHistory(), &TImageHistory::imageChanged, this, &TTunerForm::imageChanged);
    connect(&ImageHistory(), &TImageHistory::baselineChanged, this, [this] {
        if (m_shown)
            showMarks();
    });
}

// The field watches go first: a field losing the focus while the window is taken apart must
// not commit from a half-destroyed control.
TTunerForm::~TTunerForm() {
    OpenForms().removeAll(this);
    qDeleteAll(findChildren<TFieldWatch*>());
}

QList<TTunerForm*> TTunerForm::forms() {
    return OpenForms();
}

// Undo and redo in the window's context menu. Inside the main window its Edit menu holds the
// keys (a second owner of the same keys would make them ambiguous); on its own the window
// takes them.
void TTunerForm::createActions() {
    const bool keys = MotherForm == nullptr;
    UndoAction = NewUndoAction(this, keys);
    RedoAction = NewRedoAction(this, keys);
    for (QAction* action : {UndoAction, RedoAction}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
    }
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TTunerForm::createTopStrip() {
    TopStrip = new QWidget(this);
    auto* strip = new QHBoxLayout(TopStrip);
    strip->setContentsMargins(0, 0, 0, 0);
    DownloadSettings = NewButton("DownloadSettings", "Download Settings", kCommandWidth, TopStrip);
    UploadSettings = NewButton("UploadSettings", "Upload Settings", kCommandWidth, TopStrip);
    SoftReset = NewButton("SoftReset", "Soft Reset Mod", kCommandWidth, TopStrip);
    RstSettings = NewButton("RstSettings", "Reset Settings", kCommandWidth, TopStrip);
    CompareWithDevice =
        NewButton("CompareWithDevice", "Compare with Device", kCommandWidth, TopStrip);
    CompareWithDevice->setEnabled(false);
    SetRedCaption(RstSettings);
    UploadSettings->setEnabled(false);
    strip->addWidget(DownloadSettings);
    strip->addWidget(UploadSettings);
    strip->addWidget(CompareWithDevice);
    strip->addStretch(1);
    strip->addWidget(SoftReset);
    strip->addWidget(RstSettings);
    connect(DownloadSettings, &QPushButton::clicked, this, &TTunerForm::DownloadSettingsClick);
    connect(UploadSettings, &QPushButton::clicked, this, &TTunerForm::UploadSettingsClick);
    connect(CompareWithDevice, &QPushButton::clicked, this, &TTunerForm::CompareWithDeviceClick);
    connect(SoftReset, &QPushButton::clicked, this, &TTunerForm::SoftResetClick);
    connect(RstSettings, &QPushButton::clicked, this, &TTunerForm::RstSettingsClick);
}

void TTunerForm::createStartPanel() {
    StartPanel = new QWidget(this);
    auto* column = new QVBoxLayout(StartPanel);
    column->setContentsMargins(0, 0, 0, 0);
    NewSettings = NewButton("NewSettings", "New Settings", kCommandWidth, StartPanel);
    LoadSettings = NewButton("LoadSettings", "Load Settings", kCommandWidth, StartPanel);
    auto row = [&](QPushButton* button) {
        auto* line = new QHBoxLayout();
        line->addWidget(button);
        line->addStretch(1);
        column->addLayout(line);
        return line;
    };
    row(NewSettings);
    row(LoadSettings);
    column->addStretch(1);
    connect(NewSettings, &QPushButton::clicked, this, &TTunerForm::NewSettingsClick);
    connect(LoadSettings, &QPushButton::clicked, this, &TTunerForm::LoadSettingsClick);
}

void TTunerForm::createPages() {
    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    TabProfiles = new TProfilesPage(this);
    TabGeneral = new TModPage(this);
    TabScreen = new TScreenPage(this);
    TabTheme = new TThemePage(this);
    TabButtons = new TButtonsPage(this);
    TabBattery = new TBatteryPage(this);
    const struct {
        QWidget* page;
        const char* name;
        const char* caption;
    } pages[] = {{TabProfiles, "TabProfiles", "Profiles"}, {TabGeneral, "TabGeneral", "Mod"},
                 {TabScreen, "TabScreen", "Screen"},       {TabTheme, "TabTheme", "Theme"},
                 {TabButtons, "TabButtons", "Buttons"},    {TabBattery, "TabBattery", "Battery"}};
    for (const auto& page : pages) {
        page.page->setObjectName(QLatin1String(page.name));
        PageControl->addTab(page.page, QLatin1String(page.caption));
    }
    PageControl->setCurrentIndex(0);
    PageControl->hide();
    connect(TabScreen, &TScreenPage::screenshotSizeChanged, this, &TTunerForm::SizeBarChange);
}

void TTunerForm::ShowSettings() {
    TabProfiles->showSettings(); // header, active profile, the shown profile and its TFR curve
    TabGeneral->showSettings();
    TabScreen->showSettings();
    TabBattery->showSettings();
    TabButtons->showSettings();
    TabTheme->showSettings();
    SizeBarChange();
    showPages();
    showMarks();
}

// Every window shows the one image: a new one as new, anything else without moving what
// the user looks at.
void TTunerForm::imageChanged(bool replaced) {
    if (!m_shown)
        return;
    if (replaced) {
        ShowSettings();
        return;
    }
    for (TTunerPage* page : pages())
        page->showSettings(false);
    if (ModInfo.ID != m_laidOutFor)
        SizeBarChange(); // a poll met another model
    showMarks();
}

void TTunerForm::showMarks() {
    const TImageHistory& history = ImageHistory();
    const QList<TShownDiff> changes = history.changes();
    QString title = QStringLiteral("Tuner - %1").arg(history.origin().name());
    if (!changes.isEmpty())
        title += QStringLiteral(" - ") + ChangeCountText(int(changes.size()));
    SetFormTitle(this, title);

    std::array<int, SettingsPageCount> perPage{};
    std::array<int, ProfileCount> perProfile{};
    for (const TShownDiff& change : changes) {
        ++perPage[std::size_t(change.page)];
        for (int p = 0; p < ProfileCount; ++p)
            if (change.item.startsWith(QStringLiteral("Profile %1:").arg(p + 1)))
                ++perProfile[std::size_t(p)];
    }
    for (int i = 0; i < SettingsPageCount; ++i)
        MarkTab(PageControl->tabBar(), i, PageName(TSettingsPage(i)), perPage[std::size_t(i)]);
    for (int p = 0; p < ProfileCount; ++p)
        MarkTab(TabProfiles->TabControl, p, QStringLiteral("Profile %1").arg(p + 1),
                perProfile[std::size_t(p)]);
    const auto marks = findChildren<TChangeMarks*>();
    for (TChangeMarks* page : marks)
        page->update();
}

void TTunerForm::showNote(const QString& text) {
    ShowNote(text);
}

// Closing the last Tuner window with changes asks first; "Discard" puts the image back to
// its baseline (a step that Edit > Undo takes back).
void TTunerForm::closeEvent(QCloseEvent* event) {
    const bool last = OpenForms().size() == 1 && OpenForms().first() == this;
    if (last && CloseQuestions == TCloseQuestions::Ask && ImageHistory().hasChanges()) {
        if (!AskBeforeLosingChanges(this, QStringLiteral("Closing the Tuner"))) {
            event->ignore();
            return;
        }
        if (ImageHistory().hasChanges())
            DiscardChanges(); // neither saved nor uploaded: the user chose to discard
    }
    QWidget::closeEvent(event);
    OpenForms().removeAll(this); // closed: no longer counted, though deleted only later
}

// Every page lays out what depends on the model (the logo slots, the screenshot area, the
// indicator lists, the LED colour controls), whichever page a control lives on.
void TTunerForm::SizeBarChange() {
    m_laidOutFor = ModInfo.ID;
    for (TTunerPage* page : pages())
        page->layoutForModel();
}

QList<TTunerPage*> TTunerForm::pages() const {
    return {TabProfiles, TabGeneral, TabScreen, TabTheme, TabButtons, TabBattery};
}

void TTunerForm::showPages() {
    StartPanel->hide();
    PageControl->show();
    UploadSettings->setEnabled(true);
    CompareWithDevice->setEnabled(true);
    if (MotherForm)
        MotherForm->MenuSaveSettings->setEnabled(true);
    m_shown = true;
}

void TTunerForm::DownloadSettingsClick() {
    Guarded(this, [this] {
        if (DownloadImage(this) && !m_shown)
            ShowSettings();
    });
}

void TTunerForm::UploadSettingsClick() {
    Guarded(this, [this] { UploadImage(this); });
}

void TTunerForm::CompareWithDeviceClick() {
    Guarded(this, [this] { ::CompareWithDevice(this); });
}

void TTunerForm::SoftResetClick() {
    Guarded(this, [this] {
        if (!CheckConnected(this))
            return;
        SoftResetDevice();
        Dialogs::information(this, QStringLiteral("Done"));
    });
}

void TTunerForm::RstSettingsClick() {
    Guarded(this, [this] {
        if (!CheckConnected(this))
            return;
        const auto answer =
            Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Confirm"),
                             QStringLiteral("Reset Mod settings to default values?"),
                             QMessageBox::Ok | QMessageBox::Cancel);
        if (answer != QMessageBox::Ok)
            return;
        Dialogs::information(this, ResetDeviceSettings() ? QStringLiteral("Done")
                                                         : QStringLiteral("Error"));
    });
}

void TTunerForm::NewSettingsClick() {
    Guarded(this, [this] {
        if (NewImage(this) && !m_shown)
            ShowSettings();
    });
}

void TTunerForm::LoadSettingsClick() {
    Guarded(this, [this] {
        if (LoadImage(this) && !m_shown)
            ShowSettings();
    });
}

std::optional<QByteArray> TTunerForm::readCsv(const QString& folder) {
    const QString name =
        Dialogs::openFileName(this, QStringLiteral("Load .CSV"), folder, kCsvFilter, kCsvChoice);
    if (name.isEmpty() || !QFileInfo(name).isFile())
        return std::nullopt;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        Dialogs::error(this, QStringLiteral("Cannot read %1: %2").arg(name, file.errorString()));
        return std::nullopt;
    }
    return file.size() <= kCsvSizeLimit ? file.readAll() : QByteArray();
}

void TTunerForm::writeCsv(const QString& folder, const QByteArray& content) {
    const QString name =
        Dialogs::saveFileName(this, QStringLiteral("Save .CSV"), folder, kCsvFilter, kCsvChoice,
                              nullptr, QStringLiteral("csv"));
    if (name.isEmpty())
        return;
    QString error;
    if (!WriteFileSafely(name, content, &error)) {
        Dialogs::error(this, error);
        return;
    }
    Dialogs::information(this, QStringLiteral("Done"));
}
