#include "remote/MultistatusReader.h"

#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

const auto DavNs = u"DAV:"_s;
const auto CardDavNs = u"urn:ietf:params:xml:ns:carddav"_s;

class Reader
{
public:
    explicit Reader(const QByteArray &xml)
        : m_xml(xml)
    {
    }

    Result<Multistatus> read()
    {
        if (!m_xml.readNextStartElement() || !isDav(u"multistatus"))
            return failure(u"it is no WebDAV multistatus"_s);
        Multistatus status;
        while (m_failure.isEmpty() && m_xml.readNextStartElement()) {
            if (isDav(u"response"))
                readResponse(status);
            else if (isDav(u"sync-token"))
                status.syncToken = text(MaxText);
            else
                m_xml.skipCurrentElement();
        }
        if (m_failure.isEmpty() && m_xml.hasError())
            return failure(u"%1 (line %2)"_s.arg(m_xml.errorString()).arg(m_xml.lineNumber()));
        if (!m_failure.isEmpty())
            return failure(m_failure);
        return status;
    }

private:
    static constexpr qsizetype MaxText = MultistatusReader::MaxTextChars;

    Result<Multistatus> failure(const QString &why) const
    {
        return Result<Multistatus>::failure(u"The server's answer is not understood: "_s + why);
    }

    bool isDav(QStringView name) const
    {
        return m_xml.namespaceUri() == DavNs && m_xml.name() == name;
    }
    bool isCardDav(QStringView name) const
    {
        return m_xml.namespaceUri() == CardDavNs && m_xml.name() == name;
    }

    // The element's text, read to its end; over `limit` characters is a failure.
    QString text(qsizetype limit)
    {
        const QString name = m_xml.name().toString();
        QString value = m_xml.readElementText(QXmlStreamReader::SkipChildElements);
        if (value.size() > limit && m_failure.isEmpty())
            m_failure = u"a %1 of more than %2 characters"_s.arg(name).arg(limit);
        return value.trimmed();
    }

    // The text of the first <href> inside the current element.
    QString innerHref()
    {
        QString href;
        while (m_xml.readNextStartElement()) {
            if (isDav(u"href") && href.isEmpty())
                href = text(MaxText);
            else
                m_xml.skipCurrentElement();
        }
        return href;
    }

    static int statusCode(const QString &line)
    {
        const QStringList parts = line.split(u' ', Qt::SkipEmptyParts);
        return parts.size() >= 2 ? parts[1].toInt() : 0;
    }

    void readResponse(Multistatus &status)
    {
        if (qsizetype(status.resources.size()) >= MultistatusReader::MaxResources) {
            m_failure = u"more than %1 resources"_s.arg(MultistatusReader::MaxResources);
            return;
        }
        DavResource resource;
        while (m_failure.isEmpty() && m_xml.readNextStartElement()) {
            if (isDav(u"href"))
                resource.href = text(MaxText);
            else if (isDav(u"status"))
                resource.status = statusCode(text(MaxText));
            else if (isDav(u"propstat"))
                readPropstat(resource);
            else
                m_xml.skipCurrentElement();
        }
        if (m_failure.isEmpty() && resource.href.isEmpty())
            m_failure = u"a response without href"_s;
        status.resources.push_back(std::move(resource));
    }

    void readPropstat(DavResource &resource)
    {
        DavResource found;
        int code = 200;
        while (m_failure.isEmpty() && m_xml.readNextStartElement()) {
            if (isDav(u"prop"))
                readProps(found);
            else if (isDav(u"status"))
                code = statusCode(text(MaxText));
            else
                m_xml.skipCurrentElement();
        }
        if (code < 200 || code > 299)
            return;
        const auto take = [](QString &to, QString &from) {
            if (!from.isEmpty())
                to = std::move(from);
        };
        take(resource.etag, found.etag);
        take(resource.displayName, found.displayName);
        take(resource.syncToken, found.syncToken);
        take(resource.principal, found.principal);
        take(resource.addressBookHome, found.addressBookHome);
        resource.isAddressBook |= found.isAddressBook;
        resource.offersSyncCollection |= found.offersSyncCollection;
        if (found.hasAddressData) {
            resource.hasAddressData = true;
            resource.addressData = std::move(found.addressData);
        }
    }

    void readProps(DavResource &found)
    {
        while (m_failure.isEmpty() && m_xml.readNextStartElement()) {
            if (isDav(u"getetag"))
                found.etag = text(MaxText);
            else if (isDav(u"displayname"))
                found.displayName = text(MaxText);
            else if (isDav(u"sync-token"))
                found.syncToken = text(MaxText);
            else if (isDav(u"current-user-principal"))
                found.principal = innerHref();
            else if (isCardDav(u"addressbook-home-set"))
                found.addressBookHome = innerHref();
            else if (isDav(u"resourcetype"))
                found.isAddressBook = holds(u"addressbook", CardDavNs);
            else if (isDav(u"supported-report-set"))
                found.offersSyncCollection = holds(u"sync-collection", DavNs);
            else if (isCardDav(u"address-data"))
                readAddressData(found);
            else
                m_xml.skipCurrentElement();
        }
    }

    // Whether an element of that name appears anywhere inside the current one.
    bool holds(QStringView name, const QString &ns)
    {
        bool seen = false;
        for (int depth = 1; depth > 0 && !m_xml.atEnd();) {
            const auto token = m_xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                ++depth;
                seen |= m_xml.name() == name && m_xml.namespaceUri() == ns;
            } else if (token == QXmlStreamReader::EndElement) {
                --depth;
            }
        }
        return seen;
    }

    void readAddressData(DavResource &found)
    {
        const QString card = m_xml.readElementText(QXmlStreamReader::SkipChildElements);
        found.addressData = card.toUtf8();
        found.hasAddressData = true;
        if (found.addressData.size() > MultistatusReader::MaxCardBytes)
            m_failure = u"a card larger than %1 KiB"_s.arg(MultistatusReader::MaxCardBytes / 1024);
    }

    QXmlStreamReader m_xml;
    QString m_failure;
};

} // namespace

Result<Multistatus> MultistatusReader::read(const QByteArray &xml)
{
    return Reader(xml).read();
}

} // namespace corvel
