#pragma once
// The one serial-port class of the application: open/close, byte and line reads with a
// 100 ms limit per byte, writes that return at once, purging and port listing.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <memory>
#include <string>

// Error raised by every failing port operation: the system's error code (0 for the
// port's own errors such as "Timeout") and a message.
class EComError : public std::exception {
public:
    EComError(int code, QString message);
    int ErrorCode() const { return m_code; }
    QString message() const { return m_message; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_code;
    QString m_message;
    std::string m_what;
};

class TComPortBackend; // platform implementation, see ComPort.cpp

class TComPort : public QObject {
    Q_OBJECT
public:
    using DeviceHandler = std::function<void(TComPort* sender, const QString& deviceName)>;

    explicit TComPort(QObject* parent = nullptr);
    ~TComPort() override;

    bool Active() const;
    void setActive(bool active); // opens or closes; a failed open raises EComError

    QString DeviceName() const { return m_deviceName; }
    void setDeviceName(const QString& name);

    // Used by the command transport as the flag PortBusy.
    int Tag = 0;
    // Set by whoever opens the port on the built-in virtual device (the main window's
    // "Demo"); the device is then no real one (no firmware to update, nothing to back up).
    bool VirtualDevice = false;
    // With CloseOnError a system error while the port is in use (the device vanished, or
    // came back behind the same path as a new device) closes the port before it is raised;
    // LostReason() keeps its text until the port is opened again.
    bool CloseOnError = false;
    QString LostReason() const { return m_lostReason; }

    void PurgeInput();
    void PurgeOutput();
    quint8 ReadByte();
    QByteArray ReadAnsiLine();
    void WriteAnsiChar(char c);
    // The line and one carriage return; a line holding a byte that is a control character
    // in the device's text encoding (codes 0 to 31 and 127, in Latin-1 also 128 to 159)
    // raises EComError and sends nothing.
    void WriteAnsiLine(const QByteArray& line);

    static void EnumComDevicesFromRegistry(QStringList& list);

    DeviceHandler OnDeviceArrival;
    DeviceHandler OnDeviceRemoved;

private:
    template <typename Operation> auto guard(Operation operation);

    QString m_deviceName = QStringLiteral("COM1");
    QString m_lostReason;
    std::unique_ptr<TComPortBackend> m_backend;
};
