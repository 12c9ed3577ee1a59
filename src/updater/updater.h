#pragma once
// The updater window: switches the device into its DFU boot loader and runs the DFU tool
// on a firmware file, showing the tool's output as it arrives.

#include <QString>
#include <QStringList>
#include <QWidget>

class QCloseEvent;
class QEventLoop;
class QPlainTextEdit;
class QPushButton;
class TDfuRun;

// Base folder + "/Firmware": the firmware files, one subfolder per model.
QString FirmwareFolder();

class TUpdaterForm : public QWidget {
    Q_OBJECT
public:
    explicit TUpdaterForm(QWidget* parent = nullptr);
    ~TUpdaterForm() override;

    QPushButton* BitBtn = nullptr;  // "Update Firmware"
    QPlainTextEdit* Memo = nullptr; // the tool's output

    bool running() const { return m_run != nullptr; }       // the DFU tool is running
    bool busy() const { return m_busy; }                    // an update is in progress
    QString dialogFolder() const { return m_dialogFolder; } // where the last dialog opened

public slots:
    // The whole update; returns when the tool has ended (or the dialog was cancelled).
    void BitBtnClick();

public:
    // Runs the tool (no shell: each argument reaches it as it is) with its standard output
    // and error merged into the memo, read every 100 ms while the window stays usable.
    // Returns when the tool has ended; a failed run ends the memo with a line saying why.
    void RunToolToMemo(const QString& tool, const QStringList& arguments, QPlainTextEdit* memo);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString chooseFirmware();
    bool toolFound(const QString& firmware);
    bool confirm(const QString& firmware);
    void update(const QString& firmware);
    bool backUpSettings(QString& path);
    void enterDfuMode();
    void closeWindow();
    void runDfuTool(const QString& firmware);

    TDfuRun* m_run = nullptr;     // the running tool (lives in RunToolToMemo's frame)
    QEventLoop* m_loop = nullptr; // the loop that waits for it
    QString m_dialogFolder;
    bool m_busy = false;
    bool m_stopRequested = false;
    bool m_closeWhenDone = false;
    bool m_lastRunOk = false; // the last run of the tool ended well
};
