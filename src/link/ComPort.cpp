#include "link/ComPort.h"

#include "link/devicetext.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

EComError::EComError(int code, QString message)
    : m_code(code), m_message(std::move(message)), m_what(m_message.toLocal8Bit().toStdString()) {}

namespace {

const char* const kClosedPort = "Can't perform this operation on a closed port";
const char* const kOpenPort = "Can't perform this operation on an open port";
const char* const kTimeout = "Timeout";

constexpr qint64 kReadLimitNs = 100'000'000;    // 100 ms per read request
constexpr qint64 kWriteLimitNs = 5'000'000'000; // a write still pending after 5 s fails

[[noreturn]] void raiseSystem(int code) {
    throw EComError(code, QString::fromLocal8Bit(std::strerror(code)));
}

[[noreturn]] void raisePort(const char* text) {
    throw EComError(0, QString::fromLatin1(text));
}

qint64 monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Waits until fd is ready for `events` or the deadline passes; returns the revents (0 on
// timeout). A signal restarts the wait with the time that is left.
short waitFor(int fd, short events, qint64 deadlineNs) {
    for (;;) {
        const qint64 left = std::max<qint64>(0, deadlineNs - monotonicNs());
        timespec ts{time_t(left / 1'000'000'000), long(left % 1'000'000'000)};
        pollfd p{fd, events, 0};
        const int n = ppoll(&p, 1, &ts, nullptr);
        if (n > 0)
            return p.revents;
        if (n == 0)
            return 0;
        if (errno != EINTR)
            raiseSystem(errno);
    }
}

// A name that is not an absolute path lies below /dev ("ttyACM0", "pts/3"); a name in the
// "\\.\NAME" form loses its prefix first.
QByteArray devicePath(const QString& name) {
    QString path = name.trimmed();
    if (path.startsWith(QLatin1String("\\\\.\\")))
        path = path.mid(4);
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1String("/dev/"));
    return path.toLocal8Bit();
}

} // namespace

// POSIX serial port: a non-blocking descriptor, raw 8-bit 115200 baud, reads with a
// per-request deadline through ppoll, and writes that hand the bytes to the kernel and
// return, leaving whatever the kernel did not take for the next write to finish.
class TComPortBackend {
public:
    ~TComPortBackend() { close(); }

    bool isOpen() const { return m_fd >= 0; }

    void open(const QString& name) {
        const QByteArray path = devicePath(name);
        const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            raiseSystem(errno);
        try {
            claim(fd);
            configure(fd);
        } catch (...) {
            ::close(fd);
            throw;
        }
        m_fd = fd;
        m_input.clear();
        m_inputPos = 0;
        m_pending.clear();
    }

    void close() {
        if (m_fd < 0)
            return;
        ioctl(m_fd, TIOCNXCL);
        ::close(m_fd); // the flock ends with the descriptor
        m_fd = -1;
        m_pending.clear();
    }

    void purgeInput() {
        m_input.clear();
        m_inputPos = 0;
        if (tcflush(m_fd, TCIFLUSH) != 0)
            raiseSystem(errno);
        checkHangUp();
    }

    void purgeOutput() {
        m_pending.clear();
        if (tcflush(m_fd, TCOFLUSH) != 0)
            raiseSystem(errno);
        checkHangUp();
    }

    quint8 readByte() {
        if (m_inputPos >= m_input.size())
            fill(monotonicNs() + kReadLimitNs);
        return quint8(m_input.at(m_inputPos++));
    }

    void write(const char* data, qsizetype size) {
        finishPending();
        m_pending = QByteArray(data, size);
        push();
    }

private:
    // Exclusive use: no second opener, be it through TIOCEXCL (ttys) or the lock on the
    // device inode (which a symlink shares with its target).
    static void claim(int fd) {
        if (flock(fd, LOCK_EX | LOCK_NB) != 0)
            raiseSystem(errno == EWOULDBLOCK ? EBUSY : errno);
        if (ioctl(fd, TIOCEXCL) != 0)
            raiseSystem(errno);
        if (tcflush(fd, TCIFLUSH) != 0 || tcflush(fd, TCOFLUSH) != 0)
            raiseSystem(errno);
    }

    // A pty whose other side has gone still accepts tcflush; its hang-up flag tells.
    void checkHangUp() const {
        pollfd p{m_fd, 0, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            raiseSystem(EIO);
    }

    static void configure(int fd) {
        termios tio{};
        if (tcgetattr(fd, &tio) != 0)
            raiseSystem(errno);
        cfmakeraw(&tio);
        tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY | INPCK);
        tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
        tio.c_cflag |= CS8 | CLOCAL | CREAD;
        tio.c_cc[VSTART] = 17;
        tio.c_cc[VSTOP] = 19;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        if (cfsetispeed(&tio, B115200) != 0 || cfsetospeed(&tio, B115200) != 0)
            raiseSystem(errno);
        if (tcsetattr(fd, TCSANOW, &tio) != 0)
            raiseSystem(errno);
    }

    // Reads whatever has arrived into the input buffer, waiting until the deadline for at
    // least one byte. With VMIN = VTIME = 0 an empty read returns 0, so a vanished device is
    // told by the poll's hang-up flags.
    void fill(qint64 deadlineNs) {
        m_input.resize(4096);
        m_inputPos = 0;
        bool hungUp = false;
        for (;;) {
            const ssize_t n = ::read(m_fd, m_input.data(), m_input.size());
            if (n > 0) {
                m_input.resize(n);
                return;
            }
            if (n < 0 && errno == EINTR)
                continue;
            const int code = n < 0 && errno != EAGAIN ? errno : (hungUp ? EIO : 0);
            if (code != 0 || monotonicNs() >= deadlineNs) {
                m_input.clear();
                if (code != 0)
                    raiseSystem(code);
                raisePort(kTimeout);
            }
            const short ev = waitFor(m_fd, POLLIN, deadlineNs);
            hungUp = (ev & (POLLHUP | POLLERR | POLLNVAL)) != 0;
            if (ev == 0) {
                m_input.clear();
                raisePort(kTimeout);
            }
        }
    }

    // Hands as much of the pending write to the kernel as it takes now.
    void push() {
        while (!m_pending.isEmpty()) {
            const ssize_t n = ::write(m_fd, m_pending.constData(), m_pending.size());
            if (n > 0) {
                m_pending.remove(0, n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return;
            const int code = n < 0 ? errno : EIO;
            m_pending.clear();
            raiseSystem(code);
        }
    }

    // The previous write must complete before the next one starts.
    void finishPending() {
        const qint64 deadline = monotonicNs() + kWriteLimitNs;
        while (!m_pending.isEmpty()) {
            const short ev = waitFor(m_fd, POLLOUT, deadline);
            if (ev == 0) {
                m_pending.clear();
                raisePort(kTimeout);
            }
            push();
        }
    }

    int m_fd = -1;
    QByteArray m_input; // received bytes not yet handed out
    qsizetype m_inputPos = 0;
    QByteArray m_pending; // bytes of the last write the kernel has not taken yet
};

TComPort::TComPort(QObject* parent) : QObject(parent), m_backend(new TComPortBackend) {}

TComPort::~TComPort() = default;

bool TComPort::Active() const {
    return m_backend->isOpen();
}

void TComPort::setActive(bool active) {
    if (active == Active())
        return;
    if (active) {
        m_backend->open(m_deviceName);
        m_lostReason.clear();
    } else {
        m_backend->close();
    }
}

void TComPort::setDeviceName(const QString& name) {
    if (name == m_deviceName)
        return;
    if (Active())
        raisePort(kOpenPort);
    m_deviceName = name;
}

// Runs one operation on the open port; a system error (not the port's own "Timeout") closes
// the port first when CloseOnError asks for it.
template <typename Operation> auto TComPort::guard(Operation operation) {
    try {
        return operation();
    } catch (const EComError& e) {
        if (CloseOnError && e.ErrorCode() != 0 && Active()) {
            m_backend->close();
            m_lostReason = e.message();
        }
        throw;
    }
}

void TComPort::PurgeInput() {
    if (Active())
        guard([this] { m_backend->purgeInput(); });
}

void TComPort::PurgeOutput() {
    if (Active())
        guard([this] { m_backend->purgeOutput(); });
}

quint8 TComPort::ReadByte() {
    if (!Active())
        raisePort(kClosedPort);
    return guard([this] { return m_backend->readByte(); });
}

QByteArray TComPort::ReadAnsiLine() {
    QByteArray line;
    for (;;) {
        const char c = char(ReadByte());
        line.append(c);
        if (c == '\r')
            return line;
    }
}

void TComPort::WriteAnsiChar(char c) {
    if (!Active())
        raisePort(kClosedPort);
    guard([&] { m_backend->write(&c, 1); });
}

void TComPort::WriteAnsiLine(const QByteArray& line) {
    if (!Active())
        raisePort(kClosedPort);
    // The carriage return added below is the line's only control character: one inside
    // the line would split it and let the rest run as a command of its own.
    for (const char c : line) {
        const auto code = quint8(c);
        if (IsDeviceControlByte(code))
            throw EComError(0, QStringLiteral("Refused to send a line holding the control "
                                              "character 0x%1")
                                   .arg(code, 2, 16, QLatin1Char('0')));
    }
    // One write of the line and its carriage return: the same bytes on the wire, but the
    // device sees the request in one piece instead of waking up twice.
    const QByteArray bytes = line + '\r';
    guard([&] { m_backend->write(bytes.constData(), bytes.size()); });
}

void TComPort::EnumComDevicesFromRegistry(QStringList& list) {
    const auto ports = QSerialPortInfo::availablePorts();
    for (const auto& info : ports)
        list.append(info.portName());
}
