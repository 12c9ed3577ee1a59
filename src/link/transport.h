#pragma once
// The command transport: framing of requests, picking the answer out of the incoming
// lines, retries, the flags PortBusy and LinkLost, progress, and the sequence frame.

#include <QObject>
#include <QString>
#include <QVector>

#include <optional>

class TComPort;

using TIntegers = QVector<qint32>;

// The one open port of the process (owned by the main window or by the CLI).
extern TComPort* ComPort;
// Set when a request fails for good; cleared by the sequence frame.
extern bool LinkLost;

// The port is open on the built-in virtual device (TComPort::VirtualDevice).
bool VirtualDeviceOpen();

// PortBusy is the port's Tag. With no port object it reads 0 and writes are ignored.
int PortBusy();
void SetPortBusy(int value);

// The application-wide progress indicator (position, maximum). The main window mirrors it.
class TProgress : public QObject {
    Q_OBJECT
public:
    int Position() const { return m_position; }
    int Max() const { return m_max; }
    void SetPosition(int position);
    void SetMax(int max);
    void StepIt(); // position + 1
signals:
    void changed(int position, int max);

private:
    int m_position = 0;
    int m_max = 100;
};
TProgress& ProgressBar();

void Pause(int ms);

// Requests never carry a control character (codes 0 to 31 and 127 to 159): a CR or LF in a
// value would end the line early and make the device run the rest as a command of its own.
bool IsControlCharacter(QChar c);
QString WithoutControlCharacters(const QString& text);
// Text as a read gives it back after a write: what the link carries (the device's text
// encoding, "?" for what that lacks), without the trailing codes 32 and below that the
// answer line loses.
QString AsReadBack(const QString& text);

void FlushPort();
// GetParam, PutParam and RunCommand raise EComError, before anything is sent, for a name,
// value or command holding a control character.
bool GetParam(const QString& name, QString& value);
bool PutParam(const QString& name, const QString& value);
bool RunCommand(const QString& command);
void ReadParam(const QString& name, QString& value);
void WriteParam(const QString& name, const QString& value);
void ReadInts(const QString& name, int count, TIntegers& list);
void WriteInts(const QString& name, const TIntegers& list);

// Waits until PortBusy is clear, takes it, and gives it back on every way out. The sequence
// frame holds one; raw exchanges (the terminal, the switch to the boot loader) use it alone.
class TPortHold {
public:
    TPortHold();
    ~TPortHold();
    TPortHold(const TPortHold&) = delete;
    TPortHold& operator=(const TPortHold&) = delete;
};

// The sequence frame around every device operation. The constructor sets the progress
// (when steps >= 0), waits for and takes PortBusy, clears LinkLost and flushes the port;
// Finish() resets the progress on success and tells whether the sequence succeeded;
// the destructor releases PortBusy on every way out, also when a port error escapes.
class TSequence {
public:
    explicit TSequence(int progressSteps = -1);
    ~TSequence();
    TSequence(const TSequence&) = delete;
    TSequence& operator=(const TSequence&) = delete;
    bool Finish();

private:
    bool m_progress;
    std::optional<TPortHold> m_hold;
};

// Puts the transport's globals back to their start values (for tests).
void ResetTransport();
