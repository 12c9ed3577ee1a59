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

// The result of an action: true unless the link was lost. Resets the progress position.
bool ActionResult() {
    const bool ok = !LinkLost;
    ProgressBar().SetPosition(0);
    return ok;
}

} // namespace

bool SoftResetDevice() {
    {
        TSequence seq;
        RunCommand(QStringLiteral("MRST"));
    }
    ClosePort();
    return true;
}

bool ResetDeviceSettings() {
    bool ok = false;
    {
        TSequence seq;
        RunCommand(QStringLiteral("SRST"));
        Pause(CommandPauseMs);
        ok = !LinkLost;
        RunCommand(QStringLiteral("MRST"));
        Pause(CommandPauseMs);
        ProgressBar().SetPosition(0);
    }
    ClosePort();
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
    bool ok = false;
    {
        TSequence seq;
        RunCommand(QStringLiteral("BCAL"));
        Pause(CommandPauseMs);
        ok = ActionResult();
    }
    ClosePort();
    return ok;
}

bool PressKeys(qint32 fire, qint32 minus, qint32 plus) {
    TSequence seq;
    WriteInts(QStringLiteral("KEYS"), TIntegers{fire, minus, plus});
    return ActionResult();
}
