#pragma once
// A bare pseudo-terminal whose master side the test holds: it plays the device byte by byte.

#include <QByteArray>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

// The device side of a pseudo-terminal.
class Pty {
public:
    Pty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
            m_slave = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~Pty() { closeMaster(); }
    QString slave() const { return m_slave; }
    // Writes all bytes, waiting at most `ms` for room each time; false when it gave up.
    bool send(const QByteArray& bytes, int ms = 1000) const {
        qsizetype done = 0;
        while (done < bytes.size()) {
            pollfd p{m_master, POLLOUT, 0};
            if (poll(&p, 1, ms) <= 0)
                return false;
            const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    // Everything that arrives within `ms` after the last byte.
    QByteArray receive(int ms = 200) const {
        QByteArray all;
        pollfd p{m_master, POLLIN, 0};
        char buf[65536];
        while (poll(&p, 1, ms) > 0) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            all.append(buf, n);
        }
        return all;
    }
    void closeMaster() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_slave;
};
