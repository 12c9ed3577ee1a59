#pragma once
// The raw terminal exchange: one line to the device, every line it sends back until it
// falls silent. No retries, no parsing, no flush before sending; PortBusy is held around
// the exchange and released on every way out.

#include <QByteArray>
#include <QList>
#include <QString>

class TComPort;

struct TTerminalExchange {
    bool sent = false;       // the line went out (false also when the port is closed)
    QList<QByteArray> lines; // received lines as they came, each with its carriage return
    QByteArray partial;      // bytes after the last carriage return when reading stopped
    bool cutShort = false;   // stopped by a bound, not by silence or a port error
    QString error;           // the port error that stopped the send, or empty
};

// Bounds, as the transport's: a line longer than this ends the exchange, and so does a
// device that talks on for longer than the time limit.
inline constexpr qsizetype TerminalMaxLineBytes = 64 * 1024;
inline constexpr int TerminalTalkLimitMs = 3000;

// Sends `line` (its 8-bit characters and a carriage return) on `port` and collects what
// comes back, holding PortBusy meanwhile. A closed (or missing) port sends nothing.
TTerminalExchange TerminalSend(TComPort* port, const QByteArray& line,
                               int talkLimitMs = TerminalTalkLimitMs);
