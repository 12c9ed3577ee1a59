#include "shell/termination.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_fds[2] = {-1, -1}; // [0] written by the handler, [1] read on the GUI thread
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &byte, 1);
    errno = saved;
}

void setHandlers(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals)
        sigaction(number, &action, nullptr);
}

} // namespace

TTerminationWatch::TTerminationWatch(QObject* parent) : QObject(parent) {
    if (g_fds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0)
        return; // one watch per process; without it the signals keep their default action
    ::fcntl(g_fds[0], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TTerminationWatch::readSignal);
    setHandlers(onSignal);
}

TTerminationWatch::~TTerminationWatch() {
    if (!m_notifier)
        return;
    setHandlers(SIG_DFL);
    delete m_notifier;
    ::close(g_fds[0]);
    ::close(g_fds[1]);
    g_fds[0] = g_fds[1] = -1;
}

void TTerminationWatch::readSignal() {
    unsigned char byte = 0;
    if (::read(g_fds[1], &byte, 1) == 1)
        emit terminationRequested(byte);
}
