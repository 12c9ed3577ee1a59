#pragma once
// The Tuner window, the editor of the settings image: the top strip of device commands,
// the start panel ("New Settings", "Load Settings") and the six pages. Every page edits the
// one Settings through the image's history; several Tuner windows may be open, and each
// shows the image whenever it changes (replaced, undone, edited in another window, updated
// by a poll). The title names where the image came from and how many changes it holds
// ("Tuner - device - 3 changes"); page and profile tabs holding changes carry a mark.

#include <QByteArray>
#include <QWidget>

#include <optional>

class QAction;
class QCloseEvent;
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
    ~TTunerForm() override;

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

    QAction* UndoAction = nullptr; // also the window's context menu
    QAction* RedoAction = nullptr;

    bool shown() const { return m_shown; } // ShowSettings ran at least once
    QList<TTunerPage*> pages() const;      // in page order
    // The open Tuner windows.
    static QList<TTunerForm*> forms();

    // A note in the main window's status bar (a conversion that rounds).
    void showNote(const QString& text);

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
    void ShowSettings();  // fill every page from Settings and ModInfo, as a new image
    void SizeBarChange(); // lay out what follows the model and the screenshot size

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createTopStrip();
    void createStartPanel();
    void createPages();
    void createActions();
    void showPages();
    void imageChanged(bool replaced);
    void showMarks(); // the title, the tabs' and the controls' marks

    bool m_shown = false;
    int m_laidOutFor = -1; // the model (ID) the pages were laid out for
};
