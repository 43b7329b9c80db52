#include "merge/BatchCommitter.h"

#include "merge/RunJournal.h"
#include "session/OutlookSession.h"

#include <chrono>

namespace corvel {

BatchCommitter::BatchCommitter(RunJournal *journal)
    : m_journal(journal)
{
}

BatchCommitter::~BatchCommitter()
{
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool BatchCommitter::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_committing || !m_waiting.empty();
}

void BatchCommitter::submit(Batch batch)
{
    if (!batch.sendBatch->mayCommitOnAnotherThread()) {
        Done done = commit(batch);
        std::lock_guard lock(m_mutex);
        m_done.push_back(std::move(done));
        return;
    }
    std::lock_guard lock(m_mutex);
    if (!m_thread.joinable())
        m_thread = std::thread([this] { loop(); });
    m_waiting.push_back(std::move(batch));
    m_changed.notify_all();
}

void BatchCommitter::waitIdle(const std::function<void()> &meanwhile)
{
    std::unique_lock lock(m_mutex);
    while (m_committing || !m_waiting.empty()) {
        m_changed.wait_for(lock, std::chrono::milliseconds(20));
        lock.unlock();
        meanwhile();
        lock.lock();
    }
}

std::vector<BatchCommitter::Done> BatchCommitter::takeDone()
{
    std::lock_guard lock(m_mutex);
    std::vector<Done> done = std::move(m_done);
    m_done.clear();
    return done;
}

void BatchCommitter::loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_ending || !m_waiting.empty(); });
        if (m_waiting.empty())
            return; // ending, and everything handed over is done
        Batch batch = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_committing = true;
        lock.unlock();
        Done done = commit(batch);
        batch.sendBatch = nullptr; // anything left uncommitted goes with it, here
        lock.lock();
        m_done.push_back(std::move(done));
        m_committing = false;
        m_changed.notify_all();
    }
}

BatchCommitter::Done BatchCommitter::commit(Batch &batch)
{
    Done done;
    done.messages = std::move(batch.messages);
    if (m_stopped) {
        done.failure = QStringLiteral("Not queued: the run stopped.");
        return done;
    }
    if (m_journal) {
        std::vector<QStringList> recipients;
        recipients.reserve(done.messages.size());
        for (const auto &members : done.messages)
            recipients.push_back(addressesOf(members));
        if (Status begun = m_journal->beginBatch(recipients); !begun.ok()) {
            // Not recorded, so not queued.
            m_stopped = true;
            done.failure = begun.error();
            done.stopReason = begun.error();
            return done;
        }
    }
    try {
        done.queued = batch.sendBatch->commit();
    } catch (const OutlookError &error) {
        done.failure = error.message();
        if (m_journal)
            if (Status abandoned = m_journal->abandonPending(); !abandoned.ok()) {
                m_stopped = true;
                done.stopReason = abandoned.error();
            }
        return done;
    }
    // A message of the batch that failed alone is recorded as queued with the rest: in doubt
    // it is never mailed again, and its member is reported.
    if (m_journal)
        if (Status recorded = m_journal->queuedPending(); !recorded.ok()) {
            m_stopped = true;
            done.stopReason = recorded.error();
        }
    return done;
}

} // namespace corvel
