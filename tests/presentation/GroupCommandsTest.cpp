#include "presentation/GroupCommands.h"
#include "common/PanelCaptions.h"
#include "fakes/MemoryApplication.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"
#include "fakes/MemoryWorkspace.h"
#include "fakes/ScriptedDialogHost.h"
#include "groups/GroupFile.h"
#include "groups/MailGroups.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <array>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

// A workspace over an in-memory session with one contact folder of three contacts.
class GroupCommandsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        session = std::make_shared<MemoryNamespace>();
        const auto store = session->addStore(u"Personal Folders"_s);
        contacts = store->addFolder(u"Contacts"_s, u"IPM.Contact"_s);
        ann = contacts->addContact(u"Lee, Ann"_s, u"ann@example.org"_s, u"Family, Work"_s);
        bob = contacts->addContact(u"Roe, Bob"_s, u"bob@example.org"_s, u"work"_s);
        cy = contacts->addContact(u"Poe, Cy"_s, u"cy@example.org"_s, u"Golf"_s);

        workspace = memoryWorkspace(tmp, session);
        ASSERT_TRUE(workspace->open().statusText.isEmpty());
        commands = std::make_unique<GroupCommands>(GroupCommands::Services{
            workspace.get(), &dialogs, &panels, nullptr,
            [this] { return tree().indexOf(selected); }, [] { return u"12/7/2026 5:00 AM"_s; }});
    }

    TreeList &tree() { return workspace->tree(); }
    NodeHandle byEntryId(const QString &id)
    {
        return tree().findByValue(id, NodeValueName::EntryId());
    }
    NodeHandle newStandardGroup(const QString &name)
    {
        dialogs.queueName(name);
        commands->doBtnNewMailGrp(tree().indexOf(byEntryId(u"STDMG"_s)));
        return tree().findByCaption(name);
    }
    // Add Address on the group, answered with this name and address.
    void addTyped(NodeHandle group, const QString &first, const QString &address,
                  const QString &last = {})
    {
        selected = group;
        dialogs.queueEMail(first, last, address);
        commands->doBtnAddContact();
    }
    // Lists the folder's contacts under its node (or the node given) as the item lists do.
    std::vector<NodeHandle> listContacts(NodeHandle folder = {})
    {
        if (!folder)
            folder = byEntryId(contacts->EntryID());
        setNodeKind(tree(), folder, NodeKind::ContactFolderListed);
        std::vector<NodeHandle> rows;
        for (const auto &item : contacts->Items()) {
            const NodeHandle row = tree().addNode(item->FileAs(), folder);
            setNodeKind(tree(), row, NodeKind::ContactRow);
            tree().setValue(row, NodeValueName::EntryId(), item->EntryID());
            tree().setValue(row, NodeValueName::FileAs(), item->FileAs());
            tree().setValue(row, NodeValueName::Email1Address(), item->Email1Address());
            tree().setValue(row, NodeValueName::Categories(), item->Categories());
            rows.push_back(row);
        }
        return rows;
    }
    void select(const std::vector<NodeHandle> &nodes)
    {
        tree().clearSelection();
        for (const NodeHandle node : nodes)
            tree().setSelected(node, true);
    }
    std::vector<std::pair<QString, QString>> members(NodeHandle group)
    {
        std::vector<std::pair<QString, QString>> out;
        for (const NodeHandle m : tree().children(group))
            out.emplace_back(tree().value(m, NodeValueName::FileAs()).toString(),
                             tree().value(m, NodeValueName::Email1Address()).toString());
        return out;
    }
    // The groups as the group file holds them now.
    int savedGroupCount()
    {
        const auto read = GroupFile::read(workspace->groups().groupFilePath());
        return read.ok() ? static_cast<int>(read->standard.nodes().size()) : -1;
    }

    QTemporaryDir tmp;
    std::shared_ptr<MemoryNamespace> session;
    std::shared_ptr<MemoryFolder> contacts;
    std::shared_ptr<MemoryItem> ann, bob, cy;
    std::unique_ptr<Workspace> workspace;
    ScriptedDialogHost dialogs;
    test::PanelCaptions panels;
    NodeHandle selected;
    std::unique_ptr<GroupCommands> commands;
};

TEST_F(GroupCommandsTest, EveryCompletedChangeReachesTheGroupFile)
{
    const NodeHandle group = newStandardGroup(u"Friends"_s);
    ASSERT_TRUE(group);
    EXPECT_EQ(nodeKind(tree(), group), NodeKind::StandardGroup);
    EXPECT_EQ(savedGroupCount(), 2); // the root and the new group

    addTyped(group, u"Ann"_s, u"ann@example.org"_s, u"Lee"_s);
    EXPECT_EQ(savedGroupCount(), 3);

    dialogs.queueGetName([](GetNameForm &) { return false; }); // cancelled: nothing changes
    tree().setCurrent(group);
    commands->doBtnChgName();
    EXPECT_EQ(tree().caption(group), u"Friends"_s);
}

TEST_F(GroupCommandsTest, AddAddressRefusesADuplicateInTheSameGroupOnly)
{
    const NodeHandle friends = newStandardGroup(u"Friends"_s);
    const NodeHandle work = newStandardGroup(u"Work"_s);
    selected = friends;
    dialogs.queueEMail(u"Ann"_s, u"Lee"_s, u"ann@example.org"_s);
    dialogs.queueEMail(u"Other"_s, QString(), u"ann@example.org"_s);
    dialogs.queueEMail(u"Ann"_s, u"Lee"_s, u"ann2@example.org"_s); // same name, new address
    commands->doBtnAddContact();
    dialogs.clear();
    commands->doBtnAddContact();
    EXPECT_EQ(dialogs.asked().back(), u"information: ann@example.org already exists on file"_s);
    commands->doBtnAddContact();
    // Letter case makes no other address; what is no single address never enters.
    for (const QString &refused : {u"ANN@Example.ORG"_s, u"jane at example"_s,
                                   u"a@x.org\r\nBcc: b@x.org"_s, u"Ann <a@x.org>"_s}) {
        dialogs.queueEMail(u"Other"_s, QString(), refused);
        commands->doBtnAddContact();
        EXPECT_TRUE(dialogs.asked().back().startsWith(u"information: "_s)) << qPrintable(refused);
    }
    EXPECT_EQ(dialogs.asked().back(), u"information: Ann <a@x.org>: give the address alone "
                                      u"(local@domain), without a name or <>"_s);
    EXPECT_EQ(members(friends).size(), 2u);
    EXPECT_EQ(members(friends)[0].first, u"Lee, Ann"_s);
    EXPECT_EQ(tree().colour(tree().firstChild(friends)), NodeColour::DarkBlue);
    EXPECT_EQ(panels.captions[1], u"2 Items"_s);

    addTyped(work, u"Ann"_s, u"ann@example.org"_s);
    EXPECT_EQ(members(work).size(), 1u);
}

TEST_F(GroupCommandsTest, CopySkipsAddressesHeldAndRowsThatAreNoContacts)
{
    const NodeHandle group = newStandardGroup(u"Friends"_s);
    addTyped(group, u"Bob"_s, u"bob@example.org"_s);

    const std::vector<NodeHandle> rows = listContacts();
    const NodeHandle folder = tree().parent(rows.front());
    select(rows);
    tree().setSelected(folder, true);
    dialogs.queueCopyTo([](CopyToForm &form) {
        form.clickRow(1);
        return true;
    });
    commands->doBtnCopy();
    EXPECT_EQ(members(group).size(), 3u);
    EXPECT_EQ(panels.captions[1], u"3 Items"_s);
    EXPECT_EQ(commands->lastCopyTarget(), u"Friends"_s);
    const NodeHandle copied = tree().findByValue(
        u"ann@example.org"_s, NodeValueName::Email1Address(), tree().indexOf(group));
    EXPECT_EQ(nodeKind(tree(), copied), NodeKind::CopiedMember);
    EXPECT_EQ(tree().parent(copied), group);

    // The chooser remembers the group; a cancel forgets it.
    dialogs.queueCopyTo([](CopyToForm &form) {
        EXPECT_EQ(form.currentRow(), 1);
        return false;
    });
    commands->doBtnCopy();
    EXPECT_TRUE(commands->lastCopyTarget().isEmpty());
}

TEST_F(GroupCommandsTest, DeletingAGroupAsksAndSeveralMembersGoAtOnce)
{
    const NodeHandle group = newStandardGroup(u"Friends"_s);
    for (const QString &a : {u"a@x"_s, u"b@x"_s, u"c@x"_s, u"d@x"_s})
        addTyped(group, a, a);
    std::vector<NodeHandle> all = tree().children(group);
    select({all[0], all[2], all[3]});
    selected = all[2];
    dialogs.clear();
    commands->doBtnDelete();
    EXPECT_TRUE(dialogs.asked().isEmpty());
    ASSERT_EQ(members(group).size(), 1u);
    EXPECT_EQ(members(group)[0].second, u"b@x"_s);

    selected = group;
    commands->doBtnDelete(); // no answer queued: Cancel
    EXPECT_TRUE(tree().isValid(group));
    dialogs.queueAnswer(true);
    commands->doBtnDelete();
    EXPECT_FALSE(tree().isValid(group));
    EXPECT_EQ(tree().current(), byEntryId(u"STDMG"_s));
    EXPECT_EQ(savedGroupCount(), 1);
}

TEST_F(GroupCommandsTest, DynamicGroupLoadsMatchingContactsWhenAskedTo)
{
    const NodeHandle root = byEntryId(u"DYNMG"_s);
    dialogs.queueDynGrp([this](DynGrpForm &form) {
        form.setName(u"Workers"_s);
        form.setCategories(u"W*,,Family"_s);
        form.clickPicture(
            form.chooser().findByValue(contacts->EntryID(), NodeValueName::EntryId()));
        return true;
    });
    dialogs.queueAnswer(true);
    commands->doBtnNewMailGrp(tree().indexOf(root));
    const NodeHandle group = tree().findByCaption(u"Workers"_s);
    ASSERT_TRUE(group);
    EXPECT_TRUE(dialogs.asked().contains(u"yesno: Load Contacts for Workers Now?"_s));
    EXPECT_EQ(members(group).size(), 2u); // Ann once, Bob by "work"
    EXPECT_EQ(tree().value(group, NodeValueName::LastLoaded()).toString(), u"12/7/2026 5:00 AM"_s);

    // Listed rows are read from the tree.
    listContacts();
    cy->setCategories(u"Wine"_s);
    selected = group;
    commands->loadDynamicGroup(*MailGroups::idOf(tree(), group));
    EXPECT_EQ(members(group).size(), 2u); // the listed row still says "Golf"

    // A folder gone: message, nothing changed.
    ASSERT_TRUE(session->remove(contacts->EntryID()));
    commands->loadDynamicGroup(*MailGroups::idOf(tree(), group));
    EXPECT_EQ(dialogs.asked().back(), u"information: Contacts is not available"_s);
    EXPECT_EQ(members(group).size(), 2u);

    // A definition without folder names still names the folder that is gone.
    const QString goneId = contacts->EntryID();
    tree().setValue(group, NodeValueName::FolderNames(), QString());
    commands->loadDynamicGroup(*MailGroups::idOf(tree(), group));
    EXPECT_EQ(dialogs.asked().back(), u"information: "_s + goneId + u" is not available"_s);
    EXPECT_EQ(members(group).size(), 2u);
}

TEST_F(GroupCommandsTest, ADynamicGroupReadsTheRowsOfAListedFolderWithSubFolders)
{
    // Listed as the item lists list a folder with sub-folders: the folder's node holds the
    // sub-folder and, beside it, the node that holds the rows.
    const NodeHandle folder = byEntryId(contacts->EntryID());
    setNodeKind(tree(), folder, NodeKind::ContactFolderListing);
    setNodeKind(tree(), tree().addNode(u"Old"_s, folder), NodeKind::ContactFolder);
    const NodeHandle holder = tree().addNode(u" ... data for: Contacts"_s, folder);
    tree().setValue(holder, NodeValueName::EntryId(), contacts->EntryID());
    listContacts(holder);
    cy->setCategories(u"Wine"_s); // read from the listed rows, where Cy is still "Golf"

    dialogs.queueDynGrp([this](DynGrpForm &form) {
        form.setName(u"Workers"_s);
        form.setCategories(u"W*"_s);
        form.clickPicture(
            form.chooser().findByValue(contacts->EntryID(), NodeValueName::EntryId()));
        return true;
    });
    dialogs.queueAnswer(true);
    commands->doBtnNewMailGrp(tree().indexOf(byEntryId(u"DYNMG"_s)));
    EXPECT_EQ(members(tree().findByCaption(u"Workers"_s)).size(), 2u);
}

TEST_F(GroupCommandsTest, VerifyRefreshesFoundMarksMissingAndSkipsTypedIn)
{
    const NodeHandle group = newStandardGroup(u"Friends"_s);
    const std::vector<NodeHandle> rows = listContacts();
    select({rows[0], rows[1]});
    commands->copyToGroup(*MailGroups::idOf(tree(), group));
    addTyped(group, u"Typed"_s, u"typed@example.org"_s);

    ann->setFileAs(u"Lee-Smith, Ann"_s);
    ASSERT_TRUE(session->remove(bob->EntryID()));
    select({tree().firstChild(group)}); // one member: its whole group
    dialogs.clear();
    commands->verifyAddresses();
    EXPECT_EQ(dialogs.asked(), QStringList{u"information: Verification Complete"_s});
    for (const NodeHandle m : tree().children(group)) {
        const QString address = tree().value(m, NodeValueName::Email1Address()).toString();
        const quint32 expected =
            address == u"bob@example.org"_s ? NodeColour::DarkRed : NodeColour::WindowText;
        EXPECT_EQ(tree().colour(m), expected) << qPrintable(address);
        if (address == u"ann@example.org"_s) {
            EXPECT_EQ(tree().value(m, NodeValueName::FileAs()).toString(), u"Lee-Smith, Ann"_s);
        }
    }
}

TEST_F(GroupCommandsTest, AddressListRoundTripGivesBackEveryMemberAccepted)
{
    const NodeHandle group = newStandardGroup(u"Friends"_s);
    // first, last, address: every name and address a member may hold
    const std::vector<std::array<QString, 3>> typed{
        {u"Zoë \"Zed\""_s, u"Ærø"_s, u"zoe@example.org"_s},
        {u"Al"_s, QString(), u"al@example.org"_s},
        {u"Mary Ann Lee"_s, QString(), u"mary@example.org"_s},
        {u"\"Doc\" Holliday"_s, QString(), u"doc@example.org"_s},
        {u" Spaced "_s, u" Out "_s, u" spaced@example.org "_s},
        {u"A, B, C"_s, QString(), u"o'brien+tag@example.org"_s},
        {u"Ünï"_s, QString(), u"ünï@exämple.org"_s},
        {u"x"_s, QString(), u"lit@[192.0.2.1]"_s}};
    for (const auto &[first, last, address] : typed)
        addTyped(group, first, address, last);
    ASSERT_EQ(members(group).size(), typed.size());

    const QString file = tmp.filePath(u"lists/friends.txt"_s);
    QDir().mkpath(tmp.filePath(u"lists"_s));
    dialogs.queueFile(file);
    commands->saveAddressList();
    ASSERT_EQ(dialogs.fileRequests().size(), 1u);
    EXPECT_TRUE(dialogs.fileRequests()[0].overwritePrompt);

    const NodeHandle copy = newStandardGroup(u"Copy"_s);
    selected = copy;
    dialogs.queueFile(file);
    commands->loadAddressList();
    EXPECT_EQ(dialogs.asked().back(),
              u"information: added 8 (0 already in the group), refused 0"_s);
    EXPECT_EQ(dialogs.fileRequests().back().initialDir, tmp.filePath(u"lists"_s));
    EXPECT_EQ(members(copy), members(group));
    EXPECT_EQ(workspace->settings().getSetting(u"Parms"_s, u"LastSavePath"_s, QString()),
              tmp.filePath(u"lists"_s));

    // Lines that hold no member are counted out with their lines; the rest are added.
    QFile bad(tmp.filePath(u"bad.txt"_s));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("al@example.org,Al\rjane at example,Jane\r\"x@y.org\",\"Two\r\nLines\"\r"
              "new@example.org,New\r");
    bad.close();
    dialogs.queueFile(bad.fileName());
    commands->loadAddressList();
    EXPECT_EQ(dialogs.asked().back(),
              u"information: added 2 (1 already in the group), refused 2 (line 2: the address "
              u"has no @ (local@domain), line 3: the name holds a line break or another control "
              u"character)"_s);
    EXPECT_EQ(members(copy).size(), typed.size() + 2);
}

TEST_F(GroupCommandsTest, EditItemAndCopyRefuseWhatIsNoAddress)
{
    const NodeHandle group = newStandardGroup(u"Friends"_s);
    addTyped(group, u"Al"_s, u"al@example.org"_s);
    selected = tree().firstChild(group);
    dialogs.queueEMail(u"Al"_s, QString(), u"al@example.org\r\nBcc: x@evil.example"_s);
    commands->doBtnEditItem();
    EXPECT_TRUE(dialogs.asked().back().contains(u"control character"_s));
    EXPECT_EQ(members(group)[0].second, u"al@example.org"_s);

    bob->setEmail1Address(u"=?utf-8?q?x=40evil.example?=@ok.example"_s);
    select(listContacts());
    commands->copyToGroup(*MailGroups::idOf(tree(), group));
    EXPECT_EQ(members(group).size(), 3u); // Al, Ann, Cy
    EXPECT_TRUE(dialogs.asked().back().startsWith(
        u"information: Not copied:\nRoe, Bob <=?utf-8?q?x=40evil.example?=@ok.example>: "_s));
}

TEST_F(GroupCommandsTest, AFailedSaveIsShownAndTriedAgain)
{
    const NodeHandle group = newStandardGroup(u"Friends"_s);
    const QString path = workspace->groups().groupFilePath();
    QFile::remove(path);
    ASSERT_TRUE(QDir().mkpath(path)); // a folder where the file goes: the write fails
    addTyped(group, u"Al"_s, u"al@example.org"_s);
    EXPECT_TRUE(commands->savePending());
    EXPECT_TRUE(panels.captions[2].startsWith(u"Groups not saved"_s));

    ASSERT_TRUE(QDir(path).removeRecursively());
    addTyped(group, u"Bo"_s, u"bo@example.org"_s);
    EXPECT_FALSE(commands->savePending());
    EXPECT_TRUE(panels.captions[2].isEmpty());
    EXPECT_EQ(savedGroupCount(), 4);
}

} // namespace
