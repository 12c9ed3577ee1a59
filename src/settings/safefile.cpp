#include "settings/safefile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// QSaveFile alone is not enough: its commit() renames even when the flush of its write
// buffer failed (only errors of write() itself cancel it), and a short write through that
// buffer reports no reason. So the file is written unbuffered, every write is checked here,
// and the temporary file is synced by hand before commit() renames it.

namespace {

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Makes the rename itself durable; a folder that can't be synced is no error.
void SyncFolderOf(const QString& path) {
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

TSafeFile::TSafeFile(const QString& path) : m_path(path), m_file(path) {}

TSafeFile::~TSafeFile() {
    Cancel();
}

bool TSafeFile::Fail(const QString& reason) {
    if (m_error.isEmpty())
        m_error =
            QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(m_path), reason);
    Cancel();
    return false;
}

bool TSafeFile::Open() {
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(m_file.errorString());
    return true;
}

bool TSafeFile::Write(const QByteArray& data) {
    if (!m_error.isEmpty() || !m_file.isOpen())
        return Fail(QStringLiteral("the file is not open"));
    for (qsizetype done = 0; done < data.size();) {
        const qint64 n = m_file.write(data.constData() + done, data.size() - done);
        if (n <= 0)
            return Fail(m_file.errorString());
        done += qsizetype(n);
    }
    return true;
}

bool TSafeFile::Commit() {
    if (!m_error.isEmpty() || !m_file.isOpen())
        return Fail(QStringLiteral("the file is not open"));
    if (!m_file.flush())
        return Fail(m_file.errorString());
    // A file system that can't sync (EINVAL) has nothing more to lose; any other failure
    // means the bytes may not be on the disk.
    if (::fsync(m_file.handle()) != 0 && errno != EINVAL)
        return Fail(SystemReason(errno));
    if (!m_file.commit())
        return Fail(m_file.errorString());
    SyncFolderOf(m_path);
    return true;
}

void TSafeFile::Cancel() {
    if (!m_file.isOpen())
        return;
    m_file.cancelWriting();
    m_file.commit(); // after cancelWriting() this removes the temporary file, never renames
}

bool WriteFileSafely(const QString& path, const QByteArray& data, QString* error) {
    TSafeFile file(path);
    const bool ok = file.Open() && file.Write(data) && file.Commit();
    if (!ok && error)
        *error = file.Error();
    return ok;
}
