#include "merge/ListUnsubscribe.h"

#include <QRegularExpression>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

const QString AddressField = u"<<Address>>"_s;

} // namespace

Result<ListUnsubscribe> ListUnsubscribe::parse(const QString &setting)
{
    static const QRegularExpression separators(u"[\\s,]+"_s);
    ListUnsubscribe made;
    for (QString part : setting.split(separators, Qt::SkipEmptyParts)) {
        if (part.startsWith(u'<')) {
            part.remove(0, 1);
            if (part.endsWith(u'>'))
                part.chop(1);
        }
        const bool mailto = part.startsWith(u"mailto:"_s, Qt::CaseInsensitive);
        const bool https = part.startsWith(u"https://"_s, Qt::CaseInsensitive);
        QString &slot = mailto ? made.m_mailto : made.m_url;
        // A bracket would end the header's entry early.
        const QString bare = QString(part).remove(AddressField);
        if ((!mailto && !https) || !slot.isEmpty() || bare.contains(u'<') || bare.contains(u'>'))
            return Result<ListUnsubscribe>::failure(
                u"The unsubscribe address \"%1\" (settings section \"Transport\", key "
                "\"ListUnsubscribe\") is not one mailto: address and one https: URL."_s.arg(
                    setting));
        slot = part;
    }
    return made;
}

ListUnsubscribe::Headers ListUnsubscribe::headersFor(const QString &memberAddress) const
{
    QStringList entries;
    if (!m_mailto.isEmpty())
        entries << u'<' + m_mailto + u'>';
    QString url = m_url;
    if (url.contains(AddressField)) {
        if (memberAddress.isEmpty())
            url.clear();
        else
            url.replace(AddressField, QString::fromLatin1(QUrl::toPercentEncoding(memberAddress)));
    }
    if (!url.isEmpty())
        entries << u'<' + url + u'>';
    Headers headers;
    if (!entries.isEmpty())
        headers.emplace_back(u"List-Unsubscribe"_s, entries.join(u", "_s));
    if (!url.isEmpty())
        headers.emplace_back(u"List-Unsubscribe-Post"_s, u"List-Unsubscribe=One-Click"_s);
    return headers;
}

} // namespace corvel
