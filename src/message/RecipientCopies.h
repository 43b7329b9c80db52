#pragma once

#include "message/MailAddressList.h"
#include "message/MailMessage.h"
#include "support/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

namespace corvel {

// The file forms of many copies of one message that differ only in one recipient header, their
// Message-ID and their Date. The message is checked and encoded once; each copy is that file
// form with its own three header lines in their place, so no MIME objects are made or freed per
// copy and queueing thousands of copies costs little more than writing them.
class RecipientCopies
{
public:
    // `message` as every copy is to be. Refused where its file form is, and when it holds one of
    // the three headers more than once (such a message is copied as a whole instead).
    [[nodiscard]] static Result<RecipientCopies>
    of(const MailMessage &message, MailMessage::Recipients which, const QString &domain);

    // A copy whose recipients of that kind are `recipients` (none: the header is left out),
    // with a fresh Message-ID (128 random bits) and `now` as its Date.
    [[nodiscard]] Result<QByteArray> fileBytes(const MailAddressList &recipients,
                                               const QDateTime &now) const;

private:
    enum class Slot
    {
        Recipients,
        MessageId,
        Date
    };
    struct Line
    {
        Slot slot;
        QByteArray name; // as the message spells it
    };

    RecipientCopies() = default;
    [[nodiscard]] Result<QByteArray> render(const Line &line, const MailAddressList &recipients,
                                            const QDateTime &now) const;

    // The file form cut at the three lines: m_pieces[i], m_lines[i], ..., m_pieces.back().
    std::vector<QByteArray> m_pieces;
    std::vector<Line> m_lines;
    QByteArray m_domain;
    QByteArray m_idDomain; // "@" and the domain as a Message-ID spells it; empty: ask per copy
    qsizetype m_size = 0;
    // The Date of the copies made within one second is formatted once.
    mutable qint64 m_dateSecond = -1;
    mutable QByteArray m_dateText;
};

} // namespace corvel
