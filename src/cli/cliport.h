#pragma once
// Opening the device's port for one run of devedazi-cli and installing it as ComPort.

#include "link/ComPort.h"
#include "link/portdetect.h"

#include <QString>

// Where the port search looks (sysfs and the device folder). Normally /sys and /dev; the
// environment variables DEVEDAZI_SYS_ROOT and DEVEDAZI_DEV_ROOT point them elsewhere for
// tests.
QString CliSysRoot();
QString CliDevRoot();

// Whether a serial device has the device's USB identity (0483:5740 on the USB bus).
bool IsDevicePort(const TSerialDevice& device);

// The device node a --port choice stands for: "auto" (any letter case) searches for the
// device's USB identity 0483:5740; a bare name lies in the device folder; a path stays.
// Throws ECliError(ExitNoDevice) when the search finds nothing.
QString ResolvePortChoice(const QString& choice);

class TDevicePort {
public:
    // Opens the chosen port; throws ECliError(ExitNoDevice) when there is none or it
    // cannot be opened.
    explicit TDevicePort(const QString& choice);
    ~TDevicePort();
    TDevicePort(const TDevicePort&) = delete;
    TDevicePort& operator=(const TDevicePort&) = delete;

private:
    TComPort m_port;
};
