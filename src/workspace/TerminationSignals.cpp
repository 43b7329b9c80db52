#include "workspace/TerminationSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvel {

namespace {

// The handler may only use async-signal-safe calls, so it reaches the instance through this.
std::atomic<int> g_writeFd{-1};
constexpr int Handled[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int signalNumber)
{
    const int saved = errno;
    const int fd = g_writeFd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(Handler handler)
    : m_handler(std::move(handler))
{
    if (g_writeFd.load() >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0)
        return;
    g_writeFd.store(m_fds[0]);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : Handled)
        ::sigaction(signalNumber, &action, nullptr);
    m_notifier = std::make_unique<QSocketNotifier>(m_fds[1], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { readSignal(); });
    m_active = true;
}

TerminationSignals::~TerminationSignals()
{
    if (!m_active) {
        for (const int fd : m_fds) {
            if (fd >= 0)
                ::close(fd);
        }
        return;
    }
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : Handled)
        ::sigaction(signalNumber, &action, nullptr);
    g_writeFd.store(-1);
    m_notifier.reset();
    ::close(m_fds[0]);
    ::close(m_fds[1]);
}

void TerminationSignals::readSignal()
{
    unsigned char byte = 0;
    while (::read(m_fds[1], &byte, 1) == 1)
        if (m_handler)
            m_handler(static_cast<int>(byte));
}

} // namespace corvel
