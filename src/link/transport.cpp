#include "link/transport.h"

#include "link/ComPort.h"
#include "link/devicetext.h"

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <limits>
#include <sched.h>
#include <sys/prctl.h>

TComPort* ComPort = nullptr;
bool LinkLost = false;

namespace {

constexpr int kAttempts = 3;
constexpr int kReadPauseMs = 10;
constexpr int kWritePauseMs = 100;
// A device that never ends its line, or keeps sending unrelated lines, must not hold a
// request forever: both bounds count as a missing answer.
constexpr qsizetype kMaxLineBytes = 64 * 1024;
constexpr qint64 kAnswerLimitNs = 3'000'000'000;
// A device that never falls silent must not hold a flush forever either.
constexpr qint64 kFlushLimitNs = 3'000'000'000;
constexpr qint64 kPauseSpinNs = 400'000; // the last part of a pause is not slept

qint64 monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool portOpen() {
    return ComPort != nullptr && ComPort->Active();
}

QByteArray toAnsi(const QString& text) {
    return ToDeviceText(text);
}

// Drops every character of code 32 or below at both ends.
QString trimmed(const QByteArray& line) {
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && quint8(line.at(begin)) <= 32)
        ++begin;
    while (end > begin && quint8(line.at(end - 1)) <= 32)
        --end;
    return FromDeviceText(line.constData() + begin, end - begin);
}

// One received line up to and including its carriage return, within the request's deadline
// and the line bound; raises EComError when either runs out (or the port fails).
QByteArray readAnswerLine(qint64 deadlineNs) {
    QByteArray line;
    for (;;) {
        if (monotonicNs() > deadlineNs || line.size() >= kMaxLineBytes)
            throw EComError(0, QStringLiteral("Timeout"));
        const char c = char(ComPort->ReadByte());
        line.append(c);
        if (c == '\r')
            return line;
    }
}

enum class Answer { Value, Ok, Error, None };

// Reads lines until one is the answer; `key` non-empty looks for a "NAME=" line, empty
// looks for "OK". "ERROR" refuses; any other line is skipped.
Answer awaitAnswer(const QString& key, QString& value) {
    const qint64 deadline = monotonicNs() + kAnswerLimitNs;
    try {
        for (;;) {
            const QString text = trimmed(readAnswerLine(deadline));
            if (!key.isEmpty()) {
                if (text.contains(key)) {
                    value = text.mid(text.indexOf(QLatin1Char('=')) + 1);
                    return Answer::Value;
                }
            } else if (text == QLatin1String("OK")) {
                return Answer::Ok;
            }
            if (text == QLatin1String("ERROR"))
                return Answer::Error;
        }
    } catch (const EComError&) {
        return Answer::None;
    }
}

// Steps 1 to 3 shared by every single request: false when the request must not be sent.
bool mayRequest() {
    if (LinkLost)
        return false;
    if (!portOpen()) {
        LinkLost = true;
        return false;
    }
    return true;
}

// A request holding a control character is never sent, whatever it came from.
void refuseControlCharacters(const QString& line) {
    for (const QChar c : line)
        if (IsControlCharacter(c))
            throw EComError(
                0, QStringLiteral("Refused to send \"%1\": it holds the control "
                                  "character %2")
                       .arg(WithoutControlCharacters(line))
                       .arg(QStringLiteral("0x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))));
}

bool sendAndConfirm(const QString& line) {
    refuseControlCharacters(line);
    if (!mayRequest())
        return false;
    ComPort->WriteAnsiLine(toAnsi(line));
    QString unused;
    return awaitAnswer(QString(), unused) == Answer::Ok;
}

// Splits at every comma; an empty text has no fields, empty fields are kept.
QStringList splitFields(const QString& text) {
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

// A signed 32-bit decimal integer and nothing else.
bool parseInt32(const QString& field, qint32& value) {
    qsizetype i = 0;
    const bool negative = field.startsWith(QLatin1Char('-'));
    if (negative || field.startsWith(QLatin1Char('+')))
        i = 1;
    if (i >= field.size())
        return false;
    qint64 v = 0;
    for (; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
        if (v > qint64(1) << 31)
            return false;
    }
    v = negative ? -v : v;
    if (v > std::numeric_limits<qint32>::max())
        return false;
    value = qint32(v);
    return true;
}

// Up to three tries of one request, with a flush before each retry; stops early once the
// link is lost. True when a try succeeded.
template <typename Request> bool withRetries(Request request) {
    bool ok = false;
    for (int attempt = 1; attempt <= kAttempts && !ok && !LinkLost; ++attempt) {
        if (attempt > 1)
            FlushPort();
        ok = request();
    }
    return ok;
}

// Reads the parameter until it has `count` fields: up to three reads with a flush between.
bool readFields(const QString& name, int count, QStringList& fields) {
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        if (attempt > 1) {
            if (LinkLost)
                return false;
            FlushPort();
        }
        QString text;
        ReadParam(name, text);
        fields = splitFields(text);
        if (fields.size() == count)
            return true;
    }
    return false;
}

} // namespace

bool VirtualDeviceOpen() {
    return portOpen() && ComPort->VirtualDevice;
}

int PortBusy() {
    return ComPort != nullptr ? ComPort->Tag : 0;
}

void SetPortBusy(int value) {
    if (ComPort != nullptr)
        ComPort->Tag = value;
}

void TProgress::SetPosition(int position) {
    m_position = position;
    emit changed(m_position, m_max);
}

void TProgress::SetMax(int max) {
    m_max = max;
    emit changed(m_position, m_max);
}

void TProgress::StepIt() {
    SetPosition(m_position + 1);
}

TProgress& ProgressBar() {
    static TProgress progress;
    return progress;
}

// Sleeps to an absolute deadline on the monotonic clock: a signal does not shorten the
// pause, and the wake-up latency is the only overshoot.
void Pause(int ms) {
    if (ms <= 0)
        return;
    // The default 50 us timer slack would be added to every pause of a transfer.
    static thread_local const bool precise = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    Q_UNUSED(precise);
    // A sleep wakes late by a few hundred microseconds on a busy or virtual machine, and a
    // transfer makes about a hundred pauses: sleep to just before the deadline, then yield
    // the processor until it has passed.
    const qint64 deadlineNs = monotonicNs() + qint64(ms) * 1'000'000;
    const qint64 wakeNs = deadlineNs - kPauseSpinNs;
    const timespec wake{time_t(wakeNs / 1'000'000'000), long(wakeNs % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
    }
    while (monotonicNs() < deadlineNs)
        sched_yield();
}

void FlushPort() {
    if (!portOpen())
        return;
    ComPort->PurgeOutput();
    ComPort->PurgeInput();
    for (int i = 0; i < 3; ++i)
        ComPort->WriteAnsiChar('\r');
    const qint64 deadline = monotonicNs() + kFlushLimitNs;
    try {
        while (monotonicNs() < deadline)
            ComPort->ReadByte();
    } catch (const EComError&) {
    }
}

bool IsControlCharacter(QChar c) {
    const char16_t u = c.unicode();
    return u < 32 || (u >= 127 && u < 160);
}

QString WithoutControlCharacters(const QString& text) {
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text)
        if (!IsControlCharacter(c))
            clean.append(c);
    return clean;
}

// A read trims the whole answer line, so a value keeps its leading blanks and loses only
// the trailing ones; the comparison must see the value the same way.
QString AsReadBack(const QString& text) {
    QByteArray carried = toAnsi(text);
    while (!carried.isEmpty() && quint8(carried.back()) <= 32)
        carried.chop(1);
    return FromDeviceText(carried);
}

bool GetParam(const QString& name, QString& value) {
    value.clear();
    refuseControlCharacters(name);
    if (!mayRequest())
        return false;
    ComPort->WriteAnsiLine(toAnsi(name + QLatin1Char('?')));
    const Answer answer = awaitAnswer(name + QLatin1Char('='), value);
    if (answer != Answer::Value)
        value.clear();
    return answer == Answer::Value;
}

bool PutParam(const QString& name, const QString& value) {
    return sendAndConfirm(name + QLatin1Char('=') + value);
}

bool RunCommand(const QString& command) {
    return sendAndConfirm(command);
}

void ReadParam(const QString& name, QString& value) {
    value.clear();
    if (!withRetries([&] { return GetParam(name, value); })) {
        value.clear();
        LinkLost = true;
    }
    ProgressBar().StepIt();
    if (!LinkLost)
        Pause(kReadPauseMs);
}

void WriteParam(const QString& name, const QString& value) {
    QString current;
    ReadParam(name, current);
    // A failed read writes nothing; an empty answer is a value like any other. The answer
    // is compared with what the link can carry back, so a name the link changes (a
    // character outside Latin-1) is not written again at every upload.
    if (LinkLost || current == AsReadBack(value))
        return;
    if (!withRetries([&] { return PutParam(name, value); }))
        LinkLost = true;
    ProgressBar().StepIt();
    if (!LinkLost)
        Pause(kWritePauseMs);
}

void ReadInts(const QString& name, int count, TIntegers& list) {
    list.fill(0, std::max(count, 0));
    QStringList fields;
    if (!readFields(name, count, fields)) {
        LinkLost = true;
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (!parseInt32(fields.at(i), list[i])) {
            list[i] = 0;
            LinkLost = true;
            return;
        }
    }
}

void WriteInts(const QString& name, const TIntegers& list) {
    QStringList parts;
    parts.reserve(list.size());
    for (const qint32 v : list)
        parts.append(QString::number(v));
    WriteParam(name, parts.join(QLatin1Char(',')));
}

TPortHold::TPortHold() {
    while (PortBusy() != 0)
        Pause(1);
    SetPortBusy(1);
}

TPortHold::~TPortHold() {
    SetPortBusy(0);
}

TSequence::TSequence(int progressSteps) : m_progress(progressSteps >= 0) {
    if (m_progress) {
        ProgressBar().SetPosition(0);
        ProgressBar().SetMax(progressSteps);
        Pause(1);
    }
    m_hold.emplace(); // released with the frame, also when the flush below raises
    LinkLost = false;
    FlushPort();
}

TSequence::~TSequence() = default;

bool TSequence::Finish() {
    if (m_progress && !LinkLost) {
        ProgressBar().SetPosition(0);
        Pause(1);
    }
    return !LinkLost;
}

void ResetTransport() {
    LinkLost = false;
    SetPortBusy(0);
    ProgressBar().SetMax(100);
    ProgressBar().SetPosition(0);
}
