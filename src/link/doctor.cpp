#include "link/doctor.h"

#include "link/portdetect.h"
#include "link/udevrule.h"
#include "settings/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <endian.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

const QString kVendor = QStringLiteral("0483");
const QString kSerialProduct = QStringLiteral("5740");
const QString kBootProduct = QStringLiteral("df11");
constexpr int kToolWaitMs = 3000;

QString readText(const QString& path, qint64 limit = 4096) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.read(limit)).trimmed()
                                          : QString();
}

QString under(const QString& root, const QString& path) {
    return QDir::cleanPath(root + QLatin1Char('/') + path);
}

// ---- what sysfs shows ------------------------------------------------------------------

struct TUsbDevice {
    QString product; // "5740" or "df11"
    QString node;    // devRoot/bus/usb/BBB/DDD
};

QList<TUsbDevice> usbDevicesOfOurs(const TDoctorInput& in) {
    QList<TUsbDevice> found;
    const QDir dir(under(in.sysRoot, QStringLiteral("bus/usb/devices")));
    const QStringList entries = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        const QString base = dir.filePath(entry) + QLatin1Char('/');
        const QString vendor = readText(base + QLatin1String("idVendor")).toLower();
        const QString product = readText(base + QLatin1String("idProduct")).toLower();
        if (vendor != kVendor || (product != kSerialProduct && product != kBootProduct))
            continue;
        const int bus = readText(base + QLatin1String("busnum")).toInt();
        const int dev = readText(base + QLatin1String("devnum")).toInt();
        found.append({product, under(in.devRoot, QStringLiteral("bus/usb/%1/%2")
                                                     .arg(bus, 3, 10, QLatin1Char('0'))
                                                     .arg(dev, 3, 10, QLatin1Char('0')))});
    }
    return found;
}

QStringList serialPortsOfOurs(const TDoctorInput& in) {
    QStringList ports;
    const auto devices = ListSerialDevices(in.sysRoot);
    for (const TSerialDevice& d : devices)
        if (DeviceMatches(d, QStringLiteral("USB"), kVendor, kSerialProduct))
            ports.append(d.portName);
    return ports;
}

// ---- who may open a node -----------------------------------------------------------------

struct TAclEntry {
    quint16 tag;
    quint16 perm;
    quint32 id;
};

QList<TAclEntry> accessList(const QString& path) {
    QByteArray buffer(1024, '\0');
    const ssize_t n = getxattr(QFile::encodeName(path).constData(), "system.posix_acl_access",
                               buffer.data(), size_t(buffer.size()));
    QList<TAclEntry> entries;
    const auto header = qsizetype(sizeof(posix_acl_xattr_header));
    const auto entrySize = qsizetype(sizeof(posix_acl_xattr_entry));
    if (n < header)
        return entries;
    posix_acl_xattr_header h{};
    memcpy(&h, buffer.constData(), sizeof h);
    if (le32toh(h.a_version) != POSIX_ACL_XATTR_VERSION)
        return entries;
    for (qsizetype at = header; at + entrySize <= n; at += entrySize) {
        posix_acl_xattr_entry e{};
        memcpy(&e, buffer.constData() + at, sizeof e);
        entries.append({le16toh(e.e_tag), le16toh(e.e_perm), le32toh(e.e_id)});
    }
    return entries;
}

struct TAccess {
    bool allowed = false;
    bool aclNamesUser = false;
    QString mode; // "crw-rw---- root:dialout"
};

QString modeText(const struct stat& st) {
    QString text = S_ISCHR(st.st_mode) ? QStringLiteral("c") : QStringLiteral("-");
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (st.st_mode & (0400 >> bit)) ? QLatin1Char(letters[bit]) : QLatin1Char('-');
    const passwd* owner = getpwuid(st.st_uid);
    const group* grp = getgrgid(st.st_gid);
    return text + QStringLiteral(" %1:%2").arg(
                      owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(st.st_uid),
                      grp ? QString::fromLocal8Bit(grp->gr_name) : QString::number(st.st_gid));
}

// Read and write for the user, by the node's mode and access list as the kernel decides:
// the owner, then a named user, then the group class (owning and named groups), then other.
TAccess judgeAccess(const QString& path, const TDoctorInput& in) {
    TAccess access;
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0)
        return access;
    access.mode = modeText(st);
    const auto rw = [](unsigned bits) { return (bits & 6u) == 6u; };
    const QList<TAclEntry> acl = accessList(path);
    unsigned mask = 7;
    unsigned owningGroup = (st.st_mode >> 3) & 7; // with an access list: the mask
    for (const TAclEntry& e : acl) {
        if (e.tag == ACL_MASK)
            mask = e.perm;
        else if (e.tag == ACL_GROUP_OBJ)
            owningGroup = e.perm;
    }
    int userEntry = -1;
    for (qsizetype i = 0; i < acl.size(); ++i)
        if (acl.at(i).tag == ACL_USER && acl.at(i).id == in.uid)
            userEntry = int(i);
    access.aclNamesUser = userEntry >= 0;
    if (in.uid == 0) {
        access.allowed = true;
    } else if (st.st_uid == in.uid) {
        access.allowed = rw(st.st_mode >> 6);
    } else if (userEntry >= 0) {
        access.allowed = rw(acl.at(userEntry).perm & mask);
    } else {
        bool inGroupClass = in.groups.contains(uint(st.st_gid));
        bool granted = inGroupClass && rw(owningGroup & mask);
        for (const TAclEntry& e : acl)
            if (e.tag == ACL_GROUP && in.groups.contains(e.id)) {
                inGroupClass = true;
                granted = granted || rw(e.perm & mask);
            }
        access.allowed = inGroupClass ? granted : rw(st.st_mode);
    }
    return access;
}

// ---- processes --------------------------------------------------------------------------

struct TProcess {
    qint64 pid;
    QString name;
};

QList<TProcess> processes(const TDoctorInput& in) {
    QList<TProcess> list;
    const QStringList entries = QDir(in.procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (numeric)
            list.append({pid, readText(under(in.procRoot, entry + QLatin1String("/comm")), 256)});
    }
    return list;
}

// Other processes with the node open (those whose descriptors can be seen).
QList<TProcess> holdersOf(const QString& node, const QList<TProcess>& all, const TDoctorInput& in,
                          bool* self) {
    const QString target = ResolvePortPath(node);
    QList<TProcess> holders;
    for (const TProcess& p : all) {
        const QDir fds(under(in.procRoot, QString::number(p.pid) + QLatin1String("/fd")));
        const QStringList entries =
            fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& fd : entries) {
            const QString link = QFileInfo(fds.filePath(fd)).symLinkTarget();
            if (link.isEmpty() || ResolvePortPath(link) != target)
                continue;
            if (p.pid == in.selfPid)
                *self = true;
            else
                holders.append(p);
            break;
        }
    }
    return holders;
}

// ---- udev -------------------------------------------------------------------------------

QString installedRule(const TDoctorInput& in) {
    const QStringList folders = UdevRuleFolders();
    for (const QString& folder : folders)
        if (QFileInfo::exists(under(in.fsRoot, folder + QLatin1Char('/') + UdevRuleName())))
            return folder;
    return QString();
}

// The udev database entry of a tty ("E:ID_MM_DEVICE_IGNORE=1", "G:uaccess", ...).
QString udevEntry(const QString& tty, const TDoctorInput& in) {
    const QString dev = readText(under(in.sysRoot, QStringLiteral("class/tty/%1/dev").arg(tty)));
    if (dev.isEmpty())
        return QString();
    return readText(under(in.fsRoot, QStringLiteral("run/udev/data/c") + dev), 65536);
}

bool ruleApplied(const QString& entry) {
    return entry.contains(QLatin1String("E:ID_MM_DEVICE_IGNORE=1"));
}

QString findProgram(const QString& name, const TDoctorInput& in) {
    const QStringList dirs = in.pathEnv.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return QStandardPaths::findExecutable(name, dirs);
}

// ---- the findings -----------------------------------------------------------------------

class TCheck {
public:
    explicit TCheck(const TDoctorInput& in) : m_in(in), m_all(processes(in)) {}
    TDoctorReport run();

private:
    void add(const QString& topic, TFindingLevel level, const QString& text,
             const QString& fix = QString()) {
        m_report.findings.append({topic, level, text, fix});
    }
    QString chosenNode(const QStringList& ports);
    void checkIdentities(const QStringList& ports, const QList<TUsbDevice>& usb);
    void checkNode(const QString& node, const QString& tty);
    void checkPermission(const QString& node, const QString& tty, const TAccess& access);
    void checkRule();
    void checkModemManager(const QStringList& ports);
    void checkBrltty();
    void checkDfuUtil(const QList<TUsbDevice>& usb);
    QString ruleFix() const;

    const TDoctorInput& m_in;
    QList<TProcess> m_all;
    TDoctorReport m_report;
    QString m_rule; // the folder holding our rule, or empty
};

TDoctorReport TCheck::run() {
    m_rule = installedRule(m_in);
    m_report.ruleMissing = m_rule.isEmpty();
    m_report.pkexec = findProgram(QStringLiteral("pkexec"), m_in);
    const QStringList ports = serialPortsOfOurs(m_in);
    const QList<TUsbDevice> usb = usbDevicesOfOurs(m_in);
    checkIdentities(ports, usb);
    const QString node = chosenNode(ports);
    if (!node.isEmpty()) {
        m_report.node = node;
        checkNode(node, QFileInfo(node).fileName());
    }
    if (!m_report.find(QStringLiteral("permission")))
        checkRule();
    checkModemManager(ports);
    checkBrltty();
    checkDfuUtil(usb);
    return m_report;
}

// Where the rule is, when no permission problem has said so already.
void TCheck::checkRule() {
    if (!m_rule.isEmpty()) {
        add(QStringLiteral("udev rule"), TFindingLevel::Ok,
            QStringLiteral("The udev rule %1 is installed in %2.").arg(UdevRuleName(), m_rule));
        return;
    }
    add(QStringLiteral("udev rule"), TFindingLevel::Warning,
        QStringLiteral("The udev rule %1 is not installed (looked for in %2): without it only "
                       "the administrator may open the device, and ModemManager probes it.")
            .arg(UdevRuleName(), UdevRuleFolders().join(QStringLiteral(", "))),
        ruleFix());
}

void TCheck::checkIdentities(const QStringList& ports, const QList<TUsbDevice>& usb) {
    bool serialUsb = false;
    bool bootLoader = false;
    for (const TUsbDevice& d : usb) {
        if (d.product == kBootProduct) {
            bootLoader = true;
            add(QStringLiteral("boot loader"), TFindingLevel::Ok,
                QStringLiteral("The device is in its boot loader (USB 0483:df11, node %1).")
                    .arg(d.node));
        } else {
            serialUsb = true;
        }
    }
    for (const QString& tty : ports)
        add(QStringLiteral("serial"), TFindingLevel::Ok,
            QStringLiteral("The device is connected: USB 0483:5740, serial port %1 (node %2).")
                .arg(tty, PortDevicePath(tty, m_in.devRoot)));
    if (!ports.isEmpty())
        return;
    if (serialUsb) {
        add(QStringLiteral("driver"), TFindingLevel::Problem,
            QStringLiteral("The device (USB 0483:5740) is connected, but no serial port was made "
                           "for it: the kernel's cdc_acm driver is not loaded."),
            QStringLiteral("Run \"sudo modprobe cdc_acm\", then unplug the device and plug it in "
                           "again."));
    } else if (bootLoader) {
        add(QStringLiteral("serial"), TFindingLevel::Warning,
            QStringLiteral("No serial port: the device waits in its boot loader."),
            QStringLiteral("Run the firmware update (again); the device comes back as a serial "
                           "port afterwards."));
    } else {
        add(QStringLiteral("serial"), TFindingLevel::Problem,
            QStringLiteral("No device is connected: nothing with the USB identity 0483:5740 "
                           "(serial port) or 0483:df11 (boot loader) is there."),
            QStringLiteral("Connect the device with a USB cable that carries data (a charging "
                           "cable does not) and switch it on, then check again."));
    }
}

// The node the port choice leads to: "Auto" (and "Demo", to see the real device) the last
// device port, as the main window would pick it; a name its node, which must exist.
QString TCheck::chosenNode(const QStringList& ports) {
    const QString choice = m_in.choice.trimmed();
    const bool demo = choice.compare(QLatin1String("Demo"), Qt::CaseInsensitive) == 0;
    if (demo)
        add(QStringLiteral("port"), TFindingLevel::Warning,
            QStringLiteral("The port box is on \"Demo\", the built-in virtual device."),
            QStringLiteral("Choose \"Auto\" in the port box to use the real device."));
    if (choice.isEmpty() || demo || choice.compare(QLatin1String("Auto"), Qt::CaseInsensitive) == 0)
        return ports.isEmpty() ? QString() : PortDevicePath(ports.last(), m_in.devRoot);
    const QString node = PortDevicePath(choice, m_in.devRoot);
    if (!QFileInfo::exists(node)) {
        add(QStringLiteral("port"), TFindingLevel::Problem,
            QStringLiteral("The chosen port %1 does not exist (any more).").arg(choice),
            QStringLiteral("Choose \"Auto\" in the port box (devedazi-cli: --port auto): it "
                           "finds the device by its USB identity."));
        return QString();
    }
    if (!ports.isEmpty() && !SamePort(node, PortDevicePath(ports.last(), m_in.devRoot)))
        add(QStringLiteral("port"), TFindingLevel::Warning,
            QStringLiteral("The chosen port %1 is not the device's port (%2).")
                .arg(choice, ports.last()),
            QStringLiteral("Choose \"Auto\" in the port box."));
    return node;
}

void TCheck::checkNode(const QString& node, const QString& tty) {
    if (!QFileInfo::exists(node)) {
        add(QStringLiteral("vanished"), TFindingLevel::Problem,
            QStringLiteral("The kernel lists %1, but its node %2 is missing: the device is "
                           "going away, or udev has not made the node.")
                .arg(tty, node),
            QStringLiteral("Unplug the device, wait a few seconds, and plug it in again."));
        return;
    }
    bool self = false;
    const QList<TProcess> holders = holdersOf(node, m_all, m_in, &self);
    for (const TProcess& p : holders)
        add(QStringLiteral("busy"), TFindingLevel::Problem,
            QStringLiteral("%1 is in use by %2 (process %3).").arg(node, p.name).arg(p.pid),
            QStringLiteral("Close %1 (or end it: kill %2), then try again.")
                .arg(p.name)
                .arg(p.pid));
    if (!holders.isEmpty())
        return;
    if (self) {
        add(QStringLiteral("open"), TFindingLevel::Ok,
            QStringLiteral("%1 is open in this program.").arg(node));
        m_report.usable = true;
        return;
    }
    const TAccess access = judgeAccess(node, m_in);
    if (!access.allowed) {
        checkPermission(node, tty, access);
        return;
    }
    const int fd = ::open(QFile::encodeName(node).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const int error = fd < 0 ? errno : 0;
    if (fd >= 0)
        ::close(fd);
    if (error == EACCES || error == EPERM) {
        checkPermission(node, tty, access);
    } else if (error == EBUSY) {
        add(QStringLiteral("busy"), TFindingLevel::Problem,
            QStringLiteral("%1 is held by another program, which is not visible to you.").arg(node),
            QStringLiteral("Close other serial programs (terminal programs, other configuration "
                           "tools), then try again."));
    } else if (error != 0) {
        add(QStringLiteral("vanished"), TFindingLevel::Problem,
            QStringLiteral("%1 cannot be opened: %2. The device has gone away.")
                .arg(node, QString::fromLocal8Bit(strerror(error))),
            QStringLiteral("Unplug the device, wait a few seconds, and plug it in again."));
    } else {
        add(QStringLiteral("open"), TFindingLevel::Ok,
            QStringLiteral("%1 can be opened.").arg(node));
        m_report.usable = true;
    }
}

QString TCheck::ruleFix() const {
    QString fix = QStringLiteral("Install the udev rule and apply it:\n") +
                  RuleInstallCommands(m_in.ruleFile) +
                  QStringLiteral("\nthen unplug the device and plug it in again.");
    if (!m_report.pkexec.isEmpty())
        fix += QStringLiteral(" (The connection check window can install it for you.)");
    return fix;
}

void TCheck::checkPermission(const QString& node, const QString& tty, const TAccess& access) {
    QString text = QStringLiteral("You (%1) may not open %2 (%3%4).")
                       .arg(m_in.userName, node, access.mode,
                            access.aclNamesUser ? QStringLiteral(", its access list names you")
                                                : QStringLiteral(", its access list does not "
                                                                 "name you"));
    QString fix;
    if (m_rule.isEmpty()) {
        text += QStringLiteral(" The udev rule %1 is not installed (looked for in %2).")
                    .arg(UdevRuleName(), UdevRuleFolders().join(QStringLiteral(", ")));
        fix = ruleFix();
    } else if (!ruleApplied(udevEntry(tty, m_in))) {
        m_report.ruleUnapplied = true;
        text += QStringLiteral(" The udev rule is installed in %1 but was not applied to this "
                               "device.")
                    .arg(m_rule);
        fix = QStringLiteral("Apply it:\n    sudo udevadm control --reload-rules\n    sudo udevadm "
                             "trigger --action=add --subsystem-match=tty --subsystem-match=usb\n"
                             "then unplug the device and plug it in again.");
    } else {
        text += QStringLiteral(" The udev rule is installed in %1 and applied; it gives the device "
                               "to the user logged in at the machine's seat.")
                    .arg(m_rule);
        fix =
            QStringLiteral("Log in at the machine itself (not remotely), or grant yourself "
                           "access until the device is unplugged:\n    sudo setfacl -m u:%1:rw %2")
                .arg(m_in.userName, node);
    }
    add(QStringLiteral("permission"), TFindingLevel::Problem, text, fix);
}

void TCheck::checkModemManager(const QStringList& ports) {
    bool running = false;
    for (const TProcess& p : std::as_const(m_all))
        running = running || p.name == QLatin1String("ModemManager");
    if (!running)
        return;
    QStringList probed;
    for (const QString& tty : ports)
        if (!ruleApplied(udevEntry(tty, m_in)))
            probed.append(tty);
    if (!probed.isEmpty() || (ports.isEmpty() && m_rule.isEmpty())) {
        const QString which = probed.isEmpty() ? QStringLiteral("the device's port")
                                               : probed.join(QStringLiteral(", "));
        add(QStringLiteral("ModemManager"), TFindingLevel::Warning,
            QStringLiteral("ModemManager is running and %1 lacks the tag that makes it leave the "
                           "port alone: it probes a new port with modem commands for several "
                           "seconds, and the device does not answer meanwhile.")
                .arg(which),
            m_rule.isEmpty() ? ruleFix()
                             : QStringLiteral("Apply the udev rule:\n    sudo udevadm control "
                                              "--reload-rules\n    sudo udevadm trigger "
                                              "--action=add --subsystem-match=tty\nthen unplug "
                                              "the device and plug it in again."));
        return;
    }
    add(QStringLiteral("ModemManager"), TFindingLevel::Ok,
        QStringLiteral("ModemManager is running and leaves the device alone."));
}

void TCheck::checkBrltty() {
    for (const char* dir : {"usr/bin", "bin", "usr/sbin", "sbin"}) {
        if (!QFileInfo::exists(under(m_in.fsRoot, QLatin1String(dir) + QLatin1String("/brltty"))))
            continue;
        add(QStringLiteral("brltty"), TFindingLevel::Warning,
            QStringLiteral("brltty (for braille displays) is installed; it is known to claim USB "
                           "serial adapters, so that their port disappears."),
            QStringLiteral("If you use no braille display: sudo apt remove brltty"));
        return;
    }
}

void TCheck::checkDfuUtil(const QList<TUsbDevice>& usb) {
    const QString tool = findProgram(QStringLiteral("dfu-util"), m_in);
    if (tool.isEmpty()) {
        add(QStringLiteral("dfu-util"), TFindingLevel::Warning,
            QStringLiteral("dfu-util is not installed: firmware updates need it."),
            QStringLiteral("sudo apt install dfu-util"));
    } else {
        QProcess version;
        version.setProcessChannelMode(QProcess::MergedChannels);
        version.start(tool, {QStringLiteral("--version")});
        version.waitForFinished(kToolWaitMs);
        const QString first =
            QString::fromLocal8Bit(version.readAll()).section(QLatin1Char('\n'), 0, 0);
        if (version.state() != QProcess::NotRunning)
            version.kill();
        add(QStringLiteral("dfu-util"), TFindingLevel::Ok,
            QStringLiteral("%1 (%2) is there for firmware updates.")
                .arg(first.trimmed().isEmpty() ? QStringLiteral("dfu-util") : first.trimmed(),
                     tool));
    }
    for (const TUsbDevice& d : usb) {
        if (d.product != kBootProduct)
            continue;
        const TAccess access = judgeAccess(d.node, m_in);
        if (!QFileInfo::exists(d.node) || access.allowed)
            continue;
        add(QStringLiteral("boot loader"), TFindingLevel::Problem,
            QStringLiteral("You (%1) may not open the boot loader's node %2 (%3): the firmware "
                           "update cannot write to the device.")
                .arg(m_in.userName, d.node, access.mode),
            m_rule.isEmpty() ? ruleFix()
                             : QStringLiteral("The udev rule is installed in %1: unplug the "
                                              "device and plug it in again, or log in at the "
                                              "machine itself.")
                                   .arg(m_rule));
    }
}

} // namespace

const TFinding* TDoctorReport::find(const QString& topic) const {
    for (const TFinding& f : findings)
        if (f.topic == topic)
            return &f;
    return nullptr;
}

TDoctorInput SystemDoctorInput() {
    TDoctorInput in;
    in.pathEnv = qEnvironmentVariable("PATH");
    in.uid = uint(getuid());
    const int count = getgroups(0, nullptr);
    QList<gid_t> groups(qMax(count, 0));
    if (count > 0 && getgroups(count, groups.data()) == count)
        for (const gid_t g : groups)
            in.groups.append(uint(g));
    if (!in.groups.contains(uint(getgid())))
        in.groups.append(uint(getgid()));
    const passwd* pw = getpwuid(getuid());
    in.userName = pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(getuid());
    in.selfPid = qint64(getpid());
    return in;
}

TDoctorReport RunConnectionCheck(const TDoctorInput& input) {
    return TCheck(input).run();
}

QString FindingLine(const TFinding& finding) {
    static const char* const prefix[] = {"ok", "warning", "PROBLEM"};
    QString line =
        QStringLiteral("%1: %2").arg(QLatin1String(prefix[int(finding.level)]), finding.text);
    if (!finding.fix.isEmpty())
        line += QStringLiteral("\n    Fix: ") +
                QString(finding.fix).replace(QLatin1Char('\n'), QStringLiteral("\n    "));
    return line;
}

QString UdevRuleName() {
    return QStringLiteral("70-devedazi.rules");
}

QByteArray UdevRuleText() {
    return QByteArray(kUdevRuleText);
}

QStringList UdevRuleFolders() {
    return {QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/etc/udev/rules.d"),
            QStringLiteral("/usr/local/lib/udev/rules.d")};
}

QString RuleInstallCommands(const QString& ruleFile) {
    return QStringLiteral("    sudo install -m 644 %1 /etc/udev/rules.d/%2\n"
                          "    sudo udevadm control --reload-rules\n"
                          "    sudo udevadm trigger --action=add --subsystem-match=tty "
                          "--subsystem-match=usb")
        .arg(ruleFile.isEmpty() ? UdevRuleName() : ruleFile, UdevRuleName());
}

bool SaveUdevRuleFile(const QString& path, QString* error) {
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == UdevRuleText())
        return true;
    QDir().mkpath(QFileInfo(path).path());
    return WriteFileSafely(path, UdevRuleText(), error);
}

QStringList RuleInstallArguments(const QString& ruleFile) {
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"),
            QStringLiteral("install -m 644 \"$1\" /etc/udev/rules.d/%1 && udevadm control "
                           "--reload-rules && udevadm trigger --action=add "
                           "--subsystem-match=tty --subsystem-match=usb")
                .arg(UdevRuleName()),
            QStringLiteral("sh"), ruleFile};
}
