#pragma once

#include "delivery/DeliveryReport.h"
#include "delivery/RetryPolicy.h"
#include "delivery/TransportSettings.h"
#include "support/Result.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace corvel {

class LocalMailbox;
class MailTransport;

// Delivers the Outboxes of a local session: a thread that makes a pass (OutboxDelivery)
// whenever a message is queued, when a deferred message is due, and every few minutes; the
// transport is read from the settings at every pass. Stopping lets the message in hand finish
// (or abandons it before its end, leaving it queued), records every outcome and joins.
class DeliveryAgent
{
public:
    using SettingsLookup = std::function<TransportSettings()>;
    // A transport, or why there is none (messages then wait in the Outbox).
    using TransportFactory = std::function<Result<std::unique_ptr<MailTransport>>(
        const TransportSettings &, std::function<bool()> stopRequested)>;
    // ms since the epoch: when messages are due and how long they have waited.
    using Clock = std::function<qint64()>;

    DeliveryAgent(std::shared_ptr<LocalMailbox> mailbox, SettingsLookup settings,
                  RetryPolicy retry = {}, TransportFactory factory = {}, Clock clock = {});
    ~DeliveryAgent();
    DeliveryAgent(const DeliveryAgent &) = delete;
    DeliveryAgent &operator=(const DeliveryAgent &) = delete;

    // The transport the settings choose; the reason there is none for "none" or a bad setting.
    [[nodiscard]] static Result<std::unique_ptr<MailTransport>>
    makeTransport(const TransportSettings &settings, std::function<bool()> stopRequested);

    void start();
    void stop();
    [[nodiscard]] bool isRunning() const;
    // Something was queued: make a pass soon.
    void wake();

    // One pass now, in the calling thread, deferred messages included (after any pass of the
    // thread in progress).
    [[nodiscard]] DeliveryReport deliverNow();
    // The same, but deferred messages go only when they are due.
    [[nodiscard]] DeliveryReport deliverDue();
    [[nodiscard]] DeliveryReport lastReport() const;

private:
    enum class PassEnd
    {
        Done,
        NoTransport,
        Unavailable
    };
    DeliveryReport pass(bool ignoreBackoff, qint64 &nextDueMs, PassEnd &end);
    void loop();
    // The settings name a usable way of sending mail.
    [[nodiscard]] bool canSend() const;

    std::shared_ptr<LocalMailbox> m_mailbox;
    SettingsLookup m_settings;
    RetryPolicy m_retry;
    TransportFactory m_factory;
    Clock m_clock;

    std::mutex m_passMutex; // one pass at a time
    mutable std::mutex m_mutex;
    std::condition_variable m_wakeUp;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    bool m_woken = false;
    DeliveryReport m_last;
};

} // namespace corvel
