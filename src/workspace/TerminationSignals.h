#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace corvel {

// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so the program can
// close as if the user had closed it. Only one may exist at a time: the signal handler
// writes to its socket.
class TerminationSignals
{
public:
    using Handler = std::function<void(int signalNumber)>;

    explicit TerminationSignals(Handler handler);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

    // False when the handlers could not be installed (another instance exists, or the
    // system refused); the program then ends on these signals the default way.
    [[nodiscard]] bool isActive() const { return m_active; }

private:
    void readSignal();

    Handler m_handler;
    int m_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_active = false;
};

} // namespace corvel
