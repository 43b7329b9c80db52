#include "support/BackgroundWriter.h"

#include <QCoreApplication>

#include <sys/resource.h>
#include <unistd.h>

namespace corvel {

namespace {

// Linux gives each thread its own nice value.
constexpr int BackgroundNice = 10;

} // namespace

BackgroundWriter::BackgroundWriter(int tickMs)
{
    m_ticks.setInterval(tickMs);
    // Polled rather than posted: the handover is then plain to see, tools included.
    QObject::connect(&m_ticks, &QTimer::timeout, &m_ticks, [this] { deliver(); });
}

BackgroundWriter::~BackgroundWriter()
{
    waitForWorker();
}

void BackgroundWriter::post(Write write, Done done)
{
    bool start = false;
    {
        const std::lock_guard lock(m_mutex);
        m_waiting = Job{std::move(write), std::move(done)};
        start = !m_busy;
        m_busy = true;
    }
    if (start) {
        // A worker that found nothing more to do has ended or is about to.
        if (m_worker.joinable())
            m_worker.join();
        m_worker = std::thread([this] { run(); });
    }
    // Without an event loop (a program's last moments, a test) only flush() answers.
    if (QCoreApplication::instance() && !m_ticks.isActive())
        m_ticks.start();
}

void BackgroundWriter::run()
{
    // Encoding a large file takes a core for a while: the event loop that asked comes first.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), BackgroundNice);
    for (;;) {
        Job job;
        {
            const std::lock_guard lock(m_mutex);
            if (!m_waiting) {
                m_busy = false;
                m_idle.notify_all();
                return;
            }
            job = std::move(*m_waiting);
            m_waiting.reset();
        }
        Status status = job.write();
        const std::lock_guard lock(m_mutex);
        m_answers.push_back({std::move(job.done), std::move(status)});
    }
}

void BackgroundWriter::waitForWorker()
{
    {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return !m_busy; });
    }
    if (m_worker.joinable())
        m_worker.join();
}

void BackgroundWriter::flush()
{
    waitForWorker();
    deliver();
}

void BackgroundWriter::supersede()
{
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.reset();
    }
    waitForWorker();
    const std::lock_guard lock(m_mutex);
    m_answers.clear();
}

bool BackgroundWriter::isIdle() const
{
    const std::lock_guard lock(m_mutex);
    return !m_busy && m_answers.empty();
}

void BackgroundWriter::deliver()
{
    std::vector<Answer> answers;
    bool busy = false;
    {
        const std::lock_guard lock(m_mutex);
        answers.swap(m_answers);
        busy = m_busy;
    }
    if (!busy)
        m_ticks.stop();
    for (const Answer &answer : answers) {
        if (answer.done)
            answer.done(answer.status);
    }
}

} // namespace corvel
