// The connection check against fake roots: a sysfs tree, a /proc with processes holding
// nodes, a device folder whose nodes are plain files, and a file system root with udev rules,
// the udev database and programs. Access is judged for a user who owns none of the files.

#include "fakesys.h"
#include "link/doctor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr uint kUser = 4242; // owns nothing in the trees

void Write(const QString& path, const QByteArray& data,
           QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

const QFile::Permissions kEveryone = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                     QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;

} // namespace

class TestDoctor : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeSys> m_sys;
    std::unique_ptr<QTemporaryDir> m_dir;
    TDoctorInput m_in;

    QString dev(const QString& name) const { return m_in.devRoot + "/" + name; }
    QString fs(const QString& path) const { return m_in.fsRoot + path; }
    // The device on ttyACM0 with a node the user may (or may not) open.
    void plugDevice(QFile::Permissions node = kEveryone) {
        m_sys->addUsbTty("ttyACM0", "0483", "5740");
        Write(dev("ttyACM0"), "", node);
    }
    void holdBy(qint64 pid, const QString& name, const QString& node) {
        Write(QStringLiteral("%1/%2/comm").arg(m_in.procRoot).arg(pid), name.toUtf8() + "\n");
        QDir().mkpath(QStringLiteral("%1/%2/fd").arg(m_in.procRoot).arg(pid));
        QVERIFY(QFile::link(node, QStringLiteral("%1/%2/fd/3").arg(m_in.procRoot).arg(pid)));
    }
    void addProgram(const QString& dir, const QString& name, const QByteArray& script) {
        Write(dir + "/" + name, script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    TDoctorReport check() { return RunConnectionCheck(m_in); }

private slots:
    void init() {
        m_sys = std::make_unique<FakeSys>();
        m_dir = std::make_unique<QTemporaryDir>();
        m_in = TDoctorInput();
        m_in.sysRoot = m_sys->root();
        m_in.devRoot = m_dir->filePath("dev");
        m_in.procRoot = m_dir->filePath("proc");
        m_in.fsRoot = m_dir->filePath("fs");
        m_in.pathEnv = m_dir->filePath("bin");
        m_in.uid = kUser;
        m_in.groups = {kUser};
        m_in.userName = "alice";
        m_in.selfPid = 999;
        m_in.ruleFile = "/home/alice/70-devedazi.rules";
        QDir().mkpath(m_in.devRoot);
        QDir().mkpath(m_in.procRoot);
        QDir().mkpath(m_in.pathEnv);
    }

    void usableDevice() {
        plugDevice();
        const TDoctorReport r = check();
        QVERIFY(r.usable);
        QCOMPARE(r.node, dev("ttyACM0"));
        QCOMPARE(r.find("serial")->level, TFindingLevel::Ok);
        QVERIFY(r.find("serial")->text.contains("serial port ttyACM0 (node " + dev("ttyACM0")));
        QCOMPARE(r.find("open")->level, TFindingLevel::Ok);
        QCOMPARE(r.find("udev rule")->level, TFindingLevel::Warning); // not installed
        Write(fs("/etc/udev/rules.d/70-devedazi.rules"), UdevRuleText());
        QCOMPARE(check().find("udev rule")->text,
                 QString("The udev rule 70-devedazi.rules is installed in /etc/udev/rules.d."));
        for (const TFinding& f : r.findings)
            QVERIFY2(f.level != TFindingLevel::Problem, qPrintable(FindingLine(f)));
    }

    void noDevice() {
        m_sys->addUsbTty("ttyUSB0", "1a86", "7523"); // some other adapter
        const TDoctorReport r = check();
        QVERIFY(!r.usable);
        QCOMPARE(r.find("serial")->level, TFindingLevel::Problem);
        QVERIFY(r.find("serial")->fix.contains("USB cable that carries data"));
        QVERIFY(FindingLine(*r.find("serial")).startsWith("PROBLEM: No device is connected"));
    }

    void bootLoaderOnly() {
        m_sys->addUsbDevice("0483", "df11");
        Write(dev("bus/usb/001/001"), "", kEveryone);
        const TDoctorReport r = check();
        QVERIFY(!r.usable);
        QCOMPARE(r.find("serial")->level, TFindingLevel::Warning);
        QVERIFY(r.find("serial")->text.contains("boot loader"));
        QCOMPARE(r.find("boot loader")->level, TFindingLevel::Ok);
        QVERIFY(r.find("boot loader")->text.contains(dev("bus/usb/001/001")));
    }

    void bootLoaderNodeNotOpen() {
        m_sys->addUsbDevice("0483", "df11");
        Write(dev("bus/usb/001/001"), "");
        const TDoctorReport r = check();
        QList<TFinding> loader;
        for (const TFinding& f : r.findings)
            if (f.topic == "boot loader")
                loader.append(f);
        QCOMPARE(loader.size(), 2);
        QCOMPARE(loader.at(1).level, TFindingLevel::Problem);
        QVERIFY(loader.at(1).text.startsWith("You (alice) may not open the boot loader's node"));
        QVERIFY(loader.at(1).fix.contains("/etc/udev/rules.d/70-devedazi.rules"));
    }

    void driverMissing() {
        m_sys->addUsbDevice("0483", "5740"); // the USB device, but no tty for it
        const TDoctorReport r = check();
        QCOMPARE(r.find("driver")->level, TFindingLevel::Problem);
        QVERIFY(r.find("driver")->fix.contains("sudo modprobe cdc_acm"));
        QVERIFY(!r.find("serial"));
    }

    void permissionWithoutTheRule() {
        plugDevice(QFile::ReadOwner | QFile::WriteOwner);
        addProgram(m_in.pathEnv, "pkexec", "#!/bin/sh\n");
        const TDoctorReport r = check();
        QVERIFY(!r.usable);
        QVERIFY(r.ruleMissing);
        QCOMPARE(r.pkexec, m_in.pathEnv + "/pkexec");
        const TFinding* f = r.find("permission");
        QVERIFY(f);
        QVERIFY2(f->text.startsWith("You (alice) may not open " + dev("ttyACM0") + " (-rw-------"),
                 qPrintable(f->text));
        QVERIFY(f->text.contains("its access list does not name you"));
        QVERIFY(f->text.contains("not installed (looked for in /usr/lib/udev/rules.d, "
                                 "/etc/udev/rules.d, /usr/local/lib/udev/rules.d)"));
        QVERIFY(f->fix.contains("sudo install -m 644 /home/alice/70-devedazi.rules "
                                "/etc/udev/rules.d/70-devedazi.rules\n"));
        QVERIFY(f->fix.contains("sudo udevadm control --reload-rules"));
        QVERIFY(f->fix.contains("sudo udevadm trigger --action=add"));
        QVERIFY(f->fix.contains("window can install it"));
        const QStringList args = RuleInstallArguments("/tmp/rule");
        QCOMPARE(args.last(), QString("/tmp/rule"));
        QVERIFY(args.at(2).startsWith("install -m 644 \"$1\" /etc/udev/rules.d/70-devedazi.rules"));
    }

    void permissionWithTheRuleNotApplied() {
        plugDevice(QFile::ReadOwner | QFile::WriteOwner);
        Write(fs("/usr/local/lib/udev/rules.d/70-devedazi.rules"), UdevRuleText());
        Write(fs("/run/udev/data/c166:0"), "E:ID_VENDOR_ID=0483\n");
        const TDoctorReport r = check();
        QVERIFY(!r.ruleMissing && r.ruleUnapplied);
        const TFinding* f = r.find("permission");
        QVERIFY(f->text.contains("installed in /usr/local/lib/udev/rules.d but was not applied"));
        QVERIFY(f->fix.startsWith("Apply it:\n    sudo udevadm control --reload-rules"));
    }

    void permissionForAnotherSeat() {
        plugDevice(QFile::ReadOwner | QFile::WriteOwner);
        Write(fs("/usr/lib/udev/rules.d/70-devedazi.rules"), UdevRuleText());
        Write(fs("/run/udev/data/c166:0"), "E:ID_MM_DEVICE_IGNORE=1\nG:uaccess\n");
        const TDoctorReport r = check();
        const TFinding* f = r.find("permission");
        QVERIFY(f->text.contains("installed in /usr/lib/udev/rules.d and applied"));
        QVERIFY(f->fix.contains("sudo setfacl -m u:alice:rw " + dev("ttyACM0")));
    }

    // The uaccess tag puts the seat's user into the node's access list.
    void accessListGrantsTheUser() {
        plugDevice(QFile::ReadOwner | QFile::WriteOwner);
        const auto entry = [](quint16 tag, quint16 perm, quint32 id) {
            return posix_acl_xattr_entry{htole16(tag), htole16(perm), htole32(id)};
        };
        const posix_acl_xattr_header header{htole32(POSIX_ACL_XATTR_VERSION)};
        const posix_acl_xattr_entry entries[] = {
            entry(ACL_USER_OBJ, 6, ACL_UNDEFINED_ID), entry(ACL_USER, 6, kUser),
            entry(ACL_GROUP_OBJ, 0, ACL_UNDEFINED_ID), entry(ACL_MASK, 6, ACL_UNDEFINED_ID),
            entry(ACL_OTHER, 0, ACL_UNDEFINED_ID)};
        QByteArray acl(reinterpret_cast<const char*>(&header), sizeof header);
        acl.append(reinterpret_cast<const char*>(entries), sizeof entries);
        if (setxattr(QFile::encodeName(dev("ttyACM0")).constData(), "system.posix_acl_access",
                     acl.constData(), size_t(acl.size()), 0) != 0)
            QSKIP("the temporary folder's file system keeps no access lists");
        QVERIFY(check().usable);
        m_in.uid = kUser + 1; // somebody else
        const TDoctorReport other = check();
        QVERIFY(!other.usable);
        QVERIFY(other.find("permission")->text.contains("does not name you"));
    }

    void busyWithAnotherProgram() {
        plugDevice();
        holdBy(1234, "minicom", dev("ttyACM0"));
        const TDoctorReport r = check();
        QVERIFY(!r.usable);
        QCOMPARE(r.find("busy")->text, dev("ttyACM0") + " is in use by minicom (process 1234).");
        QCOMPARE(r.find("busy")->fix,
                 QString("Close minicom (or end it: kill 1234), then try again."));
        QVERIFY(!r.find("open"));

        QDir(m_in.procRoot + "/1234").removeRecursively();
        holdBy(m_in.selfPid, "devedazi", dev("ttyACM0")); // this program: no fault
        const TDoctorReport self = check();
        QVERIFY(self.usable && !self.find("busy"));
        QCOMPARE(self.find("open")->text, dev("ttyACM0") + " is open in this program.");
    }

    void nodeVanished() {
        m_sys->addUsbTty("ttyACM0", "0483", "5740"); // listed, but no node
        const TDoctorReport r = check();
        QVERIFY(!r.usable);
        QVERIFY(r.find("vanished")->text.contains("its node " + dev("ttyACM0") + " is missing"));
        QVERIFY(r.find("vanished")->fix.startsWith("Unplug the device"));
    }

    void modemManagerWithoutTheTag() {
        plugDevice();
        Write(m_in.procRoot + "/77/comm", "ModemManager\n");
        Write(fs("/usr/lib/udev/rules.d/70-devedazi.rules"), UdevRuleText());
        const TDoctorReport r = check();
        QVERIFY(r.usable); // it gets in the way for seconds, it doesn't keep the device
        QCOMPARE(r.find("ModemManager")->level, TFindingLevel::Warning);
        QVERIFY(r.find("ModemManager")->text.contains("ttyACM0 lacks the tag"));
        Write(fs("/run/udev/data/c166:0"), "E:ID_MM_DEVICE_IGNORE=1\n");
        QCOMPARE(check().find("ModemManager")->level, TFindingLevel::Ok);
    }

    void brlttyInstalled() {
        plugDevice();
        QVERIFY(!check().find("brltty"));
        addProgram(fs("/usr/bin"), "brltty", "");
        const TDoctorReport r = check();
        QCOMPARE(r.find("brltty")->level, TFindingLevel::Warning);
        QCOMPARE(r.find("brltty")->fix,
                 QString("If you use no braille display: sudo apt remove brltty"));
        QVERIFY(r.usable);
    }

    void dfuUtilAndItsVersion() {
        const TDoctorReport without = check();
        const TFinding* missing = without.find("dfu-util");
        QCOMPARE(missing->level, TFindingLevel::Warning);
        QCOMPARE(missing->fix, QString("sudo apt install dfu-util"));
        addProgram(
            m_in.pathEnv, "dfu-util",
            "#!/bin/sh\n[ \"$1\" = --version ] && printf 'dfu-util 0.11\\n\\nCopyright\\n'\n");
        const TDoctorReport with = check();
        const TFinding* found = with.find("dfu-util");
        QCOMPARE(found->level, TFindingLevel::Ok);
        QCOMPARE(found->text, "dfu-util 0.11 (" + m_in.pathEnv +
                                  "/dfu-util) is there for "
                                  "firmware updates.");
    }

    void chosenPort() {
        plugDevice();
        m_in.choice = "ttyUSB7"; // stored, but gone
        TDoctorReport r = check();
        QVERIFY(!r.usable);
        QCOMPARE(r.find("port")->level, TFindingLevel::Problem);
        QCOMPARE(r.find("port")->text,
                 QString("The chosen port ttyUSB7 does not exist (any more)."));
        QVERIFY(r.find("port")->fix.startsWith("Choose \"Auto\""));

        Write(dev("ttyS0"), "", kEveryone);
        m_in.choice = "ttyS0"; // there, but not the device's
        r = check();
        QCOMPARE(r.find("port")->level, TFindingLevel::Warning);
        QVERIFY(r.find("port")->text.contains("is not the device's port (ttyACM0)"));

        m_in.choice = "Demo"; // the real device is still looked at
        r = check();
        QCOMPARE(r.find("port")->level, TFindingLevel::Warning);
        QVERIFY(r.usable);
        QCOMPARE(r.node, dev("ttyACM0"));
    }
};

QTEST_GUILESS_MAIN(TestDoctor)
#include "test_doctor.moc"
