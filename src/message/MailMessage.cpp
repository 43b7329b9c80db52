#include "message/MailMessage.h"

#include "message/CharsetModules.h"
#include "message/GMimeRuntime.h"
#include "message/GObjectRef.h"
#include "message/HeaderBounds.h"

#include <gmime/gmime.h>

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStringDecoder>

#include <functional>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Deeper nesting than any real letter; a hostile file cannot exhaust the stack.
constexpr int MaxDepth = 32;

GMimeAddressType addressType(MailMessage::Recipients which)
{
    switch (which) {
    case MailMessage::Recipients::To:
        return GMIME_ADDRESS_TYPE_TO;
    case MailMessage::Recipients::Cc:
        return GMIME_ADDRESS_TYPE_CC;
    case MailMessage::Recipients::Bcc:
        return GMIME_ADDRESS_TYPE_BCC;
    }
    return GMIME_ADDRESS_TYPE_TO;
}

const char *headerName(GMimeAddressType type)
{
    switch (type) {
    case GMIME_ADDRESS_TYPE_SENDER:
        return "Sender";
    case GMIME_ADDRESS_TYPE_FROM:
        return "From";
    case GMIME_ADDRESS_TYPE_REPLY_TO:
        return "Reply-To";
    case GMIME_ADDRESS_TYPE_TO:
        return "To";
    case GMIME_ADDRESS_TYPE_CC:
        return "Cc";
    case GMIME_ADDRESS_TYPE_BCC:
        return "Bcc";
    }
    return "To";
}

} // namespace

const char *MailMessage::headerName(Recipients which)
{
    return corvel::headerName(addressType(which));
}

namespace {

bool isAttachment(GMimeObject *object)
{
    GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(object);
    // A damaged header can leave the disposition without its kind.
    return disposition && g_mime_content_disposition_get_disposition(disposition) &&
           g_mime_content_disposition_is_attachment(disposition);
}

bool isType(GMimeObject *object, const char *type, const char *subtype)
{
    GMimeContentType *contentType = g_mime_object_get_content_type(object);
    return contentType && g_mime_content_type_get_media_type(contentType) &&
           g_mime_content_type_get_media_subtype(contentType) &&
           g_mime_content_type_is_type(contentType, type, subtype);
}

// One step down a multipart: the multipart and the index of the part taken.
struct PartStep
{
    GMimeMultipart *multipart = nullptr;
    int index = 0;
};

enum class Walk
{
    Enter, // visit what this object holds
    Skip,  // go on with its next sibling
    Stop   // end the walk
};

using PartVisitor = std::function<Walk(GMimeObject *, const std::vector<PartStep> &)>;

bool walkFrom(GMimeObject *object, const PartVisitor &visit, std::vector<PartStep> &trail,
              int depth)
{
    if (!object || depth > MaxDepth)
        return true;
    switch (visit(object, trail)) {
    case Walk::Stop:
        return false;
    case Walk::Skip:
        return true;
    case Walk::Enter:
        break;
    }
    if (GMIME_IS_MESSAGE(object))
        return walkFrom(g_mime_message_get_mime_part(GMIME_MESSAGE(object)), visit, trail,
                        depth + 1);
    if (GMIME_IS_MESSAGE_PART(object)) {
        GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        return walkFrom(inner ? GMIME_OBJECT(inner) : nullptr, visit, trail, depth + 1);
    }
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            trail.push_back({multipart, i});
            const bool goOn =
                walkFrom(g_mime_multipart_get_part(multipart, i), visit, trail, depth + 1);
            trail.pop_back();
            if (!goOn)
                return false;
        }
    }
    return true;
}

// Every object that carries headers, depth first: a message, its parts, the messages attached
// to it and their parts. No deeper than MaxDepth, so a hostile file cannot exhaust the stack.
// False when the visitor stopped the walk.
bool walkParts(GMimeObject *root, const PartVisitor &visit)
{
    std::vector<PartStep> trail;
    return walkFrom(root, visit, trail, 0);
}

// Where the body text is: the part, and the multiparts (with the index taken) leading to it.
struct PlainPath
{
    GMimeTextPart *part = nullptr;
    std::vector<PartStep> steps;
};

// The letter's own text; an attached message's text is not it.
bool findPlain(GMimeObject *root, PlainPath &path)
{
    walkParts(root, [&](GMimeObject *object, const std::vector<PartStep> &trail) {
        if (GMIME_IS_MESSAGE_PART(object))
            return Walk::Skip;
        if (GMIME_IS_TEXT_PART(object) && !isAttachment(object) &&
            isType(object, "text", "plain")) {
            path.part = GMIME_TEXT_PART(object);
            path.steps = trail;
            return Walk::Stop;
        }
        return Walk::Enter;
    });
    return path.part != nullptr;
}

QString normalisedNewlines(QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    return text;
}

// Puts `replacement` where the step says (the message's root for no step).
void replaceAt(GMimeMessage *message, const PartStep *parent, GMimeObject *replacement)
{
    if (!parent) {
        g_mime_message_set_mime_part(message, replacement);
        return;
    }
    GMimeObject *old = g_mime_multipart_replace(parent->multipart, parent->index, replacement);
    if (old)
        g_object_unref(old);
}

QByteArray toCrlf(const QByteArray &lf)
{
    QByteArray out;
    out.reserve(lf.size() + lf.size() / 32 + 16);
    const char *p = lf.constData();
    const qsizetype n = lf.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < n && p[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

Status checkLines(const QByteArray &bytes)
{
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        qsizetype length = end - start;
        if (length > 0 && bytes[end - 1] == '\r')
            --length;
        if (length > MailMessage::MaxLineOctets)
            return Status::failure(
                u"The message has a line longer than %1 octets."_s.arg(MailMessage::MaxLineOctets));
        start = end + 1;
    }
    if (bytes.contains('\0'))
        return Status::failure(u"The message holds a NUL character."_s);
    return {};
}

// 7-bit transfer encodings for every part that has content (the library's own walk trips over
// a part without any).
void encodeSevenBit(GMimeObject *root)
{
    walkParts(root, [](GMimeObject *object, const std::vector<PartStep> &) {
        if (GMIME_IS_PART(object) && g_mime_part_get_content(GMIME_PART(object)))
            g_mime_object_encode(object, GMIME_ENCODING_CONSTRAINT_7BIT);
        return Walk::Enter;
    });
}

bool hasEightBit(const char *text)
{
    for (const char *p = text; p && *p; ++p) {
        if (static_cast<unsigned char>(*p) & 0x80)
            return true;
    }
    return false;
}

QString nameOf(GMimeHeader *header)
{
    const char *name = g_mime_header_get_name(header);
    return QString::fromUtf8(name ? name : "");
}

// Calls `check` for every header of every object the walk reaches; the first failure ends it.
Status eachHeader(GMimeObject *root, const std::function<Status(GMimeHeader *)> &check)
{
    Status failed;
    walkParts(root, [&](GMimeObject *object, const std::vector<PartStep> &) {
        GMimeHeaderList *headers = g_mime_object_get_header_list(object);
        const int count = headers ? g_mime_header_list_get_count(headers) : 0;
        for (int i = 0; i < count; ++i) {
            if (Status status = check(g_mime_header_list_get_header_at(headers, i)); !status.ok()) {
                failed = std::move(status);
                return Walk::Stop;
            }
        }
        return Walk::Enter;
    });
    return failed;
}

// Every header within the bounds the MIME library is trusted with.
Status checkBounds(GMimeObject *root)
{
    return eachHeader(root, [](GMimeHeader *header) {
        return hasEightBit(g_mime_header_get_raw_value(header))
                   ? HeaderBounds::checkEncodable(header)
                   : HeaderBounds::checkSize(header);
    });
}

// Raw 8-bit header values (written by a careless program) become RFC 2047 words.
Status encodeEightBitHeaders(GMimeObject *root)
{
    return eachHeader(root, [](GMimeHeader *header) {
        if (!hasEightBit(g_mime_header_get_raw_value(header)))
            return Status();
        // The library's own encoding is unbounded for some values: only what passes goes to it.
        if (Status sane = HeaderBounds::checkEncodable(header); !sane.ok())
            return sane;
        const QByteArray value(g_mime_header_get_value(header));
        g_mime_header_set_value(header, nullptr, value.constData(), "utf-8");
        return HeaderBounds::checkEncoded(header);
    });
}

// For a file whose parts claim an encoding their bytes do not keep: every part decoded and
// encoded again, and 8-bit text around the parts dropped (no reader shows it).
void reencodeParts(GMimeObject *root)
{
    walkParts(root, [](GMimeObject *object, const std::vector<PartStep> &) {
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart *multipart = GMIME_MULTIPART(object);
            if (hasEightBit(g_mime_multipart_get_prologue(multipart)))
                g_mime_multipart_set_prologue(multipart, nullptr);
            if (hasEightBit(g_mime_multipart_get_epilogue(multipart)))
                g_mime_multipart_set_epilogue(multipart, nullptr);
        } else if (GMIME_IS_PART(object)) {
            g_mime_part_set_content_encoding(GMIME_PART(object), GMIME_CONTENT_ENCODING_DEFAULT);
        }
        return Walk::Enter;
    });
}

// Whether the passes above would change anything: the library leaves a part with a 7-bit
// encoding as it is, so only raw 8-bit header text and parts without one need them.
bool needsEncoding(GMimeObject *root)
{
    return !walkParts(root, [](GMimeObject *object, const std::vector<PartStep> &) {
        GMimeHeaderList *headers = g_mime_object_get_header_list(object);
        const int count = headers ? g_mime_header_list_get_count(headers) : 0;
        for (int i = 0; i < count; ++i) {
            if (hasEightBit(
                    g_mime_header_get_raw_value(g_mime_header_list_get_header_at(headers, i))))
                return Walk::Stop;
        }
        if (GMIME_IS_PART(object) && g_mime_part_get_content(GMIME_PART(object))) {
            switch (g_mime_part_get_content_encoding(GMIME_PART(object))) {
            case GMIME_CONTENT_ENCODING_DEFAULT:
            case GMIME_CONTENT_ENCODING_8BIT:
            case GMIME_CONTENT_ENCODING_BINARY:
                return Walk::Stop;
            default:
                break;
            }
        }
        return Walk::Enter;
    });
}

// A text part whose text was just set, given its 7-bit encoding at once.
void encodeText(GMimeTextPart *part)
{
    g_mime_part_set_content_encoding(GMIME_PART(part), GMIME_CONTENT_ENCODING_DEFAULT);
    g_mime_object_encode(GMIME_OBJECT(part), GMIME_ENCODING_CONSTRAINT_7BIT);
}

bool anyEightBit(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) & 0x80)
            return true;
    }
    return false;
}

} // namespace

void MailMessage::Unref::operator()(_GMimeMessage *message) const
{
    g_object_unref(message);
}

MailMessage::MailMessage(_GMimeMessage *owned)
    : m_message(owned)
{
}

MailMessage::~MailMessage() = default;

MailMessage MailMessage::blank()
{
    GMimeRuntime::ensureStarted();
    GObjectRef<GMimeMessage> message(g_mime_message_new(FALSE));
    GMimeTextPart *text = g_mime_text_part_new_with_subtype("plain");
    g_mime_text_part_set_text(text, "");
    encodeText(text);
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(text));
    g_object_unref(text);
    return MailMessage(message.release());
}

Result<MailMessage> MailMessage::parse(const QByteArray &bytes)
{
    GMimeRuntime::ensureStarted();
    // The MIME library reads header text as C strings: a NUL there would make it lose track
    // of where the headers end.
    qsizetype headerEnd = bytes.indexOf("\n\n");
    if (const qsizetype crlf = bytes.indexOf("\r\n\r\n");
        crlf >= 0 && (headerEnd < 0 || crlf < headerEnd))
        headerEnd = crlf;
    if (bytes.left(headerEnd < 0 ? bytes.size() : headerEnd).contains('\0'))
        return Result<MailMessage>::failure(u"The message holds a NUL character in its headers."_s);
    CharsetModules::keepFor(bytes);
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size());
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    g_object_unref(stream);
    GObjectRef<GMimeMessage> message(g_mime_parser_construct_message(parser, nullptr));
    g_object_unref(parser);
    if (!message)
        return Result<MailMessage>::failure(u"The file is not a mail message."_s);
    if (!g_mime_message_get_mime_part(message.get())) {
        // Headers only: give it the empty text body a new message has.
        GMimeTextPart *text = g_mime_text_part_new_with_subtype("plain");
        g_mime_text_part_set_text(text, "");
        encodeText(text);
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(text));
        g_object_unref(text);
    }
    return MailMessage(message.release());
}

QString MailMessage::subjectOfHeaders(const QByteArray &headerBlock)
{
    GMimeRuntime::ensureStarted();
    QByteArray value;
    bool inSubject = false;
    qsizetype start = 0;
    while (start < headerBlock.size()) {
        qsizetype end = headerBlock.indexOf('\n', start);
        if (end < 0)
            end = headerBlock.size();
        QByteArray line = headerBlock.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break;
        if (line[0] == ' ' || line[0] == '\t') {
            if (inSubject)
                value += line;
            continue;
        }
        if (inSubject)
            break; // the first Subject counts
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "subject") {
            inSubject = true;
            value = line.mid(colon + 1);
        }
    }
    value = value.trimmed();
    if (value.contains('\0'))
        value.truncate(value.indexOf('\0'));
    char *decoded = g_mime_utils_header_decode_text(nullptr, value.constData());
    QString subject = QString::fromUtf8(decoded ? decoded : "");
    g_free(decoded);
    return subject;
}

Result<MailMessage> MailMessage::copy() const
{
    // Through the file form, so nothing is shared with the original.
    Result<QByteArray> bytes = fileBytes();
    if (!bytes.ok())
        return Result<MailMessage>::failure(bytes.error());
    return parse(*bytes);
}

QString MailMessage::subject() const
{
    const char *subject = g_mime_message_get_subject(m_message.get());
    return QString::fromUtf8(subject ? subject : "");
}

Status MailMessage::setSubject(const QString &subject)
{
    changed();
    if (Status safe = MailAddressList::checkHeaderText(subject, u"subject"_s); !safe.ok())
        return safe;
    g_mime_message_set_subject(m_message.get(), subject.toUtf8().constData(), "utf-8");
    return {};
}

QString MailMessage::body() const
{
    PlainPath path;
    if (!findPlain(g_mime_message_get_mime_part(m_message.get()), path))
        return {};
    char *text = g_mime_text_part_get_text(path.part);
    QString body = QString::fromUtf8(text ? text : "");
    g_free(text);
    return normalisedNewlines(body);
}

void MailMessage::setBody(const QString &text)
{
    changed();
    GMimeMessage *message = m_message.get();
    const QByteArray utf8 = normalisedNewlines(text).toUtf8();
    PlainPath path;
    GMimeObject *root = g_mime_message_get_mime_part(message);
    if (findPlain(root, path)) {
        g_mime_text_part_set_text(path.part, utf8.constData());
        encodeText(path.part);
        // Collapse the nearest alternative to the branch holding the text.
        for (qsizetype k = qsizetype(path.steps.size()) - 1; k >= 0; --k) {
            GMimeMultipart *multipart = path.steps[k].multipart;
            if (!isType(GMIME_OBJECT(multipart), "multipart", "alternative"))
                continue;
            GMimeObject *branch = g_mime_multipart_get_part(multipart, path.steps[k].index);
            g_object_ref(branch);
            replaceAt(message, k > 0 ? &path.steps[k - 1] : nullptr, branch);
            g_object_unref(branch);
            break;
        }
        return;
    }

    GMimeTextPart *text_part = g_mime_text_part_new_with_subtype("plain");
    g_mime_text_part_set_text(text_part, utf8.constData());
    encodeText(text_part);
    GMimeObject *plain = GMIME_OBJECT(text_part);
    if (root && GMIME_IS_MULTIPART(root) && !isType(root, "multipart", "alternative")) {
        GMimeMultipart *multipart = GMIME_MULTIPART(root);
        GMimeObject *first = g_mime_multipart_get_count(multipart) > 0
                                 ? g_mime_multipart_get_part(multipart, 0)
                                 : nullptr;
        // The letter's own text (HTML, or an alternative of it) gives way; attachments stay.
        if (first && !isAttachment(first) &&
            (isType(first, "text", "*") || isType(first, "multipart", "alternative") ||
             isType(first, "multipart", "related"))) {
            const PartStep step{multipart, 0};
            replaceAt(message, &step, plain);
        } else {
            g_mime_multipart_insert(multipart, 0, plain);
        }
    } else if (root && !GMIME_IS_MULTIPART(root) &&
               (isAttachment(root) || !isType(root, "text", "*"))) {
        GMimeMultipart *mixed = g_mime_multipart_new_with_subtype("mixed");
        g_mime_multipart_add(mixed, plain);
        g_mime_multipart_add(mixed, root);
        g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed));
        g_object_unref(mixed);
    } else {
        g_mime_message_set_mime_part(message, plain);
    }
    g_object_unref(plain);
}

namespace {

// The letter's own HTML text: an attached message's is not it.
GMimeTextPart *findHtml(GMimeObject *root)
{
    GMimeTextPart *found = nullptr;
    walkParts(root, [&](GMimeObject *object, const std::vector<PartStep> &) {
        if (GMIME_IS_MESSAGE_PART(object))
            return Walk::Skip;
        if (GMIME_IS_TEXT_PART(object) && !isAttachment(object) && isType(object, "text", "html")) {
            found = GMIME_TEXT_PART(object);
            return Walk::Stop;
        }
        return Walk::Enter;
    });
    return found;
}

} // namespace

QString MailMessage::htmlBody() const
{
    GMimeTextPart *part = findHtml(g_mime_message_get_mime_part(m_message.get()));
    if (!part)
        return {};
    char *text = g_mime_text_part_get_text(part);
    QString html = QString::fromUtf8(text ? text : "");
    g_free(text);
    return normalisedNewlines(html);
}

void MailMessage::setBodies(const QString &plain, const QString &html)
{
    setBody(plain);
    if (html.isEmpty())
        return;
    GMimeMessage *message = m_message.get();
    PlainPath path;
    if (!findPlain(g_mime_message_get_mime_part(message), path))
        return;
    GMimeMultipart *alternative = g_mime_multipart_new_with_subtype("alternative");
    g_mime_multipart_add(alternative, GMIME_OBJECT(path.part));
    GMimeTextPart *htmlPart = g_mime_text_part_new_with_subtype("html");
    g_mime_text_part_set_text(htmlPart, normalisedNewlines(html).toUtf8().constData());
    encodeText(htmlPart);
    g_mime_multipart_add(alternative, GMIME_OBJECT(htmlPart));
    g_object_unref(htmlPart);
    replaceAt(message, path.steps.empty() ? nullptr : &path.steps.back(),
              GMIME_OBJECT(alternative));
    g_object_unref(alternative);
}

namespace {

// An attachment and where it stands: the multipart holding it, or none for the root.
struct AttachmentPlace
{
    GMimeObject *object = nullptr;
    std::optional<PartStep> parent;
};

// Files of the letter: parts that say they are attachments or carry a file name, and attached
// messages; the letter's own text and its alternatives are not among them.
std::vector<AttachmentPlace> attachmentPlaces(GMimeMessage *message)
{
    GMimeObject *root = g_mime_message_get_mime_part(message);
    PlainPath body;
    findPlain(root, body);
    std::vector<AttachmentPlace> places;
    walkParts(root, [&](GMimeObject *object, const std::vector<PartStep> &trail) {
        if (GMIME_IS_MULTIPART(object))
            return Walk::Enter;
        if (object == GMIME_OBJECT(body.part))
            return Walk::Skip;
        const bool named = GMIME_IS_PART(object) && g_mime_part_get_filename(GMIME_PART(object));
        if (isAttachment(object) || named) {
            AttachmentPlace place{object, std::nullopt};
            if (!trail.empty())
                place.parent = trail.back();
            places.push_back(place);
        }
        return Walk::Skip;
    });
    return places;
}

QByteArray decodedContent(GMimeObject *object)
{
    GMimeStream *stream = g_mime_stream_mem_new();
    if (GMIME_IS_PART(object)) {
        if (GMimeDataWrapper *content = g_mime_part_get_content(GMIME_PART(object)))
            g_mime_data_wrapper_write_to_stream(content, stream);
    } else if (GMIME_IS_MESSAGE_PART(object)) {
        if (GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)))
            g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, stream);
    }
    GByteArray *array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    QByteArray bytes(reinterpret_cast<const char *>(array->data), qsizetype(array->len));
    g_object_unref(stream);
    return bytes;
}

QString attachmentName(GMimeObject *object)
{
    const char *name = GMIME_IS_PART(object)
                           ? g_mime_part_get_filename(GMIME_PART(object))
                           : g_mime_object_get_content_disposition_parameter(object, "filename");
    if (name && *name)
        return QString::fromUtf8(name);
    return GMIME_IS_MESSAGE_PART(object) ? u"message.eml"_s : u"attachment"_s;
}

QString contentTypeOf(GMimeObject *object)
{
    GMimeContentType *type = g_mime_object_get_content_type(object);
    const char *media = type ? g_mime_content_type_get_media_type(type) : nullptr;
    const char *sub = type ? g_mime_content_type_get_media_subtype(type) : nullptr;
    if (!media || !sub)
        return u"application/octet-stream"_s;
    return QString::fromUtf8(media).toLower() + u'/' + QString::fromUtf8(sub).toLower();
}

// A file name fit for a header parameter: no folders, no control characters.
QString cleanFileName(const QString &name)
{
    QString clean = name.mid(name.lastIndexOf(u'/') + 1);
    for (QChar &c : clean) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'_';
    }
    clean = clean.trimmed();
    return clean.isEmpty() ? u"attachment"_s : clean;
}

// Whether bytes can stand in a text part: UTF-8 without NUL or other control characters but
// for tabs, line and page breaks.
bool readsAsText(const QByteArray &content)
{
    for (const char c : content) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || u == 0x7f)
            return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    (void)QString(utf8(content));
    return !utf8.hasError();
}

QString guessedType(const QString &fileName, const QByteArray &content)
{
    static const QRegularExpression token(
        u"^[a-z0-9][a-z0-9!#$&^_.+-]*/[a-z0-9][a-z0-9!#$&^_.+-]*$"_s);
    const QMimeType type = QMimeDatabase().mimeTypeForFileNameAndData(fileName, content);
    // A few bytes that look like a text format do not make a binary file text: a reader may
    // change the line ends or the charset of a text part when saving it.
    if ((type.name().startsWith(u"text/"_s) || type.inherits(u"text/plain"_s)) &&
        !readsAsText(content))
        return u"application/octet-stream"_s;
    return token.match(type.name()).hasMatch() ? type.name() : u"application/octet-stream"_s;
}

QString mebibytes(qint64 bytes)
{
    return QString::number(double(bytes) / double(1 << 20), 'f', 1);
}

} // namespace

std::vector<MailAttachment> MailMessage::attachments() const
{
    std::vector<MailAttachment> list;
    for (const AttachmentPlace &place : attachmentPlaces(m_message.get()))
        list.push_back({attachmentName(place.object), contentTypeOf(place.object),
                        decodedContent(place.object).size()});
    return list;
}

Result<QByteArray> MailMessage::attachmentContent(int index) const
{
    const std::vector<AttachmentPlace> places = attachmentPlaces(m_message.get());
    if (index < 0 || std::size_t(index) >= places.size())
        return Result<QByteArray>::failure(u"The letter has no attachment %1."_s.arg(index + 1));
    return decodedContent(places[std::size_t(index)].object);
}

Status MailMessage::addAttachment(const QString &path)
{
    const QFileInfo info(path);
    const QString shown = info.fileName();
    if (!info.exists())
        return Status::failure(u"\"%1\" cannot be attached: there is no such file."_s.arg(path));
    // A folder, a device or a pipe: reading one could block or never end.
    if (!info.isFile())
        return Status::failure(u"\"%1\" cannot be attached: it is not a file."_s.arg(path));
    qint64 held = 0;
    for (const MailAttachment &attachment : attachments())
        held += attachment.size;
    const qint64 room = std::max<qint64>(0, MaxAttachmentBytes - held);
    const auto tooLarge = [&](const QString &size) {
        return Status::failure(
            u"\"%1\" cannot be attached: a letter carries at most %2 MiB of attachments, and "
            "this file holds %3 MiB%4."_s.arg(
                shown, mebibytes(MaxAttachmentBytes), size,
                held > 0 ? u" (%1 MiB attached already)"_s.arg(mebibytes(held)) : QString()));
    };
    if (info.size() > room)
        return tooLarge(mebibytes(info.size()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::failure(u"\"%1\" cannot be attached: %2"_s.arg(path, file.errorString()));
    // Read to the bound only: the file may have grown since it was looked at.
    const QByteArray content = file.read(room + 1);
    if (file.error() != QFileDevice::NoError)
        return Status::failure(u"\"%1\" cannot be attached: %2"_s.arg(path, file.errorString()));
    if (content.size() > room)
        return tooLarge(u"more than %1"_s.arg(mebibytes(room)));
    return addAttachment(shown, content);
}

Status MailMessage::addAttachment(const QString &fileName, const QByteArray &content)
{
    changed();
    const QString name = cleanFileName(fileName);
    const QByteArray type = guessedType(name, content).toUtf8();
    const qsizetype slash = type.indexOf('/');
    GMimePart *part =
        g_mime_part_new_with_type(type.left(slash).constData(), type.mid(slash + 1).constData());
    g_mime_object_set_disposition(GMIME_OBJECT(part), GMIME_DISPOSITION_ATTACHMENT);
    g_mime_part_set_filename(part, name.toUtf8().constData());
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(content.constData(), content.size());
    GMimeDataWrapper *wrapper =
        g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
    g_object_unref(stream);
    g_mime_part_set_content(part, wrapper);
    g_object_unref(wrapper);
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);

    GMimeMessage *message = m_message.get();
    GMimeObject *root = g_mime_message_get_mime_part(message);
    if (root && GMIME_IS_MULTIPART(root) && isType(root, "multipart", "mixed")) {
        g_mime_multipart_add(GMIME_MULTIPART(root), GMIME_OBJECT(part));
    } else {
        GMimeMultipart *mixed = g_mime_multipart_new_with_subtype("mixed");
        if (root)
            g_mime_multipart_add(mixed, root);
        g_mime_multipart_add(mixed, GMIME_OBJECT(part));
        g_mime_message_set_mime_part(message, GMIME_OBJECT(mixed));
        g_object_unref(mixed);
    }
    g_object_unref(part);
    return {};
}

Status MailMessage::removeAttachment(int index)
{
    const std::vector<AttachmentPlace> places = attachmentPlaces(m_message.get());
    if (index < 0 || std::size_t(index) >= places.size())
        return Status::failure(u"The letter has no attachment %1."_s.arg(index + 1));
    changed();
    GMimeMessage *message = m_message.get();
    const AttachmentPlace &place = places[std::size_t(index)];
    if (!place.parent) {
        // The whole letter was the file: an empty text is what is left.
        GMimeTextPart *text = g_mime_text_part_new_with_subtype("plain");
        g_mime_text_part_set_text(text, "");
        encodeText(text);
        g_mime_message_set_mime_part(message, GMIME_OBJECT(text));
        g_object_unref(text);
        return {};
    }
    if (GMimeObject *removed =
            g_mime_multipart_remove_at(place.parent->multipart, place.parent->index))
        g_object_unref(removed);
    // A mixed part left holding the text alone gives way to it, as before anything was added.
    GMimeObject *root = g_mime_message_get_mime_part(message);
    if (root && GMIME_IS_MULTIPART(root) && isType(root, "multipart", "mixed") &&
        g_mime_multipart_get_count(GMIME_MULTIPART(root)) == 1) {
        GMimeObject *only = g_mime_multipart_get_part(GMIME_MULTIPART(root), 0);
        if (!isAttachment(only)) {
            g_object_ref(only);
            g_mime_message_set_mime_part(message, only);
            g_object_unref(only);
        }
    }
    return {};
}

QString MailMessage::recipients(Recipients which) const
{
    Result<MailAddressList> list = addresses(which);
    if (list.ok())
        return list->display();
    InternetAddressList *raw = g_mime_message_get_addresses(m_message.get(), addressType(which));
    char *text = internet_address_list_to_string(raw, nullptr, FALSE);
    QString shown = QString::fromUtf8(text ? text : "");
    g_free(text);
    return shown;
}

Status MailMessage::setRecipients(Recipients which, const QString &addresses)
{
    changed();
    Result<MailAddressList> parsed = MailAddressList::parse(addresses);
    if (!parsed.ok())
        return Status::failure(parsed.error());
    const GMimeAddressType type = addressType(which);
    InternetAddressList *list = g_mime_message_get_addresses(m_message.get(), type);
    internet_address_list_clear(list);
    parsed->appendTo(list);
    if (parsed->isEmpty())
        g_mime_object_remove_header(GMIME_OBJECT(m_message.get()), corvel::headerName(type));
    return {};
}

namespace {

Result<MailAddressList> listOf(GMimeMessage *message, GMimeAddressType type)
{
    InternetAddressList *list = g_mime_message_get_addresses(message, type);
    if (!list || internet_address_list_length(list) == 0)
        return MailAddressList();
    // Encoded again and read back by the one strict reader all addresses go through.
    char *text = internet_address_list_to_string(list, nullptr, TRUE);
    Result<MailAddressList> parsed = MailAddressList::parseHeader(QByteArray(text ? text : ""));
    g_free(text);
    if (!parsed.ok())
        return Result<MailAddressList>::failure(
            u"%1: %2"_s.arg(QString::fromLatin1(headerName(type)), parsed.error()));
    return parsed;
}

} // namespace

Result<MailAddressList> MailMessage::addresses(Recipients which) const
{
    return listOf(m_message.get(), addressType(which));
}

Result<MailAddressList> MailMessage::from() const
{
    return listOf(m_message.get(), GMIME_ADDRESS_TYPE_FROM);
}

Status MailMessage::setFrom(const QString &sender)
{
    changed();
    Result<MailAddressList> parsed = MailAddressList::parse(sender);
    if (!parsed.ok())
        return Status::failure(parsed.error());
    if (parsed->addresses().size() != 1)
        return Status::failure(u"The sender must be one address, not \"%1\"."_s.arg(sender));
    InternetAddressList *list =
        g_mime_message_get_addresses(m_message.get(), GMIME_ADDRESS_TYPE_FROM);
    internet_address_list_clear(list);
    parsed->appendTo(list);
    return {};
}

Result<MailAddressList> MailMessage::replyTo() const
{
    return listOf(m_message.get(), GMIME_ADDRESS_TYPE_REPLY_TO);
}

Status MailMessage::setReplyTo(const QString &addresses)
{
    changed();
    Result<MailAddressList> parsed = MailAddressList::parse(addresses);
    if (!parsed.ok())
        return Status::failure(parsed.error());
    InternetAddressList *list =
        g_mime_message_get_addresses(m_message.get(), GMIME_ADDRESS_TYPE_REPLY_TO);
    internet_address_list_clear(list);
    parsed->appendTo(list);
    if (parsed->isEmpty())
        g_mime_object_remove_header(GMIME_OBJECT(m_message.get()), "Reply-To");
    return {};
}

Status MailMessage::setHeader(const QString &name, const QString &value)
{
    changed();
    if (Status safe = MailAddressList::checkHeaderText(value, name); !safe.ok())
        return safe;
    const QByteArray key = name.toLatin1();
    GMimeObject *object = GMIME_OBJECT(m_message.get());
    if (value.isEmpty()) {
        g_mime_object_remove_header(object, key.constData());
        return {};
    }
    g_mime_object_set_header(object, key.constData(), value.toUtf8().constData(), "utf-8");
    return {};
}

QString MailMessage::header(const QString &name) const
{
    const char *value =
        g_mime_object_get_header(GMIME_OBJECT(m_message.get()), name.toLatin1().constData());
    return QString::fromUtf8(value ? value : "");
}

void MailMessage::stampForSending(const QDateTime &now, const QString &domain)
{
    changed();
    char *id = g_mime_utils_generate_message_id(domain.toUtf8().constData());
    g_mime_message_set_message_id(m_message.get(), id);
    g_free(id);
    GDateTime *date = g_date_time_new_from_unix_local(now.toSecsSinceEpoch());
    g_mime_message_set_date(m_message.get(), date);
    g_date_time_unref(date);
    // A message for CC or BCC readers only says so in an empty group, as mail programs do,
    // rather than going out without a To header.
    InternetAddressList *to = g_mime_message_get_addresses(m_message.get(), GMIME_ADDRESS_TYPE_TO);
    if (internet_address_list_length(to) == 0) {
        InternetAddress *undisclosed = internet_address_group_new("undisclosed-recipients");
        internet_address_list_add(to, undisclosed);
        g_object_unref(undisclosed);
    }
}

QString MailMessage::messageId() const
{
    const char *id = g_mime_message_get_message_id(m_message.get());
    return QString::fromUtf8(id ? id : "");
}

namespace {

Status checkHeaderList(GMimeObject *root)
{
    return eachHeader(root, [](GMimeHeader *header) {
        const char *raw = g_mime_header_get_raw_value(header);
        const QByteArray value(raw ? raw : "");
        return MailAddressList::checkRawHeaderValue(value, nameOf(header));
    });
}

} // namespace

Status MailMessage::checkHeaders() const
{
    // The bounds first: what lies beyond them is not worth reading further.
    if (Status bounded = checkBounds(GMIME_OBJECT(m_message.get())); !bounded.ok())
        return bounded;
    if (Status safe = MailAddressList::checkHeaderText(subject(), u"subject"_s); !safe.ok())
        return safe;
    if (Status safe = checkHeaderList(GMIME_OBJECT(m_message.get())); !safe.ok())
        return safe;
    for (const GMimeAddressType type :
         {GMIME_ADDRESS_TYPE_SENDER, GMIME_ADDRESS_TYPE_FROM, GMIME_ADDRESS_TYPE_REPLY_TO,
          GMIME_ADDRESS_TYPE_TO, GMIME_ADDRESS_TYPE_CC, GMIME_ADDRESS_TYPE_BCC}) {
        if (Result<MailAddressList> list = listOf(m_message.get(), type); !list.ok())
            return Status::failure(list.error());
    }
    return {};
}

namespace {

QByteArray written(GMimeObject *object, GMimeFormatOptions *options, bool &ok)
{
    GMimeStream *stream = g_mime_stream_mem_new();
    ok = g_mime_object_write_to_stream(object, options, stream) >= 0;
    GByteArray *array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    QByteArray out(reinterpret_cast<const char *>(array->data), qsizetype(array->len));
    g_object_unref(stream);
    return out;
}

// The message as it stands, read back into objects of its own: the encoding passes change the
// parts they touch, and writing a message out must leave it as it was.
GObjectRef<GMimeMessage> workingCopy(GMimeMessage *message)
{
    bool ok = false;
    const QByteArray raw = written(GMIME_OBJECT(message), nullptr, ok);
    if (!ok)
        return {};
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(raw.constData(), raw.size());
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    g_object_unref(stream);
    GObjectRef<GMimeMessage> copy(g_mime_parser_construct_message(parser, nullptr));
    g_object_unref(parser);
    return copy;
}

} // namespace

Result<QByteArray> MailMessage::serialize(bool hideBcc) const
{
    // Every header checked before the MIME library encodes any of them.
    if (Status bounded = checkBounds(GMIME_OBJECT(m_message.get())); !bounded.ok())
        return Result<QByteArray>::failure(bounded.error());
    // 7-bit everywhere: a file may be handed to any server, and the envelope cannot announce
    // 8BITMIME; parts already quoted-printable or base64 are left as they are. The passes
    // change what they touch, so they work on the encoded copy, made only when needed.
    const auto encodedCopy = [this]() -> Result<GMimeObject *> {
        if (!m_encoded) {
            GObjectRef<GMimeMessage> work = workingCopy(m_message.get());
            if (!work)
                return Result<GMimeObject *>::failure(u"The message cannot be written out."_s);
            encodeSevenBit(GMIME_OBJECT(work.get()));
            if (Status encoded = encodeEightBitHeaders(GMIME_OBJECT(work.get())); !encoded.ok())
                return Result<GMimeObject *>::failure(encoded.error());
            m_encoded.reset(work.release());
        }
        return GMIME_OBJECT(m_encoded.get());
    };
    GMimeObject *object = GMIME_OBJECT(m_message.get());
    if (m_encoded || needsEncoding(object)) {
        Result<GMimeObject *> encoded = encodedCopy();
        if (!encoded.ok())
            return Result<QByteArray>::failure(encoded.error());
        object = *encoded;
    }
    GMimeFormatOptions *options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_UNIX);
    if (hideBcc) {
        g_mime_format_options_add_hidden_header(options, "Bcc");
        g_mime_format_options_add_hidden_header(options, "Resent-Bcc");
    }
    bool ok = false;
    QByteArray bytes = written(object, options, ok);
    if (ok && anyEightBit(bytes)) {
        Result<GMimeObject *> encoded = encodedCopy();
        if (!encoded.ok()) {
            g_mime_format_options_free(options);
            return Result<QByteArray>::failure(encoded.error());
        }
        object = *encoded;
        reencodeParts(object);
        encodeSevenBit(object);
        bytes = written(object, options, ok);
    }
    g_mime_format_options_free(options);
    if (!ok)
        return Result<QByteArray>::failure(u"The message cannot be written out."_s);
    if (anyEightBit(bytes))
        return Result<QByteArray>::failure(u"The message cannot be made 7-bit."_s);
    if (!bytes.contains("\n\n"))
        return Result<QByteArray>::failure(u"The message has no end to its headers."_s);
    if (Status lines = checkLines(bytes); !lines.ok())
        return Result<QByteArray>::failure(lines.error());
    // A lone CR in the header block would become a line break on the wire.
    qsizetype headerEnd = bytes.indexOf("\n\n");
    if (headerEnd < 0)
        headerEnd = bytes.size();
    for (qsizetype i = 0; i < headerEnd; ++i) {
        if (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'))
            return Result<QByteArray>::failure(u"A header holds a bare carriage return."_s);
    }
    return bytes;
}

Result<QByteArray> MailMessage::fileBytes() const
{
    return serialize(false);
}

Result<QByteArray> MailMessage::wireBytes() const
{
    Result<QByteArray> bytes = serialize(true);
    if (!bytes.ok())
        return bytes;
    return toCrlf(*bytes);
}

Result<QByteArray> MailMessage::localBytes() const
{
    Result<QByteArray> bytes = serialize(true);
    if (!bytes.ok())
        return bytes;
    QByteArray lf = *bytes;
    lf.replace("\r\n", "\n");
    return lf;
}

} // namespace corvel
