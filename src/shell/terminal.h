#pragma once
// The Terminal window: type a raw protocol line, send it, see every line that comes back.
// The exchange itself is link/terminal.h; this window only shows it. Up and Down walk the
// commands sent (kept between runs), Tab completes a parameter name; the log can be
// cleared and saved.

#include "shell/commandhistory.h"

#include <QLineEdit>
#include <QWidget>

class QCompleter;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStringListModel;
struct TTerminalExchange;

// The command line: Up and Down ask for history entries, Tab for a completion; while the
// completion list is open its keys (Return, Escape, Tab) belong to the list.
class TCommandEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
    void setCompletionList(QCompleter* completer) { m_completer = completer; }

signals:
    void historyUp();
    void historyDown();
    void completeRequested();

protected:
    bool event(QEvent* event) override; // Tab, before it moves the focus
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool listOpen() const;
    QCompleter* m_completer = nullptr;
};

class TTerminalForm : public QWidget {
    Q_OBJECT
public:
    explicit TTerminalForm(QWidget* parent = nullptr);

    QPlainTextEdit* Memo = nullptr;
    QWidget* Panel = nullptr;
    QLabel* Label1 = nullptr;
    TCommandEdit* Command = nullptr;
    QPushButton* BitBtn = nullptr;
    QPushButton* ClearLog = nullptr; // "Clear"
    QPushButton* SaveLog = nullptr;  // "Save Log..."

    const TCommandHistory& history() const { return m_history; }
    QCompleter* completer() const { return m_completer; } // the list of ambiguous completions

public slots:
    void BitBtnClick();     // "Send"
    void CommandKeyPress(); // Enter in Command
    void ClearLogClick();
    void SaveLogClick();
    void CommandHistoryUp();
    void CommandHistoryDown();
    void CommandComplete(); // Tab in Command

private:
    void createPanel();
    void createCompleter();
    void remember(const QString& command);
    void showExchange(const TTerminalExchange& exchange);
    void appendReceived(const QByteArray& line);
    void appendLine(const QString& text);

    int m_lines = 0; // lines in the log
    TCommandHistory m_history;
    QCompleter* m_completer = nullptr;
    QStringListModel* m_completions = nullptr;
};
