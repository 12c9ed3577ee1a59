#include "cli/fileset.h"

#include "cli/clierror.h"
#include "cli/clioutput.h"
#include "settings/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void CannotWrite(const QString& path, const QString& why) {
    throw ECliError(ExitUsage,
                    QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), why));
}

QString Reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray Encoded(const QString& path) {
    return QFile::encodeName(path);
}

class TFd {
public:
    explicit TFd(int fd = -1) : m_fd(fd) {}
    ~TFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Test hook: DEVEDAZI_TEST_CRASH=before-swap or after-swap ends the process right there,
// as a crash would, without any clean-up.
void CrashPoint(const char* where) {
    if (qEnvironmentVariable("DEVEDAZI_TEST_CRASH") == QLatin1String(where))
        std::_Exit(99);
}

// Writes all of content into an open file with the permissions `mode` and syncs it.
bool WriteAll(int fd, const QByteArray& content, mode_t mode, int& error) {
    if (::fchmod(fd, mode) != 0) {
        error = errno;
        return false;
    }
    for (qsizetype done = 0; done < content.size();) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            return false;
        }
        done += n;
    }
    if (::fsync(fd) != 0 && errno != EINVAL) {
        error = errno;
        return false;
    }
    return true;
}

mode_t UMask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

mode_t NewFileMode() {
    return 0666 & ~UMask();
}

struct TEntry {
    QByteArray name;
    struct stat st {};
};

// The entries of a folder (without "." and ".."), or false.
bool ListFolder(int dirFd, QList<TEntry>& entries) {
    const int copy = ::dup(dirFd);
    DIR* dir = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!dir) {
        if (copy >= 0)
            ::close(copy);
        return false;
    }
    bool ok = true;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        TEntry entry{name, {}};
        if (::fstatat(dirFd, e->d_name, &entry.st, AT_SYMLINK_NOFOLLOW) != 0)
            ok = false;
        entries.append(entry);
    }
    ::closedir(dir);
    return ok;
}

// The hidden sibling folder the new set is built in, or an empty string (errno set).
QString MakeStaging(const QString& target) {
    const QFileInfo info(target);
    QByteArray pattern =
        Encoded(info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
    if (!::mkdtemp(pattern.data()))
        return {};
    return QFile::decodeName(pattern);
}

// Removes the named entries of a folder and then the folder, as far as it goes.
void RemoveFolder(const QString& path, const QList<QByteArray>& names) {
    TFd fd(::open(Encoded(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        for (const QByteArray& name : names)
            ::unlinkat(fd.get(), name.constData(), 0);
    ::rmdir(Encoded(path).constData());
}

void SyncFolder(const QString& path) {
    TFd fd(::open(Encoded(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

enum class TSwap { Done, NotPossible };

// The set written into `staging`; false (with `error`) when a file could not be written.
bool WriteSet(int stagingFd, const QList<TOutputFile>& files, const QHash<QByteArray, mode_t>& kept,
              QList<QByteArray>& written, int& error, QString& failedName) {
    for (const TOutputFile& f : files) {
        const QByteArray name = Encoded(f.name);
        const mode_t mode = kept.value(name, NewFileMode());
        TFd fd(
            ::openat(stagingFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        failedName = f.name;
        if (fd.get() < 0) {
            error = errno;
            return false;
        }
        written.append(name);
        if (!WriteAll(fd.get(), f.content, mode, error))
            return false;
    }
    return true;
}

// WriteSet into the staging folder, which is removed again when that fails.
void WriteSetOrFail(int stagingFd, const QString& staging, const QString& target,
                    const QList<TOutputFile>& files, const QHash<QByteArray, mode_t>& kept,
                    QList<QByteArray>& made) {
    int error = errno;
    QString failed;
    if (stagingFd >= 0 && WriteSet(stagingFd, files, kept, made, error, failed))
        return;
    RemoveFolder(staging, made);
    CannotWrite(QDir(target).filePath(failed), Reason(error));
}

[[noreturn]] void RemoveAndFail(const QString& staging, const QList<QByteArray>& made,
                                const QString& target, int error) {
    RemoveFolder(staging, made);
    CannotWrite(target, Reason(error));
}

// What swapping a folder takes: its permissions and owner, those of the files the set
// replaces, and the other entries, carried over by hard links.
struct TSwapPlan {
    struct stat self {};
    QHash<QByteArray, mode_t> replaced;
    QList<QByteArray> others;
};

// False when the folder can't be swapped: a mount point, another user's folder, or an
// entry that is neither a file nor a link, or a set name that isn't a plain file (a
// link's target is replaced in place, a folder is an error).
bool PlanSwap(int targetFd, const QString& target, const QList<TOutputFile>& files,
              TSwapPlan& plan) {
    struct stat parent {};
    if (::fstat(targetFd, &plan.self) != 0 ||
        ::stat(Encoded(QFileInfo(target).absolutePath()).constData(), &parent) != 0 ||
        plan.self.st_dev != parent.st_dev || (plan.self.st_uid != ::geteuid() && ::geteuid() != 0))
        return false;
    QList<TEntry> entries;
    if (!ListFolder(targetFd, entries))
        return false;
    QSet<QByteArray> setNames;
    for (const TOutputFile& f : files)
        setNames.insert(Encoded(f.name));
    for (const TEntry& e : entries) {
        const mode_t type = e.st.st_mode;
        if (setNames.contains(e.name) && S_ISREG(type))
            plan.replaced.insert(e.name, type & 07777);
        else if (!setNames.contains(e.name) && (S_ISREG(type) || S_ISLNK(type)))
            plan.others.append(e.name);
        else
            return false;
    }
    return true;
}

// The swap of the whole folder. NotPossible when the folder doesn't allow it; then nothing
// has changed. Throws when a file of the set cannot be written.
TSwap SwapFolder(const QString& target, const QList<TOutputFile>& files) {
    TFd targetFd(::open(Encoded(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    TSwapPlan plan;
    if (targetFd.get() < 0 || !PlanSwap(targetFd.get(), target, files, plan))
        return TSwap::NotPossible;
    const QString staging = MakeStaging(target);
    if (staging.isEmpty())
        CannotWrite(target, Reason(errno));
    TFd stagingFd(::open(Encoded(staging).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QList<QByteArray> made;
    WriteSetOrFail(stagingFd.get(), staging, target, files, plan.replaced, made);
    for (const QByteArray& name : plan.others) {
        if (::linkat(targetFd.get(), name.constData(), stagingFd.get(), name.constData(), 0) != 0) {
            RemoveFolder(staging, made); // e.g. another user's file (protected hard links)
            return TSwap::NotPossible;
        }
        made.append(name);
    }
    if (::fchmod(stagingFd.get(), plan.self.st_mode & 07777) != 0 ||
        (::geteuid() == 0 && ::fchown(stagingFd.get(), plan.self.st_uid, plan.self.st_gid) != 0) ||
        (::fsync(stagingFd.get()) != 0 && errno != EINVAL))
        RemoveAndFail(staging, made, target, errno);
    CrashPoint("before-swap");
    if (::renameat2(AT_FDCWD, Encoded(staging).constData(), AT_FDCWD, Encoded(target).constData(),
                    RENAME_EXCHANGE) != 0) {
        const int error = errno;
        if (error != EINVAL && error != ENOSYS && error != EXDEV && error != EBUSY)
            RemoveAndFail(staging, made, target, error);
        RemoveFolder(staging, made); // a file system without the exchange
        return TSwap::NotPossible;
    }
    CrashPoint("after-swap");
    SyncFolder(QFileInfo(target).absolutePath());
    // The staging name now holds the old folder: its set files go, the other files live on
    // through their links in the new one.
    RemoveFolder(staging, plan.others + plan.replaced.keys());
    if (QFileInfo::exists(staging))
        PrintErr(QStringLiteral("Note: the old set stays in %1\n").arg(staging));
    return TSwap::Done;
}

// A folder that doesn't exist yet: built aside and renamed into place.
void CreateFolder(const QString& target, const QList<TOutputFile>& files) {
    const QString parentPath = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(parentPath))
        CannotWrite(target, QStringLiteral("cannot create the folder %1").arg(parentPath));
    const QString staging = MakeStaging(target);
    if (staging.isEmpty())
        CannotWrite(target, Reason(errno));
    TFd stagingFd(::open(Encoded(staging).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QList<QByteArray> made;
    WriteSetOrFail(stagingFd.get(), staging, target, files, {}, made);
    if (::fchmod(stagingFd.get(), 0777 & ~UMask()) != 0 ||
        (::fsync(stagingFd.get()) != 0 && errno != EINVAL))
        RemoveAndFail(staging, made, target, errno);
    const QByteArray from = Encoded(staging), to = Encoded(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0 &&
        (errno != EINVAL || ::rename(from.constData(), to.constData()) != 0))
        RemoveAndFail(staging, made, target, errno);
    SyncFolder(parentPath);
}

struct TStagedFile {
    QString temp;
    QString real; // the file replaced: a link's target, the link stays
};

// One temporary file per target, all written before the first rename.
void ReplaceOneByOne(const QString& target, const QList<TOutputFile>& files) {
    const QDir dir(target);
    QList<TStagedFile> staged;
    const auto fail = [&staged](const QString& path, const QString& why) {
        for (const TStagedFile& s : staged)
            QFile::remove(s.temp); // those already renamed are gone anyway
        CannotWrite(path, why);
    };
    for (const TOutputFile& f : files) {
        const QString path = dir.filePath(f.name);
        const QFileInfo info(path);
        const QString real = info.isSymLink() && info.exists() ? info.canonicalFilePath() : path;
        if (QFileInfo(real).isDir())
            fail(path, QStringLiteral("it is a folder"));
        QByteArray pattern = Encoded(QFileInfo(real).absoluteDir().filePath(
            QStringLiteral(".%1.XXXXXX").arg(QFileInfo(real).fileName())));
        TFd fd(::mkstemp(pattern.data()));
        if (fd.get() < 0)
            fail(path, Reason(errno));
        staged.append({QFile::decodeName(pattern), real});
        struct stat old {};
        const mode_t mode =
            ::stat(Encoded(real).constData(), &old) == 0 ? old.st_mode & 07777 : NewFileMode();
        int error = 0;
        if (!WriteAll(fd.get(), f.content, mode, error))
            fail(path, Reason(error));
    }
    for (const TStagedFile& s : staged)
        if (std::rename(Encoded(s.temp).constData(), Encoded(s.real).constData()) != 0)
            fail(s.real, Reason(errno));
    SyncFolder(target);
}

// True when this process works inside the folder: swapping it would leave the process (and
// the shell that started it) in a folder that is gone.
bool WorkingInside(const QString& target) {
    const QString here = QDir::current().canonicalPath();
    const QString folder = QFileInfo(target).canonicalFilePath();
    return here == folder || here.startsWith(folder + QLatin1Char('/'));
}

} // namespace

void WriteOutputFile(const QString& path, const QByteArray& content) {
    if (QFileInfo(path).isDir())
        CannotWrite(path, QStringLiteral("it is a folder"));
    QString error;
    if (!WriteFileSafely(path, content, &error))
        throw ECliError(ExitUsage, error);
}

void ReplaceFileSet(const QString& folder, const QList<TOutputFile>& files) {
    const QFileInfo info(QDir::cleanPath(folder)); // "out/" names the folder "out"
    // A link to a folder stays a link: the folder it points to is the one replaced.
    const QString target =
        info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    if (!QFileInfo::exists(target)) {
        CreateFolder(target, files);
        return;
    }
    if (!QFileInfo(target).isDir())
        CannotWrite(folder, QStringLiteral("it is not a folder"));
    if (WorkingInside(target) || SwapFolder(target, files) == TSwap::NotPossible)
        ReplaceOneByOne(target, files);
}
