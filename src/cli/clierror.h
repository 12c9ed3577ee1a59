#pragma once
// Exit codes of devedazi-cli and the error that carries one up to main().

#include <QString>

#include <exception>
#include <string>

enum TExitCode : int {
    ExitOk = 0,
    ExitDevice = 1,   // the device exchange failed (link lost, refused)
    ExitUsage = 2,    // usage error or bad file
    ExitFirmware = 3, // incompatible firmware
    ExitNoDevice = 4, // no device found or the port cannot be opened
    ExitDfu = 5       // the DFU tool failed (or is missing): the firmware was not written
};

class ECliError : public std::exception {
public:
    ECliError(int exitCode, QString message)
        : m_code(exitCode), m_message(std::move(message)), m_what(m_message.toStdString()) {}
    int ExitCode() const { return m_code; }
    QString message() const { return m_message; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_code;
    QString m_message;
    std::string m_what;
};

// Shorthands for the common cases.
[[noreturn]] inline void UsageError(const QString& message) {
    throw ECliError(ExitUsage, message);
}
[[noreturn]] inline void DeviceError(const QString& message = QStringLiteral("Error")) {
    throw ECliError(ExitDevice, message);
}
