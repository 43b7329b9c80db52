#include "delivery/PreparedMessage.h"

#include "message/MailMessage.h"

#include <QFile>
#include <QSet>

using namespace Qt::StringLiterals;

namespace corvel {

PreparedMessage PreparedMessage::read(const QString &path, MailTransport::LineEnds lineEnds,
                                      const QString &sender)
{
    PreparedMessage prepared;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        prepared.problem = u"The message cannot be read: %1"_s.arg(file.errorString());
        return prepared;
    }
    Result<MailMessage> parsed = MailMessage::parse(file.readAll());
    if (!parsed.ok()) {
        prepared.problem = parsed.error();
        return prepared;
    }
    MailMessage &message = *parsed;
    prepared.subject = message.subject();
    if (Status safe = message.checkHeaders(); !safe.ok()) {
        prepared.problem = safe.error();
        return prepared;
    }
    Result<MailAddressList> from = message.from();
    if (from.ok() && from->isEmpty()) {
        if (Status set = message.setFrom(sender); !set.ok()) {
            prepared.problem = u"The message has no sender, and the configured one cannot be "
                               "used: %1"_s.arg(set.error());
            return prepared;
        }
        from = message.from();
    }
    if (!from.ok() || from->isEmpty()) {
        prepared.problem = u"The message has no sender."_s;
        return prepared;
    }
    prepared.envelope.from = from->addresses().front().address;
    QSet<QString> seen;
    for (const auto which :
         {MailMessage::Recipients::To, MailMessage::Recipients::Cc, MailMessage::Recipients::Bcc}) {
        Result<MailAddressList> list = message.addresses(which);
        if (!list.ok()) {
            prepared.problem = list.error();
            return prepared;
        }
        for (const MailAddress &address : list->addresses()) {
            if (!seen.contains(address.address.toLower())) {
                seen.insert(address.address.toLower());
                prepared.envelope.recipients.push_back(address.address);
            }
        }
    }
    if (prepared.envelope.recipients.empty()) {
        prepared.problem = u"The message has no recipient."_s;
        return prepared;
    }
    Result<QByteArray> bytes =
        lineEnds == MailTransport::LineEnds::Crlf ? message.wireBytes() : message.localBytes();
    if (!bytes.ok()) {
        prepared.problem = bytes.error();
        return prepared;
    }
    prepared.bytes = std::move(*bytes);
    return prepared;
}

} // namespace corvel
