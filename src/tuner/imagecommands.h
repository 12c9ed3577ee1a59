#pragma once
// The commands that replace, store or send the whole settings image, shared by the main
// window's menu and the Tuner's buttons, and the question asked before anything unsaved is
// replaced or dropped. Each replacement is one step of the image's history
// (settings/history.h), and a good save or upload moves its baseline.

#include <QString>

class QAction;
class QObject;
class QWidget;

// Who asks before a window closes.
enum class TCloseQuestions {
    Ask,              // every window asks what it would lose
    SettingsAnswered, // the user answered for the settings already (quitting, the Updater)
    None              // nobody can be asked (a signal ends the session) or all agreed
};
extern TCloseQuestions CloseQuestions;

// A menu takes no focus, so a Tuner field still being edited has not been stored yet: let it
// commit (as leaving it does) before a command acts on the image.
void FinishEditing();

// When the image holds changes that neither a save nor an upload carried: asks whether
// `loss` ("Loading other settings") may drop them, offering "Save...", "Upload" (with a
// device connected), "Discard" and "Cancel" (the default). True when the command may go
// on: nothing to lose, saved, uploaded, or discarded.
bool AskBeforeLosingChanges(QWidget* parent, const QString& loss);

// "Save Settings": the save dialog, the file written, the baseline moved, "Done". False
// when cancelled or failed (the error is shown).
bool SaveImage(QWidget* parent);
// "Upload Settings": "Done" and the baseline moved, or the failure report.
bool UploadImage(QWidget* parent);
// "Download Settings": asks first; the device's image replaces Settings. False when
// cancelled or failed (the failure is reported).
bool DownloadImage(QWidget* parent);
// "New Settings": asks first; the default settings file replaces Settings.
bool NewImage(QWidget* parent);
// "Load Settings": asks first, then the open dialog (unless file is given); the file
// replaces Settings. False when cancelled or the file is gone (said so).
bool LoadImage(QWidget* parent, const QString& file = QString());
// Settings back to the baseline, as one step ("Discard Changes").
void DiscardChanges();

// "Undo <what>" and "Redo <what>" of the image's history; a field being edited commits
// first. withShortcuts: Ctrl+Z, and Ctrl+Shift+Z and Ctrl+Y.
QAction* NewUndoAction(QObject* parent, bool withShortcuts);
QAction* NewRedoAction(QObject* parent, bool withShortcuts);

// A note in the main window's status bar ("40.0 W is 51 % (39.6 W)"); the last one is
// kept for tests.
void ShowNote(const QString& text);
QString LastNote();
