#pragma once
// Finding the device's port among the system's serial devices by the USB identity of the
// device each tty belongs to, and comparing port names by the device node they lead to.
// Everything reads sysfs below a root that tests point at a fake tree.

#include <QList>
#include <QString>

inline constexpr char DefaultSysRoot[] = "/sys";
inline constexpr char DefaultDevRoot[] = "/dev";

struct TSerialDevice {
    QString portName; // the tty's name, e.g. "ttyACM0"
    QString bus;      // "USB" for a tty on a USB device, else its subsystem in upper case
    QString vendor;   // idVendor of the USB device (four hex digits), empty when none
    QString product;  // idProduct, same rule
};

// The serial devices present, in natural name order (ttyACM2 before ttyACM10). A tty
// counts when it has a device behind it; a serial-core port of unknown type doesn't.
QList<TSerialDevice> ListSerialDevices(const QString& sysRoot = QLatin1String(DefaultSysRoot));

// Empty criteria match anything; the others compare ignoring letter case.
bool DeviceMatches(const TSerialDevice& device, const QString& name, const QString& vid,
                   const QString& pid);

// The port name of the last listed device that matches, or empty.
QString DetectPort(const QString& Name, const QString& VID, const QString& PID,
                   const QString& sysRoot = QLatin1String(DefaultSysRoot));

// The device node a port name stands for: a bare name lies in devRoot, a path stays.
QString PortDevicePath(const QString& portName,
                       const QString& devRoot = QLatin1String(DefaultDevRoot));
// The node with every symlink resolved; a node that doesn't exist (any more) gives its
// cleaned absolute path.
QString ResolvePortPath(const QString& path);
// True when both names lead to the same device node.
bool SamePort(const QString& a, const QString& b);
