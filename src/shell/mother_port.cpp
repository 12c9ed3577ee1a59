// The main window's port handling: the port box, detection, opening, hot-plug, and the
// built-in virtual device ("Demo").

#include "shell/mother.h"

#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "settings/models.h"
#include "shell/application.h"
#include "shell/dialogs.h"

#include <QComboBox>
#include <QDir>
#include <QSignalBlocker>

#include <cerrno>

namespace {

const QString kDeviceBus = QStringLiteral("USB");
const QString kDeviceVid = QStringLiteral("0483");
const QString kDevicePid = QStringLiteral("5740");
constexpr int kDemoModel = 4;

bool isChoice(const QString& text, const QString& choice) {
    return text.trimmed().compare(choice, Qt::CaseInsensitive) == 0;
}

// The device among the listed ports; as in DetectPort, a later match replaces an earlier one.
QString findDevice(const QList<TSerialDevice>& devices) {
    QString found;
    for (const auto& device : devices)
        if (DeviceMatches(device, kDeviceBus, kDeviceVid, kDevicePid))
            found = device.portName;
    return found;
}

} // namespace

QString TMotherForm::DetectPort(const QString& Name, const QString& VID, const QString& PID) const {
    return ::DetectPort(Name, VID, PID, m_options.sysRoot);
}

QString TMotherForm::hotplugSource() const {
    return m_hotplug ? m_hotplug->sourceName() : QString();
}

bool TMotherForm::demoActive() const {
    return m_demo && ComPort->Active() && SamePort(ComPort->DeviceName(), m_demo->slavePath());
}

void TMotherForm::refreshPortList(const QList<TSerialDevice>& devices) {
    const QString text = ComPorts->currentText();
    const QSignalBlocker quiet(ComPorts); // rebuilding the list is no choice of the user's
    ComPorts->clear();
    ComPorts->addItem(AutoChoice());
    for (const auto& device : devices)
        ComPorts->addItem(device.portName);
    ComPorts->addItem(DemoChoice());
    ComPorts->setEditText(text);
}

// The ports are listed once: the same list fills the box and finds the device.
void TMotherForm::OpenPort(bool allowDemoFallback) {
    const auto devices = ListSerialDevices(m_options.sysRoot);
    refreshPortList(devices);
    const QString wanted = resolveChoice(allowDemoFallback, devices);
    if (wanted.isEmpty())
        return; // nothing found: the port stays as it is
    connectTo(PortDevicePath(wanted, m_options.devRoot));
}

// The port the box's text asks for, or empty. "Auto" looks for the device; without one it
// may fall back to the virtual device, which the box then shows as "Demo".
QString TMotherForm::resolveChoice(bool allowDemoFallback, const QList<TSerialDevice>& devices) {
    const QString text = ComPorts->currentText().trimmed();
    const bool autoDemo = m_autoDemo && isChoice(text, DemoChoice());
    m_autoDemo = autoDemo;
    if (isChoice(text, AutoChoice()) || autoDemo) {
        const QString found = findDevice(devices);
        if (!found.isEmpty()) {
            if (m_autoDemo)
                ComPorts->setEditText(AutoChoice());
            m_autoDemo = false;
            return found;
        }
        if (m_autoDemo)
            return startDemo();
        if (!allowDemoFallback || !m_options.demoFallback)
            return QString();
        m_autoDemo = true;
        ComPorts->setEditText(DemoChoice());
        return startDemo();
    }
    if (isChoice(text, DemoChoice()))
        return startDemo();
    return text;
}

// The message names the port and gives the system's reason.
void TMotherForm::reportOpenFailure(const QString& node, const EComError& error) {
    QString text = QStringLiteral("Cannot open communication port!\n%1: %2")
                       .arg(QDir::toNativeSeparators(node), error.message());
    if (error.ErrorCode() == EACCES)
        text += QLatin1Char('\n') + PermissionHint();
    Dialogs::error(this, text);
}

void TMotherForm::connectTo(const QString& node) {
    const bool samePort = SamePort(node, ComPort->DeviceName());
    if (!samePort || !ComPort->Active()) {
        if (!samePort) {
            ComPort->setActive(false);
            ComPort->setDeviceName(node);
        }
        try {
            ComPort->setActive(true);
            m_selectionsAtOpen = ModelSelections();
        } catch (const EComError& e) {
            reportOpenFailure(node, e);
        }
    }
    if (ComPort->Active()) {
        m_openedPath = ComPort->DeviceName();
        m_openedNode = ResolvePortPath(m_openedPath);
    }
    stopDemoUnlessUsed();
    showConnection();
}

QString TMotherForm::startDemo() {
    if (m_demo && m_demo->running()) {
        // An update sent it into its boot loader and closed the port; no arrival will come
        // from a pty, so choosing it again brings it back as if plugged in again.
        if (m_demo->inBootLoader() && !ComPort->Active())
            m_demo->leaveBootLoader();
        return m_demo->slavePath();
    }
    auto demo = std::make_unique<TDeviceEmulator>(kDemoModel);
    QString error;
    if (!demo->start(&error)) {
        Dialogs::error(this, QStringLiteral("Cannot open communication port!") + QLatin1Char('\n') +
                                 error);
        return QString();
    }
    m_demo = std::move(demo);
    return m_demo->slavePath();
}

void TMotherForm::stopDemoUnlessUsed() {
    if (m_demo && !demoActive())
        m_demo.reset();
}

void TMotherForm::ComPortDeviceArrival(TComPort*, const QString&) {
    OpenPort();
}

// The removed node is compared with the node the port was opened under, resolved when it
// was opened: by now a symlink to it (/dev/serial/by-id/...) may already be gone.
void TMotherForm::ComPortDeviceRemoved(TComPort*, const QString& DeviceName) {
    if (!ComPort->Active() || m_openedPath.isEmpty())
        return;
    const QString removed = PortDevicePath(DeviceName, m_options.devRoot);
    if (SamePort(removed, m_openedPath) || ResolvePortPath(removed) == m_openedNode)
        ComPort->setActive(false);
    showConnection();
}

// Picking an entry of the list connects at once; "Auto" may then fall back to the virtual
// device as at start.
void TMotherForm::ComPortsSelect(int index) {
    m_autoDemo = false;
    const QString picked = ComPorts->itemText(index);
    if (picked.compare(DemoChoice(), Qt::CaseInsensitive) != 0)
        m_lastRealChoice = picked;
    ComPorts->setEditText(picked);
    guarded([this] { OpenPort(true); });
}
