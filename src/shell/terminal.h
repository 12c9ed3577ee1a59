#pragma once
// The Terminal window: type a raw protocol line, send it, see every line that comes back.
// The exchange itself is link/terminal.h; this window only shows it.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
struct TTerminalExchange;

class TTerminalForm : public QWidget {
    Q_OBJECT
public:
    explicit TTerminalForm(QWidget* parent = nullptr);

    QPlainTextEdit* Memo = nullptr;
    QWidget* Panel = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Command = nullptr;
    QPushButton* BitBtn = nullptr;

public slots:
    void BitBtnClick();     // "Send"
    void CommandKeyPress(); // Enter in Command

private:
    void createPanel();
    void showExchange(const TTerminalExchange& exchange);
    void appendReceived(const QByteArray& line);
    void appendLine(const QString& text);

    int m_lines = 0; // lines in the log
};
