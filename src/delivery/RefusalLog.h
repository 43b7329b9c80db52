#pragma once

#include "message/MailTransport.h"
#include "support/Result.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <vector>

namespace corvel {

// The permanent refusals of delivered messages, one JSON line each, kept beside them in Sent
// Items: delivery writes it, the account of a run reads it.
class RefusalLog
{
public:
    [[nodiscard]] static QString path(const QString &sentDirectory);
    // Appended, not synced: a batch's lines are made durable with its renames.
    [[nodiscard]] static Status append(const QString &sentDirectory, const QString &unique,
                                       const std::vector<RecipientRefusal> &refused, qint64 atMs);
    // The refusals of the wanted messages; a log that cannot be read (or is huge) gives none.
    static void read(const QString &sentDirectory, const QSet<QString> &wanted,
                     QHash<QString, std::vector<RecipientRefusal>> &refusals);
};

} // namespace corvel
