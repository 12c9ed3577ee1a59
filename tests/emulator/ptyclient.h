#pragma once
// A plain file-descriptor client on the virtual device's pseudo-terminal: the emulator's
// tests talk to it without any of the app's serial code.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

class PtyClient {
public:
    explicit PtyClient(const QString& path) {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return;
        termios tio{};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
    ~PtyClient() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool ok() const { return m_fd >= 0; }
    bool hungUp() const { return m_hungUp; }

    bool send(const QByteArray& bytes) {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads until `done` holds for what was read, or the time is up.
    template <typename Done> QByteArray readUntil(Done done, int timeoutMs) {
        QByteArray got = m_rest;
        m_rest.clear();
        QElapsedTimer timer;
        timer.start();
        while (!done(got) && timer.elapsed() < timeoutMs && !m_hungUp) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, int(timeoutMs - timer.elapsed())) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                m_hungUp = true;
        }
        return got;
    }

    // Everything that arrives until `quietMs` pass without a byte (or `maxMs` in all).
    QByteArray readQuiet(int quietMs, int maxMs = 3000) {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < maxMs) {
            const QByteArray more =
                readUntil([](const QByteArray& b) { return !b.isEmpty(); }, quietMs);
            if (more.isEmpty())
                break;
            got += more;
        }
        return got;
    }

    // Sends one request line and returns the answer line without its CR.
    QByteArray ask(const QByteArray& request, int timeoutMs = 2000) {
        send(request + '\r');
        QByteArray line =
            readUntil([](const QByteArray& b) { return b.contains('\r'); }, timeoutMs);
        const qsizetype cr = line.indexOf('\r');
        if (cr < 0)
            return line;
        m_rest = line.mid(cr + 1); // the start of what follows, kept for the next read
        return line.left(cr);
    }

private:
    int m_fd = -1;
    bool m_hungUp = false;
    QByteArray m_rest;
};
