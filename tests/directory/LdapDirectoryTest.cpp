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

class LdapDirectoryFetch : public ::testing::TestWithParam<Row>
{
protected:
    static inline test::SlapdServer *plain = nullptr, *tls = nullptr;
    static void SetUpTestSuite()
    {
        plain = new test::SlapdServer(test::SlapdServer::people(People) + '\n' + Staff);
        tls = new test::SlapdServer(test::SlapdServer::people(3), true);
    }
    static void TearDownTestSuite() { delete plain, delete tls; }
};

TEST_P(LdapDirectoryFetch, GivesEveryCardOrTheReason)
{
    const Row &row = GetParam();
    ASSERT_TRUE(plain->port() && tls->tlsPort());
    const bool clear = row.url.contains(u"{P}"_s);
    const LdapConnectOptions options{
        .url = QString(row.url)
                   .replace(u"{P}"_s, QString::number(plain->port()))
                   .replace(u"{T}"_s, QString::number(tls->port()))
                   .replace(u"{S}"_s, QString::number(tls->tlsPort())),
        .user = row.password.isEmpty() ? QString() : u"cn=admin,dc=example,dc=org"_s,
        .password = row.password,
        .caFile = clear ? QString() : tls->caFile(),
        .timeout = std::chrono::seconds(10),
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
        Row{"StartTls", u"ldap://127.0.0.1:{T}/dc=example,dc=org"_s, u"3"_s},
        Row{"Ldaps", u"ldaps://127.0.0.1:{S}/dc=example,dc=org"_s, u"3"_s},
        Row{"StartTlsWrongName", u"ldap://localhost:{T}/"_s,
            u"not trusted for the name localhost"_s},
        Row{"LdapsWrongName", u"ldaps://localhost:{S}/"_s,
            u"not trusted for the name localhost"_s}),
    test::ByName());

} // namespace
