#pragma once
// Writing a file the user owns: the bytes go to a temporary file in the same folder, every
// write is checked, the temporary file is flushed and synced, and only then renamed over
// the target. On any failure the old file stays as it was and the error says why.

#include <QByteArray>
#include <QString>

// True when the whole of data reached path. On failure error (when given) receives
// "Cannot write <path>: <the system's reason>".
bool WriteFileSafely(const QString& path, const QByteArray& data, QString* error = nullptr);
