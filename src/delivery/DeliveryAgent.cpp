#include "delivery/DeliveryAgent.h"

#include "delivery/ExternalCommand.h"
#include "delivery/OutboxDelivery.h"
#include "delivery/SendmailTransport.h"
#include "delivery/SmtpTransport.h"

#include <QDateTime>

#include <chrono>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Even with nothing due, a look now and then finds messages other programs queued.
constexpr qint64 IdleLookMs = 5 * 60 * 1000;

} // namespace

DeliveryAgent::DeliveryAgent(std::shared_ptr<LocalMailbox> mailbox, SettingsLookup settings,
                             RetryPolicy retry, TransportFactory factory, Clock clock)
    : m_mailbox(std::move(mailbox))
    , m_settings(std::move(settings))
    , m_retry(retry)
    , m_factory(factory ? std::move(factory) : TransportFactory(makeTransport))
    , m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentMSecsSinceEpoch(); }))
{
}

DeliveryAgent::~DeliveryAgent()
{
    stop();
}

Result<std::unique_ptr<MailTransport>>
DeliveryAgent::makeTransport(const TransportSettings &settings, std::function<bool()> stopRequested)
{
    using Made = Result<std::unique_ptr<MailTransport>>;
    if (const QString why = settings.whyUnusable(); !why.isEmpty()) {
        return Made::failure(
            settings.problem.isEmpty() && settings.kind == TransportSettings::Kind::None
                ? u"Messages wait in the Outbox: no way of sending mail is set up (settings "
                  "section \"Transport\", key \"Kind\": smtp or sendmail)."_s
                : why + u" Messages wait in the Outbox."_s);
    }
    if (settings.kind == TransportSettings::Kind::Smtp)
        return Made(std::make_unique<SmtpTransport>(settings, std::move(stopRequested)));
    return Made(
        std::make_unique<SendmailTransport>(ExternalCommand::split(settings.sendmailCommand)));
}

DeliveryReport DeliveryAgent::pass(bool ignoreBackoff, qint64 &nextDueMs, PassEnd &end)
{
    std::lock_guard passLock(m_passMutex);
    const auto stopRequested = [this] { return m_stopping.load(); };
    const TransportSettings settings = m_settings ? m_settings() : TransportSettings{};
    Result<std::unique_ptr<MailTransport>> made = m_factory(settings, stopRequested);
    std::unique_ptr<MailTransport> transport = made.ok() ? std::move(*made) : nullptr;
    OutboxDelivery::Options options;
    options.ignoreBackoff = ignoreBackoff;
    options.retry = m_retry;
    options.maxQueueDays = settings.maxQueueDays;
    options.limits = settings.limits;
    options.stopRequested = stopRequested;
    options.nowMs = m_clock;
    OutboxDelivery delivery(*m_mailbox, transport.get(), made.error(), options);
    DeliveryReport report = delivery.run();
    nextDueMs = delivery.nextDueMs();
    end = !transport                                           ? PassEnd::NoTransport
          : (!report.problems.isEmpty() && report.waiting > 0) ? PassEnd::Unavailable
                                                               : PassEnd::Done;
    std::lock_guard lock(m_mutex);
    m_last = report;
    return report;
}

bool DeliveryAgent::canSend() const
{
    const TransportSettings settings = m_settings ? m_settings() : TransportSettings{};
    return m_factory(settings, [] { return true; }).ok();
}

void DeliveryAgent::loop()
{
    int unavailableRuns = 0;
    qint64 waitMs = IdleLookMs;
    bool sendless = false;
    while (!m_stopping) {
        bool woken = false;
        {
            std::lock_guard lock(m_mutex);
            woken = m_woken;
            m_woken = false;
        }
        // Without a way of sending, a pass reads the whole Outbox to deliver nothing: a run
        // queueing thousands would pay for one per batch. Woken then, it looks only whether a
        // way has been set up since; the timed looks still make their passes.
        if (!(sendless && woken && !canSend())) {
            qint64 nextDue = 0;
            PassEnd end = PassEnd::Done;
            (void)pass(false, nextDue, end);
            sendless = end == PassEnd::NoTransport;

            const qint64 now = m_clock();
            waitMs = IdleLookMs;
            if (end == PassEnd::Unavailable) {
                // The server or program cannot be used now: wait longer each time.
                waitMs = m_retry.delayMs(++unavailableRuns);
            } else {
                unavailableRuns = 0;
                if (nextDue > 0)
                    waitMs = std::clamp<qint64>(nextDue - now, 0, IdleLookMs);
            }
        }
        std::unique_lock lock(m_mutex);
        m_wakeUp.wait_for(lock, std::chrono::milliseconds(waitMs),
                          [this] { return m_stopping || m_woken; });
    }
}

void DeliveryAgent::start()
{
    std::lock_guard lock(m_mutex);
    if (m_thread.joinable())
        return;
    m_stopping = false;
    m_thread = std::thread([this] { loop(); });
}

void DeliveryAgent::stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            return;
        m_stopping = true;
    }
    m_wakeUp.notify_all();
    m_thread.join();
    m_stopping = false;
}

bool DeliveryAgent::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_thread.joinable();
}

void DeliveryAgent::wake()
{
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_wakeUp.notify_all();
}

DeliveryReport DeliveryAgent::deliverNow()
{
    qint64 nextDue = 0;
    PassEnd end = PassEnd::Done;
    return pass(true, nextDue, end);
}

DeliveryReport DeliveryAgent::deliverDue()
{
    qint64 nextDue = 0;
    PassEnd end = PassEnd::Done;
    return pass(false, nextDue, end);
}

DeliveryReport DeliveryAgent::lastReport() const
{
    std::lock_guard lock(m_mutex);
    return m_last;
}

} // namespace corvel
