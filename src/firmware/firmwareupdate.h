#pragma once
// The steps of a firmware update, free of widgets, shared by the Updater window and
// "devedazi-cli update": the refusal of the virtual device, the one question before
// anything is sent, the settings backup, the switch into the boot loader, the DFU tool's
// run with its output and progress, and reading the new firmware's version afterwards.

#include "firmware/dfuoutput.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

#include <optional>

// "The virtual device has no firmware to update."
QString VirtualDeviceUpdateRefusal();

// The question asked once before the update starts: it names the model (or says that the
// device is taken to be in its boot loader, when no port is open) and the firmware file.
QString UpdateQuestion(const QString& modelName, const QString& firmware, bool portOpen);

// The question asked when no backup could be made, naming the reason.
QString NoBackupQuestion(const QString& reason);

// Sends a lone CR, then "BOOT" and its CR, while holding PortBusy; waits 2 s for the
// device to restart into its boot loader, then closes the port (which is gone by then
// anyway). Nothing is read. A port error while sending escapes as EComError.
void EnterBootLoader(int pauseMs = 2000);

// Reads "VER" in a sequence of its own: the firmware's version text, or nothing when the
// device did not answer.
std::optional<QString> ReadFirmwareVersion();

// One run of the DFU tool: started as a process of its own (no shell, standard input on
// /dev/null, output and errors merged), its output read every 100 ms into lines and the
// progress model (ProgressBar(), 0..100 %), and its outcome told when it has ended.
// Whoever waits runs an event loop until finished().
class TDfuRun : public QObject {
    Q_OBJECT
public:
    explicit TDfuRun(QObject* parent = nullptr);
    ~TDfuRun() override;

    // Starts the tool; a tool that wasn't found or can't be started ends the run at once
    // (finished() comes through the event loop either way).
    void start(const TDfuTool& tool);
    // Stops a running tool at the user's request.
    void stop();
    bool running() const { return m_running; }
    // How the run ended, and its closing line for the user (empty when it went well).
    const TDfuOutcome& outcome() const { return m_outcome; }
    QString outcomeText() const { return DfuOutcomeText(m_outcome); }
    bool succeeded() const { return !m_running && outcomeText().isEmpty(); }

signals:
    void lines(const QStringList& lines); // the tool's new output lines, cleaned
    void finished();

private:
    void readOutput();
    void end();

    QProcess m_process;
    QTimer m_timer;
    TDfuOutput m_output;
    TDfuOutcome m_outcome;
    bool m_running = false;
    bool m_stopRequested = false;
};
