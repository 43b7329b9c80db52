#pragma once

#include <QString>

namespace corvel {

// A file a letter carries: its name, its MIME type and its size once decoded.
struct MailAttachment
{
    QString fileName;
    QString contentType; // "type/subtype"
    qint64 size = 0;

    friend bool operator==(const MailAttachment &, const MailAttachment &) = default;
};

} // namespace corvel
