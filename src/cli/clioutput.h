#pragma once
// Console output of devedazi-cli: data on standard output, messages on standard error,
// the progress bar (standard error, terminals only) and files written all or nothing.

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

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

// Writes a file through a temporary file in the same folder that replaces the target only
// when writer returned true; a failure leaves an existing target as it was. Throws
// ECliError(ExitUsage) when the file cannot be written.
void WriteFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& writer);

// For writers that want a file name: writer gets the name of a temporary file in the same
// folder with the target's extension (pre-filled with a copy of the target when that exists
// and keepContent is set); the temporary file replaces the target when writer returns true
// and is removed otherwise, also when writer throws.
void ReplaceFileAtomically(const QString& path,
                           const std::function<bool(const QString& tempPath)>& writer,
                           bool keepContent = false);
