#include "common/SlapdServer.h"
#include "remote/RemoteStoreSync.h"

#include <QDirIterator>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

int cachedCards(const QString &cacheHome)
{
    int cards = 0;
    for (QDirIterator it(cacheHome, {u"*.vcf"_s}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++cards;
    return cards;
}

QString lines(const Result<std::vector<FolderSyncCount>> &synced)
{
    if (!synced.ok())
        return u"failed: "_s + synced.error();
    QStringList out;
    for (const FolderSyncCount &folder : *synced)
        out << folder.line();
    return out.join(u'\n');
}

// A directory past slapd's unpaged limit syncs whole, again with nothing to write, then by
// difference; a server gone leaves the cache as it was.
TEST(LdapSync, SyncsWholeThenByDifferenceAndKeepsTheCacheOnFailure)
{
    auto server = std::make_unique<test::SlapdServer>(test::SlapdServer::people(600));
    ASSERT_NE(server->port(), 0);
    QTemporaryDir cache;
    RemoteStoreOptions options;
    options.name = u"Staff"_s;
    options.location =
        u"ldap://127.0.0.1:%1/ou=people,dc=example,dc=org??sub"_s.arg(server->port());
    options.timeoutSeconds = 5;
    const RemoteStoreSync sync(options, cache.path());
    EXPECT_EQ(lines(sync.run()), u"Directory: 600 contacts (+600 ~0 -0)"_s);
    EXPECT_EQ(cachedCards(cache.path()), 600);
    EXPECT_EQ(lines(sync.run()), u"Directory: 600 contacts (+0 ~0 -0)"_s);

    QProcess modify;
    modify.start(u"ldapmodify"_s, {u"-x"_s, u"-H"_s, u"ldap://127.0.0.1:%1"_s.arg(server->port()),
                                   u"-D"_s, u"cn=admin,dc=example,dc=org"_s, u"-w"_s, u"secret"_s});
    modify.write("dn: uid=p1,ou=people,dc=example,dc=org\nchangetype: modify\nreplace: mail\n"
                 "mail: first@example.org\n\ndn: uid=p2,ou=people,dc=example,dc=org\n"
                 "changetype: delete\n");
    modify.closeWriteChannel();
    ASSERT_TRUE(modify.waitForFinished(10000) && modify.exitCode() == 0);
    EXPECT_EQ(lines(sync.run()), u"Directory: 599 contacts (+0 ~1 -1)"_s);

    server.reset();
    EXPECT_TRUE(lines(sync.run()).startsWith(u"failed: "_s));
    EXPECT_EQ(cachedCards(cache.path()), 599);
}

} // namespace
} // namespace corvel
