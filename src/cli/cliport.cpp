#include "cli/cliport.h"

#include "cli/clierror.h"
#include "link/transport.h"

namespace {

// The device's USB identity.
const QString DeviceBus = QStringLiteral("USB");
const QString DeviceVid = QStringLiteral("0483");
const QString DevicePid = QStringLiteral("5740");

QString EnvOr(const char* name, const char* fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromLatin1(fallback) : value;
}

} // namespace

QString CliSysRoot() {
    return EnvOr("DEVEDAZI_SYS_ROOT", DefaultSysRoot);
}
QString CliDevRoot() {
    return EnvOr("DEVEDAZI_DEV_ROOT", DefaultDevRoot);
}

bool IsDevicePort(const TSerialDevice& device) {
    return DeviceMatches(device, DeviceBus, DeviceVid, DevicePid);
}

QString ResolvePortChoice(const QString& choice) {
    QString name = choice.trimmed();
    if (name.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
        name = DetectPort(DeviceBus, DeviceVid, DevicePid, CliSysRoot());
        if (name.isEmpty())
            throw ECliError(ExitNoDevice, QStringLiteral("No compatible USB device is connected"));
    }
    return PortDevicePath(name, CliDevRoot());
}

TDevicePort::TDevicePort(const QString& choice) {
    const QString path = ResolvePortChoice(choice);
    try {
        m_port.setDeviceName(path);
        m_port.setActive(true);
    } catch (const EComError& e) {
        throw ECliError(
            ExitNoDevice,
            QStringLiteral("Cannot open communication port!\n%1: %2").arg(path, e.message()));
    }
    ComPort = &m_port;
}

TDevicePort::~TDevicePort() {
    if (ComPort == &m_port)
        ComPort = nullptr;
    try {
        m_port.setActive(false);
    } catch (const EComError&) {
    }
}
