#include "shell/dialogs.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QQueue>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

#include <algorithm>
#include <memory>

namespace {
struct FileAnswer {
    QString fileName;
    QString chosenFilter;
};
struct Script {
    QQueue<QMessageBox::StandardButton> answers;
    QQueue<QString> choices;
    QList<QStringList> offered;
    QStringList defaults;
    QQueue<FileAnswer> fileNames;
    QQueue<std::optional<QColor>> colours;
    QStringList shown;
    bool recordUrlsOnly = false;
    QList<QUrl> urls;
    QString lastFolder;
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

int choose(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
           const QStringList& buttons, int defaultIndex, int escapeIndex) {
    script().shown.append(text);
    script().offered.append(buttons);
    script().defaults.append(buttons.value(defaultIndex));
    if (!script().choices.isEmpty()) {
        const qsizetype index = buttons.indexOf(script().choices.dequeue());
        return index >= 0 ? int(index) : escapeIndex;
    }
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> pressable;
    for (const QString& caption : buttons)
        pressable.append(box.addButton(caption, QMessageBox::ActionRole));
    if (defaultIndex >= 0 && defaultIndex < pressable.size())
        box.setDefaultButton(static_cast<QPushButton*>(pressable.at(defaultIndex)));
    if (escapeIndex >= 0 && escapeIndex < pressable.size())
        box.setEscapeButton(pressable.at(escapeIndex));
    box.exec();
    const qsizetype index = pressable.indexOf(box.clickedButton());
    return index >= 0 ? int(index) : escapeIndex;
}

namespace {
// A scripted answer, if a test queued one.
std::optional<QString> scriptedFile(const QString& dir, const QString& selectedFilter,
                                    QString* chosenFilter) {
    script().lastFolder = dir;
    if (script().fileNames.isEmpty())
        return std::nullopt;
    const FileAnswer answer = script().fileNames.dequeue();
    if (chosenFilter)
        *chosenFilter = answer.chosenFilter.isEmpty() ? selectedFilter : answer.chosenFilter;
    return answer.fileName;
}

// The file patterns a filter caption stands for: the text inside its last parentheses (the
// whole caption when it has none), split at ";" and blanks, as "All (*.bmp;*.png)" means.
QStringList CaptionPatterns(const QString& caption) {
    static const QRegularExpression inParentheses(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    static const QRegularExpression separators(QStringLiteral("[;\\s]+"));
    const QRegularExpressionMatch match = inParentheses.match(caption);
    const QString list = match.hasMatch() ? match.captured(1) : caption;
    return list.split(separators, Qt::SkipEmptyParts);
}

// A caption of one "*.ext" pattern, whose extension a saved name may take.
bool SingleExtension(const QString& caption) {
    static const QRegularExpression oneExtension(QStringLiteral("^\\*\\.[^*?\\[\\].]+$"));
    const QStringList patterns = CaptionPatterns(caption);
    return patterns.size() == 1 && oneExtension.match(patterns.first()).hasMatch();
}

// Lists what the chosen caption means. Qt's own name filters split patterns at blanks only
// and read "*.*" as "a name with a dot", so the file model lists everything and this proxy
// decides: ";" or blanks separate patterns, "*" and "*.*" mean any file, letter case is
// ignored, folders always show.
class TPatternProxy : public QSortFilterProxyModel {
public:
    explicit TPatternProxy(QObject* parent) : QSortFilterProxyModel(parent) {}

    void setCaption(const QString& caption) {
        m_anyFile = false;
        m_patterns.clear();
        const QStringList patterns = CaptionPatterns(caption);
        for (const QString& pattern : patterns) {
            if (pattern == QLatin1String("*") || pattern == QLatin1String("*.*"))
                m_anyFile = true;
            m_patterns.append(
                QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                                   QRegularExpression::CaseInsensitiveOption));
        }
        m_anyFile = m_anyFile || patterns.isEmpty();
        invalidateFilter();
    }

    // The file model's own order (folders first) instead of sorting the shown texts.
    void sort(int column, Qt::SortOrder order) override { sourceModel()->sort(column, order); }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (m_anyFile || !files)
            return true;
        const QModelIndex index = files->index(row, 0, parent);
        if (files->isDir(index))
            return true;
        const QString name = files->fileName(index);
        return std::any_of(
            m_patterns.cbegin(), m_patterns.cend(),
            [&name](const QRegularExpression& re) { return re.match(name).hasMatch(); });
    }

private:
    bool m_anyFile = true;
    QList<QRegularExpression> m_patterns;
};

// In a save dialog Qt gives the typed name the extension of the chosen filter's first
// pattern ("x.png" becomes "x.gif" under "All (*.bmp;*.png;*.jpg;*.gif)", "x.*" under
// "(*.*)"); only a filter of one extension may rename, other filters keep the typed name.
void KeepTypedName(QFileDialog& dialog) {
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!types || !name)
        return;
    auto typed = std::make_shared<QString>();
    // The combo changes its index before Qt renames (on activation).
    QObject::connect(types, &QComboBox::currentIndexChanged, name,
                     [name, typed] { *typed = name->text(); });
    QObject::connect(&dialog, &QFileDialog::filterSelected, name,
                     [&dialog, name, typed](const QString& caption) {
                         if (dialog.acceptMode() == QFileDialog::AcceptSave &&
                             !SingleExtension(caption))
                             name->setText(*typed);
                     });
}

// The dialog shows the captions as given and lists the files their patterns mean.
void UseCaptionPatterns(QFileDialog& dialog, const QString& filter, const QString& selectedFilter) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts));
    auto* proxy = new TPatternProxy(&dialog);
    dialog.setProxyModel(proxy);
    auto* files = qobject_cast<QFileSystemModel*>(proxy->sourceModel());
    const auto follow = [&dialog, proxy, files] {
        if (files)
            files->setNameFilters({}); // undo the patterns Qt gave the model
        proxy->setCaption(dialog.selectedNameFilter());
    };
    if (!selectedFilter.isEmpty())
        dialog.selectNameFilter(selectedFilter);
    follow();
    // filterSelected follows Qt's own handling of the user's choice.
    QObject::connect(&dialog, &QFileDialog::filterSelected, proxy, follow);
    KeepTypedName(dialog);
}

QString runFileDialog(QFileDialog& dialog, QString* chosenFilter) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (chosenFilter)
        *chosenFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}
} // namespace

QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                     const QString& filter, const QString& selectedFilter, QString* chosenFilter) {
    if (const auto answer = scriptedFile(dir, selectedFilter, chosenFilter))
        return *answer;
    QFileDialog dialog(parent, caption, dir);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    UseCaptionPatterns(dialog, filter, selectedFilter);
    return runFileDialog(dialog, chosenFilter);
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                     const QString& filter, const QString& selectedFilter, QString* chosenFilter,
                     const QString& defaultSuffix, bool confirmOverwrite) {
    if (const auto answer = scriptedFile(dir, selectedFilter, chosenFilter))
        return *answer;
    QFileDialog dialog(parent, caption, dir);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    UseCaptionPatterns(dialog, filter, selectedFilter);
    return runFileDialog(dialog, chosenFilter);
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
void setNextChoice(const QString& button) {
    script().choices.enqueue(button);
}
QList<QStringList> offeredChoices() {
    return script().offered;
}
QStringList defaultChoices() {
    return script().defaults;
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
QString lastFileFolder() {
    return script().lastFolder;
}
void reset() {
    script() = Script();
}

} // namespace Dialogs
