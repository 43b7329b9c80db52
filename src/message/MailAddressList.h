#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QString>

#include <vector>

struct _InternetAddressList;

namespace corvel {

struct MailAddress
{
    QString name;    // decoded display name, may be empty
    QString address; // local@domain

    friend bool operator==(const MailAddress &, const MailAddress &) = default;
};

// A validated list of mailboxes. Whatever the source (text typed into To, a contact's name, a
// header of a file someone else wrote), a name or address holding CR, LF or NUL once decoded is
// refused, so no list can smuggle a header or a recipient into a message.
class MailAddressList
{
public:
    MailAddressList() = default;

    // Addresses separated by "; " (or ","), as the session's To, CC and BCC take them.
    [[nodiscard]] static Result<MailAddressList> parse(const QString &text);
    // A header's value as it stands in a message file (folded, RFC 2047 words, groups).
    [[nodiscard]] static Result<MailAddressList> parseHeader(const QByteArray &rawValue);
    // Refuses text that is unsafe in a header once decoded; `what` names it in the reason.
    [[nodiscard]] static Status checkHeaderText(const QString &text, const QString &what);
    // The same for a header's raw value as a file holds it (folding allowed).
    [[nodiscard]] static Status checkRawHeaderValue(const QByteArray &raw, const QString &what);

    [[nodiscard]] const std::vector<MailAddress> &addresses() const { return m_addresses; }
    [[nodiscard]] bool isEmpty() const { return m_addresses.empty(); }
    // "Name <address>; address", as the session shows To, CC and BCC.
    [[nodiscard]] QString display() const;
    // One mailbox as parse() reads it back: the name quoted where it must be, or the bare
    // address where the name is empty, the address itself, or no safe header text.
    [[nodiscard]] static QString mailbox(const QString &name, const QString &address);
    // Adds the mailboxes to a list of the MIME library (names encoded when written out).
    void appendTo(_InternetAddressList *list) const;

private:
    std::vector<MailAddress> m_addresses;
};

} // namespace corvel
