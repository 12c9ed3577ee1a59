#pragma once
// The DFU tool's side of the updater, free of widgets: where the tool is and what it is
// given, how its console output becomes memo lines and a progress percentage, and what the
// user is told when the run fails.

#include <QByteArray>
#include <QString>
#include <QStringList>

// The program to start and its arguments (each one a separate argument, no shell).
struct TDfuTool {
    QString program;
    QStringList arguments;
    bool found() const { return !program.isEmpty(); }
};

// "STDFUSE.dll" in appDir when it is an executable file, with its own options; otherwise
// dfu-util from the search path with the same request in its options; otherwise nothing.
TDfuTool FindDfuTool(const QString& appDir, const QString& firmware);
QStringList StdfuseArguments(const QString& firmware); // -c -d --v --fn FILE -l
QStringList DfuUtilArguments(const QString& firmware); // -d ,0483:df11 -a 0 -s :leave -D FILE

// Splits the merged output into lines at CR and LF, trims every line of white space and
// control characters and drops the empty ones. Progress bars ("Erase\t[====  ]  36% ...",
// redrawn in place after CRs) only set percent(); the last drawing of each bar is kept as
// one line when the bar is done. A line without its break yet is held for the next chunk.
class TDfuOutput {
public:
    void feed(const QByteArray& chunk);
    void finish(); // the output has ended: emit what is held back
    QStringList takeLines();
    int percent() const { return m_percent; } // -1 until a bar is seen
    bool cannotOpenDevice() const { return m_cannotOpen; }
    bool noDevice() const { return m_noDevice; }

private:
    void takeLine(const QByteArray& raw);
    bool readBar(const QString& text);

    QByteArray m_tail;
    QString m_bar;
    QStringList m_lines;
    int m_percent = -1;
    bool m_cannotOpen = false;
    bool m_noDevice = false;
};

// How a run ended, and the closing memo line for it (empty when the run succeeded).
struct TDfuOutcome {
    bool toolFound = true;
    bool started = true;
    QString startError;
    bool stopped = false; // the user stopped the run
    bool crashed = false;
    int exitCode = 0;
    bool cannotOpenDevice = false;
    bool noDevice = false;
};
QString DfuOutcomeText(const TDfuOutcome& outcome);
