#include "support/JobRunner.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <thread>

using namespace corvel;

namespace {

struct Seen
{
    std::vector<bool> running;
    int applied = 0;
    int cancelled = 0;
    std::thread::id appliedOn;
};

JobRunner::Listeners listenersFor(Seen &seen)
{
    return {[&seen](bool running) { seen.running.push_back(running); },
            {},
            [&seen] { ++seen.cancelled; }};
}

// A worker that runs until told to stop or cancelled, checking often as real ones must.
JobRunner::Work work(Seen &seen, std::atomic<bool> &release)
{
    return [&seen, &release](JobProgress &progress) -> JobRunner::Apply {
        while (!release)
            progress.setPercent(1);
        return [&seen] {
            ++seen.applied;
            seen.appliedOn = std::this_thread::get_id();
        };
    };
}

void waitWhileRunning(const JobRunner &runner)
{
    QElapsedTimer clock;
    clock.start();
    while (runner.isRunning() && clock.elapsed() < 5000)
        QCoreApplication::processEvents();
}

} // namespace

TEST(JobRunner, AppliesOnTheStartingThreadOnlyWhatCompletesUncancelled)
{
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    for (const bool cancel : {false, true}) {
        Seen seen;
        std::atomic<bool> release{false};
        JobRunner runner(listenersFor(seen));
        ASSERT_TRUE(runner.start(work(seen, release)));
        EXPECT_FALSE(runner.start(work(seen, release))) << "one job at a time";
        if (cancel)
            runner.cancel(); // the worker stops at its next report, unreleased
        else
            release = true;
        waitWhileRunning(runner);
        ASSERT_FALSE(runner.isRunning());
        EXPECT_EQ(seen.applied, cancel ? 0 : 1);
        EXPECT_EQ(seen.cancelled, cancel ? 1 : 0);
        EXPECT_EQ(seen.running, (std::vector<bool>{true, false}));
        if (!cancel) {
            EXPECT_EQ(seen.appliedOn, std::this_thread::get_id());
        }
    }
    // Destroyed mid-job (the window closing): the worker is stopped and waited for, and
    // nothing is applied afterwards.
    Seen seen;
    std::atomic<bool> release{false};
    {
        JobRunner runner(listenersFor(seen));
        ASSERT_TRUE(runner.start(work(seen, release)));
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.applied, 0);
}
