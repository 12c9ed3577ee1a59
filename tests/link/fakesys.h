#pragma once
// A fake sysfs tree: ttys on USB devices, on a platform bus, and virtual ones, laid out
// with the same symlinks the kernel uses (class/tty/NAME -> devices/.../tty/NAME, whose
// "device" link leads to the interface below the USB device).

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class FakeSys {
public:
    QString root() const { return m_dir.path(); }

    // A tty on its own USB device (bus 1, device number = the count); its character
    // device numbers are 166:N.
    void addUsbTty(const QString& name, const QByteArray& vid, const QByteArray& pid) {
        const QString usb = addUsbDevice(vid, pid);
        const QString intf = usb + QStringLiteral("/1-%1:1.0").arg(m_count);
        addTty(name, intf, QStringLiteral("usb"));
        write(root() + "/class/tty/" + name + "/dev",
              QByteArray("166:") + QByteArray::number(m_count - 1) + "\n");
    }
    // A USB device without a tty (a boot loader, or a serial device without its driver);
    // returns its folder. Its node would be /dev/bus/usb/001/00N.
    QString addUsbDevice(const QByteArray& vid, const QByteArray& pid) {
        const QString usb =
            QStringLiteral("%1/devices/pci0000:00/usb1/1-%2").arg(root()).arg(++m_count);
        write(usb + "/idVendor", vid + "\n");
        write(usb + "/idProduct", pid + "\n");
        write(usb + "/busnum", "1\n");
        write(usb + "/devnum", QByteArray::number(m_count) + "\n");
        link(usb, QStringLiteral("%1/bus/usb/devices/1-%2").arg(root()).arg(m_count));
        return usb;
    }
    int count() const { return m_count; }
    // A tty on a bus without USB identity; type "0" marks a serial-core placeholder.
    void addPlatformTty(const QString& name, const QByteArray& type = "4") {
        const QString dev = root() + "/devices/platform/serial8250";
        addTty(name, dev, QStringLiteral("platform"));
        write(root() + "/devices/platform/serial8250/tty/" + name + "/type", type + "\n");
    }
    void addVirtualTty(const QString& name) {
        QDir().mkpath(root() + "/devices/virtual/tty/" + name);
        link(root() + "/devices/virtual/tty/" + name, root() + "/class/tty/" + name);
    }
    void removeTty(const QString& name) { QFile::remove(root() + "/class/tty/" + name); }

private:
    void addTty(const QString& name, const QString& deviceDir, const QString& subsystem) {
        QDir().mkpath(root() + "/bus/" + subsystem);
        QDir().mkpath(deviceDir);
        link(root() + "/bus/" + subsystem, deviceDir + "/subsystem");
        const QString ttyDir = deviceDir + "/tty/" + name;
        QDir().mkpath(ttyDir);
        link(deviceDir, ttyDir + "/device");
        link(ttyDir, root() + "/class/tty/" + name);
    }
    static void write(const QString& path, const QByteArray& data) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(data);
    }
    static void link(const QString& target, const QString& linkPath) {
        QDir().mkpath(QFileInfo(linkPath).path());
        QFile::remove(linkPath);
        QFile::link(target, linkPath);
    }

    QTemporaryDir m_dir;
    int m_count = 0;
};
