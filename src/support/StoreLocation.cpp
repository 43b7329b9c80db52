#include "support/StoreLocation.h"

using namespace Qt::StringLiterals;

namespace corvel {

bool IsRemoteLocation(const QString &location)
{
    for (const QString &scheme : {u"http://"_s, u"https://"_s, u"ldap://"_s, u"ldaps://"_s})
        if (location.startsWith(scheme, Qt::CaseInsensitive))
            return true;
    return false;
}

QString StoreCacheRoot(const QString &cacheHome)
{
    return cacheHome + u"/Tessary/Corvel"_s;
}

QString StoreCacheFolder(const QString &cacheHome, const QString &storeName)
{
    // A slash would reach into another folder, a leading dot hide it among our temporaries.
    QString encoded;
    for (qsizetype i = 0; i < storeName.size(); ++i) {
        const QChar c = storeName[i];
        if (c == u'/' || c == u'%' || c.unicode() < 0x20 || (i == 0 && c == u'.'))
            encoded += u'%' + QString::number(c.unicode(), 16).rightJustified(2, u'0').toUpper();
        else
            encoded += c;
    }
    return StoreCacheRoot(cacheHome) + u'/' + encoded;
}

} // namespace corvel
