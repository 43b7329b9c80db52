#include "directory/LdapDirectory.h"
#include "common/NamedCases.h"
#include "common/SlapdServer.h"
#include "vcard/VCardReader.h"

#include <gtest/gtest.h>

#include <QSet>

#include <memory>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

constexpr int People = 1200; // more than the 500 slapd gives a client that does not page

const QByteArray Staff = "dn: ou=staff,dc=example,dc=org\nobjectClass: organizationalUnit\n"
                         "ou: staff\n\ndn: uid=boss,ou=staff,dc=example,dc=org\nobjectClass: "
                         "inetOrgPerson\nuid: boss\ncn: Boss\nsn: Boss\nmail: b@example.org\n"
                         "title: Boss\n\ndn: uid=nomail,ou=staff,dc=example,dc=org\nobjectClass: "
                         "inetOrgPerson\nuid: nomail\ncn: No Mail\nsn: Mail\n";

// A test CA and a certificate from it for 127.0.0.1 only. (The client library checks
// "localhost" as the host's own name, which the certificate does not hold either.)
const char *const MakeCertificates =
    "set -e; k='-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes';"
    "openssl req -x509 $k -keyout ca.key -out ca.pem -days 2 -subj /CN=TestCA;"
    "openssl req $k -keyout server.key -out server.csr -subj /CN=127.0.0.1;"
    "echo subjectAltName=IP:127.0.0.1 > san;"
    "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
    "-extfile san -out server.pem";

struct Row
{
    const char *name;
    QString url; // {P}: the server in clear; {T} and {S}: the one with TLS, StartTLS and ldaps
    QString user{};
    QString password{};
    bool trustTestCa = false;
    std::size_t maxEntries = 1'000'000;
    int cards = 0;
    QString error{};
};
CORVEL_PRINT_BY_NAME(Row)

class LdapDirectoryFetch : public ::testing::TestWithParam<Row>
{
protected:
    static void SetUpTestSuite()
    {
        certificates = std::make_unique<QTemporaryDir>();
        QProcess openssl;
        openssl.setWorkingDirectory(certificates->path());
        openssl.setProcessChannelMode(QProcess::ForwardedChannels);
        openssl.start(u"/bin/bash"_s, {u"-c"_s, QString::fromLatin1(MakeCertificates)});
        openssl.waitForFinished(60000);
        plain =
            std::make_unique<test::SlapdServer>(test::SlapdServer::people(People) + '\n' + Staff);
        tls = std::make_unique<test::SlapdServer>(test::SlapdServer::people(3),
                                                  certificates->filePath(u"server.pem"_s),
                                                  certificates->filePath(u"server.key"_s));
    }
    static void TearDownTestSuite()
    {
        plain.reset();
        tls.reset();
        certificates.reset();
    }
    static inline std::unique_ptr<QTemporaryDir> certificates;
    static inline std::unique_ptr<test::SlapdServer> plain, tls;
};

TEST_P(LdapDirectoryFetch, GivesEveryCardOrTheReason)
{
    const Row &row = GetParam();
    ASSERT_NE(plain->port(), 0);
    ASSERT_NE(tls->tlsPort(), 0);
    LdapConnectOptions options;
    options.url = QString(row.url)
                      .replace(u"{P}"_s, QString::number(plain->port()))
                      .replace(u"{T}"_s, QString::number(tls->port()))
                      .replace(u"{S}"_s, QString::number(tls->tlsPort()))
                      .replace(u"{N}"_s, QString::number(test::loopbackPort()));
    options.user = row.user;
    options.password = row.password;
    options.caFile = row.trustTestCa ? certificates->filePath(u"ca.pem"_s) : QString();
    options.maxEntries = row.maxEntries;
    options.timeout = std::chrono::seconds(10);
    const auto cards = LdapDirectory::fetchAll(options);
    if (!row.error.isEmpty()) {
        ASSERT_FALSE(cards.ok());
        EXPECT_TRUE(cards.error().contains(row.error)) << cards.error().toStdString();
        return;
    }
    ASSERT_TRUE(cards.ok()) << cards.error().toStdString();
    ASSERT_EQ(cards->size(), size_t(row.cards));
    QSet<QString> uids;
    for (const DirectoryCard &card : *cards) {
        const std::vector<VCardContact> read = VCardReader::read(card.vcard);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_TRUE(read[0].email1Address.endsWith(u"@example.org"_s));
        uids.insert(read[0].uid);
    }
    EXPECT_EQ(uids.size(), row.cards) << "each entry its own UID";
    EXPECT_EQ(*LdapDirectory::fetchAll(options), *cards) << "an unchanged directory, same bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Slapd, LdapDirectoryFetch,
    ::testing::Values(
        Row{"AnonymousPaged",
            u"ldap://127.0.0.1:{P}/dc=example,dc=org"_s,
            {},
            {},
            false,
            1'000'000,
            People + 1},
        Row{"Bound", u"ldap://127.0.0.1:{P}/dc=example,dc=org"_s, u"cn=admin,dc=example,dc=org"_s,
            u"secret"_s, false, 1'000'000, People + 1},
        Row{"BindRefused", u"ldap://127.0.0.1:{P}/dc=example,dc=org"_s,
            u"cn=admin,dc=example,dc=org"_s, u"wrong"_s, false, 1'000'000, 0,
            u"authentication refused"_s},
        Row{"OneLevelSkipsNoMail",
            u"ldap://127.0.0.1:{P}/ou=staff,dc=example,dc=org??one"_s,
            {},
            {},
            false,
            1'000'000,
            1},
        Row{"Filter",
            u"ldap://127.0.0.1:{P}/dc=example,dc=org??sub?(title=Boss)"_s,
            {},
            {},
            false,
            1'000'000,
            1},
        Row{"Base",
            u"ldap://127.0.0.1:{P}/uid=p7,ou=people,dc=example,dc=org??base"_s,
            {},
            {},
            false,
            1'000'000,
            1},
        Row{"NoSuchBase",
            u"ldap://127.0.0.1:{P}/ou=none,dc=example,dc=org"_s,
            {},
            {},
            false,
            1'000'000,
            0,
            u"no entry for the base"_s},
        Row{"TooMany",
            u"ldap://127.0.0.1:{P}/dc=example,dc=org"_s,
            {},
            {},
            false,
            1000,
            0,
            u"more than 1000 entries"_s},
        Row{"NoServer",
            u"ldap://127.0.0.1:{N}/"_s,
            {},
            {},
            false,
            1'000'000,
            0,
            u"cannot connect"_s},
        Row{"StartTls", u"ldap://127.0.0.1:{T}/dc=example,dc=org"_s, {}, {}, true, 1'000'000, 3},
        Row{"StartTlsWrongName",
            u"ldap://localhost:{T}/dc=example,dc=org"_s,
            {},
            {},
            true,
            1'000'000,
            0,
            u"certificate not trusted for the name localhost"_s},
        Row{"StartTlsUnknownCa",
            u"ldap://127.0.0.1:{T}/dc=example,dc=org"_s,
            {},
            {},
            false,
            1'000'000,
            0,
            u"certificate not trusted for the name 127.0.0.1"_s},
        Row{"Ldaps", u"ldaps://127.0.0.1:{S}/dc=example,dc=org"_s, {}, {}, true, 1'000'000, 3},
        Row{"LdapsWrongName",
            u"ldaps://localhost:{S}/dc=example,dc=org"_s,
            {},
            {},
            true,
            1'000'000,
            0,
            u"certificate not trusted for the name localhost"_s}),
    test::ByName());

} // namespace
