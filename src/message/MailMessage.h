#pragma once

#include "message/MailAddressList.h"
#include "message/MailAttachment.h"
#include "support/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

struct _GMimeMessage;

namespace corvel {

// One RFC 5322 message, read and changed through the MIME library. Every setter refuses text
// that would be unsafe in a header; the byte forms check the result once more, so neither a
// file written here nor what goes to a server can carry an injected header or an over-long line.
class MailMessage
{
public:
    enum class Recipients
    {
        To,
        Cc,
        Bcc
    };

    // A new message: an empty text/plain body, no header but MIME-Version.
    [[nodiscard]] static MailMessage blank();
    [[nodiscard]] static Result<MailMessage> parse(const QByteArray &bytes);
    // The decoded Subject of a message's header block (the body is neither needed nor read).
    [[nodiscard]] static QString subjectOfHeaders(const QByteArray &headerBlock);

    MailMessage(const MailMessage &) = delete;
    MailMessage &operator=(const MailMessage &) = delete;
    MailMessage(MailMessage &&) noexcept = default;
    MailMessage &operator=(MailMessage &&) noexcept = default;
    ~MailMessage();

    // An independent deep copy, made through the file form: it fails where fileBytes does.
    [[nodiscard]] Result<MailMessage> copy() const;

    [[nodiscard]] QString subject() const;
    [[nodiscard]] Status setSubject(const QString &subject);
    // The first text/plain part that is not an attachment, decoded to UTF-8.
    [[nodiscard]] QString body() const;
    // Replaces that text; an HTML alternative is dropped with it, attachments stay.
    void setBody(const QString &text);
    // The letter's own HTML text (the alternative of its plain text), decoded; empty when it
    // has none.
    [[nodiscard]] QString htmlBody() const;
    // Both forms of the letter's text, as multipart/alternative; an empty `html` leaves the
    // plain text alone, as setBody does.
    void setBodies(const QString &plain, const QString &html);

    // The files the letter carries, in the order they stand in it (not its own text, nor an
    // HTML alternative of it).
    [[nodiscard]] std::vector<MailAttachment> attachments() const;
    // The decoded bytes of the attachment at that index.
    [[nodiscard]] Result<QByteArray> attachmentContent(int index) const;
    // Adds a file as a base64 part, its type guessed from its name and content. Refused when
    // it is not a readable regular file, or when the letter's attachments would hold more than
    // MaxAttachmentBytes in all.
    [[nodiscard]] Status addAttachment(const QString &path);
    // The same for bytes at hand; the name's folders are dropped.
    [[nodiscard]] Status addAttachment(const QString &fileName, const QByteArray &content);
    [[nodiscard]] Status removeAttachment(int index);
    static constexpr qint64 MaxAttachmentBytes = qint64(25) << 20;

    // "; "-separated, as the session shows them; unreadable lists read as their raw text.
    [[nodiscard]] QString recipients(Recipients which) const;
    [[nodiscard]] Status setRecipients(Recipients which, const QString &addresses);
    [[nodiscard]] Result<MailAddressList> addresses(Recipients which) const;
    [[nodiscard]] Result<MailAddressList> from() const;
    [[nodiscard]] Status setFrom(const QString &sender);
    // Where replies go; empty: to the sender.
    [[nodiscard]] Result<MailAddressList> replyTo() const;
    [[nodiscard]] Status setReplyTo(const QString &addresses);
    // A header the message model has no field for (List-Unsubscribe ...), replacing any of
    // that name; refused when the value would be unsafe in a header. Empty removes it.
    [[nodiscard]] Status setHeader(const QString &name, const QString &value);
    [[nodiscard]] QString header(const QString &name) const;

    // The header a kind of recipients stands in, as the library spells it.
    [[nodiscard]] static const char *headerName(Recipients which);
    // No line of a byte form is longer (RFC 5322), line end not counted.
    static constexpr qsizetype MaxLineOctets = 998;

    // A fresh Message-ID (always: a copy must not share its original's) and the Date; a
    // message with nobody in To gets "To: undisclosed-recipients:;".
    void stampForSending(const QDateTime &now, const QString &domain);
    [[nodiscard]] QString messageId() const;

    // Every header and address checked again, as for a message someone else wrote, and every
    // header within the bounds the byte forms below can encode.
    [[nodiscard]] Status checkHeaders() const;

    // The byte forms leave the message unchanged. A failure is a refusal of the message's
    // content (a header that cannot be encoded sanely, an over-long line, ...): it comes before
    // anything is handed to a transport, and writing the same message again fails the same way.
    //
    // The file form: LF line ends, Bcc kept, 7-bit transfer encodings.
    [[nodiscard]] Result<QByteArray> fileBytes() const;
    // What a server receives: CRLF line ends, no Bcc, 7-bit transfer encodings, lines of at
    // most 998 octets.
    [[nodiscard]] Result<QByteArray> wireBytes() const;
    // What a local mail program receives: as wireBytes, with LF line ends.
    [[nodiscard]] Result<QByteArray> localBytes() const;

private:
    struct Unref
    {
        void operator()(_GMimeMessage *message) const;
    };
    explicit MailMessage(_GMimeMessage *owned);
    [[nodiscard]] Result<QByteArray> serialize(bool hideBcc) const;

    // Forgets the encoded form: every change of the message calls it first.
    void changed() { m_encoded.reset(); }

    std::unique_ptr<_GMimeMessage, Unref> m_message;
    // The message with the 7-bit encodings the byte forms need, made (from a copy, so that the
    // message itself is left as it is) when they first need it and kept until it changes.
    mutable std::unique_ptr<_GMimeMessage, Unref> m_encoded;
};

} // namespace corvel
