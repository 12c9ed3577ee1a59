#pragma once
// Benchmarks run against the virtual device with the app's real port opened on it.

#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "link/transport.h"

#include <cstdio>

// Starts the device and installs the port opened on it as ComPort; prints why not.
inline bool OpenBenchDevice(TDeviceEmulator& emu, TComPort& port) {
    QString error;
    if (!emu.start(&error)) {
        std::fprintf(stderr, "emulator: %s\n", qPrintable(error));
        return false;
    }
    try {
        port.setDeviceName(emu.slavePath());
        port.setActive(true);
    } catch (const EComError& e) {
        std::fprintf(stderr, "port: %s\n", qPrintable(e.message()));
        return false;
    }
    ComPort = &port;
    return true;
}
