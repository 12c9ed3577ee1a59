#pragma once
// Delivers serial-device arrival and removal to the port's OnDeviceArrival and
// OnDeviceRemoved handlers, on the GUI thread through its event loop.
//
// Sources, the first that can be used wins:
//   "udev"   - libudev monitor on the tty subsystem, fed by udevd (when it runs);
//   "kernel" - the kernel's own uevents, without udevd; the device node may appear a moment
//              after the event, so an arrival waits briefly until the node can be opened;
//   "poll"   - the list of serial devices in sysfs, compared once a second; an arrival
//              waits for its node as with the kernel source.
// The name passed to the handlers is the device node, e.g. "/dev/ttyACM0".

#include "link/portdetect.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <memory>

class QSocketNotifier;
class QTimer;
class TComPort;

class THotPlug : public QObject {
    Q_OBJECT
public:
    enum class Source { Auto, Udev, Kernel, Poll };
    struct Options {
        Source source = Source::Auto;
        QString sysRoot = QLatin1String(DefaultSysRoot); // the poll source's sysfs
        QString devRoot = QLatin1String(DefaultDevRoot); // where the poll source's nodes lie
        int pollMs = 1000;
    };

    THotPlug(TComPort* port, const Options& options, QObject* parent = nullptr);
    ~THotPlug() override;

    // "udev", "kernel" or "poll".
    QString sourceName() const;

private:
    struct Monitor;
    bool startMonitor(const char* name);
    void startPoll();
    void readMonitor();
    void poll();
    void arrived(const QString& node, int triesLeft);
    void removed(const QString& node);
    QSet<QString> presentPorts() const;

    TComPort* m_port;
    Options m_options;
    Source m_active = Source::Poll;
    std::unique_ptr<Monitor> m_monitor;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_pollTimer = nullptr;
    QSet<QString> m_present;
};
