// Feeds arbitrary bytes to the message reader and every accessor the session uses. Whatever
// is accepted and written out for a server must keep the wire rules: CRLF only, no line over
// 998 octets, no Bcc header, nothing but 7-bit octets.

#include "message/MailAddressList.h"
#include "message/MailMessage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace corvel;

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "message_fuzz: %s\n", what);
    std::abort();
}

void checkWire(const QByteArray &wire)
{
    const qsizetype headerEnd = wire.indexOf("\r\n\r\n");
    qsizetype start = 0;
    while (start < wire.size()) {
        const qsizetype newline = wire.indexOf('\n', start);
        if (newline < 0)
            break;
        if (newline == 0 || wire[newline - 1] != '\r')
            fail("bare LF on the wire");
        if (newline - 1 - start > 998)
            fail("line over 998 octets");
        if ((headerEnd < 0 || start < headerEnd) &&
            wire.mid(start, 4).compare("bcc:", Qt::CaseInsensitive) == 0)
            fail("Bcc header on the wire");
        start = newline + 1;
    }
    for (const char c : wire) {
        if (c & 0x80)
            fail("8-bit octet on the wire");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)MailMessage::subjectOfHeaders(bytes.left(4096));
    (void)MailAddressList::parse(QString::fromUtf8(bytes.left(2048)));
    (void)MailAddressList::parseHeader(bytes.left(2048));

    Result<MailMessage> parsed = MailMessage::parse(bytes);
    if (!parsed.ok())
        return 0;
    MailMessage &message = *parsed;
    (void)message.subject();
    (void)message.body();
    for (const auto which :
         {MailMessage::Recipients::To, MailMessage::Recipients::Cc, MailMessage::Recipients::Bcc})
        (void)message.recipients(which);
    (void)message.from();
    const bool safe = message.checkHeaders().ok();

    // Writing out leaves the message as it was: the second time gives the same bytes.
    const Result<QByteArray> first = message.fileBytes();
    const Result<QByteArray> second = message.fileBytes();
    if (first.ok() != second.ok() || (first.ok() && *first != *second))
        fail("writing the message out changed it");

    if (Result<MailMessage> copy = message.copy(); copy.ok()) {
        copy->setBody(QStringLiteral("Dear member,\n.\n..leading dots\n"));
        (void)copy->setRecipients(MailMessage::Recipients::To, QStringLiteral("a@example.org"));
        if (Result<QByteArray> wire = copy->wireBytes(); wire.ok() && safe)
            checkWire(*wire);
    } else if (first.ok()) {
        fail("a message with a file form could not be copied");
    }
    if (Result<QByteArray> wire = message.wireBytes(); wire.ok() && safe)
        checkWire(*wire);
    return 0;
}
