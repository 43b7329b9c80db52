#include "directory/LdapDirectory.h"
#include "common/NamedCases.h"
#include "common/SlapdServer.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

constexpr int People = 1200; // more than the 500 slapd gives a client that does not page

const QByteArray Staff = "dn: ou=staff,dc=example,dc=org\nobjectClass: organizationalUnit\n"
                         "ou: staff\n\ndn: uid=boss,ou=staff,dc=example,dc=org\nobjectClass: "
                         "inetOrgPerson\nuid: boss\ncn: Boss\nsn: Boss\nmail: b@example.org\n"
                         "title: Boss\n\ndn: uid=nomail,ou=staff,dc=example,dc=org\nobjectClass: "
                         "inetOrgPerson\nuid: nomail\ncn: No Mail\nsn: Mail\n";

struct Row
{
    const char *name;
    QString url;        // {P}: the server in clear; {T}, {S}: the one with TLS (StartTLS, ldaps)
    QString expect;     // the number of cards, or the reason given
    QString password{}; // binds as the admin when set
    std::size_t maxEntries = 1'000'000;
};
CORVEL_PRINT_BY_NAME(Row)

// Each server starts when a row first needs it: ctest runs every row in a process of its own.
test::SlapdServer &plain()
{
    static test::SlapdServer server(test::SlapdServer::people(People) + '\n' + Staff);
    return server;
}

test::SlapdServer &tls()
{
    static test::SlapdServer server(test::SlapdServer::people(3), true);
    return server;
}

// A port that accepts connections and never answers.
int silentPort()
{
    static const int port = [] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr *>(&address), size);
        ::listen(fd, 4);
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
        return int(ntohs(address.sin_port));
    }();
    return port;
}

class LdapDirectoryFetch : public ::testing::TestWithParam<Row>
{
};

TEST_P(LdapDirectoryFetch, GivesEveryCardOrTheReason)
{
    const Row &row = GetParam();
    QString url = row.url;
    const bool clear = url.contains(u"{P}"_s),
               secure = url.contains(u"{T}"_s) || url.contains(u"{S}"_s);
    if (clear)
        url.replace(u"{P}"_s, QString::number(plain().port()));
    if (secure)
        url.replace(u"{T}"_s, QString::number(tls().port()))
            .replace(u"{S}"_s, QString::number(tls().tlsPort()));
    ASSERT_TRUE((!clear || plain().port()) && (!secure || tls().tlsPort()));
    const LdapConnectOptions options{
        .url = url.replace(u"{H}"_s, QString::number(silentPort())),
        .user = row.password.isEmpty() ? QString() : u"cn=admin,dc=example,dc=org"_s,
        .password = row.password,
        .caFile = secure ? tls().caFile() : QString(),
        .timeout = std::chrono::seconds(3),
        .maxEntries = row.maxEntries};
    const auto cards = LdapDirectory::fetchAll(options);
    bool isCount = false;
    const int count = row.expect.toInt(&isCount);
    ASSERT_TRUE(isCount ? cards.ok() : cards.error().contains(row.expect))
        << cards.error().toStdString();
    if (!isCount)
        return;
    ASSERT_EQ(cards->size(), size_t(count));
    QSet<QString> uids;
    for (const DirectoryCard &card : *cards)
        uids.insert(card.uid);
    EXPECT_EQ(uids.size(), count) << "each entry its own UID";
    EXPECT_EQ(*LdapDirectory::fetchAll(options), *cards) << "an unchanged directory, same bytes";
}

const QString All = QString::number(People + 1);

// The client library checks "localhost" as the host's own name, not 127.0.0.1 either.
INSTANTIATE_TEST_SUITE_P(
    Slapd, LdapDirectoryFetch,
    ::testing::Values(
        Row{"AnonymousPaged", u"ldap://127.0.0.1:{P}/dc=example,dc=org"_s, All},
        Row{"Bound", u"ldap://127.0.0.1:{P}/dc=example,dc=org"_s, All, u"secret"_s},
        Row{"BindRefused", u"ldap://127.0.0.1:{P}/"_s, u"authentication refused"_s, u"x"_s},
        Row{"OneLevelSkipsNoMail", u"ldap://127.0.0.1:{P}/ou=staff,dc=example,dc=org??one"_s,
            u"1"_s},
        Row{"Filter", u"ldap://127.0.0.1:{P}/dc=example,dc=org??sub?(title=Boss)"_s, u"1"_s},
        Row{"Base", u"ldap://127.0.0.1:{P}/uid=p7,ou=people,dc=example,dc=org??base"_s, u"1"_s},
        Row{"NoSuchBase", u"ldap://127.0.0.1:{P}/ou=none,dc=example,dc=org"_s, u"no entry for"_s},
        Row{"TooMany", u"ldap://127.0.0.1:{P}/dc=example,dc=org"_s, u"more than 1000"_s, {}, 1000},
        Row{"NoServer", u"ldap://127.0.0.1:1/"_s, u"cannot connect"_s},
        Row{"Stall", u"ldap://127.0.0.1:{H}/"_s, u"no answer within 3000 ms"_s},
        Row{"StallTls", u"ldaps://127.0.0.1:{H}/"_s, u"no answer within 3000 ms"_s},
        Row{"StartTls", u"ldap://127.0.0.1:{T}/dc=example,dc=org"_s, u"3"_s},
        Row{"Ldaps", u"ldaps://127.0.0.1:{S}/dc=example,dc=org"_s, u"3"_s},
        Row{"StartTlsWrongName", u"ldap://localhost:{T}/"_s,
            u"not trusted for the name localhost"_s},
        Row{"LdapsWrongName", u"ldaps://localhost:{S}/"_s,
            u"not trusted for the name localhost"_s}),
    test::ByName());

} // namespace
