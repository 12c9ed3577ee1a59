#include "shell/terminal.h"

#include "link/ComPort.h"
#include "link/devicetext.h"
#include "link/terminal.h"
#include "link/transport.h"
#include "settings/protocolnames.h"
#include "settings/safefile.h"
#include "shell/dialogs.h"
#include "shell/mother.h"
#include "shell/paths.h"
#include "shell/windowtitle.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextCursor>
#include <QVBoxLayout>
#include <QValidator>

namespace {

constexpr int kMaxCommand = 255;

// Turns every typed (or pasted) letter into upper case and drops control characters, so
// nothing but the line itself reaches the device.
class TUpperCase : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        const QString clean = TCommandHistory::clean(input);
        pos = int(qMin(TCommandHistory::clean(input.left(pos)).size(), clean.size()));
        input = clean;
        return Acceptable;
    }
};

// The longest beginning that all of `names` share.
QString CommonPrefix(const QStringList& names) {
    QString prefix = names.value(0);
    for (const QString& name : names)
        while (!name.startsWith(prefix))
            prefix.chop(1);
    return prefix;
}

} // namespace

TTerminalForm::TTerminalForm(QWidget* parent) : QWidget(parent) {
    SetFormTitle(this, QStringLiteral("Terminal"));
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
    connect(ClearLog, &QPushButton::clicked, this, &TTerminalForm::ClearLogClick);
    connect(SaveLog, &QPushButton::clicked, this, &TTerminalForm::SaveLogClick);
    connect(Command, &TCommandEdit::historyUp, this, &TTerminalForm::CommandHistoryUp);
    connect(Command, &TCommandEdit::historyDown, this, &TTerminalForm::CommandHistoryDown);
    connect(Command, &TCommandEdit::completeRequested, this, &TTerminalForm::CommandComplete);
    createCompleter();
    setFocusProxy(Command);
    m_history.load(AppSettingsFile());
}

bool TCommandEdit::listOpen() const {
    return m_completer && m_completer->popup() && m_completer->popup()->isVisible();
}

bool TCommandEdit::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
            if (listOpen())
                event->ignore(); // the list takes its choice
            else
                emit completeRequested();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void TCommandEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        if (listOpen()) { // the list takes its choice; nothing is sent yet
            event->ignore();
            return;
        }
        break;
    case Qt::Key_Up:
        emit historyUp();
        return;
    case Qt::Key_Down:
        emit historyDown();
        return;
    default:
        break;
    }
    QLineEdit::keyPressEvent(event);
}

void TTerminalForm::createCompleter() {
    m_completions = new QStringListModel(this);
    m_completer = new QCompleter(m_completions, this);
    m_completer->setWidget(Command);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    Command->setCompletionList(m_completer);
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), Command,
            [this](const QString& name) { Command->setText(name); });
}

void TTerminalForm::createPanel() {
    Panel = new QWidget(this);
    Panel->setObjectName(QStringLiteral("Panel"));
    Panel->setFixedHeight(30);
    auto* row = new QHBoxLayout(Panel);
    row->setContentsMargins(0, 2, 0, 2);
    Label1 = new QLabel(QStringLiteral("Command:"), Panel);
    Label1->setObjectName(QStringLiteral("Label1"));
    Command = new TCommandEdit(Panel);
    Command->setObjectName(QStringLiteral("Command"));
    Command->setMaxLength(kMaxCommand);
    Command->setValidator(new TUpperCase(Command));
    BitBtn = new QPushButton(QStringLiteral("Send"), Panel);
    BitBtn->setObjectName(QStringLiteral("BitBtn"));
    BitBtn->setFixedSize(160, 25);
    ClearLog = new QPushButton(QStringLiteral("Clear"), Panel);
    ClearLog->setObjectName(QStringLiteral("ClearLog"));
    SaveLog = new QPushButton(QStringLiteral("Save Log..."), Panel);
    SaveLog->setObjectName(QStringLiteral("SaveLog"));
    for (QPushButton* button : {ClearLog, SaveLog})
        button->setFixedHeight(25);
    Label1->setBuddy(Command);
    row->addWidget(Label1);
    row->addWidget(Command, 1);
    row->addWidget(BitBtn);
    row->addWidget(ClearLog);
    row->addWidget(SaveLog);
}

void TTerminalForm::CommandKeyPress() {
    BitBtnClick();
}

void TTerminalForm::BitBtnClick() {
    const QString text = Command->text();
    remember(text);
    appendLine(text);
    ReconnectForCommand();
    if (ComPort != nullptr && ComPort->Active()) {
        // The window does not answer while the device talks; show the echo first.
        Memo->viewport()->repaint();
        showExchange(TerminalSend(ComPort, ToDeviceText(text)));
    }
    Command->clear();
    Command->setFocus();
}

// The command joins the history, which is written at once: a crash loses nothing typed.
void TTerminalForm::remember(const QString& command) {
    m_history.add(command);
    m_history.save(AppSettingsFile()); // best effort: the history is a convenience
}

void TTerminalForm::CommandHistoryUp() {
    if (const auto text = m_history.older(Command->text()))
        Command->setText(*text);
}

void TTerminalForm::CommandHistoryDown() {
    if (const auto text = m_history.newer())
        Command->setText(*text);
}

// Completes the parameter name typed so far: a single match at once, several as far as they
// agree and then as a list to choose from. Only the name is completed, never what follows
// its "?" or "=".
void TTerminalForm::CommandComplete() {
    const QString text = Command->text();
    if (text.contains(QLatin1Char('?')) || text.contains(QLatin1Char('=')) ||
        text.contains(QLatin1Char(' ')))
        return;
    const QStringList matches = CompleteProtocolName(text);
    if (matches.isEmpty())
        return;
    const QString common = CommonPrefix(matches);
    if (common.size() > text.size()) {
        Command->setText(common);
        return;
    }
    if (matches.size() < 2)
        return;
    m_completions->setStringList(matches);
    m_completer->setCompletionPrefix(QString());
    m_completer->complete();
}

void TTerminalForm::ClearLogClick() {
    Memo->clear();
    m_lines = 0;
    Command->setFocus();
}

void TTerminalForm::SaveLogClick() {
    const QString textFilter = QStringLiteral("Text File (*.txt)");
    const QString name = Dialogs::saveFileName(this, QStringLiteral("Save Log"), DataFolder(),
                                               textFilter + QStringLiteral(";;All (*)"), textFilter,
                                               nullptr, QStringLiteral("txt"));
    if (name.isEmpty())
        return;
    QString error;
    if (!WriteFileSafely(name, (Memo->toPlainText() + QLatin1Char('\n')).toUtf8(), &error))
        Dialogs::error(this, error);
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
    QString text = FromDeviceText(line);
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
