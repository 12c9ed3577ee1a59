#include "shell/dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QQueue>

namespace {
struct Script {
    QQueue<QMessageBox::StandardButton> answers;
    QQueue<QString> fileNames;
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

bool question(QWidget* parent, const QString& text) {
    return message(parent, QMessageBox::Question, QStringLiteral("Confirm"), text,
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                     const QString& filter, const QString& selectedFilter) {
    if (!script().fileNames.isEmpty())
        return script().fileNames.dequeue();
    QString selected = selectedFilter;
    return QFileDialog::getOpenFileName(parent, caption, dir, filter,
                                        selected.isEmpty() ? nullptr : &selected);
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                     const QString& filter, const QString& selectedFilter) {
    if (!script().fileNames.isEmpty())
        return script().fileNames.dequeue();
    QString selected = selectedFilter;
    return QFileDialog::getSaveFileName(parent, caption, dir, filter,
                                        selected.isEmpty() ? nullptr : &selected);
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
void setNextFileName(const QString& fileName) {
    script().fileNames.enqueue(fileName);
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
