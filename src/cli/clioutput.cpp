#include "cli/clioutput.h"

#include "cli/clierror.h"
#include "link/transport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

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

void WriteFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& writer) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        CannotWrite(path, file.errorString());
    if (!writer(file)) {
        file.cancelWriting();
        return;
    }
    if (!file.commit())
        CannotWrite(path, file.errorString());
}

void ReplaceFileAtomically(const QString& path,
                           const std::function<bool(const QString& tempPath)>& writer,
                           bool keepContent) {
    const QString target = RealTarget(path);
    const QFileInfo info(target);
    QString pattern = QStringLiteral(".%1.XXXXXX").arg(info.fileName());
    if (!info.suffix().isEmpty())
        pattern += QLatin1Char('.') + info.suffix();
    QTemporaryFile temp(info.absoluteDir().filePath(pattern));
    temp.setAutoRemove(true);
    if (!temp.open())
        CannotWrite(path, temp.errorString());
    if (keepContent && info.exists()) {
        QFile source(target);
        if (!source.open(QIODevice::ReadOnly))
            CannotWrite(path, source.errorString());
        if (temp.write(source.readAll()) < 0)
            CannotWrite(path, temp.errorString());
    }
    temp.close();
    const QString tempPath = temp.fileName();
    if (!writer(tempPath))
        return; // temp is removed with its object
    QFile::setPermissions(tempPath,
                          info.exists() ? QFile::permissions(target) : NewFilePermissions());
    if (std::rename(QFile::encodeName(tempPath).constData(),
                    QFile::encodeName(target).constData()) != 0)
        CannotWrite(path, QString::fromLocal8Bit(std::strerror(errno)));
    temp.setAutoRemove(false);
}
