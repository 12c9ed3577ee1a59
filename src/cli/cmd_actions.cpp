// Device actions: keys, measure-coil, soft-reset, reset-settings, calibrate.

#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "cli/commands.h"
#include "monitor/monitordata.h"
#include "settings/actions.h"

#include <QTextStream>

#include <cstdio>
#include <unistd.h>

// Asks on the terminal; without one (and without --yes) the action is not done.
void Confirm(const TCliOptions& opt, const QString& question) {
    if (opt.yes)
        return;
    if (!::isatty(STDIN_FILENO))
        UsageError(
            QStringLiteral("%1 Not confirmed: use --yes when not on a terminal").arg(question));
    PrintErr(question + QStringLiteral(" [y/N] "));
    QTextStream in(stdin);
    const QString answer = in.readLine().trimmed().toLower();
    if (answer != QLatin1String("y") && answer != QLatin1String("yes"))
        UsageError(QStringLiteral("Cancelled"));
}

namespace {

int Finished(bool ok) {
    if (!ok)
        DeviceError();
    Note(QStringLiteral("Done"));
    return ExitOk;
}

} // namespace

int CmdKeys(const TCliOptions& opt) {
    switch (opt.keys) {
    case TKeyPress::Fire:
        return Finished(PressKeys(opt.fireMs, 0, 0));
    case TKeyPress::Minus:
        return Finished(PressKeys(0, 100, 0));
    case TKeyPress::Plus:
        return Finished(PressKeys(0, 0, 100));
    case TKeyPress::None:
        break;
    }
    UsageError(QStringLiteral("keys takes exactly one of --fire MS, --plus, --minus"));
}

int CmdMeasureCoil(const TCliOptions&) {
    if (!MeasureCoil())
        DeviceError();
    PrintOut(QStringLiteral("Cold Ohms: %1 \u03A9\nTemperature: %2 \u00B0C\n")
                 .arg(QString::number(MonitorData.coldRes / 1000.0, 'f', 3))
                 .arg(MonitorData.coldTemp));
    return ExitOk;
}

int CmdSoftReset(const TCliOptions&) {
    return Finished(SoftResetDevice());
}

int CmdResetSettings(const TCliOptions& opt) {
    Confirm(opt, QStringLiteral("Reset Mod settings to default values?"));
    return Finished(ResetDeviceSettings());
}

int CmdCalibrate(const TCliOptions& opt) {
    Confirm(opt, QStringLiteral("Calibrate Batteries at 4.2V?"));
    return Finished(CalibrateBatteries());
}
