#include "support/JobRunner.h"

namespace corvel {

void JobProgress::checkCancelled() const
{
    if (cancelled())
        throw JobCancelled{};
}

void JobProgress::setPercent(int percent)
{
    m_percent.store(percent, std::memory_order_relaxed);
    checkCancelled();
}

JobRunner::JobRunner(Listeners listeners, int tickMs)
    : m_listeners(std::move(listeners))
{
    m_ticks.setInterval(tickMs);
    connect(&m_ticks, &QTimer::timeout, this, [this] { tick(); });
}

JobRunner::~JobRunner()
{
    cancelAndWait();
}

bool JobRunner::start(Work work)
{
    if (m_running)
        return false;
    if (m_worker.joinable())
        m_worker.join();
    m_running = true;
    m_shownPercent = -1;
    m_apply = nullptr;
    m_progress = std::make_unique<JobProgress>();
    m_done.store(false);
    if (m_listeners.runningChanged)
        m_listeners.runningChanged(true);
    m_ticks.start();
    m_worker = std::thread([this, work = std::move(work), progress = m_progress.get()] {
        Apply apply;
        try {
            apply = work(*progress);
        } catch (const JobCancelled &) {
        }
        m_apply = std::move(apply);
        m_done.store(true, std::memory_order_release);
    });
    return true;
}

void JobRunner::cancel()
{
    if (m_running && m_progress)
        m_progress->m_cancel.store(true);
}

void JobRunner::cancelAndWait()
{
    cancel();
    if (m_worker.joinable())
        m_worker.join();
    if (m_running) {
        m_running = false;
        m_ticks.stop();
        m_apply = nullptr;
    }
}

void JobRunner::tick()
{
    // Polled rather than posted: the handover is then plain to see, tools included.
    if (m_done.load(std::memory_order_acquire))
        finish();
    else
        showProgress();
}

void JobRunner::finish()
{
    if (!m_running)
        return;
    m_worker.join();
    m_ticks.stop();
    const bool cancelled = m_progress->cancelled();
    Apply apply = std::move(m_apply);
    m_apply = nullptr;
    m_running = false;
    if (!cancelled && apply)
        apply();
    else if (m_listeners.cancelled)
        m_listeners.cancelled();
    if (m_listeners.runningChanged)
        m_listeners.runningChanged(false);
}

void JobRunner::showProgress()
{
    const int percent = m_progress ? m_progress->percent() : -1;
    if (percent < 0 || percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    if (m_listeners.progress)
        m_listeners.progress(percent);
}

} // namespace corvel
