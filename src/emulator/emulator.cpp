#include "emulator/emulator.h"

#include "emulator/emu_device.h"

#include <QFile>
#include <QSaveFile>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

qint64 monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Trimming as the host does it: every character of code 32 or below, at both ends.
QByteArray trimmed(const QByteArray& line) {
    qsizetype begin = 0, end = line.size();
    while (begin < end && static_cast<unsigned char>(line.at(begin)) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(line.at(end - 1)) <= 32)
        --end;
    return line.mid(begin, end - begin);
}

QByteArray requestName(const QByteArray& request) {
    const qsizetype eq = request.indexOf('=');
    if (eq >= 0)
        return request.left(eq);
    return request.endsWith('?') ? request.chopped(1) : request;
}

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

constexpr qsizetype MaxLine = 4096;     // longer input without CR is dropped
constexpr qint64 BabbleGapNs = 3000000; // one chunk every 3 ms, about the serial line's rate
constexpr qsizetype BabbleChunk = 32;
constexpr qsizetype MaxTrace = 200000; // trace entries kept in memory
constexpr qsizetype MaxQueued = 65536; // output kept while nobody reads

} // namespace

// An answer waiting for its time (answer delay), with the lines it puts into the trace.
struct TEmuPending {
    qint64 dueNs = 0;
    QList<QByteArray> lines;
    QByteArray bytes;
};

class TDeviceEmulatorPrivate {
public:
    TDeviceEmulatorPrivate(int modelId, const QByteArray& version)
        : dev(modelId, version), startNs(monotonicNs()) {}

    void run();
    void readInput();
    void handleLine(const QByteArray& raw, qint64 nowNs);
    bool answer(const QByteArray& request, const TEmuFaults& f, qint64 nowNs, QByteArray* out);
    void queue(qint64 nowNs, const TEmuFaults& f, const QByteArray& request,
               const QByteArray& reply);
    void releaseDue(qint64 nowNs);
    void babbleTick(qint64 nowNs);
    void writeOut();
    int pollTimeoutMs(qint64 nowNs) const;
    void disappear();
    void addTrace(qint64 nowNs, bool received, const QByteArray& line); // with mtx held
    void wake();
    qint64 nowMs() const { return monotonicNs() / 1000000; }

    mutable std::mutex mtx; // guards dev, faults, traceList, traceFile
    emu::Device dev;
    TEmuFaults faults;
    QList<TEmuTraceEntry> traceList;
    FILE* traceFile = nullptr;
    const qint64 startNs;

    int master = -1;
    int slave = -1; // kept open so the line stays up while the app reopens its side
    int wakeFd = -1;
    QString slavePath;
    QString linkPath;
    std::thread thread;
    std::atomic<bool> serving{false};
    std::atomic<bool> stopping{false};

    // Owned by the serving thread.
    QByteArray in;
    QByteArray out;
    std::deque<TEmuPending> pending;
    int requests = 0; // under mtx
    QHash<QByteArray, int> busyGiven;
    bool babbling = false;
    qint64 nextBabbleNs = 0;
    int noiseCount = 0;
    bool gone = false;
};

void TDeviceEmulatorPrivate::addTrace(qint64 nowNs, bool received, const QByteArray& line) {
    if (traceList.size() >= MaxTrace) // a long demo run must not grow without bound
        traceList.remove(0, MaxTrace / 2);
    traceList.append({nowNs, received, line});
    if (traceFile) {
        const qint64 rel = nowNs - startNs;
        std::fprintf(traceFile, "%lld.%06lld %s %s\n", static_cast<long long>(rel / 1000000000),
                     static_cast<long long>(rel % 1000000000 / 1000), received ? "RX" : "TX",
                     line.constData());
        std::fflush(traceFile);
    }
}

void TDeviceEmulatorPrivate::wake() {
    if (wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }
}

void TDeviceEmulatorPrivate::run() {
    while (!stopping.load() && !gone) {
        const qint64 now = monotonicNs();
        {
            std::lock_guard lock(mtx);
            releaseDue(now);
        }
        babbleTick(now);
        writeOut();
        pollfd fds[2] = {{master, short(POLLIN | (out.isEmpty() ? 0 : POLLOUT)), 0},
                         {wakeFd, POLLIN, 0}};
        const int rc = ::poll(fds, 2, pollTimeoutMs(now));
        if (rc < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
        }
        if (fds[0].revents & POLLIN)
            readInput();
        else if (fds[0].revents & (POLLHUP | POLLERR))
            ::poll(fds + 1, 1, 10); // no reader on the other side: don't spin
    }
    if (gone)
        disappear();
}

void TDeviceEmulatorPrivate::readInput() {
    char buf[4096];
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0)
        return;
    for (ssize_t i = 0; i < n && !gone; ++i) {
        if (buf[i] == '\r') {
            handleLine(in, monotonicNs());
            in.clear();
        } else if (in.size() < MaxLine) {
            in.append(buf[i]);
        }
    }
    writeOut();
}

void TDeviceEmulatorPrivate::handleLine(const QByteArray& raw, qint64 nowNs) {
    const QByteArray request = trimmed(raw);
    std::lock_guard lock(mtx);
    addTrace(nowNs, true, request);
    if (request.isEmpty())
        return; // a lone CR, as in a flush
    ++requests;
    const TEmuFaults f = faults;
    if (f.disappearAfter >= 0 && requests > f.disappearAfter) {
        gone = true;
        return;
    }
    if ((f.silentAfter >= 0 && requests > f.silentAfter) || dev.inBootLoader())
        return;
    if (f.babble) {
        babbling = true;
        return;
    }
    QByteArray reply;
    if (answer(request, f, nowNs, &reply))
        queue(nowNs, f, request, reply);
}

bool TDeviceEmulatorPrivate::answer(const QByteArray& request, const TEmuFaults& f, qint64 nowNs,
                                    QByteArray* reply) {
    const QByteArray name = requestName(request);
    const bool isRead = !request.contains('=') && request.endsWith('?');
    if (!f.errorFor.isEmpty() && name == f.errorFor) {
        *reply = "ERROR";
    } else if (isRead && !f.malformedFor.isEmpty() && name == f.malformedFor) {
        *reply = name + '=' + f.malformedValue;
    } else if (isRead && f.busyCount > 0 && dev.isScreenLine(name) &&
               busyGiven.value(name) < f.busyCount) {
        busyGiven[name] += 1;
        *reply = name + "=BUSY";
    } else {
        busyGiven.remove(name);
        *reply = dev.handle(request, nowNs / 1000000);
    }
    return true;
}

void TDeviceEmulatorPrivate::queue(qint64 nowNs, const TEmuFaults& f, const QByteArray& request,
                                   const QByteArray& reply) {
    const QByteArray ending = f.crlf ? "\r\n" : "\r";
    TEmuPending item;
    item.dueNs = nowNs + qint64(f.answerDelayMs) * 1000000;
    if (!pending.empty())
        item.dueNs = std::max(item.dueNs, pending.back().dueNs);
    if (f.echo) {
        item.lines.append(request);
        item.bytes += request + ending;
    }
    if (f.noise) {
        const QByteArray noise = "LOG: idle " + QByteArray::number(++noiseCount);
        item.lines.append(noise);
        item.bytes += noise + ending;
    }
    if (f.lfBefore)
        item.bytes += '\n';
    item.lines.append(reply);
    item.bytes += reply + ending;
    pending.push_back(std::move(item));
    releaseDue(nowNs);
}

// Moves the answers whose time has come to the output; with mtx held (the trace).
void TDeviceEmulatorPrivate::releaseDue(qint64 nowNs) {
    while (!pending.empty() && pending.front().dueNs <= nowNs) {
        TEmuPending& item = pending.front();
        const qint64 sendNs = monotonicNs();
        for (const QByteArray& line : item.lines)
            addTrace(sendNs, false, line);
        if (out.size() < MaxQueued)
            out += item.bytes;
        pending.pop_front();
    }
}

void TDeviceEmulatorPrivate::babbleTick(qint64 nowNs) {
    bool enabled = false;
    {
        std::lock_guard lock(mtx);
        enabled = faults.babble;
        if (babbling && enabled && nowNs >= nextBabbleNs && out.size() < 1024) {
            QByteArray chunk;
            for (qsizetype i = 0; i < BabbleChunk; ++i)
                chunk += char('A' + (i + noiseCount++) % 26);
            if (nextBabbleNs == 0)
                addTrace(nowNs, false, chunk); // the first chunk stands for the stream
            out += chunk;
            nextBabbleNs = nowNs + BabbleGapNs;
        }
    }
    if (!enabled) {
        babbling = false;
        nextBabbleNs = 0;
    }
}

void TDeviceEmulatorPrivate::writeOut() {
    while (!out.isEmpty() && master >= 0) {
        const ssize_t n = ::write(master, out.constData(), size_t(out.size()));
        if (n <= 0)
            return; // full (EAGAIN) or no reader: try again when poll says so
        out.remove(0, n);
    }
}

int TDeviceEmulatorPrivate::pollTimeoutMs(qint64 nowNs) const {
    qint64 due = -1;
    if (!pending.empty())
        due = pending.front().dueNs;
    if (babbling && (due < 0 || nextBabbleNs < due))
        due = nextBabbleNs;
    if (due < 0)
        return -1;
    return int(std::max<qint64>(0, (due - nowNs + 999999) / 1000000));
}

// The device vanishes in the middle of an exchange: the master side closes at once.
void TDeviceEmulatorPrivate::disappear() {
    serving = false;
    closeFd(master);
    closeFd(slave);
    pending.clear();
    out.clear();
}

TDeviceEmulator::TDeviceEmulator(int modelId, const QByteArray& version)
    : d(std::make_unique<TDeviceEmulatorPrivate>(modelId, version)) {}

TDeviceEmulator::~TDeviceEmulator() {
    stop();
    std::lock_guard lock(d->mtx);
    if (d->traceFile)
        std::fclose(d->traceFile);
    d->traceFile = nullptr;
}

bool TDeviceEmulator::start(QString* error) {
    if (d->thread.joinable()) {
        if (d->serving)
            return true;
        stop();
    }
    auto fail = [&](const char* what) {
        if (error)
            *error = QString("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
        closeFd(d->master);
        closeFd(d->slave);
        closeFd(d->wakeFd);
        return false;
    };
    if (::openpty(&d->master, &d->slave, nullptr, nullptr, nullptr) != 0)
        return fail("openpty");
    termios tio{};
    if (::tcgetattr(d->slave, &tio) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    if (::tcsetattr(d->slave, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    ::fcntl(d->master, F_SETFL, ::fcntl(d->master, F_GETFL) | O_NONBLOCK);
    ::fcntl(d->master, F_SETFD, FD_CLOEXEC);
    ::fcntl(d->slave, F_SETFD, FD_CLOEXEC);
    d->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (d->wakeFd < 0)
        return fail("eventfd");
    d->slavePath = QString::fromLocal8Bit(::ptsname(d->master));
    d->in.clear();
    d->out.clear();
    d->pending.clear();
    d->requests = 0;
    d->busyGiven.clear();
    d->babbling = false;
    d->gone = false;
    d->stopping = false;
    d->serving = true;
    d->thread = std::thread([this] { d->run(); });
    return true;
}

void TDeviceEmulator::stop() {
    if (d->thread.joinable()) {
        d->stopping = true;
        d->wake();
        d->thread.join();
    }
    d->serving = false;
    closeFd(d->master);
    closeFd(d->slave);
    closeFd(d->wakeFd);
    if (!d->linkPath.isEmpty()) {
        ::unlink(QFile::encodeName(d->linkPath).constData());
        d->linkPath.clear();
    }
}

bool TDeviceEmulator::running() const {
    return d->serving.load();
}

QString TDeviceEmulator::slavePath() const {
    return d->slavePath;
}

bool TDeviceEmulator::makeLink(const QString& linkPath) {
    if (d->slavePath.isEmpty())
        return false;
    const QByteArray link = QFile::encodeName(linkPath);
    struct stat st {};
    if (::lstat(link.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            return false; // never replace a real file
        ::unlink(link.constData());
    }
    if (::symlink(QFile::encodeName(d->slavePath).constData(), link.constData()) != 0)
        return false;
    d->linkPath = linkPath;
    return true;
}

int TDeviceEmulator::modelId() const {
    std::lock_guard lock(d->mtx);
    return d->dev.model().id;
}

QByteArray TDeviceEmulator::value(const QByteArray& name) const {
    std::lock_guard lock(d->mtx);
    QByteArray v;
    if (!d->dev.read(name, d->nowMs(), &v))
        return {};
    return v;
}

bool TDeviceEmulator::setValue(const QByteArray& name, const QByteArray& text) {
    std::lock_guard lock(d->mtx);
    return d->dev.set(name, text, d->nowMs());
}

QStringList TDeviceEmulator::parameterNames() const {
    std::lock_guard lock(d->mtx);
    QStringList names;
    const QList<QByteArray> all = d->dev.readableNames();
    for (const QByteArray& name : all)
        names.append(QString::fromLatin1(name));
    return names;
}

void TDeviceEmulator::resetToDefaults() {
    std::lock_guard lock(d->mtx);
    d->dev.factoryReset();
}

void TDeviceEmulator::setFaults(const TEmuFaults& faults) {
    {
        std::lock_guard lock(d->mtx);
        d->faults = faults;
        d->requests = 0; // silentAfter and disappearAfter count from here
    }
    d->wake();
}

TEmuFaults TDeviceEmulator::faults() const {
    std::lock_guard lock(d->mtx);
    return d->faults;
}

QList<TEmuTraceEntry> TDeviceEmulator::trace() const {
    std::lock_guard lock(d->mtx);
    return d->traceList;
}

void TDeviceEmulator::clearTrace() {
    std::lock_guard lock(d->mtx);
    d->traceList.clear();
}

bool TDeviceEmulator::setTraceFile(const QString& path) {
    std::lock_guard lock(d->mtx);
    if (d->traceFile)
        std::fclose(d->traceFile);
    d->traceFile = std::fopen(QFile::encodeName(path).constData(), "w");
    return d->traceFile != nullptr;
}

bool TDeviceEmulator::loadState(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray text = file.readAll();
    std::lock_guard lock(d->mtx);
    emu::Device copy = d->dev; // all or nothing
    if (!copy.loadText(text, d->nowMs(), error))
        return false;
    d->dev = copy;
    return true;
}

bool TDeviceEmulator::saveState(const QString& path, QString* error) const {
    QByteArray text;
    {
        std::lock_guard lock(d->mtx);
        text = d->dev.saveText(d->nowMs());
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool TDeviceEmulator::inBootLoader() const {
    std::lock_guard lock(d->mtx);
    return d->dev.inBootLoader();
}

void TDeviceEmulator::leaveBootLoader() {
    std::lock_guard lock(d->mtx);
    d->dev.leaveBootLoader();
}
