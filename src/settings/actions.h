#pragma once
// Device actions: commands that make the device act at once. Each is one transaction that
// holds PortBusy for its whole run. The callers check that the port is open and ask the
// user before the destructive ones. Those that close the port close it on every way out,
// also when a port error escapes as EComError.

#include <QtGlobal>

// "MRST": restarts the device; the port is closed afterwards. Always true.
bool SoftResetDevice();
// "SRST", then "MRST": factory settings and restart; the port is closed afterwards.
bool ResetDeviceSettings();
// "PRT" (measure), 1 s, then reads "PRT" into MonitorData.coldRes and coldTemp.
bool MeasureCoil();
// "BCAL": the device calibrates its battery measurement; the port is closed afterwards.
bool CalibrateBatteries();
// Writes "KEYS" = fire, minus, plus (milliseconds each button is to count as held), unless
// the device already holds exactly that.
bool PressKeys(qint32 fire, qint32 minus, qint32 plus);
