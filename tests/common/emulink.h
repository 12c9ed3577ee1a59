#pragma once
// A virtual device on a pseudo-terminal plus the app's real port opened on it, installed as
// the process's ComPort. Transport globals and the model are reset on construction.

#include "emulator/emulator.h"
#include "link/ComPort.h"

#include <QByteArray>
#include <QString>

class EmuLink {
public:
    explicit EmuLink(int modelId = 1, const QByteArray& version = "1.5.1");
    ~EmuLink();
    EmuLink(const EmuLink&) = delete;
    EmuLink& operator=(const EmuLink&) = delete;

    bool ok() const { return m_ok; } // emulator started and port opened
    QString error() const { return m_error; }
    TDeviceEmulator& emu() { return m_emu; }
    TComPort& port() { return m_port; }

    // Non-empty lines the device received since the last clearTrace(), in order (the lone
    // carriage returns of a flush show up as empty lines in emu().trace() only).
    QList<QByteArray> received() const;
    // Lines the device received that look like writes ("NAME=...").
    QList<QByteArray> writes() const;

private:
    TDeviceEmulator m_emu;
    TComPort m_port;
    bool m_ok = false;
    QString m_error;
};
