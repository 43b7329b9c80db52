#include "message/RecipientCopies.h"

#include "message/GMimeRuntime.h"

#include <gmime/gmime.h>

#include <QRandomGenerator>

#include <array>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Stands in for the recipients while the message's file form is made; never sent.
const QString PlaceholderRecipient = u"copy-recipient@placeholder.invalid"_s;

// A line of our own making must be as safe as any the encoder checks: 7-bit, no CR or NUL,
// no physical line beyond the limit.
Status checkLine(const QByteArray &line)
{
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c >= 0x80 || c == '\r' || c == '\0')
            return Status::failure(u"The recipients cannot be written as a header."_s);
        if (c == '\n') {
            if (i - lineStart > MailMessage::MaxLineOctets)
                return Status::failure(u"The message has a line longer than %1 octets."_s.arg(
                    MailMessage::MaxLineOctets));
            lineStart = i + 1;
        }
    }
    return {};
}

} // namespace

Result<RecipientCopies> RecipientCopies::of(const MailMessage &message,
                                            MailMessage::Recipients which, const QString &domain)
{
    Result<MailMessage> work = message.copy();
    if (!work.ok())
        return Result<RecipientCopies>::failure(work.error());
    if (Status set = work->setRecipients(which, PlaceholderRecipient); !set.ok())
        return Result<RecipientCopies>::failure(set.error());
    work->stampForSending(QDateTime::currentDateTime(), domain);
    Result<QByteArray> bytes = work->fileBytes();
    if (!bytes.ok())
        return Result<RecipientCopies>::failure(bytes.error());

    const qsizetype headerEnd = bytes->indexOf("\n\n");
    const std::array<std::pair<QByteArray, Slot>, 3> wanted{
        {{QByteArray(MailMessage::headerName(which)), Slot::Recipients},
         {"Message-Id", Slot::MessageId},
         {"Date", Slot::Date}}};
    RecipientCopies copies;
    copies.m_domain = domain.toUtf8();
    // The library's Message-ID looks the domain up in IDNA on every call; its ASCII form is
    // taken once from one such ID and the copies' own random parts joined to it.
    char *sample = g_mime_utils_generate_message_id(copies.m_domain.constData());
    const QByteArray sampleId(sample);
    g_free(sample);
    if (const qsizetype at = sampleId.lastIndexOf('@'); at > 0)
        copies.m_idDomain = sampleId.mid(at);
    qsizetype pieceStart = 0;
    qsizetype start = 0;
    while (start <= headerEnd) {
        // One header: its first line and every folded line after it.
        qsizetype end = bytes->indexOf('\n', start);
        while (end < headerEnd && (bytes->at(end + 1) == ' ' || bytes->at(end + 1) == '\t'))
            end = bytes->indexOf('\n', end + 1);
        const qsizetype colon = bytes->indexOf(':', start);
        if (colon > start && colon < end) {
            const QByteArray name = bytes->mid(start, colon - start);
            for (const auto &[slotName, slot] : wanted) {
                if (name.compare(slotName, Qt::CaseInsensitive) != 0)
                    continue;
                for (const Line &seen : copies.m_lines)
                    if (seen.slot == slot)
                        return Result<RecipientCopies>::failure(
                            u"The message holds the header %1 twice."_s.arg(
                                QString::fromLatin1(name)));
                copies.m_pieces.push_back(bytes->mid(pieceStart, start - pieceStart));
                copies.m_lines.push_back({slot, name});
                pieceStart = end + 1;
            }
        }
        start = end + 1;
    }
    if (copies.m_lines.size() != wanted.size())
        return Result<RecipientCopies>::failure(u"The message's header cannot be copied."_s);
    copies.m_pieces.push_back(bytes->mid(pieceStart));
    for (const QByteArray &piece : copies.m_pieces)
        copies.m_size += piece.size();
    return copies;
}

Result<QByteArray> RecipientCopies::render(const Line &line, const MailAddressList &recipients,
                                           const QDateTime &now) const
{
    QByteArray text;
    switch (line.slot) {
    case Slot::Recipients: {
        if (recipients.isEmpty())
            return text;
        InternetAddressList *list = internet_address_list_new();
        recipients.appendTo(list);
        GString *encoded = g_string_new(nullptr);
        g_string_append_len(encoded, line.name.constData(), line.name.size());
        g_string_append(encoded, ": ");
        internet_address_list_encode(list, nullptr, encoded);
        text = QByteArray(encoded->str, qsizetype(encoded->len));
        g_string_free(encoded, TRUE);
        g_object_unref(list);
        break;
    }
    case Slot::MessageId: {
        if (m_idDomain.isEmpty()) {
            char *id = g_mime_utils_generate_message_id(m_domain.constData());
            text = line.name + ": <" + id + ">\n";
            g_free(id);
            break;
        }
        std::array<quint64, 2> random{};
        QRandomGenerator::global()->fillRange(random.data(), random.size());
        const QByteArray local = QByteArray::number(random[0], 36).rightJustified(13, '0') +
                                 QByteArray::number(random[1], 36).rightJustified(13, '0');
        text = line.name + ": <" + local + m_idDomain + ">\n";
        break;
    }
    case Slot::Date: {
        const qint64 second = now.toSecsSinceEpoch();
        if (second != m_dateSecond) {
            GDateTime *date = g_date_time_new_from_unix_local(second);
            char *formatted = g_mime_utils_header_format_date(date);
            g_date_time_unref(date);
            m_dateText = formatted;
            g_free(formatted);
            m_dateSecond = second;
        }
        text = line.name + ": " + m_dateText + '\n';
        break;
    }
    }
    if (Status safe = checkLine(text); !safe.ok())
        return Result<QByteArray>::failure(safe.error());
    return text;
}

Result<QByteArray> RecipientCopies::fileBytes(const MailAddressList &recipients,
                                              const QDateTime &now) const
{
    GMimeRuntime::ensureStarted();
    QByteArray out;
    out.reserve(m_size + 256 + 48 * qsizetype(recipients.addresses().size()));
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        out += m_pieces[i];
        Result<QByteArray> line = render(m_lines[i], recipients, now);
        if (!line.ok())
            return line;
        out += *line;
    }
    out += m_pieces.back();
    return out;
}

} // namespace corvel
