#include "cli/clioutput.h"

#include "cli/clierror.h"
#include "link/transport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool g_quiet = false;
bool g_barShown = false;
constexpr int BarWidth = 40;

void Write(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void DrawBar(int position, int max) {
    if (max <= 0)
        return;
    const int pos = qBound(0, position, max);
    const int filled = pos * BarWidth / max;
    const QString bar =
        QStringLiteral("\r[%1%2] %3%")
            .arg(QString(filled, QLatin1Char('#')), QString(BarWidth - filled, QLatin1Char(' ')))
            .arg(pos * 100 / max, 3);
    Write(stderr, bar);
    g_barShown = true;
}

QFile::Permissions NewFilePermissions() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = 0666 & ~mask;
    QFile::Permissions perms;
    if (mode & S_IRUSR)
        perms |= QFile::ReadOwner | QFile::ReadUser;
    if (mode & S_IWUSR)
        perms |= QFile::WriteOwner | QFile::WriteUser;
    if (mode & S_IRGRP)
        perms |= QFile::ReadGroup;
    if (mode & S_IWGRP)
        perms |= QFile::WriteGroup;
    if (mode & S_IROTH)
        perms |= QFile::ReadOther;
    if (mode & S_IWOTH)
        perms |= QFile::WriteOther;
    return perms;
}

[[noreturn]] void CannotWrite(const QString& path, const QString& why) {
    throw ECliError(ExitUsage, QStringLiteral("Cannot write %1: %2").arg(path, why));
}

// The file that is really replaced: the target of a symbolic link.
QString RealTarget(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink() && info.exists())
        return info.canonicalFilePath();
    return path;
}

struct TStaged {
    QString path;   // as given
    QString target; // the file really replaced
    std::unique_ptr<QTemporaryFile> temp;
};

// A temporary file next to the target, after checking that the target can be replaced.
TStaged Prepare(const QString& path) {
    TStaged s{path, RealTarget(path), nullptr};
    const QFileInfo info(s.target);
    if (info.isDir())
        CannotWrite(path, QStringLiteral("it is a folder"));
    QString pattern = QStringLiteral(".%1.XXXXXX").arg(info.fileName());
    if (!info.suffix().isEmpty())
        pattern += QLatin1Char('.') + info.suffix();
    s.temp = std::make_unique<QTemporaryFile>(info.absoluteDir().filePath(pattern));
    s.temp->setAutoRemove(true);
    if (!s.temp->open())
        CannotWrite(path, s.temp->errorString());
    s.temp->close();
    return s;
}

void Install(TStaged& s) {
    const QString tempPath = s.temp->fileName();
    const QFileInfo info(s.target);
    QFile::setPermissions(tempPath,
                          info.exists() ? QFile::permissions(s.target) : NewFilePermissions());
    if (std::rename(QFile::encodeName(tempPath).constData(),
                    QFile::encodeName(s.target).constData()) != 0)
        CannotWrite(s.path, QString::fromLocal8Bit(std::strerror(errno)));
    s.temp->setAutoRemove(false);
}

} // namespace

void PrintOut(const QString& text) {
    TConsoleProgress::Clear();
    Write(stdout, text);
}

void PrintErr(const QString& text) {
    TConsoleProgress::Clear();
    Write(stderr, text);
}

void SetQuiet(bool quiet) {
    g_quiet = quiet;
}
bool Quiet() {
    return g_quiet;
}

void Note(const QString& text) {
    if (!g_quiet)
        PrintErr(text + QLatin1Char('\n'));
}

TConsoleProgress::TConsoleProgress() {
    m_enabled = !g_quiet && ::isatty(STDERR_FILENO);
    if (m_enabled)
        QObject::connect(&ProgressBar(), &TProgress::changed, &ProgressBar(), DrawBar);
}

TConsoleProgress::~TConsoleProgress() {
    if (m_enabled)
        QObject::disconnect(&ProgressBar(), &TProgress::changed, &ProgressBar(), nullptr);
    Clear();
}

void TConsoleProgress::Clear() {
    if (!g_barShown)
        return;
    g_barShown = false;
    Write(stderr, QStringLiteral("\r%1\r").arg(QString(BarWidth + 7, QLatin1Char(' '))));
}

void ReplaceFilesAtomically(const QList<TFileJob>& jobs) {
    std::vector<TStaged> staged;
    for (const TFileJob& job : jobs)
        staged.push_back(Prepare(job.path));
    for (size_t i = 0; i < staged.size(); ++i)
        if (!jobs.at(qsizetype(i)).writer(staged[i].temp->fileName()))
            return; // the temporary files are removed with their objects
    for (TStaged& s : staged)
        Install(s);
}
