#include "shell/dialogs.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QQueue>

namespace {
struct FileAnswer {
    QString fileName;
    QString chosenFilter;
};
struct Script {
    QQueue<QMessageBox::StandardButton> answers;
    QQueue<FileAnswer> fileNames;
    QQueue<std::optional<QColor>> colours;
    QStringList shown;
    bool recordUrlsOnly = false;
    QList<QUrl> urls;
};
Script& script() {
    static Script s;
    return s;
}
} // namespace

namespace Dialogs {

QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                    const QString& text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) {
    script().shown.append(text);
    if (!script().answers.isEmpty())
        return script().answers.dequeue();
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void information(QWidget* parent, const QString& text) {
    message(parent, QMessageBox::Information, QStringLiteral("Information"), text);
}

void error(QWidget* parent, const QString& text) {
    message(parent, QMessageBox::Critical, QStringLiteral("Error"), text);
}

void warnings(QWidget* parent, const QStringList& lines) {
    if (!lines.isEmpty())
        message(parent, QMessageBox::Warning, QStringLiteral("Warning"),
                lines.join(QLatin1Char('\n')));
}

bool question(QWidget* parent, const QString& text) {
    return message(parent, QMessageBox::Question, QStringLiteral("Confirm"), text,
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

namespace {
// A scripted answer, if a test queued one.
std::optional<QString> scriptedFile(const QString& selectedFilter, QString* chosenFilter) {
    if (script().fileNames.isEmpty())
        return std::nullopt;
    const FileAnswer answer = script().fileNames.dequeue();
    if (chosenFilter)
        *chosenFilter = answer.chosenFilter.isEmpty() ? selectedFilter : answer.chosenFilter;
    return answer.fileName;
}

QString runFileDialog(QFileDialog& dialog, const QString& selectedFilter, QString* chosenFilter) {
    if (!selectedFilter.isEmpty())
        dialog.selectNameFilter(selectedFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (chosenFilter)
        *chosenFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}
} // namespace

QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                     const QString& filter, const QString& selectedFilter, QString* chosenFilter) {
    if (const auto answer = scriptedFile(selectedFilter, chosenFilter))
        return *answer;
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return runFileDialog(dialog, selectedFilter, chosenFilter);
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                     const QString& filter, const QString& selectedFilter, QString* chosenFilter,
                     const QString& defaultSuffix) {
    if (const auto answer = scriptedFile(selectedFilter, chosenFilter))
        return *answer;
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    return runFileDialog(dialog, selectedFilter, chosenFilter);
}

std::optional<QColor> color(QWidget* parent, const QColor& initial) {
    if (!script().colours.isEmpty())
        return script().colours.dequeue();
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

bool openUrl(const QUrl& url) {
    script().urls.append(url);
    if (script().recordUrlsOnly)
        return true;
    return QDesktopServices::openUrl(url);
}

void setNextAnswer(QMessageBox::StandardButton button) {
    script().answers.enqueue(button);
}
void setNextFileName(const QString& fileName, const QString& chosenFilter) {
    script().fileNames.enqueue({fileName, chosenFilter});
}
void setNextColor(std::optional<QColor> colour) {
    script().colours.enqueue(colour);
}
QStringList shownMessages() {
    return script().shown;
}
void setRecordUrlsOnly(bool recordOnly) {
    script().recordUrlsOnly = recordOnly;
}
QList<QUrl> openedUrls() {
    return script().urls;
}
void reset() {
    script() = Script();
}

} // namespace Dialogs
