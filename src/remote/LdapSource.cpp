#include "remote/LdapSource.h"

#include "directory/LdapDirectory.h"

#include <QCryptographicHash>

using namespace Qt::StringLiterals;

namespace corvel {

LdapSource::LdapSource(LdapConnectOptions options)
    : m_options(std::move(options))
{
}

Result<std::vector<RemoteFolder>> LdapSource::folders()
{
    return std::vector<RemoteFolder>{{u"directory"_s, u"Directory"_s, {}, {}}};
}

Result<RemoteFolder> LdapSource::update(const RemoteFolder &folder, const RemoteFolder &)
{
    Result<std::vector<DirectoryCard>> read = LdapDirectory::fetchAll(m_options);
    if (!read.ok())
        return Result<RemoteFolder>::failure(read.error());
    RemoteFolder now = folder;
    now.cards.reserve(read->size());
    for (DirectoryCard &card : *read) {
        const QByteArray etag =
            QCryptographicHash::hash(card.vcard, QCryptographicHash::Sha1).toHex();
        now.cards.push_back(
            {card.uid + u".vcf"_s, QString::fromLatin1(etag), std::move(card.vcard)});
    }
    return now;
}

} // namespace corvel
