#pragma once

#include "support/Result.h"

#include <QTimer>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace corvel {

// Writes one file on a thread of its own, so a large save does not hold the event loop.
// Each write holds the whole file, so only the newest matters: writes run one at a time in
// the order asked for, and one still waiting when a newer is asked for is dropped. What a
// write answers is handed to its `done` on the asking thread, at ticks of its event loop or
// at flush().
// Nothing asked for is lost: destruction waits for the write in hand and the one waiting.
class BackgroundWriter
{
public:
    using Write = std::function<Status()>;
    using Done = std::function<void(const Status &)>;

    explicit BackgroundWriter(int tickMs = 20);
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter &) = delete;
    BackgroundWriter &operator=(const BackgroundWriter &) = delete;

    void post(Write write, Done done = {});
    // Waits until every write asked for has ended and hands over what they answered.
    void flush();
    // Drops the write waiting and waits for the one in hand, answering no one: the caller
    // is about to write newer contents itself.
    void supersede();
    [[nodiscard]] bool isIdle() const;

private:
    struct Job
    {
        Write write;
        Done done;
    };
    struct Answer
    {
        Done done;
        Status status;
    };

    void run();
    void waitForWorker();
    void deliver();

    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    std::optional<Job> m_waiting;
    std::vector<Answer> m_answers;
    bool m_busy = false;
    std::thread m_worker;
    QTimer m_ticks;
};

} // namespace corvel
