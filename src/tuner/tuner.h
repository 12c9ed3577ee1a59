#pragma once
// The Tuner window, the editor of the settings image: the top strip of device commands,
// the start panel ("New Settings", "Load Settings") and the six pages. Every page edits the
// one Settings; several Tuner windows may be open, each showing the image as of its own
// last refresh.

#include <QByteArray>
#include <QWidget>

#include <optional>

class QPushButton;
class QTabWidget;
class TBatteryPage;
class TButtonsPage;
class TModPage;
class TProfilesPage;
class TScreenPage;
class TThemePage;
class TTunerPage;

// After a failed transfer of the settings: the firmware refusal, when that was the reason,
// then "Error".
void ReportFailure(QWidget* parent);

class TTunerForm : public QWidget {
    Q_OBJECT
public:
    explicit TTunerForm(QWidget* parent = nullptr);

    QWidget* TopStrip = nullptr;
    QPushButton* DownloadSettings = nullptr;
    QPushButton* UploadSettings = nullptr;
    QPushButton* CompareWithDevice = nullptr; // enabled with UploadSettings
    QPushButton* SoftReset = nullptr;
    QPushButton* RstSettings = nullptr;
    QWidget* StartPanel = nullptr; // holds NewSettings and LoadSettings until pages show
    QPushButton* NewSettings = nullptr;
    QPushButton* LoadSettings = nullptr;
    QTabWidget* PageControl = nullptr;

    TProfilesPage* TabProfiles = nullptr;
    TModPage* TabGeneral = nullptr;
    TScreenPage* TabScreen = nullptr;
    TThemePage* TabTheme = nullptr;
    TButtonsPage* TabButtons = nullptr;
    TBatteryPage* TabBattery = nullptr;

    bool shown() const { return m_shown; } // ShowSettings ran at least once
    QList<TTunerPage*> pages() const;      // in page order

    // "Load .CSV" of the battery and TFR curves: the open dialog in folder and the chosen
    // file read whole. Nothing when the user cancels or the file can't be read (then the
    // reason is shown); a file too big to be a curve reads as empty, which no curve accepts.
    std::optional<QByteArray> readCsv(const QString& folder);
    // "Save .CSV": the save dialog in folder, content written safely, then "Done" or the
    // error (the old file is kept).
    void writeCsv(const QString& folder, const QByteArray& content);

public slots:
    void DownloadSettingsClick();
    void UploadSettingsClick();
    void CompareWithDeviceClick(); // the differences between the device and the editor
    void SoftResetClick();
    void RstSettingsClick();
    void NewSettingsClick();
    void LoadSettingsClick();
    void ShowSettings();  // fill every page from Settings and ModInfo
    void SizeBarChange(); // lay out what follows the model and the screenshot size

private:
    void createTopStrip();
    void createStartPanel();
    void createPages();
    void showPages();

    bool m_shown = false;
};
