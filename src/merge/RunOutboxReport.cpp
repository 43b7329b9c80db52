#include "merge/RunOutboxReport.h"

#include "session/OutlookSession.h"

#include <QMap>

namespace corvel {

namespace {

QString counted(qint64 n, const char *what)
{
    return QString::number(n) + u' ' + QString::fromLatin1(what);
}

} // namespace

RunOutboxReport RunOutboxReport::ask(OlNamespace &session, const QStringList &outboxIds)
{
    RunOutboxReport report;
    report.m_total = outboxIds.size();
    if (outboxIds.isEmpty())
        return report;
    try {
        const std::shared_ptr<QueuedMessageStates> states = session.queuedMessageStates();
        if (!states) {
            report.m_error = QStringLiteral("This mail session cannot tell what became of the "
                                            "messages it queued.");
            return report;
        }
        return of(states->states(outboxIds), states->whyNotDelivering());
    } catch (const OutlookError &error) {
        report.m_error = error.message();
    }
    return report;
}

RunOutboxReport RunOutboxReport::of(const std::vector<QueuedMessageStates::Message> &messages,
                                    const QString &whyNotDelivering)
{
    using State = QueuedMessageStates::State;
    RunOutboxReport report;
    report.m_total = static_cast<qint64>(messages.size());
    report.m_whyNotDelivering = whyNotDelivering;
    QMap<QString, qint64> problems;
    for (const QueuedMessageStates::Message &m : messages) {
        switch (m.state) {
        case State::Queued:
            ++report.m_counts.queued;
            break;
        case State::Deferred:
            ++report.m_counts.deferred;
            break;
        case State::Sending:
            ++report.m_counts.sending;
            break;
        case State::Failed:
            ++report.m_counts.failed;
            break;
        case State::Held:
            ++report.m_counts.held;
            break;
        case State::Delivered:
            ++report.m_counts.delivered;
            break;
        case State::Gone:
            ++report.m_counts.gone;
            break;
        }
        if ((m.state == State::Failed || m.state == State::Held || m.state == State::Deferred) &&
            !m.reason.isEmpty())
            ++problems[m.reason];
        for (const RecipientRefusal &refusal : m.refused)
            report.m_refused.push_back({refusal.address, refusal.reply});
    }
    for (auto it = problems.cbegin(); it != problems.cend(); ++it)
        report.m_problems.append(
            it.value() == 1 ? it.key()
                            : QStringLiteral("%1 (%2 messages)").arg(it.key()).arg(it.value()));
    return report;
}

bool RunOutboxReport::settled() const
{
    return m_error.isEmpty() && m_counts.sending == 0 &&
           (m_counts.queued == 0 || !m_whyNotDelivering.isEmpty());
}

QStringList RunOutboxReport::lines() const
{
    if (m_total == 0)
        return {};
    if (!m_error.isEmpty())
        return {QStringLiteral("What became of the messages is not known: ") + m_error};
    QStringList parts;
    const std::pair<qint64, const char *> shown[] = {
        {m_counts.delivered, "delivered"},
        {m_counts.queued, "waiting in the Outbox"},
        {m_counts.sending, "being sent"},
        {m_counts.deferred, "put off, to be tried again"},
        {m_counts.failed, "failed"},
        {m_counts.held, "held for your decision"},
        {m_counts.gone, "removed from the Outbox"}};
    for (const auto &[n, what] : shown)
        if (n > 0)
            parts.append(counted(n, what));
    QStringList lines{
        QStringLiteral("Outbox, of the %1 %2 queued: %3")
            .arg(m_total)
            .arg(m_total == 1 ? QStringLiteral("message") : QStringLiteral("messages"))
            .arg(parts.join(QStringLiteral(", ")))};
    if (!m_whyNotDelivering.isEmpty() && m_counts.queued + m_counts.deferred > 0)
        lines.append(QStringLiteral("The messages wait in the Outbox until a way of sending "
                                    "mail is set up. ") +
                     m_whyNotDelivering);
    for (const QString &problem : m_problems)
        lines.append(QStringLiteral("  ") + problem);
    if (!m_refused.empty()) {
        lines.append(QStringLiteral("Recipients refused: %1").arg(m_refused.size()));
        for (const Refusal &r : m_refused)
            lines.append(QStringLiteral("  %1: %2").arg(r.address, r.reply));
    }
    return lines;
}

} // namespace corvel
