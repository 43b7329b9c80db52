#pragma once

#include "support/StatusPanels.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

namespace corvel {

// Thrown by JobProgress once the job is cancelled, so deep loops stop at their next report.
struct JobCancelled
{
};

// What a job's worker sees: a cancel flag to check often, and a place to leave its progress
// for the starting thread to show. It may be passed where a StatusPanels is expected: a
// percent is recorded (and is a point where a cancelled job stops); captions are dropped,
// since the starting thread owns what the panels say.
class JobProgress : public StatusPanels
{
public:
    [[nodiscard]] bool cancelled() const { return m_cancel.load(std::memory_order_relaxed); }
    // Throws JobCancelled when the job was cancelled.
    void checkCancelled() const override;
    void setPercent(int percent);
    [[nodiscard]] int percent() const { return m_percent.load(std::memory_order_relaxed); }

    void updateCaption(int, const QString &) override {}
    void showPercent(int, int percent) override { setPercent(percent); }

private:
    friend class JobRunner;
    std::atomic<bool> m_cancel{false};
    std::atomic<int> m_percent{-1};
};

// Runs the expensive part of a command on a worker thread, one job at a time, and hands what
// it made to the thread that started it (which needs an event loop). The worker returns the
// step that applies its result; that step runs on the starting thread only when the job
// completes uncancelled, so a cancelled job leaves everything as it was. Destroying the runner
// cancels the job and waits for its worker, which must check its cancel flag often.
class JobRunner : public QObject
{
public:
    using Apply = std::function<void()>;
    using Work = std::function<Apply(JobProgress &progress)>;

    struct Listeners
    {
        std::function<void(bool running)> runningChanged;
        std::function<void(int percent)> progress; // a new percent, every tick at most
        std::function<void()> cancelled;           // the job ended without applying
    };

    // The result is taken up, and progress shown, at ticks of the starting thread's loop.
    explicit JobRunner(Listeners listeners = {}, int tickMs = 20);
    ~JobRunner() override;
    JobRunner(const JobRunner &) = delete;
    JobRunner &operator=(const JobRunner &) = delete;

    // False, and nothing runs, while another job runs.
    bool start(Work work);
    [[nodiscard]] bool isRunning() const { return m_running; }
    // The worker stops at its next check; the runner stays running until it has.
    void cancel();
    // Cancels and waits for the worker (closing time).
    void cancelAndWait();

private:
    void tick();
    void finish();
    void showProgress();

    Listeners m_listeners;
    QTimer m_ticks;
    std::thread m_worker;
    std::unique_ptr<JobProgress> m_progress;
    Apply m_apply; // written by the worker before it sets m_done
    std::atomic<bool> m_done{false};
    bool m_running = false;
    int m_shownPercent = -1;
};

} // namespace corvel
