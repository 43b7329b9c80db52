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
    if (!contentType && name.compare(u"Content-Disposition"_s, Qt::CaseInsensitive) != 0)
        return {};
    // The parameters as the encoder will see them: read from the decoded value.
    const char *value = g_mime_header_get_value(header);
    if (contentType) {
        GMimeContentType *type = g_mime_content_type_parse(nullptr, value ? value : "");
        Status status = checkParameters(g_mime_content_type_get_parameters(type), name);
        g_object_unref(type);
        return status;
    }
    GMimeContentDisposition *disposition =
        g_mime_content_disposition_parse(nullptr, value ? value : "");
    Status status = checkParameters(g_mime_content_disposition_get_parameters(disposition), name);
    g_object_unref(disposition);
    return status;
}

} // namespace corvel
