#include "groups/AddressBookGroupImport.h"
#include "groups/GroupCard.h"
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

    // Each member as "kind|entry id|file as|address", in the group's order.
    QStringList membersOf(const QString &caption) const
    {
        QStringList members;
        for (const NodeHandle m : tree.children(tree.findByCaption(caption))) {
            members << QStringList{tree.value(m, NodeValueName::olType()).toString(),
                                   tree.value(m, NodeValueName::EntryId()).toString(),
                                   tree.value(m, NodeValueName::FileAs()).toString(),
                                   tree.value(m, NodeValueName::Email1Address()).toString()}
                           .join(u'|');
        }
        return members;
    }

    QTemporaryDir dir;
    GroupStore store{dir.path(), QString()};
    TreeList tree;
    NodeHandle root;
};

TEST_F(AddressBookGroupImportTest, MembersAreCopiedTypedInOrReportedOnceEachImport)
{
    writeCard("ann.vcf", "UID:urn:uuid:AAA-1\nFN:Ann Lee\nN:Lee;Ann;;;\nEMAIL:ann@example.org\n");
    writeCard("bob.vcf", "UID:bbb-2\nFN:Bob Ng\nEMAIL:bob@example.org\n");
    writeCard("eve.vcf", "UID:eee-3\nFN:Eve\nEMAIL:eve@example.org\\, x@evil.example\n");
    // The typed-in ann@ is the copied contact's address: she is a member once.
    writeCard("board.vcf", "KIND:group\nFN:Board\nUID:g1\nMEMBER:urn:uuid:aaa-1\n"
                           "MEMBER:mailto:ann@example.org\n"
                           "MEMBER:mailto:chair@example.org\nMEMBER:urn:uuid:gone\n"
                           "MEMBER:mailto:a%0D%0ABcc:%20x@evil.example\nMEMBER:urn:uuid:eee-3\n");
    writeCard("club.vcf", "X-ADDRESSBOOKSERVER-KIND:group\nN:Club;;;;\nFN:Club\n"
                          "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:bbb-2\n"
                          "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:aaa-1\n");

    for (int round = 1; round <= 2; ++round) { // importing again adds nothing, reuses the groups
        SCOPED_TRACE(round);
        EXPECT_EQ(
            import(),
            (QStringList{u"Board: member urn:uuid:gone is no contact of this folder"_s,
                         u"Board: member mailto:a Bcc: x@evil.example was left out: the address "
                         u"holds a line break or another control character"_s,
                         u"Board: member urn:uuid:eee-3 (Eve) was left out: the address holds "
                         u"more than one address"_s}));
        ASSERT_EQ(tree.childCount(root), 2);
        // Members are kept sorted by name; 37 typed in, 35 copied from a contact.
        EXPECT_EQ(membersOf(u"Board"_s), (QStringList{u"37||chair@example.org|chair@example.org"_s,
                                                      u"35|ann.vcf#1|Lee, Ann|ann@example.org"_s}));
        EXPECT_EQ(membersOf(u"Club"_s), (QStringList{u"35|bob.vcf#1|Bob Ng|bob@example.org"_s,
                                                     u"35|ann.vcf#1|Lee, Ann|ann@example.org"_s}));
        for (const NodeHandle group : tree.children(root))
            EXPECT_EQ(nodeKind(tree, group), NodeKind::StandardGroup);
    }
}

// What is published is imported back: a name that needs escaping and folding, a contact of
// the folder by UID, anyone else by an address that needs percent-encoding.
TEST_F(AddressBookGroupImportTest, PublishedCardsImportBackInBothDialects)
{
    writeCard("ann.vcf", "UID:aaa-1\nFN:Ann Lee\nEMAIL:ann@example.org\n");
    const QString caption =
        u"Smith, Jones; Co\\ Ørsted — a name long enough to be folded across lines"_s;
    const std::vector<GroupMember> members = {
        {u"Ann Lee"_s, u"ann@example.org"_s, GroupMember::Origin::Copied, u"ann.vcf#1"_s},
        {u"Odd"_s, u"o%d?d#x@example.org"_s, GroupMember::Origin::TypedIn, {}}};
    for (const auto dialect : {GroupCard::Dialect::Apple, GroupCard::Dialect::VCard4}) {
        QFile card(dir.filePath(u"Contacts/group.vcf"_s));
        ASSERT_TRUE(card.open(QIODevice::WriteOnly));
        card.write(
            GroupCard::text(u"g-1"_s, caption, members, {{u"ann.vcf#1"_s, u"aaa-1"_s}}, dialect));
        card.close();
        EXPECT_EQ(import(), QStringList());
        EXPECT_EQ(membersOf(caption),
                  (QStringList{u"35|ann.vcf#1|Ann Lee|ann@example.org"_s,
                               u"37||o%d?d#x@example.org|o%d?d#x@example.org"_s}));
        tree.remove(tree.findByCaption(caption));
    }
}

} // namespace
