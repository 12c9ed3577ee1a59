#pragma once
// The one seam for message boxes and file dialogs. Every window asks through these
// functions; tests queue the answers (and reset them in cleanup()).

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QWidget;

namespace Dialogs {

// A message box with the given icon and buttons; returns the button pressed.
QMessageBox::StandardButton
message(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
void information(QWidget* parent, const QString& text); // "Done" and friends
void error(QWidget* parent, const QString& text);       // error icon, OK
// Notes such as those of a settings file load, one per line; nothing when there are none.
void warnings(QWidget* parent, const QStringList& lines);
bool question(QWidget* parent, const QString& text); // Yes/No, true on Yes
// A question with buttons of its own ("Save...", "Discard", "Cancel"); returns the index of
// the button pressed. defaultIndex is the button Return presses, escapeIndex the one that
// Escape or closing the box stands for.
int choose(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
           const QStringList& buttons, int defaultIndex, int escapeIndex);

// File dialogs; an empty result means the user cancelled. filter lists the filters
// separated by ";;", each a caption with its patterns in parentheses; the dialog shows the
// captions as given and lists what they mean: patterns separated by ";" or blanks, "*.*"
// any file (with a dot or not), extensions in any letter case. selectedFilter is
// preselected. chosenFilter (when given) receives the
// filter the user left selected; defaultSuffix is added to a saved name typed without one.
// A save dialog asks before an existing file is chosen unless confirmOverwrite is false
// (for a caller that asks in its own words).
QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                     const QString& filter, const QString& selectedFilter = QString(),
                     QString* chosenFilter = nullptr);
QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                     const QString& filter, const QString& selectedFilter = QString(),
                     QString* chosenFilter = nullptr, const QString& defaultSuffix = QString(),
                     bool confirmOverwrite = true);

// The colour dialog (any colour, custom colours allowed), preset with initial; nothing when
// the user cancels.
std::optional<QColor> color(QWidget* parent, const QColor& initial);

// Opens a document or a web page with the system's default program; false if that failed.
// While urls are only recorded (tests), nothing is opened and the result is true.
bool openUrl(const QUrl& url);

// Test control: answers are taken in order instead of showing a dialog; every text shown
// is recorded.
void setNextAnswer(QMessageBox::StandardButton button);
// The next choose() answers the button captioned `button`; one it does not offer counts as
// Escape.
void setNextChoice(const QString& button);
// The buttons, and the default one's caption, of every choose() asked (in order).
QList<QStringList> offeredChoices();
QStringList defaultChoices();
// The next file dialog answers fileName, with chosenFilter as the filter left selected
// (the preselected one when empty).
void setNextFileName(const QString& fileName, const QString& chosenFilter = QString());
// The next colour dialog answers colour (nothing: cancelled).
void setNextColor(std::optional<QColor> colour);
QStringList shownMessages();
void setRecordUrlsOnly(bool recordOnly);
QList<QUrl> openedUrls();
QString lastFileFolder(); // the folder the last file dialog opened in
void reset();

} // namespace Dialogs
