#pragma once
// Common ground of the shell tests: a temporary base folder (XDG_DATA_HOME), a fake sysfs
// tree with a folder of device nodes that are symlinks to virtual devices, and main-window
// options that use them with the polling hot-plug source.

#include "link/fakesys.h"
#include "shell/mother.h"

#include <QFile>
#include <QTemporaryDir>

class ShellGround {
public:
    ShellGround() {
        qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
        QDir().mkpath(devRoot());
    }
    QString dataDir() const { return m_data.path() + "/DEVedazi"; }
    QString devRoot() const { return m_dev.path() + "/dev"; }
    FakeSys& sys() { return m_sys; }

    // A USB tty of the device whose node leads to `target` (a virtual device's pty).
    void plug(const QString& name, const QString& target, const QByteArray& vid = "0483",
              const QByteArray& pid = "5740") {
        m_sys.addUsbTty(name, vid, pid);
        QFile::remove(devRoot() + "/" + name);
        QFile::link(target, devRoot() + "/" + name);
    }
    void unplug(const QString& name) {
        m_sys.removeTty(name);
        QFile::remove(devRoot() + "/" + name);
    }

    // firstStartDemo: a first start (no settings.xml) without a device opens the virtual one.
    TMotherOptions options(bool firstStartDemo = false) const {
        TMotherOptions o;
        o.sysRoot = m_sys.root();
        o.devRoot = devRoot();
        o.procRoot = m_dev.path() + "/proc";
        o.fsRoot = m_dev.path() + "/fs";
        o.hotplug = THotPlug::Source::Poll;
        o.pollMs = 30;
        o.firstStartDemo = firstStartDemo;
        return o;
    }

    void writeAppSettings(const QByteArray& content) {
        QDir().mkpath(dataDir());
        QFile file(dataDir() + "/settings.xml");
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }
    QByteArray readFile(const QString& relative) const {
        QFile file(dataDir() + "/" + relative);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_data;
    QTemporaryDir m_dev;
    FakeSys m_sys;
};
