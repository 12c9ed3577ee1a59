#pragma once
// Output files of devedazi-cli. A single file goes through WriteFileSafely (a temporary
// file, synced, renamed over the target). A set of files in one folder, the logos and
// their screens.csv, is replaced as a whole: the new set is built in a hidden sibling
// folder that also gets hard links to every other file of the folder, and the two folders
// are swapped in one step (renameat2 RENAME_EXCHANGE). A crash leaves the old set or the
// new one, never a mixture, and the folder's other files as they were. Where the swap
// can't be done (a subfolder in the folder, another owner, a file system without the
// exchange, or this process working inside the folder) the files are replaced one by one
// after all were written: a failure while writing changes nothing, but a failed rename or
// a crash between those renames can leave a mixture.
// Every failure throws ECliError(ExitUsage) with "Cannot write <path>: <reason>".

#include <QByteArray>
#include <QList>
#include <QString>

struct TOutputFile {
    QString name; // within the folder
    QByteArray content;
};

void WriteOutputFile(const QString& path, const QByteArray& content);

// Puts the files into `folder` (created with its parents when missing); files of the
// folder that the set doesn't name are kept.
void ReplaceFileSet(const QString& folder, const QList<TOutputFile>& files);
