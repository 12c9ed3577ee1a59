// The main window's working windows, menus and dialogs.

#include "shell/mother.h"

#include "link/ComPort.h"
#include "monitor/ui/monitorform.h"
#include "settings/history.h"
#include "settings/recovery.h"
#include "shell/about.h"
#include "shell/connectioncheck.h"
#include "shell/dialogs.h"
#include "shell/paths.h"
#include "shell/terminal.h"
#include "shell/windowtitle.h"
#include "tuner/imagecommands.h"
#include "tuner/tuner.h"
#include "updater/updater.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTimer>

namespace {
const QString kSettingsFilter = QStringLiteral("All (*);;XML File (*.xml)");
const QString kXmlFilter = QStringLiteral("XML File (*.xml)");

// "the Tuner, the Monitor and the Terminal".
QString Listed(const QStringList& items) {
    if (items.size() <= 1)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           items.last();
}
} // namespace

int TMotherForm::checkMDIChildren(const QString& Name) const {
    const auto windows = MdiArea->subWindowList();
    for (int i = 0; i < windows.size(); ++i) {
        const QWidget* form = windows.at(i)->widget();
        if (form && !windows.at(i)->isHidden() && form->objectName() == Name)
            return i;
    }
    return -1;
}

QWidget* TMotherForm::mdiChild(const QString& Name) const {
    const int index = checkMDIChildren(Name);
    return index < 0 ? nullptr : MdiArea->subWindowList().at(index)->widget();
}

// The form gets baseName, or the first free "%s_%d" when a window already carries it.
QMdiSubWindow* TMotherForm::addChild(QWidget* form, const QString& baseName) {
    QString name = baseName;
    for (int count = 1; checkMDIChildren(name) >= 0; ++count) // a closed one is not in the way
        name = QStringLiteral("%1_%2").arg(baseName).arg(count);
    form->setObjectName(name);
    QMdiSubWindow* window = MdiArea->addSubWindow(form);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(windowIcon());
    window->showMaximized();
    RefreshFormTitle(form);
    Logo->lower();
    return window;
}

void TMotherForm::bringToFront(int index) {
    QMdiSubWindow* window = MdiArea->subWindowList().at(index);
    if (window->isMinimized())
        window->showMaximized();
    MdiArea->setActiveSubWindow(window);
    window->raise();
}

// Closes the window of that exact name; a window that agrees to close is gone at once.
void TMotherForm::closeChild(const QString& name) {
    const int index = checkMDIChildren(name);
    if (index < 0)
        return;
    QMdiSubWindow* window = MdiArea->subWindowList().at(index);
    if (window->close())
        delete window;
}

template <class TForm> TForm* TMotherForm::showOrCreate(const QString& name) {
    const int index = checkMDIChildren(name);
    if (index >= 0) {
        bringToFront(index);
        return nullptr;
    }
    auto* form = new TForm();
    addChild(form, name);
    return form;
}

void TMotherForm::BitBtn1Click() {
    guarded([this] {
        QPointer<TTunerForm> tuner = showOrCreate<TTunerForm>(QStringLiteral("TunerForm"));
        if (!tuner)
            return;
        QCoreApplication::processEvents();
        if (tuner && ComPort->Active())
            tuner->DownloadSettingsClick();
    });
}

void TMotherForm::BitBtn2Click() {
    guarded([this] { showOrCreate<TMonitorForm>(QStringLiteral("MonitorForm")); });
}

void TMotherForm::BitBtn3Click() {
    guarded([this] {
        if (!askBeforeUpdater())
            return;
        const TCloseQuestions before = CloseQuestions;
        CloseQuestions = TCloseQuestions::None; // agreed to already
        closeChild(QStringLiteral("TunerForm"));
        closeChild(QStringLiteral("MonitorForm"));
        closeChild(QStringLiteral("TerminalForm"));
        CloseQuestions = before;
        showOrCreate<TUpdaterForm>(QStringLiteral("UpdaterForm"));
    });
}

// The Updater closes the Tuner, the Monitor and the Terminal: it says which are open and what
// closing them would lose, and goes on only when the user agrees.
bool TMotherForm::askBeforeUpdater() {
    FinishEditing();
    QStringList closing, lost;
    if (mdiChild(QStringLiteral("TunerForm")))
        closing << QStringLiteral("the Tuner");
    if (auto* monitor = qobject_cast<TMonitorForm*>(mdiChild(QStringLiteral("MonitorForm")))) {
        closing << QStringLiteral("the Monitor");
        if (const qsizetype polls = monitor->unsavedPolls(); polls > 0)
            lost << QStringLiteral("the Monitor's %1 %2 that no file holds")
                        .arg(polls)
                        .arg(polls == 1 ? QStringLiteral("poll") : QStringLiteral("polls"));
    }
    if (mdiChild(QStringLiteral("TerminalForm")))
        closing << QStringLiteral("the Terminal");
    if (closing.isEmpty())
        return true;
    QString text = QStringLiteral("Opening the Updater closes %1.").arg(Listed(closing));
    text += lost.isEmpty() ? QStringLiteral("\nNothing unsaved is lost.")
                           : QStringLiteral("\nLost would be %1.").arg(Listed(lost));
    if (const int changes = ImageHistory().changeCount();
        changes > 0 && closing.contains(QStringLiteral("the Tuner")))
        text += QStringLiteral("\nThe settings' unsaved changes stay in the editor: %1 (File > "
                               "Save Settings keeps them).")
                    .arg(ChangeCountText(changes));
    const QStringList buttons = {QStringLiteral("Close and Open the Updater"),
                                 QStringLiteral("Cancel")};
    return Dialogs::choose(this, QMessageBox::Warning, QStringLiteral("Updater"), text, buttons, 1,
                           1) == 0;
}

void TMotherForm::BitBtn4Click() {
    guarded([this] {
        if (auto* terminal = showOrCreate<TTerminalForm>(QStringLiteral("TerminalForm")))
            terminal->setFocus();
    });
}

QString TMotherForm::OpenSettingsDialog() {
    return Dialogs::openFileName(this, QStringLiteral("Load Settings"), SettingsFolder(),
                                 kSettingsFilter, kXmlFilter);
}

QString TMotherForm::SaveSettingsDialog() {
    return Dialogs::saveFileName(this, QStringLiteral("Save Settings"), SettingsFolder(),
                                 kSettingsFilter, kXmlFilter);
}

void TMotherForm::showTuner() {
    auto* tuner = new TTunerForm();
    addChild(tuner, QStringLiteral("TunerForm"));
    tuner->ShowSettings();
}

void TMotherForm::MenuNewSettingsClick() {
    guarded([this] {
        if (NewImage(this))
            showTuner();
    });
}

void TMotherForm::MenuLoadSsettingsClick() {
    guarded([this] {
        if (LoadImage(this))
            showTuner();
    });
}

void TMotherForm::openRecentFile(const QString& file) {
    guarded([this, &file] {
        if (LoadImage(this, file))
            showTuner();
    });
}

void TMotherForm::MenuSaveSettingsClick() {
    guarded([this] { SaveImage(this); });
}

// Each window steps down and right by a title bar and keeps two thirds of the area (at
// least its own minimum), so every cascaded window stays usable.
void TMotherForm::MenuCascadeClick() {
    const auto all = MdiArea->subWindowList();
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : all)
        if (!window->isHidden())
            windows.append(window);
    const QSize area = MdiArea->viewport()->size();
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 4;
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* window = windows.at(i);
        window->showNormal();
        const QSize wanted(area.width() * 2 / 3, area.height() * 2 / 3);
        const QSize size = wanted.expandedTo(window->minimumSizeHint()).boundedTo(area);
        const int offset = i * step;
        const int x = qMin(offset, qMax(0, area.width() - size.width()));
        const int y = qMin(offset, qMax(0, area.height() - size.height()));
        window->setGeometry(x, y, size.width(), size.height());
        window->raise();
    }
}

void TMotherForm::tile(Qt::Orientation orientation) {
    QList<QMdiSubWindow*> windows;
    const auto all = MdiArea->subWindowList();
    for (QMdiSubWindow* window : all)
        if (!window->isHidden())
            windows.append(window);
    if (windows.isEmpty())
        return;
    const QSize area = MdiArea->viewport()->size();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        windows.at(i)->showNormal();
        if (orientation == Qt::Horizontal) { // side by side
            const int w = area.width() / n;
            windows.at(i)->setGeometry(i * w, 0, w, area.height());
        } else {
            const int h = area.height() / n;
            windows.at(i)->setGeometry(0, i * h, area.width(), h);
        }
    }
}

void TMotherForm::MenuVerticalClick() {
    tile(Qt::Horizontal);
}

void TMotherForm::MenuHorizontalClick() {
    tile(Qt::Vertical);
}

void TMotherForm::openManual(const QString& fileName) {
    const QString path = ManualPath(fileName);
    if (!QFileInfo::exists(path)) {
        Dialogs::error(
            this, QStringLiteral("The manual %1 is missing.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (!Dialogs::openUrl(QUrl::fromLocalFile(path)))
        Dialogs::error(
            this,
            QStringLiteral("No program to show %1 was found.").arg(QDir::toNativeSeparators(path)));
}

void TMotherForm::ManualRusClick() {
    openManual(QStringLiteral("Manual_rus.pdf"));
}

void TMotherForm::ManualEnClick() {
    openManual(QStringLiteral("Manual_eng.pdf"));
}

void TMotherForm::MenuAboutClick() {
    AboutForm->exec();
}

// The connection check stays open beside the work (a device can be plugged in and the
// check run again); a second call brings it to the front.
void TMotherForm::MenuConnectionCheckClick() {
    guarded([this] {
        if (!m_connectionCheck) {
            TConnectionCheckOptions options;
            options.sysRoot = m_options.sysRoot;
            options.devRoot = m_options.devRoot;
            options.procRoot = m_options.procRoot;
            options.fsRoot = m_options.fsRoot;
            options.choice = [this] { return ComPorts->currentText(); };
            auto* check = new TConnectionCheckForm(options, this);
            check->setAttribute(Qt::WA_DeleteOnClose);
            m_connectionCheck = check;
        }
        m_connectionCheck->show();
        m_connectionCheck->raise();
        m_connectionCheck->activateWindow();
    });
}

// Quitting asks about the settings' changes once, then every working window: one that
// refuses (the Monitor with an unsaved session, the Updater while a firmware update runs)
// keeps the main window open. A normal end removes the recovery file; an end by a signal
// asks nothing and keeps it.
void TMotherForm::closeEvent(QCloseEvent* event) {
    if (!m_endingBySignal && !AskBeforeLosingChanges(this, QStringLiteral("Quitting"))) {
        event->ignore();
        return;
    }
    const TCloseQuestions before = CloseQuestions;
    CloseQuestions = m_endingBySignal ? TCloseQuestions::None : TCloseQuestions::SettingsAnswered;
    MdiArea->closeAllSubWindows();
    CloseQuestions = before;
    const auto children = MdiArea->subWindowList();
    for (QMdiSubWindow* sub : children) {
        if (sub->isVisible()) {
            event->ignore();
            return;
        }
    }
    if (m_recoveryTimer)
        m_recoveryTimer->stop();
    if (!m_endingBySignal)
        RemoveRecovery(RecoveryFolder());
    event->accept();
}
