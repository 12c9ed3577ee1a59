#pragma once
// The command line of devedazi-cli:
//   devedazi-cli [--port PORT] [--yes] [--quiet] COMMAND [ARGS]
// Global options may also follow the command (except after "send", whose arguments are
// the line to send).

#include <QString>
#include <QStringList>

enum class TKeyPress { None, Fire, Plus, Minus };

struct TCliOptions {
    QString port = QStringLiteral("auto");
    bool yes = false;
    bool quiet = false;
    bool help = false;
    bool version = false;

    QString command;  // "info", "download", ..., "logos download", "logos upload"
    QStringList args; // the command's positional arguments

    int zoom = 1;   // screenshot: 1..8
    int count = -1; // monitor: number of polls, -1 = until interrupted
    QString output; // monitor: CSV file instead of standard output
    QString record; // monitor: CSV file written row by row as the polls come in
    TKeyPress keys = TKeyPress::None;
    int fireMs = 0; // keys --fire

    bool units = false;   // diff --units: the differences as the Tuner shows them
    bool verbose = false; // update --verbose: the DFU tool's output
};

// Throws ECliError(ExitUsage) for anything malformed.
TCliOptions ParseCommandLine(const QStringList& arguments);
QString UsageText();
