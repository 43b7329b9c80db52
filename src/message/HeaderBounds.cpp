#include "message/HeaderBounds.h"

#include <gmime/gmime.h>

#include <cstring>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString nameOf(GMimeHeader *header)
{
    const char *name = g_mime_header_get_name(header);
    return QString::fromUtf8(name ? name : "");
}

// An RFC 2045 token: printable ASCII without blanks and "()<>@,;:\"/[]?=".
bool isToken(const char *text)
{
    if (!text || !*text)
        return false;
    for (const char *p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c <= 0x20 || c >= 0x7f || std::strchr("()<>@,;:\\\"/[]?=", c))
            return false;
    }
    return true;
}

Status checkParameters(GMimeParamList *params, const QString &what)
{
    const int count = params ? g_mime_param_list_length(params) : 0;
    if (count > HeaderBounds::MaxParameters)
        return Status::failure(u"The %1 header has more than %2 parameters."_s.arg(what).arg(
            HeaderBounds::MaxParameters));
    for (int i = 0; i < count; ++i) {
        GMimeParam *param = g_mime_param_list_get_parameter_at(params, i);
        const char *name = g_mime_param_get_name(param);
        if (!isToken(name))
            return Status::failure(
                u"The %1 header has a parameter whose name is not plain text."_s.arg(what));
        if (qsizetype(std::strlen(name)) > HeaderBounds::MaxParameterNameOctets)
            return Status::failure(
                u"The %1 header has a parameter name longer than %2 octets."_s.arg(what).arg(
                    HeaderBounds::MaxParameterNameOctets));
        const char *value = g_mime_param_get_value(param);
        if (value && qsizetype(std::strlen(value)) > HeaderBounds::MaxParameterValueOctets)
            return Status::failure(
                u"The %1 header has a parameter value longer than %2 octets."_s.arg(what).arg(
                    HeaderBounds::MaxParameterValueOctets));
    }
    return {};
}

// The raw value the library keeps: the text after the colon up to and including the line end
// of the header's last line.
Status checkFolded(const QString &name, const QByteArray &raw)
{
    const auto refused = [&](const QString &why) {
        return Status::failure(u"The %1 header cannot be encoded sanely: %2"_s.arg(name, why));
    };
    if (!raw.endsWith('\n'))
        return refused(u"its encoded form does not end its line."_s);
    qsizetype start = 0;
    while (start < raw.size()) {
        const qsizetype end = raw.indexOf('\n', start);
        const QByteArray line = raw.mid(start, end - start);
        // Every line after the first continues the header: blank-led, and not blank throughout.
        if (start > 0 &&
            (!(line.startsWith(' ') || line.startsWith('\t')) || line.trimmed().isEmpty()))
            return refused(u"its encoded form would end the headers or start another."_s);
        for (const char c : line) {
            if ((c & 0x80) || c == '\r' || c == '\0')
                return refused(u"its encoded form is not 7-bit text."_s);
        }
        start = end + 1;
    }
    return {};
}

} // namespace

Status HeaderBounds::checkSize(GMimeHeader *header)
{
    const char *raw = g_mime_header_get_raw_value(header);
    if (raw && qsizetype(std::strlen(raw)) > MaxHeaderOctets)
        return Status::failure(
            u"The %1 header is longer than %2 octets."_s.arg(nameOf(header)).arg(MaxHeaderOctets));
    return {};
}

Status HeaderBounds::checkEncodable(GMimeHeader *header)
{
    if (Status size = checkSize(header); !size.ok())
        return size;
    const QString name = nameOf(header);
    const bool contentType = name.compare(u"Content-Type"_s, Qt::CaseInsensitive) == 0;
    const bool contentDisposition =
        name.compare(u"Content-Disposition"_s, Qt::CaseInsensitive) == 0;
    // The parameters as the encoder will see them: read from the decoded value.
    const char *value = g_mime_header_get_value(header);
    if (contentType) {
        GMimeContentType *type = g_mime_content_type_parse(nullptr, value ? value : "");
        Status status = checkParameters(g_mime_content_type_get_parameters(type), name);
        g_object_unref(type);
        if (!status.ok())
            return status;
    } else if (contentDisposition) {
        GMimeContentDisposition *disposition =
            g_mime_content_disposition_parse(nullptr, value ? value : "");
        Status status =
            checkParameters(g_mime_content_disposition_get_parameters(disposition), name);
        g_object_unref(disposition);
        if (!status.ok())
            return status;
    }
    // Encoded as it will be, but on a scratch list: the header itself is left as it is.
    GMimeHeaderList *scratch = g_mime_header_list_new(nullptr);
    const QByteArray nameBytes = name.toUtf8();
    g_mime_header_list_append(scratch, nameBytes.constData(), value ? value : "", "utf-8");
    Status status = checkEncoded(g_mime_header_list_get_header(scratch, nameBytes.constData()));
    g_object_unref(scratch);
    return status;
}

Status HeaderBounds::checkEncoded(GMimeHeader *header)
{
    const char *raw = header ? g_mime_header_get_raw_value(header) : nullptr;
    return checkFolded(header ? nameOf(header) : QString(), QByteArray(raw ? raw : ""));
}

} // namespace corvel
