#pragma once
// The main window: frames the working windows (Tuner, Monitor, Updater, Terminal), owns
// the serial port and shows the progress of device operations, keeps the port open on the
// device (detection, hot-plug, the port box), and runs start-up and shutdown.

#include "link/hotplug.h"
#include "link/portdetect.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QMenu;
class QTimer;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QPushButton;
class QStatusBar;
class TAboutForm;
class TComPort;
class EComError;
class TDeviceEmulator;
class TSegmentedProgressBar;

struct TMotherOptions {
    QString sysRoot = QLatin1String(DefaultSysRoot); // where serial devices are looked up
    QString devRoot = QLatin1String(DefaultDevRoot); // where their nodes lie
    QString procRoot = QStringLiteral("/proc");      // the connection check's processes
    QString fsRoot = QStringLiteral("/"); // the connection check's udev rules and programs
    THotPlug::Source hotplug = THotPlug::Source::Auto;
    int pollMs = 1000; // the polling hot-plug source's period
    // The very first start (no settings.xml yet) without a device opens the virtual device.
    bool firstStartDemo = true;
};

class TMotherForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMotherForm(const TMotherOptions& options = TMotherOptions(),
                         QWidget* parent = nullptr);
    ~TMotherForm() override;

    // Port choice texts of the port box besides port names.
    static QString AutoChoice() { return QStringLiteral("Auto"); }
    static QString DemoChoice() { return QStringLiteral("Demo"); }

    // Why the port is (re)opened: the start, a device's arrival, an entry picked from the
    // list, or a device command that found the port closed.
    enum class TOpenReason { Start, Arrival, Pick, Command };
    // Port discovery and connection. Only the first start without a device opens the virtual
    // device unasked; an arrival while on it moves to the real device.
    void OpenPort(TOpenReason reason = TOpenReason::Arrival);
    // A device command found the port closed: the choice is tried again quietly (a device
    // lost after a port error, or one that came back behind the same path).
    void reconnect();
    QString DetectPort(const QString& Name, const QString& VID, const QString& PID) const;
    void ComPortDeviceArrival(TComPort* sender, const QString& DeviceName);
    void ComPortDeviceRemoved(TComPort* sender, const QString& DeviceName);
    bool demoActive() const; // the port is open on the virtual device
    // What settings.xml keeps: the last port choice the user made or typed that is not
    // "Demo" (the virtual device lasts for the session only); "Auto" by default.
    QString savedChoice() const;
    // The connection state shown in the status bar.
    QString connectionText() const;
    // The first start fell back to the virtual device (the line above the workspace says so).
    bool firstStartDemo() const { return m_firstStartDemo; }
    static QString FirstStartNoteText();
    TDeviceEmulator* demoDevice() const { return m_demo.get(); }
    QString hotplugSource() const;

    // Working windows.
    int checkMDIChildren(const QString& Name) const;
    QWidget* mdiChild(const QString& Name) const; // the window of that exact name, or null
    QMdiSubWindow* addChild(QWidget* form, const QString& baseName);

    // Application settings.
    void loadINI();
    void loadEncoding();
    void saveINI();

    // The settings file dialogs (start in the settings folder); empty when cancelled.
    QString OpenSettingsDialog();
    QString SaveSettingsDialog();

    // Brings the window back when a second start asks for it.
    void restoreWindow();
    // A signal ends the session: nobody can be asked, so the changed image stays in the
    // recovery file and the window closes.
    void endBySignal();
    // Where the unsaved image is kept while the program runs.
    static QString RecoveryFolder();

    QWidget* Panel1 = nullptr;
    QPushButton* BitBtn1 = nullptr; // Tuner
    QPushButton* BitBtn2 = nullptr; // Monitor
    QPushButton* BitBtn3 = nullptr; // Updater
    QPushButton* BitBtn4 = nullptr; // Terminal
    QLabel* Label1 = nullptr;
    QComboBox* ComPorts = nullptr;
    QLabel* Logo = nullptr;
    QLabel* FirstStartNote = nullptr; // the first start's line about the virtual device
    QMdiArea* MdiArea = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* Connection = nullptr; // the connection state, in the status bar
    TSegmentedProgressBar* ProgressBar = nullptr;
    TComPort* ComPort = nullptr;
    TAboutForm* AboutForm = nullptr;

    QAction* MenuNewSettings = nullptr;
    QAction* MenuLoadSsettings = nullptr;
    QAction* MenuSaveSettings = nullptr;
    QMenu* MenuRecentFiles = nullptr;
    QAction* MenuExit = nullptr;
    QAction* MenuUndo = nullptr;
    QAction* MenuRedo = nullptr;
    QAction* MenuCascade = nullptr;
    QAction* MenuVertical = nullptr;
    QAction* MenuHorizontal = nullptr;
    QAction* ManualRus = nullptr;
    QAction* ManualEn = nullptr;
    QAction* MenuConnectionCheck = nullptr;
    QAction* MenuAbout = nullptr;
    QAction* MenuEncodingWestern = nullptr; // Options > Device text encoding
    QAction* MenuEncodingCyrillic = nullptr;

public slots:
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void ComPortsSelect(int index);
    void MenuNewSettingsClick();
    void MenuLoadSsettingsClick();
    void MenuSaveSettingsClick();
    void MenuCascadeClick();
    void MenuVerticalClick();
    void MenuHorizontalClick();
    void ManualRusClick();
    void ManualEnClick();
    void MenuAboutClick();
    void MenuConnectionCheckClick();
    void MenuEncodingClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createToolBar();
    void createWorkspace();
    void createStatusBar();
    void createMenus();
    void createFileMenu();
    void createOptionsMenu();
    void createEditMenu();
    void fillRecentFiles();
    void openRecentFile(const QString& file);
    void showTuner(); // a new Tuner window showing the image
    void offerRecovery();
    void keepRecovery(); // the recovery file follows the image
    bool askBeforeUpdater();
    void FormCreate();
    void FormDestroy();
    void runStep(const std::function<void()>& step);
    void guarded(const std::function<void()>& action);

    void refreshPortList(const QList<TSerialDevice>& devices);
    QString resolveChoice(TOpenReason reason, const QList<TSerialDevice>& devices);
    void connectTo(const QString& node, TOpenReason reason);
    QString startDemo(TOpenReason reason);
    void stopDemoUnlessUsed();
    void leaveDemo();
    void reopenDemo();
    void placeLogo();
    void showConnection();
    void watchConnection();
    void reportOpenFailure(const QString& node, const EComError& error);
    void bringToFront(int index);
    void closeChild(const QString& name);
    void openManual(const QString& fileName);
    void tile(Qt::Orientation orientation);
    template <class TForm> TForm* showOrCreate(const QString& name);

    TMotherOptions m_options;
    std::unique_ptr<TDeviceEmulator> m_demo;
    THotPlug* m_hotplug = nullptr;
    QPointer<QWidget> m_connectionCheck;
    QString m_openedPath;                    // the node the port was opened under, as given
    QString m_openedNode;                    // the same with every symlink resolved at opening time
    bool m_firstStart = false;               // there was no settings.xml at start
    bool m_firstStartDemo = false;           // the first start fell back to the virtual device
    bool m_titlesVirtual = false;            // the working windows' titles carry the virtual mark
    QString m_lastRealChoice = AutoChoice(); // loaded or picked, never "Demo"
    quint64 m_selectionsAtOpen = 0;          // ModelSelections() when the port was opened
    QTimer* m_recoveryTimer = nullptr;       // the recovery file at most a second late
    bool m_endingBySignal = false;
};

// The one main window of the process (null before it exists and after it is gone).
extern TMotherForm* MotherForm;

// Before a device command: the main window tries the port again when it is closed.
void ReconnectForCommand();
// What the user is told after a port error closed the port: the port, the reason, what to
// do. Empty when the port was not lost.
QString LostDeviceText();

// i scaled from 96 dots per inch to the screen's: i x dpi / 96, integer division.
int DPIX(int i);
