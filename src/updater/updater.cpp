#include "updater/updater.h"

#include "firmware/firmwareupdate.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "settings/backup.h"
#include "settings/models.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "shell/windowtitle.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFont>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

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
    SetFormTitle(this, QStringLiteral("Updater"));
    setAttribute(Qt::WA_DeleteOnClose);

    BitBtn = new QPushButton(QStringLiteral("Update Firmware"), this);
    BitBtn->setObjectName(QStringLiteral("BitBtn"));
    BitBtn->setFixedHeight(30);
    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setReadOnly(true);
    // Long lines wrap (a backup's path, the tool's messages): nothing to scroll sideways.
    Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
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
    if (m_run)
        m_run->stop();
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
        if (VirtualDeviceOpen()) {
            Dialogs::error(this, VirtualDeviceUpdateRefusal());
        } else {
            const QString firmware = chooseFirmware();
            // The window may be gone once a dialog returns.
            if (!firmware.isEmpty() && self && toolFound(firmware) && confirm(firmware) && self)
                update(firmware);
        }
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

// Without a DFU tool the device must not be sent into its boot loader: it would stay there.
bool TUpdaterForm::toolFound(const QString& firmware) {
    if (FindDfuTool(QCoreApplication::applicationDirPath(), firmware).found())
        return true;
    TDfuOutcome missing;
    missing.toolFound = false;
    Memo->clear();
    Memo->appendPlainText(DfuOutcomeText(missing));
    return false;
}

// One question before anything is sent; No is the default.
bool TUpdaterForm::confirm(const QString& firmware) {
    const QString model = ModInfo.ID > 0 ? ModInfo.name : QString();
    if (Dialogs::question(this, UpdateQuestion(model, firmware, PortOpen())))
        return true;
    Memo->clear();
    Memo->appendPlainText(QStringLiteral("Firmware update cancelled."));
    return false;
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
    if (self && m_lastRunOk && backup.endsWith(QLatin1String(".xml"))) // gone after the run?
        Memo->appendPlainText(
            QStringLiteral("To restore your settings, open the backup with \"Load Settings\" "
                           "in the Tuner, then send it with \"Upload Settings\":\n    %1")
                .arg(QDir::toNativeSeparators(backup)));
}

// A firmware update may reset the device's settings: they are saved first (as raw answer
// lines when the firmware is too old to be read into a settings file). Returns false when
// no backup could be made and the user would rather not flash without one.
bool TUpdaterForm::backUpSettings(QString& path) {
    path.clear();
    if (!PortOpen())
        return true; // taken to be in DFU mode already: there is nothing to read
    Memo->appendPlainText(QStringLiteral("Saving a settings backup..."));
    Memo->repaint();
    const TBackupResult backup = BackupDeviceSettings(DefaultBackupFolder());
    if (backup.outcome == TBackupOutcome::SavedRaw) {
        path = backup.path;
        Memo->appendPlainText(RawBackupNote(backup));
        return true;
    }
    if (backup.saved()) {
        path = backup.path;
        Memo->appendPlainText(QStringLiteral("Settings backup saved to %1")
                                  .arg(QDir::toNativeSeparators(backup.path)));
        return true;
    }
    Memo->appendPlainText(QStringLiteral("No settings backup: ") + backup.error);
    const QPointer<TUpdaterForm> self(this);
    const auto answer = Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Updater"),
                                         NoBackupQuestion(backup.error),
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
    Memo->appendPlainText(QStringLiteral("Entering DFU Mode..."));
    Memo->repaint();
    EnterBootLoader();
}

void TUpdaterForm::runDfuTool(const QString& firmware) {
    const TDfuTool tool = FindDfuTool(QCoreApplication::applicationDirPath(), firmware);
    RunToolToMemo(tool.program, tool.arguments, Memo);
}

void TUpdaterForm::RunToolToMemo(const QString& tool, const QStringList& arguments,
                                 QPlainTextEdit* memo) {
    m_lastRunOk = false;
    TDfuRun run;
    QEventLoop loop;
    connect(&run, &TDfuRun::lines, memo,
            [memo](const QStringList& lines) { memo->appendPlainText(lines.join('\n')); });
    connect(&run, &TDfuRun::finished, &loop, &QEventLoop::quit);
    const QPointer<TUpdaterForm> self(this);
    m_run = &run;
    m_loop = &loop;
    run.start({tool, arguments});
    loop.exec();
    if (!self)
        return; // destroyed by its parent: the tool was stopped, nobody is left to tell
    m_run = nullptr;
    m_loop = nullptr;
    const QString text = run.outcomeText();
    m_lastRunOk = text.isEmpty();
    if (!text.isEmpty())
        memo->appendPlainText(text);
}

void TUpdaterForm::closeEvent(QCloseEvent* event) {
    if (!m_busy) {
        event->accept();
        return;
    }
    // The window stays while an update runs; it closes when the run is over.
    event->ignore();
    if (!m_run) {
        m_closeWhenDone = true;
        return;
    }
    if (m_stopRequested)
        return;
    const bool stop = Dialogs::question(
        this, QStringLiteral("The firmware update is running. Stopping it leaves the device in "
                             "DFU mode until the update is run again.\nStop the update?"));
    if (stop && m_run) {
        m_stopRequested = true;
        m_closeWhenDone = true;
        m_run->stop();
    }
}
