#pragma once

#include "message/MailTransport.h"

#include <QByteArray>
#include <QString>

namespace corvel {

// A queued message read and checked, ready to go: its envelope (the sender, and every
// recipient of To, Cc and Bcc once) and its bytes as the transport takes them.
struct PreparedMessage
{
    MailEnvelope envelope;
    QByteArray bytes;
    QString subject;
    QString problem; // the message can never go as it is

    // `sender` is used for a message without a From. Safe on any thread.
    [[nodiscard]] static PreparedMessage read(const QString &path, MailTransport::LineEnds lineEnds,
                                              const QString &sender);
};

} // namespace corvel
