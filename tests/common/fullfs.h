#pragma once
// Two ways to make writes fail half-way, as a full disk does: a real file system filled to
// its last block (a small tmpfs, mounted when the tests run as root), and the file-size
// limit RLIMIT_FSIZE with SIGXFSZ ignored (no root needed), in this process or in a child.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

// A 64 KiB tmpfs. Files put there with put() before fill() exist; after fill() not one more
// block is free.
class TFullFileSystem {
public:
    TFullFileSystem() {
        if (::geteuid() != 0)
            m_why = QStringLiteral("needs root to mount a small tmpfs");
        else if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                         "size=64k") != 0)
            m_why = QStringLiteral("cannot mount a tmpfs here: ") +
                    QString::fromLocal8Bit(std::strerror(errno));
        else
            m_mounted = true;
    }
    ~TFullFileSystem() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    TFullFileSystem(const TFullFileSystem&) = delete;
    TFullFileSystem& operator=(const TFullFileSystem&) = delete;

    bool ok() const { return m_mounted; }
    QString whyNot() const { return m_why; }
    QString path(const QString& name = {}) const {
        return name.isEmpty() ? m_dir.path() : m_dir.filePath(name);
    }
    bool put(const QString& name, const QByteArray& data) {
        QFile f(path(name));
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size() && f.flush();
    }
    // Fills the file system with one file until the kernel refuses another byte.
    bool fill() {
        QFile f(path(QStringLiteral("filler")));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(512, 'f');
        qint64 written = 0;
        while (f.write(block) > 0)
            written += block.size();
        while (f.write(block.left(1)) > 0) // the last bytes of a partly used block
            ++written;
        return written > 0;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_why;
};

// Files of this process may grow to `bytes` only, as long as the object lives.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = m_saved;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = SIG_DFL;
};

// For a child process: the same limit, set in the child before exec (an ignored signal
// stays ignored across exec).
inline void LimitChildFileSize(QProcess& process, rlim_t bytes) {
    process.setChildProcessModifier([bytes] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &small);
    });
}
