#include "cli/cliargs.h"

#include "cli/clierror.h"

#include <QHash>

namespace {

struct TCommandSpec {
    int minArgs = 0;
    int maxArgs = 0;
    QStringList valueOptions; // options that take a value
    QStringList flagOptions;  // options without a value
};

const QHash<QString, TCommandSpec>& CommandSpecs() {
    static const QHash<QString, TCommandSpec> specs = {
        {QStringLiteral("info"), {}},
        {QStringLiteral("download"), {1, 1, {}, {}}},
        {QStringLiteral("upload"), {1, 1, {}, {}}},
        {QStringLiteral("diff"), {1, 1, {}, {QStringLiteral("units")}}},
        {QStringLiteral("backup"), {0, 1, {}, {}}},
        {QStringLiteral("logos download"), {1, 1, {}, {}}},
        {QStringLiteral("logos upload"), {1, 1, {}, {}}},
        {QStringLiteral("screenshot"), {1, 1, {QStringLiteral("zoom")}, {}}},
        {QStringLiteral("monitor"),
         {0, 0, {QStringLiteral("count"), QStringLiteral("output"), QStringLiteral("record")}, {}}},
        {QStringLiteral("keys"),
         {0, 0, {QStringLiteral("fire")}, {QStringLiteral("plus"), QStringLiteral("minus")}}},
        {QStringLiteral("measure-coil"), {}},
        {QStringLiteral("soft-reset"), {}},
        {QStringLiteral("reset-settings"), {}},
        {QStringLiteral("calibrate"), {}},
        {QStringLiteral("send"), {}},
        {QStringLiteral("ports"), {}},
        {QStringLiteral("doctor"), {}},
        {QStringLiteral("update"), {1, 1, {}, {QStringLiteral("verbose")}}},
    };
    return specs;
}

int ParseIntOption(const QString& option, const QString& text, int min, int max) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        UsageError(QStringLiteral("--%1 needs a whole number from %2 to %3, not \"%4\"")
                       .arg(option)
                       .arg(min)
                       .arg(max)
                       .arg(text));
    return value;
}

class TParser {
public:
    explicit TParser(const QStringList& arguments) : m_args(arguments) {}
    TCliOptions Run();

private:
    bool TakeGlobal(const QString& name, const QString* inlineValue);
    void TakeCommand();
    void TakeCommandOption(const QString& name, const QString* inlineValue);
    QString TakeValue(const QString& name, const QString* inlineValue);
    void SetKeys(TKeyPress keys);
    void Check();

    QStringList m_args;
    int m_pos = 0;
    TCliOptions m_opt;
    TCommandSpec m_spec;
};

QString TParser::TakeValue(const QString& name, const QString* inlineValue) {
    if (inlineValue)
        return *inlineValue;
    if (m_pos >= m_args.size())
        UsageError(QStringLiteral("--%1 needs a value").arg(name));
    return m_args.at(m_pos++);
}

bool TParser::TakeGlobal(const QString& name, const QString* inlineValue) {
    if (name == QLatin1String("port")) {
        m_opt.port = TakeValue(name, inlineValue);
        if (m_opt.port.trimmed().isEmpty())
            UsageError(QStringLiteral("--port needs a port name or \"auto\""));
        return true;
    }
    bool* flag = name == QLatin1String("yes")       ? &m_opt.yes
                 : name == QLatin1String("quiet")   ? &m_opt.quiet
                 : name == QLatin1String("help")    ? &m_opt.help
                 : name == QLatin1String("version") ? &m_opt.version
                                                    : nullptr;
    if (!flag)
        return false;
    if (inlineValue)
        UsageError(QStringLiteral("--%1 takes no value").arg(name));
    *flag = true;
    return true;
}

void TParser::SetKeys(TKeyPress keys) {
    if (m_opt.keys != TKeyPress::None)
        UsageError(QStringLiteral("keys takes exactly one of --fire MS, --plus, --minus"));
    m_opt.keys = keys;
}

void TParser::TakeCommandOption(const QString& name, const QString* inlineValue) {
    if (m_spec.flagOptions.contains(name)) {
        if (inlineValue)
            UsageError(QStringLiteral("--%1 takes no value").arg(name));
        if (name == QLatin1String("units")) {
            m_opt.units = true;
            return;
        }
        if (name == QLatin1String("verbose")) {
            m_opt.verbose = true;
            return;
        }
        SetKeys(name == QLatin1String("plus") ? TKeyPress::Plus : TKeyPress::Minus);
    } else if (name == QLatin1String("zoom")) {
        m_opt.zoom = ParseIntOption(name, TakeValue(name, inlineValue), 1, 8);
    } else if (name == QLatin1String("count")) {
        m_opt.count = ParseIntOption(name, TakeValue(name, inlineValue), 1, 1000000000);
    } else if (name == QLatin1String("output")) {
        m_opt.output = TakeValue(name, inlineValue);
        if (m_opt.output.isEmpty())
            UsageError(QStringLiteral("--output needs a file name"));
    } else if (name == QLatin1String("record")) {
        m_opt.record = TakeValue(name, inlineValue);
        if (m_opt.record.isEmpty())
            UsageError(QStringLiteral("--record needs a file name"));
    } else if (name == QLatin1String("fire")) {
        SetKeys(TKeyPress::Fire);
        m_opt.fireMs = ParseIntOption(name, TakeValue(name, inlineValue), 100, 60000);
    }
}

void TParser::TakeCommand() {
    QString command = m_args.at(m_pos++);
    if (command == QLatin1String("logos")) {
        if (m_pos >= m_args.size())
            UsageError(QStringLiteral("logos needs \"download DIR\" or \"upload DIR\""));
        command += QLatin1Char(' ') + m_args.at(m_pos++);
    }
    const auto it = CommandSpecs().find(command);
    if (it == CommandSpecs().end())
        UsageError(QStringLiteral("Unknown command \"%1\"").arg(command));
    m_opt.command = command;
    m_spec = it.value();
}

TCliOptions TParser::Run() {
    bool optionsEnded = false;
    while (m_pos < m_args.size()) {
        const QString arg = m_args.at(m_pos);
        if (m_opt.command == QLatin1String("send")) {
            m_opt.args = m_args.mid(m_pos);
            if (!m_opt.args.isEmpty() && m_opt.args.first() == QLatin1String("--"))
                m_opt.args.removeFirst();
            break;
        }
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            if (m_opt.command.isEmpty())
                TakeCommand();
            else
                m_opt.args.append(m_args.at(m_pos++));
            continue;
        }
        ++m_pos;
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
        if (name == QLatin1String("h"))
            name = QStringLiteral("help");
        else if (name == QLatin1String("y"))
            name = QStringLiteral("yes");
        else if (name == QLatin1String("q"))
            name = QStringLiteral("quiet");
        QString value;
        const QString* inlineValue = nullptr;
        if (const int eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            inlineValue = &value;
        }
        if (TakeGlobal(name, inlineValue))
            continue;
        if (!m_opt.command.isEmpty() &&
            (m_spec.valueOptions.contains(name) || m_spec.flagOptions.contains(name))) {
            TakeCommandOption(name, inlineValue);
            continue;
        }
        UsageError(QStringLiteral("Unknown option \"%1\"").arg(arg));
    }
    Check();
    return m_opt;
}

void TParser::Check() {
    if (m_opt.help || m_opt.version)
        return;
    if (m_opt.command.isEmpty())
        UsageError(QStringLiteral("No command given"));
    if (m_opt.command == QLatin1String("send")) {
        if (m_opt.args.isEmpty())
            UsageError(QStringLiteral("send needs the line to send"));
        return;
    }
    if (m_opt.args.size() < m_spec.minArgs || m_opt.args.size() > m_spec.maxArgs)
        UsageError(QStringLiteral("Wrong number of arguments for %1").arg(m_opt.command));
    for (const QString& a : std::as_const(m_opt.args))
        if (a.isEmpty())
            UsageError(QStringLiteral("Empty argument for %1").arg(m_opt.command));
    if (m_opt.command == QLatin1String("keys") && m_opt.keys == TKeyPress::None)
        UsageError(QStringLiteral("keys takes exactly one of --fire MS, --plus, --minus"));
}

} // namespace

TCliOptions ParseCommandLine(const QStringList& arguments) {
    return TParser(arguments).Run();
}

QString UsageText() {
    return QStringLiteral(
        "Usage: devedazi-cli [--port PORT] [--yes] [--quiet] COMMAND [ARGS]\n"
        "\n"
        "Options:\n"
        "  --port PORT   \"auto\" (default: the device's USB identity 0483:5740),\n"
        "                or a port name or path (ttyACM0, /dev/ttyACM0, a pty, a symlink)\n"
        "  --yes, -y     do not ask before reset-settings and calibrate\n"
        "  --quiet, -q   no progress bar and no \"Done\"\n"
        "  --help, -h    this text\n"
        "  --version     the program's version\n"
        "\n"
        "Commands:\n"
        "  info                       model, firmware, display, logo slots, cells\n"
        "  download FILE.xml          read the device's settings into a settings file\n"
        "  upload FILE.xml            write a settings file to the device\n"
        "  diff FILE.xml [--units]    list the fields where the device differs from the file\n"
        "                             (--units: by page, in the Tuner's units and texts)\n"
        "  backup [DIR]               save the device's settings as a dated backup file\n"
        "                             (default DIR: the app's Profiles/Settings/Backups;\n"
        "                             a firmware older than this program: its raw answers)\n"
        "  logos download DIR         save the logos as DIR/logo1.png .. and DIR/screens.csv\n"
        "  logos upload DIR           send DIR/logo1.* .. (.png .bmp .gif .jpg) and screens.csv\n"
        "  screenshot FILE [--zoom N] capture the display (.png .bmp .jpg .gif, zoom 1..8)\n"
        "  monitor [--count N] [--output FILE] [--record FILE]\n"
        "                             poll the live values and print them as CSV\n"
        "                             (--output: written at the end; --record: a new file\n"
        "                             that gets each row as it comes)\n"
        "  keys --fire MS | --plus | --minus\n"
        "                             fire for MS milliseconds (100..60000), or press a key\n"
        "  measure-coil               measure the coil's cold resistance\n"
        "  soft-reset                 restart the device\n"
        "  reset-settings             reset the device's settings to their defaults\n"
        "  calibrate                  calibrate the battery measurement at 4.2 V\n"
        "  send LINE                  send a raw line and print the answer lines\n"
        "  ports                      list serial ports (* marks the device's USB identity)\n"
        "  doctor                     check the connection: what keeps the device from\n"
        "                             working, and what to do (exit 0: it can be used)\n"
        "  update FIRMWARE.dfu [--verbose]\n"
        "                             back up the settings, switch the device into its boot\n"
        "                             loader, write the firmware with the DFU tool, wait for\n"
        "                             the device and print its new version (asks first\n"
        "                             unless --yes; --verbose shows the DFU tool's output)\n"
        "\n"
        "Names and raw lines travel in the device text encoding chosen in the app (Options >\n"
        "Device text encoding, kept in its settings.xml).\n"
        "\n"
        "Exit codes: 0 success, 1 device exchange failed (doctor: the device cannot be\n"
        "used), 2 usage error, bad file or not confirmed, 3 incompatible firmware, 4 no\n"
        "device found or port cannot be opened, 5 the DFU tool failed (firmware not written).\n");
}
