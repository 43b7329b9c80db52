#pragma once

#include "session/QueuedMessageStates.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace corvel {

class OlNamespace;

// What the Outbox did with the messages of a run: how many wait, were put off, failed, are
// held or were delivered, the recipients refused, and why nothing moves when no way of
// sending mail is set up.
class RunOutboxReport
{
public:
    struct Counts
    {
        qint64 queued = 0;
        qint64 deferred = 0;
        qint64 sending = 0;
        qint64 failed = 0;
        qint64 held = 0;
        qint64 delivered = 0;
        qint64 gone = 0;
    };
    struct Refusal
    {
        QString address;
        QString reply;
    };

    // Asks the session about these Outbox ids; never throws (a session that cannot tell, or an
    // Outbox that cannot be read, is reported as such).
    [[nodiscard]] static RunOutboxReport ask(OlNamespace &session, const QStringList &outboxIds);
    // The same from states already known (for a window that asked in the background).
    [[nodiscard]] static RunOutboxReport
    of(const std::vector<QueuedMessageStates::Message> &messages, const QString &whyNotDelivering);

    [[nodiscard]] const Counts &counts() const { return m_counts; }
    [[nodiscard]] const std::vector<Refusal> &refused() const { return m_refused; }
    // Why a message failed or is held, each reason once with how many it concerns.
    [[nodiscard]] const QStringList &problems() const { return m_problems; }
    [[nodiscard]] const QString &error() const { return m_error; }
    [[nodiscard]] qint64 total() const { return m_total; }
    // Nothing of the run is being sent or waits for a first try (or all that waits, waits for
    // a way of sending mail to be set up).
    [[nodiscard]] bool settled() const;
    // The account as lines of text.
    [[nodiscard]] QStringList lines() const;

private:
    Counts m_counts;
    std::vector<Refusal> m_refused;
    QStringList m_problems;
    QString m_whyNotDelivering;
    QString m_error;
    qint64 m_total = 0;
};

} // namespace corvel
