#include "delivery/OutboxMessageStates.h"

#include "delivery/OutboxQueue.h"
#include "delivery/RefusalLog.h"
#include "message/MaildirFolder.h"
#include "session/LocalMailbox.h"

#include <QFile>
#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

using State = QueuedMessageStates::State;

State stateOf(const QString &shown)
{
    static const QHash<QString, State> names = {
        {u"queued"_s, State::Queued},   {u"deferred"_s, State::Deferred},
        {u"sending"_s, State::Sending}, {u"failed"_s, State::Failed},
        {u"held"_s, State::Held},       {u"sent"_s, State::Delivered}};
    return names.value(shown, State::Queued);
}

} // namespace

OutboxMessageStates::OutboxMessageStates(std::shared_ptr<LocalMailbox> mailbox,
                                         SettingsLookup settings)
    : m_mailbox(std::move(mailbox))
    , m_settings(std::move(settings))
{
}

std::vector<QueuedMessageStates::Message>
OutboxMessageStates::states(const QStringList &outboxIds) const
{
    QHash<QString, Message> known;
    for (const OutboxQueue::Message &m :
         OutboxQueue(*m_mailbox).messages(0, OutboxQueue::Subjects::Skipped))
        known.insert(m.unique, {m.unique, stateOf(m.state), m.reason, m.refused});

    QSet<QString> elsewhere;
    for (const QString &id : outboxIds)
        if (!known.contains(id))
            elsewhere.insert(id);
    if (!elsewhere.isEmpty()) {
        QHash<QString, std::vector<RecipientRefusal>> refusals;
        for (const auto &tree : m_mailbox->stores()) {
            const auto sent = m_mailbox->folder(tree, u"Sent Items"_s, false);
            if (!sent)
                continue;
            Result<std::vector<MaildirFolder::Entry>> entries =
                MaildirFolder(sent->directory).entries();
            if (!entries.ok())
                continue;
            QSet<QString> filed;
            for (const MaildirFolder::Entry &entry : *entries)
                if (elsewhere.contains(entry.unique)) {
                    known.insert(entry.unique, {entry.unique, State::Delivered, {}, {}});
                    filed.insert(entry.unique);
                }
            if (!filed.isEmpty())
                RefusalLog::read(sent->directory, filed, refusals);
        }
        for (auto it = refusals.begin(); it != refusals.end(); ++it)
            known[it.key()].refused = std::move(it.value());
    }

    std::vector<Message> result;
    result.reserve(static_cast<std::size_t>(outboxIds.size()));
    for (const QString &id : outboxIds)
        result.push_back(known.value(id, Message{id, State::Gone, {}, {}}));
    return result;
}

QString OutboxMessageStates::whyNotDelivering() const
{
    return (m_settings ? m_settings() : TransportSettings{}).whyUnusable();
}

} // namespace corvel
