#include "settings/actions.h"

#include "link/ComPort.h"
#include "link/transport.h"
#include "monitor/monitordata.h"

namespace {

constexpr int CommandPauseMs = 100;
constexpr int MeasurePauseMs = 1000;

// The device restarts after these commands and comes back as a new port.
void ClosePort() {
    if (!ComPort)
        return;
    try {
        ComPort->setActive(false);
    } catch (const EComError&) {
        // Closing a port that is going away anyway: nothing left to do.
    }
}

// Closes the port when it goes out of scope, so also when a port error escapes. Declared
// before the sequence frame, it runs after the frame has released PortBusy.
struct TClosePortOnExit {
    TClosePortOnExit() = default;
    TClosePortOnExit(const TClosePortOnExit&) = delete;
    TClosePortOnExit& operator=(const TClosePortOnExit&) = delete;
    ~TClosePortOnExit() { ClosePort(); }
};

// The result of an action: true unless the link was lost. Resets the progress position.
bool ActionResult() {
    const bool ok = !LinkLost;
    ProgressBar().SetPosition(0);
    return ok;
}

} // namespace

bool SoftResetDevice() {
    const TClosePortOnExit closer;
    TSequence seq;
    RunCommand(QStringLiteral("MRST"));
    return true;
}

bool ResetDeviceSettings() {
    const TClosePortOnExit closer;
    TSequence seq;
    RunCommand(QStringLiteral("SRST"));
    Pause(CommandPauseMs);
    const bool ok = !LinkLost;
    RunCommand(QStringLiteral("MRST"));
    Pause(CommandPauseMs);
    ProgressBar().SetPosition(0);
    return ok;
}

bool MeasureCoil() {
    TSequence seq;
    RunCommand(QStringLiteral("PRT"));
    Pause(MeasurePauseMs);
    TIntegers values;
    ReadInts(QStringLiteral("PRT"), 2, values);
    MonitorData.coldRes = values.value(0);
    MonitorData.coldTemp = values.value(1);
    return ActionResult();
}

bool CalibrateBatteries() {
    const TClosePortOnExit closer;
    TSequence seq;
    RunCommand(QStringLiteral("BCAL"));
    Pause(CommandPauseMs);
    return ActionResult();
}

bool PressKeys(qint32 fire, qint32 minus, qint32 plus) {
    TSequence seq;
    WriteInts(QStringLiteral("KEYS"), TIntegers{fire, minus, plus});
    return ActionResult();
}
