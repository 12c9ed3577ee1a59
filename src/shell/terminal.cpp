#include "shell/terminal.h"

#include "link/ComPort.h"
#include "link/terminal.h"
#include "link/transport.h"
#include "shell/dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QValidator>

namespace {

constexpr int kMaxCommand = 255;

// Turns every typed letter into upper case.
class TUpperCase : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

} // namespace

TTerminalForm::TTerminalForm(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Terminal"));
    setFont(QFont(QStringLiteral("Tahoma"), 9));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    Memo = new QPlainTextEdit(this);
    Memo->setObjectName(QStringLiteral("Memo"));
    Memo->setReadOnly(true);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono(QStringLiteral("Courier New"), 10);
    mono.setStyleHint(QFont::Monospace);
    Memo->setFont(mono);
    layout->addWidget(Memo, 1);

    createPanel();
    layout->addWidget(Panel);
    connect(BitBtn, &QPushButton::clicked, this, &TTerminalForm::BitBtnClick);
    connect(Command, &QLineEdit::returnPressed, this, &TTerminalForm::CommandKeyPress);
    setFocusProxy(Command);
}

void TTerminalForm::createPanel() {
    Panel = new QWidget(this);
    Panel->setObjectName(QStringLiteral("Panel"));
    Panel->setFixedHeight(30);
    auto* row = new QHBoxLayout(Panel);
    row->setContentsMargins(0, 2, 0, 2);
    Label1 = new QLabel(QStringLiteral("Command:"), Panel);
    Label1->setObjectName(QStringLiteral("Label1"));
    Command = new QLineEdit(Panel);
    Command->setObjectName(QStringLiteral("Command"));
    Command->setMaxLength(kMaxCommand);
    Command->setValidator(new TUpperCase(Command));
    BitBtn = new QPushButton(QStringLiteral("Send"), Panel);
    BitBtn->setObjectName(QStringLiteral("BitBtn"));
    BitBtn->setFixedSize(160, 25);
    row->addWidget(Label1);
    row->addWidget(Command, 1);
    row->addWidget(BitBtn);
}

void TTerminalForm::CommandKeyPress() {
    BitBtnClick();
}

void TTerminalForm::BitBtnClick() {
    const QString text = Command->text();
    appendLine(text);
    if (ComPort != nullptr && ComPort->Active()) {
        // The window does not answer while the device talks; show the echo first.
        Memo->viewport()->repaint();
        showExchange(TerminalSend(ComPort, text.toLatin1()));
    }
    Command->clear();
    Command->setFocus();
}

void TTerminalForm::showExchange(const TTerminalExchange& exchange) {
    for (const QByteArray& line : exchange.lines)
        appendReceived(line);
    // What came after the last carriage return is shown too: a device that answers without
    // ending its line would otherwise seem silent. A lone line feed only ends the last line.
    if (!exchange.partial.isEmpty() && exchange.partial != "\n")
        appendReceived(exchange.partial);
    if (exchange.cutShort)
        appendLine(QStringLiteral("[stopped reading: the device did not pause]"));
    if (!exchange.error.isEmpty())
        Dialogs::error(this, exchange.error);
}

// A line is logged as received; its carriage return ends the line in the log, and the
// line feed a device may send after it (so before the next line) starts no empty line.
void TTerminalForm::appendReceived(const QByteArray& line) {
    QString text = QString::fromLatin1(line);
    if (text.startsWith(QLatin1Char('\n')))
        text.remove(0, 1);
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    appendLine(text);
}

// A new last line, also an empty one (which appendPlainText would merge into an empty log).
void TTerminalForm::appendLine(const QString& text) {
    QTextCursor cursor(Memo->document());
    cursor.movePosition(QTextCursor::End);
    if (m_lines++ > 0)
        cursor.insertBlock();
    cursor.insertText(text);
    Memo->verticalScrollBar()->setValue(Memo->verticalScrollBar()->maximum());
}
