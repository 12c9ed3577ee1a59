#include "link/hotplug.h"

#include "link/ComPort.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <libudev.h>
#include <unistd.h>

namespace {

constexpr int kNodeRetries = 20; // a kernel arrival waits at most 20 x 50 ms for its node
constexpr int kNodeRetryMs = 50;

bool nodeReady(const QString& node) {
    const QByteArray path = node.toLocal8Bit();
    return ::access(path.constData(), R_OK | W_OK) == 0;
}

} // namespace

struct THotPlug::Monitor {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    ~Monitor() {
        if (monitor)
            udev_monitor_unref(monitor);
        if (context)
            udev_unref(context);
    }
};

THotPlug::THotPlug(TComPort* port, const Options& options, QObject* parent)
    : QObject(parent), m_port(port), m_options(options) {
    const Source wanted = options.source;
    const bool udevRuns = QFileInfo::exists(QStringLiteral("/run/udev/control"));
    if ((wanted == Source::Udev || (wanted == Source::Auto && udevRuns)) && startMonitor("udev"))
        m_active = Source::Udev;
    else if ((wanted == Source::Kernel || wanted == Source::Auto) && startMonitor("kernel"))
        m_active = Source::Kernel;
    else
        startPoll();
}

THotPlug::~THotPlug() = default;

QString THotPlug::sourceName() const {
    switch (m_active) {
    case Source::Udev:
        return QStringLiteral("udev");
    case Source::Kernel:
        return QStringLiteral("kernel");
    default:
        return QStringLiteral("poll");
    }
}

bool THotPlug::startMonitor(const char* name) {
    auto monitor = std::make_unique<Monitor>();
    monitor->context = udev_new();
    if (!monitor->context)
        return false;
    monitor->monitor = udev_monitor_new_from_netlink(monitor->context, name);
    if (!monitor->monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor->monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor->monitor) < 0)
        return false;
    const int fd = udev_monitor_get_fd(monitor->monitor);
    if (fd < 0)
        return false;
    m_monitor = std::move(monitor);
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &THotPlug::readMonitor);
    return true;
}

void THotPlug::startPoll() {
    m_active = Source::Poll;
    m_present = presentPorts();
    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(m_options.pollMs);
    connect(m_pollTimer, &QTimer::timeout, this, &THotPlug::poll);
    m_pollTimer->start();
}

void THotPlug::readMonitor() {
    while (udev_device* device = udev_monitor_receive_device(m_monitor->monitor)) {
        const char* action = udev_device_get_action(device);
        const char* subsystem = udev_device_get_subsystem(device);
        const char* node = udev_device_get_devnode(device);
        const QByteArray act(action ? action : "");
        const bool tty = subsystem && qstrcmp(subsystem, "tty") == 0;
        const QString path = node ? QString::fromLocal8Bit(node) : QString();
        udev_device_unref(device);
        if (!tty || path.isEmpty())
            continue;
        if (act == "add")
            arrived(path, m_active == Source::Udev ? 0 : kNodeRetries);
        else if (act == "remove")
            removed(path);
    }
}

QSet<QString> THotPlug::presentPorts() const {
    QSet<QString> ports;
    const auto devices = ListSerialDevices(m_options.sysRoot);
    for (const auto& device : devices)
        ports.insert(PortDevicePath(device.portName, m_options.devRoot));
    return ports;
}

void THotPlug::poll() {
    const QSet<QString> now = presentPorts();
    const QSet<QString> before = m_present;
    m_present = now;
    for (const QString& node : before)
        if (!now.contains(node))
            removed(node);
    for (const QString& node : now)
        if (!before.contains(node))
            arrived(node, kNodeRetries);
}

// Without udevd nobody waits for the node (and its access rights) before telling us, so an
// arrival from the kernel or the poll is delivered once the node can be opened, or after
// the retries anyway.
void THotPlug::arrived(const QString& node, int triesLeft) {
    if (triesLeft > 0 && !nodeReady(node)) {
        QTimer::singleShot(kNodeRetryMs, this,
                           [this, node, triesLeft] { arrived(node, triesLeft - 1); });
        return;
    }
    if (m_port && m_port->OnDeviceArrival)
        m_port->OnDeviceArrival(m_port, node);
}

void THotPlug::removed(const QString& node) {
    if (m_port && m_port->OnDeviceRemoved)
        m_port->OnDeviceRemoved(m_port, node);
}
