#include "link/portdetect.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

QString readAttribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.read(256)).trimmed();
}

// Splits "ttyACM10" into "ttyACM" and 10 so that numbers sort by value.
std::pair<QString, qint64> nameKey(const QString& name) {
    qsizetype digits = name.size();
    while (digits > 0 && name.at(digits - 1).isDigit())
        --digits;
    const QString tail = name.mid(digits);
    return {name.left(digits), tail.isEmpty() ? -1 : tail.left(15).toLongLong()};
}

bool naturalLess(const QString& a, const QString& b) {
    const auto ka = nameKey(a);
    const auto kb = nameKey(b);
    if (ka != kb)
        return ka < kb;
    return a < b;
}

// Walks up from the tty's device to the USB device that carries the identity.
void identify(const QString& deviceDir, const QString& stopAt, TSerialDevice& device) {
    QString dir = deviceDir;
    while (!stopAt.isEmpty() && dir.startsWith(stopAt + QLatin1Char('/'))) {
        if (QFileInfo::exists(dir + QLatin1String("/idVendor")) &&
            QFileInfo::exists(dir + QLatin1String("/idProduct"))) {
            device.bus = QStringLiteral("USB");
            device.vendor = readAttribute(dir + QLatin1String("/idVendor"));
            device.product = readAttribute(dir + QLatin1String("/idProduct"));
            return;
        }
        dir = QFileInfo(dir).path();
    }
    const QString subsystem =
        QFileInfo(deviceDir + QLatin1String("/subsystem")).canonicalFilePath();
    if (!subsystem.isEmpty())
        device.bus = QFileInfo(subsystem).fileName().toUpper();
}

// A four-digit identity as the hardware identifier would carry it, else empty.
QString fourDigits(const QString& text) {
    return text.size() == 4 ? text : QString();
}

} // namespace

QList<TSerialDevice> ListSerialDevices(const QString& sysRoot) {
    const QString classDir = sysRoot + QLatin1String("/class/tty");
    QStringList names =
        QDir(classDir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    std::sort(names.begin(), names.end(), naturalLess);
    const QString stopAt = QFileInfo(sysRoot).canonicalFilePath();
    QList<TSerialDevice> devices;
    for (const QString& name : names) {
        const QString ttyDir = classDir + QLatin1Char('/') + name;
        const QString deviceDir = QFileInfo(ttyDir + QLatin1String("/device")).canonicalFilePath();
        if (deviceDir.isEmpty())
            continue; // a virtual terminal, a pty master, the console
        if (readAttribute(ttyDir + QLatin1String("/type")) == QLatin1String("0"))
            continue; // a serial-core placeholder without hardware
        TSerialDevice device;
        device.portName = name;
        identify(deviceDir, stopAt, device);
        device.vendor = fourDigits(device.vendor);
        device.product = fourDigits(device.product);
        devices.append(device);
    }
    return devices;
}

bool DeviceMatches(const TSerialDevice& device, const QString& name, const QString& vid,
                   const QString& pid) {
    const auto fits = [](const QString& wanted, const QString& have) {
        return wanted.isEmpty() || wanted.compare(have, Qt::CaseInsensitive) == 0;
    };
    return fits(name, device.bus) && fits(vid, device.vendor) && fits(pid, device.product);
}

QString DetectPort(const QString& Name, const QString& VID, const QString& PID,
                   const QString& sysRoot) {
    QString result;
    const auto devices = ListSerialDevices(sysRoot);
    for (const auto& device : devices)
        if (DeviceMatches(device, Name, VID, PID))
            result = device.portName; // a later match replaces an earlier one
    return result;
}

QString PortDevicePath(const QString& portName, const QString& devRoot) {
    const QString name = portName.trimmed();
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return name;
    return devRoot + QLatin1Char('/') + name;
}

QString ResolvePortPath(const QString& path) {
    const QString node = PortDevicePath(path);
    if (node.isEmpty())
        return QString();
    const QString resolved = QFileInfo(node).canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(QFileInfo(node).absoluteFilePath()) : resolved;
}

bool SamePort(const QString& a, const QString& b) {
    const QString ra = ResolvePortPath(a);
    return !ra.isEmpty() && ra == ResolvePortPath(b);
}
