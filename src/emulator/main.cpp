// devedazi-emu: the virtual device as a program of its own. Prints the pseudo-terminal's
// path, serves it until SIGINT or SIGTERM, then writes the state file when one was given.
// SIGUSR1 takes it out of its boot loader, as a written firmware would (with --update-to, it
// then reports that version).

#include "emulator/emulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

struct Options {
    int model = 1;
    QByteArray version = "1.5.1";
    QString link, trace, state;
    QByteArray updateTo; // the version after leaving the boot loader on SIGUSR1
    TEmuFaults faults;
};

bool toInt(const QString& text, int* value) {
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

void addOptions(QCommandLineParser& p) {
    p.setApplicationDescription("The DEVedazi virtual device on a pseudo-terminal.");
    p.addHelpOption();
    p.addOptions({
        {"model", "Model ID (default 1).", "ID"},
        {"version", "Firmware version text (default 1.5.1).", "TEXT"},
        {"link", "Create a symbolic link PATH to the pseudo-terminal.", "PATH"},
        {"trace", "Write every received and sent line to FILE.", "FILE"},
        {"state", "Start from the image in FILE (if it exists) and write it back at exit.", "FILE"},
        {"update-to", "On SIGUSR1, leave the boot loader running firmware TEXT.", "TEXT"},
        {"echo", "Fault: echo every request before the answer."},
        {"crlf", "Fault: end answers with CR LF."},
        {"lf-before", "Fault: send a LF before each answer."},
        {"noise", "Fault: send an unrelated line before each answer."},
        {"error-for", "Fault: answer ERROR to NAME.", "NAME"},
        {"malformed", "Fault: answer NAME with VALUE (NAME=VALUE).", "NAME=VALUE"},
        {"silent-after", "Fault: answer nothing after N requests.", "N"},
        {"busy", "Fault: answer BUSY N times before each screen line.", "N"},
        {"delay", "Fault: wait MS milliseconds before each answer.", "MS"},
        {"disappear-after", "Fault: close the line at request N + 1.", "N"},
        {"babble", "Fault: answer with an endless stream of bytes without CR."},
    });
}

bool readOptions(const QCommandLineParser& p, Options* o, QString* error) {
    auto number = [&](const char* name, int* target) {
        if (!p.isSet(name))
            return true;
        if (toInt(p.value(name), target))
            return true;
        *error = QString("--%1 needs a number").arg(name);
        return false;
    };
    if (!number("model", &o->model) || !number("silent-after", &o->faults.silentAfter) ||
        !number("busy", &o->faults.busyCount) || !number("delay", &o->faults.answerDelayMs) ||
        !number("disappear-after", &o->faults.disappearAfter))
        return false;
    if (p.isSet("version"))
        o->version = p.value("version").toLatin1();
    o->link = p.value("link");
    o->trace = p.value("trace");
    o->state = p.value("state");
    o->updateTo = p.value("update-to").toLatin1();
    o->faults.echo = p.isSet("echo");
    o->faults.crlf = p.isSet("crlf");
    o->faults.lfBefore = p.isSet("lf-before");
    o->faults.noise = p.isSet("noise");
    o->faults.babble = p.isSet("babble");
    o->faults.errorFor = p.value("error-for").toLatin1();
    if (p.isSet("malformed")) {
        const QByteArray pair = p.value("malformed").toLatin1();
        const qsizetype eq = pair.indexOf('=');
        if (eq <= 0) {
            *error = "--malformed needs NAME=VALUE";
            return false;
        }
        o->faults.malformedFor = pair.left(eq);
        o->faults.malformedValue = pair.mid(eq + 1);
    }
    return true;
}

int fail(const QString& text) {
    std::fprintf(stderr, "devedazi-emu: %s\n", qPrintable(text));
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    // Block the stop signals before any thread starts; the main thread waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("devedazi-emu");
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);
    Options o;
    QString error;
    if (!readOptions(parser, &o, &error))
        return fail(error);

    TDeviceEmulator emu(o.model, o.version);
    if (!o.state.isEmpty() && QFile::exists(o.state) && !emu.loadState(o.state, &error))
        return fail(QString("%1: %2").arg(o.state, error));
    if (!o.trace.isEmpty() && !emu.setTraceFile(o.trace))
        return fail(QString("cannot write %1").arg(o.trace));
    emu.setFaults(o.faults);
    if (!emu.start(&error))
        return fail(error);
    if (!o.link.isEmpty() && !emu.makeLink(o.link))
        return fail(QString("cannot create the link %1").arg(o.link));
    std::printf("%s\n", qPrintable(emu.slavePath()));
    std::fflush(stdout);

    int signal = 0;
    while (sigwait(&stopSignals, &signal) == 0 && signal == SIGUSR1) {
        // A DFU tool (a test's stand-in) has written the firmware: the device restarts.
        if (!o.updateTo.isEmpty())
            emu.setValue("VER", o.updateTo);
        emu.leaveBootLoader();
    }
    emu.stop();
    if (!o.state.isEmpty() && !emu.saveState(o.state, &error))
        return fail(QString("%1: %2").arg(o.state, error));
    return 0;
}
