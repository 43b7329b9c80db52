#pragma once

#include "merge/MailMember.h"
#include "session/OlSendBatch.h"

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace corvel {

class RunJournal;

// Makes the generator's batches durable, in order: the journal's "pending" lines, the batch's
// commit, the journal's "queued" line. Where the batch allows, this happens on a thread of its
// own, one batch at a time, so that the window is not kept waiting on the disk while the next
// batch is being made. After a journal failure no further batch is queued: without a record
// a continued run could mail its members twice.
class BatchCommitter
{
public:
    struct Batch
    {
        std::unique_ptr<OlSendBatch> sendBatch;
        std::vector<std::vector<MailMember>> messages; // the members of each message
    };
    struct Done
    {
        std::vector<std::vector<MailMember>> messages;
        std::vector<OlSendBatch::Queued> queued; // one per message when committed
        QString failure;                         // the whole batch failed for this reason
        QString stopReason;                      // the journal failed: the run must stop
    };

    explicit BatchCommitter(RunJournal *journal);
    ~BatchCommitter();
    BatchCommitter(const BatchCommitter &) = delete;
    BatchCommitter &operator=(const BatchCommitter &) = delete;

    // Whether a batch is still being committed.
    [[nodiscard]] bool busy() const;
    // Takes the batch; committed at once here when it cannot be committed on another thread.
    void submit(Batch batch);
    // Waits until nothing is being committed, calling `meanwhile` every few milliseconds.
    void waitIdle(const std::function<void()> &meanwhile);
    // The batches finished since the last call, in order.
    [[nodiscard]] std::vector<Done> takeDone();

private:
    [[nodiscard]] Done commit(Batch &batch);
    void loop();

    RunJournal *m_journal;
    bool m_stopped = false; // the journal failed: touched by the committing side only
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_waiting;
    std::vector<Done> m_done;
    bool m_committing = false;
    bool m_ending = false;
    std::thread m_thread;
};

} // namespace corvel
