#pragma once

#include "delivery/PreparedMessage.h"
#include "message/MaildirFolder.h"

#include <QHash>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace corvel {

// The messages of a delivery read and checked on a thread of their own, in order, at most
// `depth` ahead of the last one taken: reading and checking a message costs about as much as
// sending it, and this way the two overlap.
class PreparedReadAhead
{
public:
    PreparedReadAhead(std::vector<MaildirFolder::Entry> messages, MailTransport::LineEnds lineEnds,
                      QString sender, std::size_t depth = 64);
    // Stops the thread; what it read and nobody took is dropped.
    ~PreparedReadAhead();
    PreparedReadAhead(const PreparedReadAhead &) = delete;
    PreparedReadAhead &operator=(const PreparedReadAhead &) = delete;

    // The message, waiting for the thread when it has not come to it yet; a message that is
    // not in the list, or taken twice, is read here.
    [[nodiscard]] PreparedMessage take(const MaildirFolder::Entry &entry);

private:
    void readAll();

    const std::vector<MaildirFolder::Entry> m_messages;
    const MailTransport::LineEnds m_lineEnds;
    const QString m_sender;
    const std::size_t m_depth;
    QHash<QString, std::size_t> m_indexOf;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::optional<PreparedMessage>> m_read; // under m_mutex
    std::vector<bool> m_taken;                          // under m_mutex
    std::size_t m_readCount = 0;                        // under m_mutex
    std::size_t m_takenUpTo = 0;                        // under m_mutex
    bool m_stopping = false;                            // under m_mutex
    std::thread m_thread;
};

} // namespace corvel
