// The doctor command: the connection check of "Help > Connection Check..." on the terminal.

#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "cli/cliport.h"
#include "cli/commands.h"
#include "link/doctor.h"
#include "settings/datafolder.h"

#include <QDir>

namespace {

QString EnvOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

} // namespace

// Every finding on standard output, one paragraph each; exit 0 when the device can be used.
// DEVEDAZI_PROC_ROOT and DEVEDAZI_FS_ROOT move /proc and / for tests, as DEVEDAZI_SYS_ROOT
// and DEVEDAZI_DEV_ROOT move /sys and /dev.
int CmdDoctor(const TCliOptions& opt) {
    TDoctorInput input = SystemDoctorInput();
    input.sysRoot = CliSysRoot();
    input.devRoot = CliDevRoot();
    input.procRoot = EnvOr("DEVEDAZI_PROC_ROOT", input.procRoot);
    input.fsRoot = EnvOr("DEVEDAZI_FS_ROOT", input.fsRoot);
    input.choice = opt.port;
    input.ruleFile = DataPath(UdevRuleName());
    const TDoctorReport report = RunConnectionCheck(input);
    if (report.ruleMissing)
        (void)SaveUdevRuleFile(input.ruleFile); // the commands name it; best effort
    for (const TFinding& finding : report.findings)
        PrintOut(FindingLine(finding) + QLatin1Char('\n'));
    PrintOut(report.usable ? QStringLiteral("The device can be used.\n")
                           : QStringLiteral("The device cannot be used yet.\n"));
    return report.usable ? ExitOk : ExitDevice;
}
