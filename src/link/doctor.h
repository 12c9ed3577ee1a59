#pragma once
// The connection check: why the device does not show up or cannot be opened, found in the
// system and said in plain words, one finding per line, each with what to do. Everything it
// looks at lies below roots that tests point at fake trees: sysfs (the USB identities and
// their ttys), /proc (processes holding a node, ModemManager), the device folder (the nodes)
// and a file system root (udev rules, the udev database, installed programs).

#include <QList>
#include <QString>
#include <QStringList>

struct TDoctorInput {
    QString sysRoot = QStringLiteral("/sys");
    QString procRoot = QStringLiteral("/proc");
    QString devRoot = QStringLiteral("/dev");
    QString fsRoot = QStringLiteral("/");    // udev rules, /run/udev/data, programs
    QString choice = QStringLiteral("Auto"); // the port box's text, or --port
    QString pathEnv;                         // where dfu-util and pkexec are looked for
    // Whose access is judged: the user (uid, groups, name) and this program's own process,
    // whose hold on a port is no fault.
    uint uid = 0;
    QList<uint> groups;
    QString userName;
    qint64 selfPid = 0;
    QString ruleFile; // a file holding the udev rule, named in the commands to install it
};

// The real roots, this process's user and groups, PATH.
TDoctorInput SystemDoctorInput();

enum class TFindingLevel { Ok, Warning, Problem };

struct TFinding {
    QString topic; // "serial", "driver", "boot loader", "permission", "busy", "vanished",
                   // "ModemManager", "brltty", "dfu-util", "port"
    TFindingLevel level = TFindingLevel::Ok;
    QString text; // what was found
    QString fix;  // what to do; empty when there is nothing to do
};

struct TDoctorReport {
    QList<TFinding> findings;
    bool usable = false;        // the device's serial port is there and can be opened
    QString node;               // the serial node the check looked at, or empty
    bool ruleMissing = false;   // our udev rule is in none of the rule folders
    bool ruleUnapplied = false; // it is installed, but the device's node shows none of it
    QString pkexec;             // pkexec's path when it is there (the rule can be installed)
    const TFinding* find(const QString& topic) const;
};

TDoctorReport RunConnectionCheck(const TDoctorInput& input);

// "ok: TEXT", "warning: TEXT  Fix: FIX", "PROBLEM: TEXT  Fix: FIX".
QString FindingLine(const TFinding& finding);

// The udev rule's name, its text (as the package installs it) and the folders udev reads
// it from (below fsRoot).
QString UdevRuleName();
QByteArray UdevRuleText();
QStringList UdevRuleFolders();
// The commands that install the rule from ruleFile and apply it, one per line, with sudo.
QString RuleInstallCommands(const QString& ruleFile);
// Writes the rule's text into path (kept as it is when it holds that text already).
bool SaveUdevRuleFile(const QString& path, QString* error = nullptr);
// What pkexec is given to do the same as root: its arguments after "pkexec".
QStringList RuleInstallArguments(const QString& ruleFile);
