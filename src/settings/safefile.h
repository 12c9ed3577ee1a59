#pragma once
// Writing a file the user owns: the bytes go to a temporary file in the same folder, every
// write is checked, the temporary file is flushed and synced, and only then renamed over
// the target. On any failure the old file stays as it was and the error says why.

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// A file written in pieces (a stream of rows, for instance) that replaces its target only
// at Commit(). Once a step failed, every later one fails too and Error() says why; the
// destructor drops an uncommitted temporary file.
class TSafeFile {
public:
    explicit TSafeFile(const QString& path);
    ~TSafeFile();
    TSafeFile(const TSafeFile&) = delete;
    TSafeFile& operator=(const TSafeFile&) = delete;

    bool Open();
    // All of data, or false. A short write is retried, so a disk that filled up tells its
    // reason instead of a silent short count.
    bool Write(const QByteArray& data);
    // Flushes and syncs the temporary file, then renames it over the target.
    bool Commit();
    void Cancel(); // drops the temporary file; the target stays as it was
    // "Cannot write <path>: <the system's reason>", empty while nothing failed.
    const QString& Error() const { return m_error; }

private:
    bool Fail(const QString& reason);

    QString m_path;
    QSaveFile m_file;
    QString m_error;
};

// True when the whole of data reached path. On failure error (when given) receives
// "Cannot write <path>: <the system's reason>".
bool WriteFileSafely(const QString& path, const QByteArray& data, QString* error = nullptr);
