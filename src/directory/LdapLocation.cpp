#include "directory/LdapLocation.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// "%XX" sequences undone; the bytes they give are UTF-8.
Result<QString> percentDecoded(QStringView part, const QString &what)
{
    QByteArray bytes;
    qsizetype i = 0;
    while (i < part.size()) {
        const qsizetype percent = part.indexOf(u'%', i);
        const qsizetype end = percent < 0 ? part.size() : percent;
        bytes.append(part.mid(i, end - i).toUtf8());
        if (percent < 0)
            break;
        const int high = percent + 2 < part.size() ? hexDigit(part[percent + 1].unicode()) : -1;
        const int low = percent + 2 < part.size() ? hexDigit(part[percent + 2].unicode()) : -1;
        if (high < 0 || low < 0)
            return Result<QString>::failure(u"a broken %-escape in the %1"_s.arg(what));
        bytes.append(char(high * 16 + low));
        i = percent + 3;
    }
    QString text = QString::fromUtf8(bytes);
    if (text.contains(QChar::ReplacementCharacter) || text.contains(QChar(0)))
        return Result<QString>::failure(u"the %1 is not valid UTF-8 text"_s.arg(what));
    return text;
}

Result<LdapLocation::Scope> parsedScope(const QString &scope)
{
    if (scope.isEmpty() || scope.compare(u"sub"_s, Qt::CaseInsensitive) == 0)
        return LdapLocation::Scope::Subtree;
    if (scope.compare(u"one"_s, Qt::CaseInsensitive) == 0)
        return LdapLocation::Scope::OneLevel;
    if (scope.compare(u"base"_s, Qt::CaseInsensitive) == 0)
        return LdapLocation::Scope::Base;
    return Result<LdapLocation::Scope>::failure(
        u"unknown scope \"%1\" (base, one or sub)"_s.arg(scope));
}

// HOST[:PORT], the host possibly a bracketed IPv6 address.
Status parseHostPort(QStringView hostPort, LdapLocation &location)
{
    QStringView portText;
    if (hostPort.startsWith(u'[')) {
        const qsizetype close = hostPort.indexOf(u']');
        if (close < 0)
            return Status::failure(u"an IPv6 address without its closing ]"_s);
        location.host = hostPort.mid(1, close - 1).toString();
        const QStringView rest = hostPort.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return Status::failure(u"unexpected text after the IPv6 address"_s);
        portText = rest.mid(1);
    } else {
        const qsizetype colon = hostPort.indexOf(u':');
        location.host = hostPort.left(colon).toString();
        if (colon >= 0)
            portText = hostPort.mid(colon + 1);
    }
    if (location.host.isEmpty())
        return Status::failure(u"no server named"_s);
    // The client library takes a list of servers separated by spaces: one name, plainly.
    for (const QChar c : std::as_const(location.host)) {
        if (c.isSpace() || c.category() == QChar::Other_Control || c == u'%' || c == u'@')
            return Status::failure(
                u"the server name \"%1\" holds a space or %, @"_s.arg(location.host));
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        location.port = portText.toInt(&ok);
        if (!ok || location.port < 1 || location.port > 65535 || !portText[0].isDigit())
            return Status::failure(
                u"the port \"%1\" is not a number from 1 to 65535"_s.arg(portText.toString()));
    }
    return {};
}

// Extensions are "[!]type[=value]"; a critical one ("!") not understood must stop the client.
Status checkExtensions(const QString &extensions)
{
    for (const QString &extension : extensions.split(u',', Qt::SkipEmptyParts)) {
        if (extension.startsWith(u'!'))
            return Status::failure(
                u"the critical extension \"%1\" is not supported"_s.arg(extension.mid(1)));
    }
    return {};
}

Result<LdapLocation> fail(const QString &url, const QString &reason)
{
    return Result<LdapLocation>::failure(u"not an LDAP URL: %1 (%2)"_s.arg(reason, url));
}

} // namespace

Result<LdapLocation> LdapLocation::parse(const QString &url)
{
    LdapLocation location;
    QStringView rest(url);
    if (rest.startsWith(u"ldaps://"_s, Qt::CaseInsensitive)) {
        location.tls = true;
        location.port = 636;
        rest = rest.mid(8);
    } else if (rest.startsWith(u"ldap://"_s, Qt::CaseInsensitive)) {
        rest = rest.mid(7);
    } else {
        return fail(url, u"it must begin with ldap:// or ldaps://"_s);
    }
    const qsizetype slash = rest.indexOf(u'/');
    if (Status s = parseHostPort(rest.left(slash), location); !s)
        return fail(url, s.error());
    const QStringList parts =
        slash < 0 ? QStringList() : rest.mid(slash + 1).toString().split(u'?');
    if (parts.size() > 5)
        return fail(url, u"too many ? separators"_s);
    const QStringList names{u"base DN"_s, u"attributes"_s, u"scope"_s, u"filter"_s,
                            u"extensions"_s};
    QStringList decoded;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        Result<QString> part = percentDecoded(parts[i], names[i]);
        if (!part)
            return fail(url, part.error());
        decoded.append(*part);
    }
    location.baseDn = decoded.value(0);
    Result<Scope> scope = parsedScope(decoded.value(2));
    if (!scope)
        return fail(url, scope.error());
    location.scope = *scope;
    location.filter = decoded.value(3).trimmed();
    if (location.filter.isEmpty())
        location.filter = u"(objectClass=*)"_s;
    else if (!location.filter.startsWith(u'('))
        location.filter = u'(' + location.filter + u')';
    if (Status s = checkExtensions(decoded.value(4)); !s)
        return fail(url, s.error());
    return location;
}

QString LdapLocation::serverUri() const
{
    const QString name = host.contains(u':') ? u'[' + host + u']' : host;
    return u"%1://%2:%3"_s.arg(tls ? u"ldaps"_s : u"ldap"_s, name).arg(port);
}

QString LdapLocation::searchFilter() const
{
    return u"(&%1(mail=*))"_s.arg(filter);
}

} // namespace corvel
