#pragma once
// Console output of devedazi-cli: data on standard output, messages on standard error,
// the progress bar (standard error, terminals only) and files written all or nothing.

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

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

// Writes files through temporary files in their folders: each writer gets the name of a
// temporary file with its target's extension and returns true when it wrote it. The targets
// are replaced (a symbolic link's target, keeping its permissions) only when every writer
// returned true; otherwise, also when a writer throws, the temporary files are removed and
// every target stays as it was. Throws ECliError(ExitUsage) when a file cannot be written,
// before any target is replaced when that can be seen beforehand (a target that is a
// folder, a folder that is not writable).
struct TFileJob {
    QString path;
    std::function<bool(const QString& tempPath)> writer;
};
void ReplaceFilesAtomically(const QList<TFileJob>& jobs);
