#include "firmware/firmwareupdate.h"

#include "link/ComPort.h"
#include "link/transport.h"

#include <QDir>
#include <QFileInfo>

namespace {
constexpr int kReadIntervalMs = 100;
} // namespace

QString VirtualDeviceUpdateRefusal() {
    return QStringLiteral("The virtual device has no firmware to update.");
}

QString UpdateQuestion(const QString& modelName, const QString& firmware, bool portOpen) {
    const QString file = QFileInfo(firmware).fileName();
    if (!portOpen)
        return QStringLiteral("No device is connected on a serial port; it is taken to be in "
                              "its boot loader already.\nWrite the firmware %1 into it?")
            .arg(file);
    const QString model = modelName.isEmpty() ? QStringLiteral("the connected device") : modelName;
    return QStringLiteral("Update the firmware of %1 with %2?\nThe device restarts into its boot "
                          "loader, and the new firmware may reset its settings.")
        .arg(model, file);
}

QString NoBackupQuestion(const QString& reason) {
    return reason + QStringLiteral("\n\nNo settings backup was made, and a firmware update may "
                                   "reset the settings.\nUpdate the firmware without a backup?");
}

void EnterBootLoader(int pauseMs) {
    if (ComPort == nullptr || !ComPort->Active())
        return;
    {
        TPortHold hold;
        ComPort->WriteAnsiChar(13);
        ComPort->WriteAnsiLine(QByteArrayLiteral("BOOT"));
        Pause(pauseMs);
    }
    try {
        ComPort->setActive(false);
    } catch (const EComError&) {
        // the device is already restarting; the port is gone either way
    }
}

std::optional<QString> ReadFirmwareVersion() {
    TSequence sequence(1);
    QString version;
    ReadParam(QStringLiteral("VER"), version);
    if (!sequence.Finish())
        return std::nullopt;
    return WithoutControlCharacters(version);
}

TDfuRun::TDfuRun(QObject* parent) : QObject(parent) {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_timer.setInterval(kReadIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TDfuRun::readOutput);
    connect(&m_process, &QProcess::finished, this, &TDfuRun::end);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end();
    });
}

TDfuRun::~TDfuRun() {
    disconnect(&m_process, nullptr, this, nullptr);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

void TDfuRun::start(const TDfuTool& tool) {
    m_outcome = TDfuOutcome();
    m_output = TDfuOutput();
    m_stopRequested = false;
    m_running = true;
    ProgressBar().SetMax(100);
    ProgressBar().SetPosition(0);
    if (!tool.found()) {
        m_outcome.toolFound = false;
        QTimer::singleShot(0, this, &TDfuRun::end);
        return;
    }
    m_process.start(tool.program, tool.arguments);
    m_timer.start();
}

void TDfuRun::stop() {
    if (!m_running || m_process.state() == QProcess::NotRunning)
        return;
    m_stopRequested = true;
    m_process.kill();
}

void TDfuRun::readOutput() {
    m_output.feed(m_process.readAll());
    const QStringList taken = m_output.takeLines();
    if (!taken.isEmpty())
        emit lines(taken);
    if (m_output.percent() >= 0 && m_output.percent() != ProgressBar().Position())
        ProgressBar().SetPosition(m_output.percent());
}

void TDfuRun::end() {
    if (!m_running)
        return;
    m_timer.stop();
    if (m_outcome.toolFound) {
        readOutput(); // what is left in the pipe after the exit
        m_output.finish();
        const QStringList rest = m_output.takeLines();
        if (!rest.isEmpty())
            emit lines(rest);
        m_outcome.started = m_process.error() != QProcess::FailedToStart;
        m_outcome.startError = m_process.errorString();
        m_outcome.stopped = m_stopRequested;
        m_outcome.crashed = m_process.exitStatus() == QProcess::CrashExit;
        m_outcome.exitCode = m_process.exitCode();
        m_outcome.cannotOpenDevice = m_output.cannotOpenDevice();
        m_outcome.noDevice = m_output.noDevice();
    }
    m_running = false;
    if (DfuOutcomeText(m_outcome).isEmpty())
        ProgressBar().SetPosition(0);
    emit finished();
}
