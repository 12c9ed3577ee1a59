// The main window's port handling: the port box, detection, opening, hot-plug, a port lost
// to an error, and the built-in virtual device ("Demo").

#include "shell/mother.h"

#include "emulator/emulator.h"
#include "link/ComPort.h"
#include "link/transport.h"
#include "settings/models.h"
#include "shell/application.h"
#include "shell/dialogs.h"
#include "shell/windowtitle.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalBlocker>
#include <QStatusBar>

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

QString TMotherForm::FirstStartNoteText() {
    return QStringLiteral("No device found: this is the built-in virtual device. Choose Auto or "
                          "a port to use a real device.");
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
void TMotherForm::OpenPort(TOpenReason reason) {
    const auto devices = ListSerialDevices(m_options.sysRoot);
    refreshPortList(devices);
    const QString wanted = resolveChoice(reason, devices);
    if (wanted.isEmpty()) {
        // Nothing found: a real port stays as it is, but the virtual device is no stand-in.
        if (demoActive())
            leaveDemo();
        return;
    }
    connectTo(PortDevicePath(wanted, m_options.devRoot), reason);
}

void TMotherForm::reconnect() {
    if (!ComPort->Active())
        OpenPort(TOpenReason::Command);
}

// The port the box's text asks for, or empty. "Auto" looks for the device; only the first
// start falls back to the virtual device then. "Demo" is the virtual device, until a real
// device arrives.
QString TMotherForm::resolveChoice(TOpenReason reason, const QList<TSerialDevice>& devices) {
    const QString text = ComPorts->currentText().trimmed();
    if (isChoice(text, DemoChoice())) {
        const QString found = findDevice(devices);
        if (reason != TOpenReason::Arrival || found.isEmpty())
            return startDemo(reason);
        ComPorts->setEditText(AutoChoice());
        m_lastRealChoice = AutoChoice();
        m_firstStartDemo = false;
        StatusBar->showMessage(
            QStringLiteral("A device was plugged in: switched from the virtual device to %1")
                .arg(found),
            15000);
        return found;
    }
    m_firstStartDemo = false;
    if (!isChoice(text, AutoChoice()))
        return text;
    const QString found = findDevice(devices);
    if (!found.isEmpty() || reason != TOpenReason::Start || !m_firstStart ||
        !m_options.firstStartDemo)
        return found;
    ComPorts->setEditText(DemoChoice());
    m_firstStartDemo = true;
    return startDemo(reason);
}

// The message names the port and gives the system's reason.
void TMotherForm::reportOpenFailure(const QString& node, const EComError& error) {
    QString text = QStringLiteral("Cannot open communication port!\n%1: %2")
                       .arg(QDir::toNativeSeparators(node), error.message());
    if (error.ErrorCode() == EACCES)
        text += QLatin1Char('\n') + PermissionHint();
    Dialogs::error(this, text);
}

void TMotherForm::connectTo(const QString& node, TOpenReason reason) {
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
            if (reason != TOpenReason::Command) // the command says what to do itself
                reportOpenFailure(node, e);
        }
    }
    if (ComPort->Active()) {
        m_openedPath = ComPort->DeviceName();
        m_openedNode = ResolvePortPath(m_openedPath);
    }
    ComPort->VirtualDevice = m_demo && SamePort(ComPort->DeviceName(), m_demo->slavePath());
    stopDemoUnlessUsed();
    watchConnection();
}

QString TMotherForm::startDemo(TOpenReason reason) {
    if (m_demo && m_demo->running()) {
        // An update or the terminal sent it into its boot loader and the port was closed; no
        // arrival will come from a pty, so choosing it again brings it back as if plugged in.
        if (m_demo->inBootLoader() && !ComPort->Active())
            m_demo->leaveBootLoader();
        return m_demo->slavePath();
    }
    auto demo = std::make_unique<TDeviceEmulator>(kDemoModel);
    QString error;
    if (!demo->start(&error)) {
        if (reason != TOpenReason::Command)
            Dialogs::error(this, QStringLiteral("Cannot open communication port!") +
                                     QLatin1Char('\n') + error);
        return QString();
    }
    m_demo = std::move(demo);
    return m_demo->slavePath();
}

void TMotherForm::stopDemoUnlessUsed() {
    if (m_demo && !demoActive())
        m_demo.reset();
}

// The choice is no longer the virtual device, and nothing real was found: it closes.
void TMotherForm::leaveDemo() {
    ComPort->setActive(false);
    ComPort->VirtualDevice = false;
    stopDemoUnlessUsed();
    watchConnection();
}

void TMotherForm::ComPortDeviceArrival(TComPort*, const QString&) {
    OpenPort(TOpenReason::Arrival);
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

// Picking an entry of the list connects at once.
void TMotherForm::ComPortsSelect(int index) {
    m_firstStartDemo = false;
    const QString picked = ComPorts->itemText(index);
    if (picked.compare(DemoChoice(), Qt::CaseInsensitive) != 0)
        m_lastRealChoice = picked;
    ComPorts->setEditText(picked);
    guarded([this] { OpenPort(TOpenReason::Pick); });
}

// Twice a second and after every progress step: the virtual device, closed by a command that
// resets the device, is back at once; the status bar, the first start's line and the working
// windows' titles follow the connection.
void TMotherForm::watchConnection() {
    reopenDemo();
    const bool onDemo = demoActive();
    FirstStartNote->setVisible(m_firstStartDemo && onDemo);
    if (onDemo != m_titlesVirtual) {
        m_titlesVirtual = onDemo;
        const auto windows = MdiArea->subWindowList();
        for (QMdiSubWindow* window : windows)
            if (window->widget())
                RefreshFormTitle(window->widget());
    }
    showConnection();
}

// A reset (or the switch to the boot loader) closed the port on the virtual device: it is
// back at once, as a real device is when it comes back.
void TMotherForm::reopenDemo() {
    if (!m_demo || ComPort->Active() || !ComPort->LostReason().isEmpty() || PortBusy() != 0 ||
        !isChoice(ComPorts->currentText(), DemoChoice()) ||
        !SamePort(ComPort->DeviceName(), m_demo->slavePath()))
        return;
    if (m_demo->inBootLoader())
        m_demo->leaveBootLoader();
    try {
        ComPort->setActive(true);
        m_selectionsAtOpen = ModelSelections();
    } catch (const EComError&) {
        // tried again at the next look or command
    }
}

void ReconnectForCommand() {
    if (MotherForm != nullptr && ::ComPort == MotherForm->ComPort && !::ComPort->Active())
        Guarded(MotherForm, [] { MotherForm->reconnect(); });
}

QString LostDeviceText() {
    if (::ComPort == nullptr || ::ComPort->Active() || ::ComPort->LostReason().isEmpty())
        return QString();
    return QStringLiteral("Device lost: the port %1 failed (%2).\nCheck the USB cable, or unplug "
                          "the device and plug it in again; the port is opened again at the "
                          "next command.")
        .arg(QDir::toNativeSeparators(::ComPort->DeviceName()), ::ComPort->LostReason());
}
