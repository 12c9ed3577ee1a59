#include "link/terminal.h"

#include "link/ComPort.h"
#include "link/transport.h"

#include <QElapsedTimer>

namespace {

// PortBusy (the port's Tag) taken for the lifetime of the object, released on every way out.
// Reads lines until 100 ms of silence (the port's read limit), a port error, or a bound.
void collect(TComPort* port, TTerminalExchange& result, int talkLimitMs) {
    QElapsedTimer clock;
    clock.start();
    QByteArray line;
    try {
        for (;;) {
            if (clock.elapsed() > talkLimitMs || line.size() >= TerminalMaxLineBytes) {
                result.cutShort = true;
                break;
            }
            const char c = char(port->ReadByte());
            line.append(c);
            if (c == '\r') {
                result.lines.append(line);
                line.clear();
            }
        }
    } catch (const EComError&) {
        // silence or a port error ends the reading; neither is reported
    }
    result.partial = line;
}

} // namespace

TTerminalExchange TerminalSend(TComPort* port, const QByteArray& line, int talkLimitMs) {
    TTerminalExchange result;
    if (port == nullptr || !port->Active())
        return result;
    TPortHold busy;
    try {
        port->WriteAnsiLine(line);
    } catch (const EComError& e) {
        result.error = e.message();
        return result;
    }
    result.sent = true;
    collect(port, result, talkLimitMs);
    return result;
}
