#pragma once
// The commands of devedazi-cli. Each runs with the device's port open (except Ports) and
// returns its exit code or throws ECliError.

#include "cli/cliargs.h"

int RunCli(const QStringList& arguments); // parse, open the port, run, map errors

int CmdInfo(const TCliOptions& opt);
int CmdDownload(const TCliOptions& opt);
int CmdUpload(const TCliOptions& opt);
int CmdDiff(const TCliOptions& opt);
int CmdBackup(const TCliOptions& opt);
int CmdLogosDownload(const TCliOptions& opt);
int CmdLogosUpload(const TCliOptions& opt);
int CmdScreenshot(const TCliOptions& opt);
int CmdMonitor(const TCliOptions& opt);
int CmdKeys(const TCliOptions& opt);
int CmdMeasureCoil(const TCliOptions& opt);
int CmdSoftReset(const TCliOptions& opt);
int CmdResetSettings(const TCliOptions& opt);
int CmdCalibrate(const TCliOptions& opt);
int CmdSend(const TCliOptions& opt);
int CmdPorts(const TCliOptions& opt);
int CmdDoctor(const TCliOptions& opt);
int CmdUpdate(const TCliOptions& opt);

// Asks question on the terminal (y/N); without a terminal, and unless --yes, the command
// ends with ExitUsage. A "no" ends it too.
void Confirm(const TCliOptions& opt, const QString& question);

// The device text encoding the app keeps in its settings.xml (Western when none).
void LoadDeviceEncoding();

// Commands that run until interrupted install these: SIGINT, SIGTERM and SIGHUP then set a
// flag that the command looks at between polls. Every other command ends at once on them.
bool StopRequested();
void InstallStopHandlers();

// Throws ECliError(ExitFirmware) when the last transfer refused the firmware, otherwise
// ECliError(ExitDevice, "Error").
[[noreturn]] void TransferFailed();
