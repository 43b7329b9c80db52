#pragma once

#include "delivery/RateLimits.h"
#include "support/Result.h"

#include <QString>

#include <vector>

namespace corvel {

// When the transport took messages from one Outbox, kept beside it so that rate limits hold
// across restarts ("corvel-outbox.sends"; only while a limit is set). A first line
// "#corvel-sends 1", then one line "TIME COUNT" per message whose data went (ms since the
// epoch, then 1), or "TIME 1 RECIPIENTS" when the transaction named other than one recipient,
// appended and made durable before the message's data goes. Lines older than the limits need
// (an hour, a day with a day's limit) are dropped when the file is rewritten. A file that
// cannot be read is reported and never written to.
class SendsLog
{
public:
    explicit SendsLog(QString folderDirectory);
    ~SendsLog();
    SendsLog(const SendsLog &) = delete;
    SendsLog &operator=(const SendsLog &) = delete;

    // Reads the sends of the `memoryMs` (an hour by default) before `nowMs`. A last line cut
    // short (a crash mid-write) is dropped; any other line that is not a send fails the whole
    // file.
    [[nodiscard]] Status load(qint64 nowMs, qint64 memoryMs = 60 * 60 * 1000);
    // The times read or recorded, oldest first, a time per message.
    [[nodiscard]] const std::vector<qint64> &sentMs() const { return m_sent; }
    // The same a line each, with its recipients.
    [[nodiscard]] const std::vector<RateLimits::Send> &sends() const { return m_sends; }
    // Rewrites the file without the lines load() dropped, when they are many or cut short.
    [[nodiscard]] Status compact();
    // Appends one send; not durable until sync().
    [[nodiscard]] Status record(qint64 atMs, int recipients = 1);
    [[nodiscard]] Status sync();

    [[nodiscard]] static QString fileName();

private:
    [[nodiscard]] QString path() const;
    [[nodiscard]] QByteArray serialized() const;

    QString m_directory;
    std::vector<qint64> m_sent;
    std::vector<RateLimits::Send> m_sends;
    int m_dropped = 0; // lines read and not kept
    bool m_cutShort = false;
    bool m_readable = false; // loaded without a fault: only then is the file written
    bool m_created = false;  // made by record(); its folder not yet synced
    int m_fd = -1;
};

} // namespace corvel
