#pragma once
// Console output of devedazi-cli: data on standard output, messages on standard error,
// the progress bar (standard error, terminals only). Output files: fileset.h.

#include <QString>

void PrintOut(const QString& text); // standard output, UTF-8, flushed
void PrintErr(const QString& text); // standard error, UTF-8, flushed

// "Done" and other success notes, on standard error; silenced by --quiet.
void SetQuiet(bool quiet);
bool Quiet();
void Note(const QString& text);

// Mirrors ProgressBar() as a text bar on standard error while it is a terminal (and not
// --quiet). Clears its line when destroyed.
class TConsoleProgress {
public:
    TConsoleProgress();
    ~TConsoleProgress();
    TConsoleProgress(const TConsoleProgress&) = delete;
    TConsoleProgress& operator=(const TConsoleProgress&) = delete;
    static void Clear(); // erase the bar before printing a message

private:
    bool m_enabled = false;
};
