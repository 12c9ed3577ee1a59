#include "tuner/tuner.h"

#include "settings/actions.h"
#include "settings/models.h"
#include "settings/safefile.h"
#include "settings/settingsfile.h"
#include "settings/transfer.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/mother.h"
#include "shell/paths.h"
#include "shell/windowtitle.h"
#include "tuner/batterypage.h"
#include "tuner/binding.h"
#include "tuner/buttonspage.h"
#include "tuner/comparedialog.h"
#include "tuner/modpage.h"
#include "tuner/pagekit.h"
#include "tuner/profilespage.h"
#include "tuner/screenpage.h"
#include "tuner/themepage.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const QString kCsvFilter = QStringLiteral("All (*);;CSV File (*.csv)");
const QString kCsvChoice = QStringLiteral("CSV File (*.csv)");
constexpr qint64 kCsvSizeLimit = 1 << 20; // a curve file is a few hundred bytes

constexpr int kCommandWidth = 160; // the command buttons' least width

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
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    createTopStrip();
    createStartPanel();
    createPages();
    layout->addWidget(TopStrip);
    layout->addWidget(StartPanel, 1);
    layout->addWidget(PageControl, 1);
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
}

// Every page lays out what depends on the model (the logo slots, the screenshot area, the
// indicator lists, the LED colour controls), whichever page a control lives on.
void TTunerForm::SizeBarChange() {
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
        if (!CheckConnected(this))
            return;
        if (ReadDeviceSettings())
            ShowSettings();
        else
            ReportFailure(this);
    });
}

void TTunerForm::UploadSettingsClick() {
    Guarded(this, [this] {
        if (!CheckConnected(this))
            return;
        if (WriteDeviceSettings())
            Dialogs::information(this, QStringLiteral("Done"));
        else
            ReportFailure(this);
    });
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
        Dialogs::warnings(this, LoadSettingsFile(DefaultSettingsFile()));
        ShowSettings();
    });
}

void TTunerForm::LoadSettingsClick() {
    Guarded(this, [this] {
        const QString file =
            MotherForm
                ? MotherForm->OpenSettingsDialog()
                : Dialogs::openFileName(this, QStringLiteral("Load Settings"), SettingsFolder(),
                                        QStringLiteral("All (*);;XML File (*.xml)"),
                                        QStringLiteral("XML File (*.xml)"));
        if (file.isEmpty() || !QFileInfo::exists(file))
            return;
        Dialogs::warnings(this, LoadSettingsFile(file));
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
