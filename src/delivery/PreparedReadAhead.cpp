#include "delivery/PreparedReadAhead.h"

namespace corvel {

PreparedReadAhead::PreparedReadAhead(std::vector<MaildirFolder::Entry> messages,
                                     MailTransport::LineEnds lineEnds, QString sender,
                                     std::size_t depth)
    : m_messages(std::move(messages))
    , m_lineEnds(lineEnds)
    , m_sender(std::move(sender))
    , m_depth(std::max<std::size_t>(1, depth))
    , m_read(m_messages.size())
    , m_taken(m_messages.size(), false)
{
    m_indexOf.reserve(qsizetype(m_messages.size()));
    for (std::size_t i = 0; i < m_messages.size(); ++i)
        m_indexOf.insert(m_messages[i].unique, i);
    if (m_messages.size() > 1)
        m_thread = std::thread([this] { readAll(); });
}

PreparedReadAhead::~PreparedReadAhead()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void PreparedReadAhead::readAll()
{
    for (std::size_t i = 0; i < m_messages.size(); ++i) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stopping || i < m_takenUpTo + m_depth; });
            if (m_stopping)
                return;
        }
        PreparedMessage prepared = PreparedMessage::read(m_messages[i].path, m_lineEnds, m_sender);
        {
            std::lock_guard lock(m_mutex);
            m_read[i] = std::move(prepared);
            m_readCount = i + 1;
        }
        m_changed.notify_all();
    }
}

PreparedMessage PreparedReadAhead::take(const MaildirFolder::Entry &entry)
{
    const auto found = m_indexOf.constFind(entry.unique);
    if (found != m_indexOf.constEnd() && m_thread.joinable()) {
        const std::size_t i = *found;
        std::unique_lock lock(m_mutex);
        if (!m_taken[i]) {
            m_taken[i] = true;
            m_takenUpTo = std::max(m_takenUpTo, i + 1);
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_readCount > i; });
            if (m_read[i]) {
                PreparedMessage prepared = std::move(*m_read[i]);
                m_read[i].reset();
                return prepared;
            }
        }
    }
    return PreparedMessage::read(entry.path, m_lineEnds, m_sender);
}

} // namespace corvel
