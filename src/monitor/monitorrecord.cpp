#include "monitor/monitorrecord.h"

#include "monitor/monitorcsv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int TemporaryNameTries = 16;

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

int CreateFile(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                  0666);
}

// A new file beside path, for the replacement; its name in temporary.
int CreateTemporaryBeside(const QString& path, QString& temporary) {
    const QFileInfo info(path);
    for (int i = 0; i < TemporaryNameTries; ++i) {
        temporary = info.absoluteDir().filePath(
            QStringLiteral(".%1.%2.tmp")
                .arg(info.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        const int fd = CreateFile(temporary);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

TMonitorRecorder::~TMonitorRecorder() {
    Stop();
}

bool TMonitorRecorder::Start(const QString& path, bool replace) {
    Stop();
    m_path = path;
    m_rows = 0;
    m_bytes = 0;
    m_error.clear();
    const QString shown = QDir::toNativeSeparators(path);
    QString temporary;
    m_fd = replace ? CreateTemporaryBeside(path, temporary) : CreateFile(path);
    if (m_fd < 0) {
        const int error = errno;
        m_error = error == EEXIST && !replace
                      ? QStringLiteral("Cannot record to %1: the file exists").arg(shown)
                      : QStringLiteral("Cannot write %1: %2").arg(shown, SystemReason(error));
        return false;
    }
    // A file made here and holding no more than the header is removed again on failure.
    const QByteArray created = QFile::encodeName(replace ? temporary : path);
    if (!WriteLine((MonitorCsvHeader() + QLatin1Char('\n')).toUtf8())) {
        ::unlink(created.constData());
        return false;
    }
    if ((::fdatasync(m_fd) != 0 && errno != EINVAL) ||
        (replace && ::rename(created.constData(), QFile::encodeName(path).constData()) != 0)) {
        Fail(errno);
        ::unlink(created.constData());
        return false;
    }
    m_synced.start();
    return true;
}

bool TMonitorRecorder::Append(const TMonitorSample& sample) {
    if (!active())
        return false;
    if (!WriteLine((MonitorCsvRow(sample) + QLatin1Char('\n')).toUtf8()))
        return false;
    ++m_rows;
    if (m_synced.elapsed() >= SyncMs) {
        if (::fdatasync(m_fd) != 0 && errno != EINVAL)
            return Fail(errno);
        m_synced.start();
    }
    return true;
}

void TMonitorRecorder::Stop() {
    if (!active())
        return;
    ::fdatasync(m_fd);
    ::close(m_fd);
    m_fd = -1;
}

// The whole line or, after a short write, nothing of it: the part written is cut off again.
bool TMonitorRecorder::WriteLine(const QByteArray& line) {
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t n = ::write(m_fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            // Should the cut fail too, the file ends in a part row that a reader refuses.
            const bool cut = ::ftruncate(m_fd, m_bytes) == 0;
            Q_UNUSED(cut);
            return Fail(error);
        }
        done += n;
    }
    m_bytes += line.size();
    return true;
}

bool TMonitorRecorder::Fail(int error) {
    m_error = QStringLiteral("Cannot write %1: %2")
                  .arg(QDir::toNativeSeparators(m_path), SystemReason(error));
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    return false;
}
