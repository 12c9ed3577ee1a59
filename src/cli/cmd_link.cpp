// Commands that need no settings image: info, send, ports.

#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "cli/cliport.h"
#include "cli/commands.h"
#include "link/ComPort.h"
#include "link/devicetext.h"
#include "link/portdetect.h"
#include "link/terminal.h"
#include "link/transport.h"
#include "settings/models.h"
#include "settings/settings.h"

namespace {

constexpr int MaxSendLength = 255; // the terminal's longest line

QString ModelName() {
    return ModInfo.name.isEmpty() ? QStringLiteral("(unknown model)") : ModInfo.name;
}

// A received line without the carriage returns and line feeds around it.
QString Printable(const QByteArray& line) {
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && (line.at(begin) == '\r' || line.at(begin) == '\n'))
        ++begin;
    while (end > begin && (line.at(end - 1) == '\r' || line.at(end - 1) == '\n'))
        --end;
    return FromDeviceText(line.constData() + begin, end - begin);
}

} // namespace

int CmdInfo(const TCliOptions&) {
    QString version;
    TIntegers id;
    bool ok = false;
    {
        TSequence sequence(2);
        ReadParam(QStringLiteral("VER"), version);
        ReadInts(QStringLiteral("ID"), 1, id);
        Settings.ID = id.value(0);
        SelectModel(Settings.ID);
        ok = sequence.Finish();
    }
    if (!ok)
        DeviceError();
    PrintOut(QStringLiteral("Model: %1\n"
                            "ID: %2\n"
                            "Firmware: %3\n"
                            "Display: %4x%5 %6\n"
                            "Logo slots: %7\n"
                            "Cells: %8\n")
                 .arg(ModelName())
                 .arg(ModInfo.ID)
                 .arg(version)
                 .arg(ModInfo.scrWidth)
                 .arg(ModInfo.scrHeight)
                 .arg(ModInfo.scrColor ? QStringLiteral("colour") : QStringLiteral("monochrome"))
                 .arg(ModInfo.numLogo)
                 .arg(ModInfo.numBatt));
    if (CompareVersions(version, AppVersion()) > 0)
        throw ECliError(ExitFirmware,
                        FirmwareRefusalText(version).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    return ExitOk;
}

int CmdSend(const TCliOptions& opt) {
    // As typed into the terminal: every letter in upper case, at most 255 characters.
    const QString line = opt.args.join(QLatin1Char(' ')).toUpper();
    if (line.size() > MaxSendLength)
        UsageError(QStringLiteral("The line is longer than %1 characters").arg(MaxSendLength));
    for (const QChar c : line)
        if (!DeviceCanCarry(c) || IsControlCharacter(c))
            UsageError(QStringLiteral("The line holds a character the device cannot take (the "
                                      "device text encoding is %1)")
                           .arg(DeviceEncodingTitle(DeviceEncoding())));
    const TTerminalExchange exchange = TerminalSend(ComPort, ToDeviceText(line));
    if (!exchange.sent)
        DeviceError(QStringLiteral("Error: %1").arg(exchange.error));
    QString last;
    for (const QByteArray& received : exchange.lines) {
        const QString text = Printable(received);
        PrintOut(text + QLatin1Char('\n'));
        if (!text.trimmed().isEmpty())
            last = text.trimmed();
    }
    if (!exchange.partial.isEmpty()) {
        PrintOut(Printable(exchange.partial) + QLatin1Char('\n'));
        last = Printable(exchange.partial).trimmed();
    }
    if (!exchange.error.isEmpty())
        DeviceError(QStringLiteral("Error: %1").arg(exchange.error));
    if (exchange.cutShort)
        DeviceError(QStringLiteral("Error: the device did not fall silent"));
    if (last.isEmpty())
        DeviceError(QStringLiteral("No answer"));
    return last == QLatin1String("ERROR") ? ExitDevice : ExitOk;
}

int CmdPorts(const TCliOptions&) {
    const QList<TSerialDevice> devices = ListSerialDevices(CliSysRoot());
    for (const TSerialDevice& d : devices) {
        const bool ours = IsDevicePort(d);
        const QString id = d.vendor.isEmpty() && d.product.isEmpty()
                               ? QStringLiteral("-")
                               : QStringLiteral("%1:%2").arg(d.vendor, d.product);
        PrintOut(QStringLiteral("%1\t%2\t%3\t%4%5\n")
                     .arg(d.portName, PortDevicePath(d.portName, CliDevRoot()), d.bus, id,
                          ours ? QStringLiteral("\t*") : QString()));
    }
    return ExitOk;
}
