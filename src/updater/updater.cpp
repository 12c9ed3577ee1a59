#include "updater/updater.h"

#include "link/ComPort.h"
#include "link/transport.h"
#include "settings/backup.h"
#include "settings/models.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "updater/dfuoutput.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFont>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kReadIntervalMs = 100;
constexpr int kBootPauseMs = 2000;

QString ModelSubfolder(int id) {
    const QString folder = ModelFolder(id);
    return folder.isEmpty() ? QString() : QLatin1Char('/') + folder;
}

bool PortOpen() {
    return ComPort != nullptr && ComPort->Active();
}

} // namespace

QString FirmwareFolder() {
    return DataPath(QStringLiteral("Firmware"));
}

TUpdaterForm::TUpdaterForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("UpdaterForm"));
    setWindowTitle(QStringLiteral("Updater"));
    setAttribute(Qt::WA_DeleteOnClose);

    BitBtn = new QPushButton(QStringLiteral("Update Firmware"), this);
    BitBtn->setObjectName(QStringLiteral("BitBtn"));
    BitBtn->setFixedHeight(30);
    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setReadOnly(true);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    Memo->setFont(font);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(BitBtn);
    layout->addWidget(Memo, 1);
    connect(BitBtn, &QPushButton::clicked, this, &TUpdaterForm::BitBtnClick);
}

TUpdaterForm::~TUpdaterForm() {
    // Only a parent's destruction gets here during a run (closing is refused meanwhile):
    // stop the tool and let the run's loop unwind without touching this window again.
    if (m_process)
        m_process->kill();
    if (m_loop)
        m_loop->quit();
}

void TUpdaterForm::BitBtnClick() {
    if (m_busy)
        return;
    m_busy = true;
    BitBtn->setEnabled(false);
    const QPointer<TUpdaterForm> self(this);
    try {
        const QString firmware = chooseFirmware();
        if (!firmware.isEmpty() && self) // the window may be gone once the dialog returns
            update(firmware);
    } catch (...) {
        // A port error while sending "BOOT", or anything else: shown, and the button comes
        // back either way.
        if (self)
            ShowCurrentError(this);
    }
    if (!self)
        return;
    m_busy = false;
    BitBtn->setEnabled(true);
    if (m_closeWhenDone)
        closeWindow();
}

// Closes the frame the window lives in: the child window of the main window, or itself.
void TUpdaterForm::closeWindow() {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->close();
    else
        close();
}

QString TUpdaterForm::chooseFirmware() {
    m_dialogFolder = FirmwareFolder();
    if (PortOpen() && ReadModel())
        m_dialogFolder += ModelSubfolder(ModInfo.ID);
    QDir().mkpath(m_dialogFolder); // a missing folder would be taken for a file name
    const QString firmwareFilter = QStringLiteral("Firmware File (*.dfu)");
    QString name =
        Dialogs::openFileName(this, QStringLiteral("Open"), m_dialogFolder,
                              firmwareFilter + QStringLiteral(";;Any file (*.*)"), firmwareFilter);
    if (name.isEmpty())
        return {};
    if (!QFileInfo::exists(name) && QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".dfu"); // the dialog's default extension
    const QFileInfo file(name);
    return file.isFile() ? file.absoluteFilePath() : QString();
}

void TUpdaterForm::update(const QString& firmware) {
    Memo->clear();
    QString backup;
    if (!backUpSettings(backup) || m_closeWhenDone)
        return; // nothing more goes to the device
    enterDfuMode();
    if (m_closeWhenDone)
        return;
    const QPointer<TUpdaterForm> self(this);
    runDfuTool(firmware);
    if (self && m_lastRunOk && !backup.isEmpty()) // the window may be gone after the run
        Memo->appendPlainText(
            QStringLiteral("To restore your settings, open the backup with \"Load Settings\" "
                           "in the Tuner, then send it with \"Upload Settings\":\n    %1")
                .arg(QDir::toNativeSeparators(backup)));
}

// A firmware update may reset the device's settings: they are saved first. Returns false
// when no backup could be made and the user would rather not flash without one.
bool TUpdaterForm::backUpSettings(QString& path) {
    path.clear();
    if (!PortOpen())
        return true; // taken to be in DFU mode already: there is nothing to read
    Memo->appendPlainText(QStringLiteral("Saving a settings backup..."));
    Memo->repaint();
    const TBackupResult backup = BackupDeviceSettings(DefaultBackupFolder());
    if (backup.saved()) {
        path = backup.path;
        Memo->appendPlainText(QStringLiteral("Settings backup saved to %1")
                                  .arg(QDir::toNativeSeparators(backup.path)));
        return true;
    }
    Memo->appendPlainText(QStringLiteral("No settings backup: ") + backup.error);
    const QPointer<TUpdaterForm> self(this);
    const auto answer = Dialogs::message(
        this, QMessageBox::Warning, QStringLiteral("Updater"),
        backup.error + QStringLiteral("\n\nNo settings backup was made, and a firmware update may "
                                      "reset the settings.\nUpdate the firmware without a backup?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (!self)
        return false;
    if (answer == QMessageBox::Yes)
        return true;
    Memo->appendPlainText(QStringLiteral("Firmware update cancelled."));
    return false;
}

void TUpdaterForm::enterDfuMode() {
    if (!PortOpen())
        return; // the device is taken to be in DFU mode already
    {
        TPortHold hold;
        Memo->appendPlainText(QStringLiteral("Entering DFU Mode..."));
        Memo->repaint();
        ComPort->WriteAnsiChar(13);
        ComPort->WriteAnsiLine(QByteArrayLiteral("BOOT"));
        Pause(kBootPauseMs);
    }
    try {
        ComPort->setActive(false);
    } catch (const EComError&) {
        // the device is already restarting; the port is gone either way
    }
}

void TUpdaterForm::runDfuTool(const QString& firmware) {
    m_lastRunOk = false;
    const TDfuTool tool = FindDfuTool(QCoreApplication::applicationDirPath(), firmware);
    if (tool.found()) {
        RunToolToMemo(tool.program, tool.arguments, Memo);
        return;
    }
    TDfuOutcome outcome;
    outcome.toolFound = false;
    Memo->appendPlainText(DfuOutcomeText(outcome));
}

void TUpdaterForm::RunToolToMemo(const QString& tool, const QStringList& arguments,
                                 QPlainTextEdit* memo) {
    ProgressBar().SetMax(100);
    ProgressBar().SetPosition(0);

    QProcess process;
    QEventLoop loop;
    QTimer timer;
    TDfuOutput output;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    timer.setInterval(kReadIntervalMs);
    connect(&timer, &QTimer::timeout, this, [&] { showOutput(output, process.readAll(), memo); });
    connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });

    const QPointer<TUpdaterForm> self(this);
    m_process = &process;
    m_loop = &loop;
    m_stopRequested = false;
    process.start(tool, arguments);
    timer.start();
    if (process.state() != QProcess::NotRunning || process.error() != QProcess::FailedToStart)
        loop.exec();
    timer.stop();
    if (!self)
        return; // destroyed by its parent: the tool was killed, nobody is left to tell
    m_process = nullptr;
    m_loop = nullptr;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }

    output.feed(process.readAll());
    output.finish();
    showOutput(output, {}, memo);
    finishRun(process, output, memo);
}

void TUpdaterForm::showOutput(TDfuOutput& output, const QByteArray& chunk, QPlainTextEdit* memo) {
    output.feed(chunk);
    const QStringList lines = output.takeLines();
    for (const QString& line : lines)
        memo->appendPlainText(line);
    if (output.percent() >= 0 && output.percent() != ProgressBar().Position())
        ProgressBar().SetPosition(output.percent());
}

void TUpdaterForm::finishRun(const QProcess& process, const TDfuOutput& output,
                             QPlainTextEdit* memo) {
    TDfuOutcome outcome;
    outcome.started = process.error() != QProcess::FailedToStart;
    outcome.startError = process.errorString();
    outcome.stopped = m_stopRequested;
    outcome.crashed = process.exitStatus() == QProcess::CrashExit;
    outcome.exitCode = process.exitCode();
    outcome.cannotOpenDevice = output.cannotOpenDevice();
    outcome.noDevice = output.noDevice();
    const QString text = DfuOutcomeText(outcome);
    m_lastRunOk = text.isEmpty();
    if (text.isEmpty())
        ProgressBar().SetPosition(0);
    else
        memo->appendPlainText(text);
}

void TUpdaterForm::closeEvent(QCloseEvent* event) {
    if (!m_busy) {
        event->accept();
        return;
    }
    // The window stays while an update runs; it closes when the run is over.
    event->ignore();
    if (!m_process) {
        m_closeWhenDone = true;
        return;
    }
    if (m_stopRequested)
        return;
    const bool stop = Dialogs::question(
        this, QStringLiteral("The firmware update is running. Stopping it leaves the device in "
                             "DFU mode until the update is run again.\nStop the update?"));
    if (stop && m_process) {
        m_stopRequested = true;
        m_closeWhenDone = true;
        m_process->kill();
    }
}
