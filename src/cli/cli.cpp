#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "cli/cliport.h"
#include "cli/commands.h"
#include "link/ComPort.h"
#include "link/devicetext.h"
#include "settings/XMLSettings.h"
#include "settings/datafolder.h"
#include "settings/models.h"

#include <QFileInfo>
#include <QHash>

#include <csignal>
#include <optional>

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) {
    g_stop = 1;
}

using TCommand = int (*)(const TCliOptions&);

const QHash<QString, TCommand>& Commands() {
    static const QHash<QString, TCommand> commands = {
        {QStringLiteral("info"), CmdInfo},
        {QStringLiteral("download"), CmdDownload},
        {QStringLiteral("upload"), CmdUpload},
        {QStringLiteral("diff"), CmdDiff},
        {QStringLiteral("backup"), CmdBackup},
        {QStringLiteral("logos download"), CmdLogosDownload},
        {QStringLiteral("logos upload"), CmdLogosUpload},
        {QStringLiteral("screenshot"), CmdScreenshot},
        {QStringLiteral("monitor"), CmdMonitor},
        {QStringLiteral("keys"), CmdKeys},
        {QStringLiteral("measure-coil"), CmdMeasureCoil},
        {QStringLiteral("soft-reset"), CmdSoftReset},
        {QStringLiteral("reset-settings"), CmdResetSettings},
        {QStringLiteral("calibrate"), CmdCalibrate},
        {QStringLiteral("send"), CmdSend},
        {QStringLiteral("ports"), CmdPorts},
        {QStringLiteral("doctor"), CmdDoctor},
        {QStringLiteral("update"), CmdUpdate},
    };
    return commands;
}

int Fail(int code, const QString& message) {
    PrintErr(message + QLatin1Char('\n'));
    return code;
}

int Run(const TCliOptions& opt) {
    const TCommand command = Commands().value(opt.command);
    LoadDeviceEncoding();
    // These look for the port themselves: ports and doctor open none, update waits for the
    // device to come back after the firmware is written.
    if (opt.command == QLatin1String("ports") || opt.command == QLatin1String("doctor"))
        return command(opt);
    TConsoleProgress progress;
    if (opt.command == QLatin1String("update"))
        return command(opt);
    TDevicePort port(opt.port);
    return command(opt);
}

} // namespace

void LoadDeviceEncoding() {
    const QString file = DataPath(QStringLiteral("settings.xml"));
    if (!QFileInfo::exists(file))
        return;
    try {
        TXMLSettings ini(file);
        ini.Discard(); // only read: the app owns the file
        SetDeviceEncoding(DeviceEncodingFromKey(ini.ReadString(
            QStringLiteral("General"), DeviceEncodingSettingKey(), QStringLiteral("Latin-1"))));
    } catch (const EXMLSettingsError& e) {
        Note(QStringLiteral("Device text encoding: Western, since %1").arg(e.message()));
    }
}

bool StopRequested() {
    return g_stop != 0;
}

void InstallStopHandlers() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGHUP, OnStopSignal);
}

void TransferFailed() {
    if (const std::optional<QString> version = TakeFirmwareRefusal())
        throw ECliError(ExitFirmware, FirmwareRefusalText(*version).replace(QLatin1Char('\r'),
                                                                            QLatin1Char('\n')));
    throw ECliError(ExitDevice, QStringLiteral("Error"));
}

int RunCli(const QStringList& arguments) {
    TCliOptions opt;
    try {
        opt = ParseCommandLine(arguments);
    } catch (const ECliError& e) {
        return Fail(e.ExitCode(), e.message() + QStringLiteral("\nTry \"devedazi-cli --help\"."));
    }
    if (opt.help) {
        PrintOut(UsageText());
        return ExitOk;
    }
    if (opt.version) {
        PrintOut(QStringLiteral("devedazi-cli %1\n").arg(AppVersion()));
        return ExitOk;
    }
    SetQuiet(opt.quiet);
    try {
        return Run(opt);
    } catch (const ECliError& e) {
        return Fail(e.ExitCode(), e.message());
    } catch (const EXMLSettingsError& e) {
        return Fail(ExitUsage, e.message());
    } catch (const EComError& e) {
        return Fail(ExitDevice, QStringLiteral("Error: %1").arg(e.message()));
    } catch (const std::exception& e) {
        return Fail(ExitDevice, QString::fromLocal8Bit(e.what()));
    }
}
