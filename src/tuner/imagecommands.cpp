#include "tuner/imagecommands.h"

#include "link/ComPort.h"
#include "link/transport.h"
#include "settings/history.h"
#include "settings/settingsfile.h"
#include "settings/transfer.h"
#include "shell/dialogs.h"
#include "shell/mother.h"
#include "shell/paths.h"
#include "shell/recentfiles.h"
#include "tuner/binding.h"
#include "tuner/tuner.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStatusBar>
#include <QUndoStack>

TCloseQuestions CloseQuestions = TCloseQuestions::Ask;

namespace {
const QString kSettingsFilter = QStringLiteral("All (*);;XML File (*.xml)");
const QString kXmlFilter = QStringLiteral("XML File (*.xml)");
QString g_lastNote;

QString OpenDialog(QWidget* parent) {
    if (MotherForm)
        return MotherForm->OpenSettingsDialog();
    return Dialogs::openFileName(parent, QStringLiteral("Load Settings"), SettingsFolder(),
                                 kSettingsFilter, kXmlFilter);
}

QString SaveDialog(QWidget* parent) {
    if (MotherForm)
        return MotherForm->SaveSettingsDialog();
    return Dialogs::saveFileName(parent, QStringLiteral("Save Settings"), SettingsFolder(),
                                 kSettingsFilter, kXmlFilter);
}

bool Connected() {
    return ComPort && ComPort->Active();
}

QAction* NewHistoryAction(QObject* parent, bool redo, bool withShortcuts) {
    QUndoStack* stack = ImageHistory().stack();
    const QString verb = redo ? QStringLiteral("Redo") : QStringLiteral("Undo");
    auto* action = new QAction(verb, parent);
    action->setObjectName(redo ? QStringLiteral("MenuRedo") : QStringLiteral("MenuUndo"));
    const auto follow = [action, stack, redo, verb] {
        const QString what = redo ? stack->redoText() : stack->undoText();
        action->setText(what.isEmpty() ? verb : QStringLiteral("%1 %2").arg(verb, what));
        action->setEnabled(redo ? stack->canRedo() : stack->canUndo());
    };
    follow();
    QObject::connect(stack, &QUndoStack::indexChanged, action, follow);
    QObject::connect(stack, &QUndoStack::cleanChanged, action, follow);
    if (withShortcuts)
        action->setShortcuts(
            redo ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                       QKeySequence(Qt::CTRL | Qt::Key_Y)}
                 : QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Z)});
    QObject::connect(action, &QAction::triggered, action, [stack, redo] {
        FinishEditing();
        const QString what = redo ? stack->redoText() : stack->undoText();
        if (redo ? !stack->canRedo() : !stack->canUndo())
            return;
        redo ? stack->redo() : stack->undo();
        ShowNote(QStringLiteral("%1: %2").arg(
            redo ? QStringLiteral("Redone") : QStringLiteral("Undone"), what));
    });
    return action;
}
} // namespace

void FinishEditing() {
    if (QWidget* focused = QApplication::focusWidget()) {
        focused->clearFocus();
        focused->setFocus(Qt::OtherFocusReason);
    }
}

bool AskBeforeLosingChanges(QWidget* parent, const QString& loss) {
    FinishEditing();
    const QList<TShownDiff> changes = ImageHistory().changes();
    if (changes.isEmpty())
        return true;
    const QString text =
        QStringLiteral("%1 would lose %2 that no save or upload has kept:\n%3")
            .arg(loss, ChangeCountText(int(changes.size())), ChangeListText(changes));
    QStringList buttons = {QStringLiteral("Save...")};
    if (Connected())
        buttons << QStringLiteral("Upload");
    buttons << QStringLiteral("Discard") << QStringLiteral("Cancel");
    const int cancel = int(buttons.size()) - 1;
    const QString answer = buttons.value(Dialogs::choose(parent, QMessageBox::Warning,
                                                         QStringLiteral("Unsaved Changes"), text,
                                                         buttons, cancel, cancel));
    if (answer == QLatin1String("Save..."))
        return SaveImage(parent);
    if (answer == QLatin1String("Upload"))
        return UploadImage(parent);
    return answer == QLatin1String("Discard");
}

bool SaveImage(QWidget* parent) {
    FinishEditing();
    const QString file = SaveDialog(parent);
    if (file.isEmpty())
        return false;
    SaveSettingsFile(file);
    ImageHistory().markBaseline({TImageSource::File, file});
    TRecentFiles::instance().add(file);
    Dialogs::information(parent, QStringLiteral("Done"));
    return true;
}

bool UploadImage(QWidget* parent) {
    FinishEditing();
    if (!CheckConnected(parent))
        return false;
    const qint32 id = Settings.ID;
    const bool written = WriteDeviceSettings();
    const qint32 read = Settings.ID; // the device's ID, read by the upload
    Settings.ID = id;
    ImageHistory().takeDeviceValues(
        {{[](TSettings& image, int) -> qint32& { return image.ID; }, 0, read}});
    if (!written) {
        ReportFailure(parent);
        return false;
    }
    ImageHistory().markBaseline({TImageSource::Device, {}});
    Dialogs::information(parent, QStringLiteral("Done"));
    return true;
}

bool DownloadImage(QWidget* parent) {
    if (!AskBeforeLosingChanges(parent, QStringLiteral("Downloading the device's settings")))
        return false;
    if (!CheckConnected(parent))
        return false;
    TSettings image = Settings; // what the model doesn't transfer stays as it is
    if (!ReadDeviceSettingsInto(image)) {
        ReportFailure(parent);
        return false;
    }
    ImageHistory().replace(QStringLiteral("Download Settings"), image, {TImageSource::Device, {}});
    return true;
}

bool NewImage(QWidget* parent) {
    if (!AskBeforeLosingChanges(parent, QStringLiteral("New settings")))
        return false;
    TSettings image = Settings;
    Dialogs::warnings(parent, LoadSettingsFile(DefaultSettingsFile(), image));
    ImageHistory().replace(QStringLiteral("New Settings"), image, {TImageSource::New, {}});
    return true;
}

bool LoadImage(QWidget* parent, const QString& given) {
    if (!AskBeforeLosingChanges(parent, QStringLiteral("Loading other settings")))
        return false;
    const QString file = given.isEmpty() ? OpenDialog(parent) : given;
    if (file.isEmpty())
        return false;
    if (!QFileInfo(file).isFile()) {
        if (given.isEmpty())
            return false; // the open dialog answers only files that exist
        TRecentFiles::instance().remove(file);
        Dialogs::error(parent, QStringLiteral("The settings file %1 is gone; it is no longer "
                                              "listed under Recent Files.")
                                   .arg(QDir::toNativeSeparators(file)));
        return false;
    }
    TSettings image = Settings;
    Dialogs::warnings(parent, LoadSettingsFile(file, image));
    ImageHistory().replace(QStringLiteral("Load Settings"), image, {TImageSource::File, file});
    TRecentFiles::instance().add(file);
    return true;
}

void DiscardChanges() {
    const TSettings baseline = ImageHistory().baseline();
    ImageHistory().change(QStringLiteral("Discard Changes"),
                          [&](TSettings& image) { image = baseline; });
}

QAction* NewUndoAction(QObject* parent, bool withShortcuts) {
    return NewHistoryAction(parent, false, withShortcuts);
}

QAction* NewRedoAction(QObject* parent, bool withShortcuts) {
    return NewHistoryAction(parent, true, withShortcuts);
}

void ShowNote(const QString& text) {
    g_lastNote = text;
    if (MotherForm && MotherForm->StatusBar)
        MotherForm->StatusBar->showMessage(text, 10000);
}

QString LastNote() {
    return g_lastNote;
}
