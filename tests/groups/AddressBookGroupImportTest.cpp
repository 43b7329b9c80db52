#include "groups/AddressBookGroupImport.h"
#include "groups/GroupEditor.h"
#include "groups/GroupStore.h"
#include "session/OutlookSession.h"
#include "session/VCardFolderSource.h"
#include "tree/NodeKinds.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

struct Member
{
    int kind;
    QString entryId;
    QString fileAs;
    QString address;
    friend bool operator==(const Member &, const Member &) = default;
};

void PrintTo(const Member &m, std::ostream *os)
{
    *os << m.kind << ' ' << m.entryId.toStdString() << ' ' << m.fileAs.toStdString() << ' '
        << m.address.toStdString();
}

// A real vCard folder read as the session reads it, and a group tree to import into.
class AddressBookGroupImportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir(u"Contacts"_s));
        root = tree.addNode(u"Standard Mail Groups"_s, NodeHandle());
        setNodeKind(tree, root, NodeKind::StandardRoot);
    }

    void writeCard(const char *name, const QByteArray &lines)
    {
        QFile file(dir.filePath(u"Contacts/"_s + QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("BEGIN:VCARD\r\nVERSION:4.0\r\n" + lines + "END:VCARD\r\n");
    }

    QStringList import()
    {
        const auto items = VCardFolderSource().readItems(
            dir.filePath(u"Contacts"_s),
            [](const QString &key, int card) { return key + u'#' + QString::number(card); });
        GroupEditor editor(tree, store);
        return AddressBookGroupImport(tree, editor).run(root, items);
    }

    std::vector<Member> membersOf(const QString &caption) const
    {
        std::vector<Member> members;
        for (const NodeHandle group : tree.children(root)) {
            if (tree.caption(group) != caption)
                continue;
            for (const NodeHandle m : tree.children(group))
                members.push_back({int(tree.value(m, NodeValueName::olType()).toInt()),
                                   tree.value(m, NodeValueName::EntryId()).toString(),
                                   tree.value(m, NodeValueName::FileAs()).toString(),
                                   tree.value(m, NodeValueName::Email1Address()).toString()});
        }
        return members;
    }

    QTemporaryDir dir;
    GroupStore store{dir.path(), QString()};
    TreeList tree;
    NodeHandle root;
};

TEST_F(AddressBookGroupImportTest, MembersAreCopiedTypedInOrReported)
{
    writeCard("ann.vcf", "UID:urn:uuid:AAA-1\r\nFN:Ann Lee\r\nN:Lee;Ann;;;\r\n"
                         "EMAIL:ann@example.org\r\n");
    writeCard("bob.vcf", "UID:bbb-2\r\nFN:Bob Ng\r\nEMAIL:bob@example.org\r\n");
    writeCard("eve.vcf", "UID:eee-3\r\nFN:Eve\r\nEMAIL:eve@example.org\\, x@evil.example\r\n");
    writeCard("board.vcf", "KIND:group\r\nFN:Board\r\nUID:g1\r\nMEMBER:urn:uuid:aaa-1\r\n"
                           "MEMBER:mailto:chair@example.org\r\nMEMBER:urn:uuid:gone\r\n"
                           "MEMBER:mailto:a%0D%0ABcc:%20x@evil.example\r\n"
                           "MEMBER:urn:uuid:eee-3\r\n");
    writeCard("club.vcf", "X-ADDRESSBOOKSERVER-KIND:group\r\nN:Club;;;;\r\nFN:Club\r\n"
                          "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:bbb-2\r\n"
                          "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:aaa-1\r\n");

    const QStringList problems = import();

    EXPECT_EQ(problems,
              (QStringList{u"Board: member urn:uuid:gone is no contact of this folder"_s,
                           u"Board: member mailto:a Bcc: x@evil.example was left out: the address "
                           u"holds a line break or another control character"_s,
                           u"Board: member urn:uuid:eee-3 (Eve) was left out: the address holds "
                           u"more than one address"_s}));
    ASSERT_EQ(tree.childCount(root), 2);
    const int copied = static_cast<int>(NodeKind::CopiedMember);
    const int typed = static_cast<int>(NodeKind::TypedMember);
    // Members are kept sorted by name.
    EXPECT_EQ(membersOf(u"Board"_s),
              (std::vector<Member>{{typed, {}, u"chair@example.org"_s, u"chair@example.org"_s},
                                   {copied, u"ann.vcf#1"_s, u"Lee, Ann"_s, u"ann@example.org"_s}}));
    EXPECT_EQ(membersOf(u"Club"_s),
              (std::vector<Member>{{copied, u"bob.vcf#1"_s, u"Bob Ng"_s, u"bob@example.org"_s},
                                   {copied, u"ann.vcf#1"_s, u"Lee, Ann"_s, u"ann@example.org"_s}}));
    for (const NodeHandle group : tree.children(root))
        EXPECT_EQ(nodeKind(tree, group), NodeKind::StandardGroup);
}

TEST_F(AddressBookGroupImportTest, ImportingAgainAddsNothingAndReusesTheGroup)
{
    writeCard("ann.vcf", "UID:aaa-1\r\nFN:Ann\r\nEMAIL:ann@example.org\r\n");
    writeCard("board.vcf", "KIND:group\r\nFN:Board\r\nMEMBER:urn:uuid:aaa-1\r\n"
                           "MEMBER:mailto:ann@example.org\r\nMEMBER:mailto:chair@example.org\r\n");
    EXPECT_TRUE(import().isEmpty());
    const std::vector<Member> first = membersOf(u"Board"_s);
    EXPECT_EQ(first.size(), 2u); // the typed-in ann@ is the copied contact's address
    EXPECT_TRUE(import().isEmpty());
    EXPECT_EQ(tree.childCount(root), 1);
    EXPECT_EQ(membersOf(u"Board"_s), first);
}

} // namespace
