#include "groups/GroupStore.h"
#include "common/NamedCases.h"
#include "common/TreeText.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryNamespace.h"
#include "folders/FolderTree.h"
#include "groups/GroupFile.h"
#include "tree/NodeKinds.h"
#include "tree/TreeBranchFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

#include <unistd.h>

#include <gtest/gtest.h>

using namespace corvel;
using corvel::test::s;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// One run of the program's data side: build the tree as start-up does, then let the
// test change it and save as shutdown does.
struct AppRun
{
    explicit AppRun(const QString &appPath)
        : store(appPath, QString::fromUtf8(CORVEL_SHIPPED_DATA))
    {
        session->addStore(s("Personal Folders"))->addFolder(s("Contacts"), s("IPM.Contact"));
        status = FolderTree(tree, *session, store).loadFolderTree(false);
    }
    NodeHandle root(NodeKind type) const { return findNodeOfKind(tree, type); }
    QByteArray groupBytes() const
    {
        return TreeBranchFile::encode(tree, root(NodeKind::StandardRoot)) +
               TreeBranchFile::encode(tree, root(NodeKind::DynamicRoot));
    }
    NodeHandle addGroup(const char *name, NodeKind type)
    {
        const bool standard = type == NodeKind::StandardGroup;
        const NodeHandle group =
            tree.addNode(s(name), root(standard ? NodeKind::StandardRoot : NodeKind::DynamicRoot));
        setNodeKind(tree, group, type);
        tree.setPicture(group, standard ? picStandardGroup : picDynamicGroup);
        return group;
    }
    void addMember(NodeHandle group, const char *fileAs, const char *address, NodeKind type)
    {
        if (!tree.hasChildren(group))
            store.setupGroupGrid(tree, group);
        const NodeHandle row = tree.addNode(QString(), group);
        setNodeKind(tree, row, type);
        tree.setValue(row, s("EntryId"), type == NodeKind::TypedMember ? QString() : s("00AA"));
        tree.setValue(row, s("FileAs"), s(fileAs));
        tree.setValue(row, s("Email1Address"), s(address));
        if (type == NodeKind::TypedMember)
            tree.setColour(row, NodeColour::DarkBlue);
        tree.setChildOrder(group, ChildOrder::ByValue, s("FileAs"));
    }

    std::shared_ptr<MemoryNamespace> session = std::make_shared<MemoryNamespace>();
    GroupStore store;
    TreeList tree;
    Status status;
};

} // namespace

TEST(GroupStore, GroupsSurviveASaveAndTheNextStartUp)
{
    QTemporaryDir dir;
    QByteArray before;
    {
        AppRun first(dir.path());
        ASSERT_TRUE(first.status.ok());
        const NodeHandle friends = first.addGroup("Friends", NodeKind::StandardGroup);
        first.addMember(friends, "Lee, Ann", "ann@example.org", NodeKind::CopiedMember);
        first.addMember(friends, "Baker, Tom", "tom@example.org", NodeKind::TypedMember);
        first.addMember(friends, "Gone, Soon", "x@example.org", NodeKind::TypedMember);
        first.tree.remove(first.tree.findByValue(NodeValue(s("Gone, Soon")), s("FileAs")));
        const NodeHandle team = first.addGroup("Team", NodeKind::DynamicGroup);
        first.tree.setValue(team, s("GUID"), s("{01234567-89AB-CDEF-0123-456789ABCDEF}"));
        first.tree.setValue(team, s("InCats"), s("Team-*,Board"));
        first.addMember(team, "Zed, Al", "al@example.org", NodeKind::DynamicMember);
        before = first.groupBytes();
        ASSERT_TRUE(first.store.saveGroupFile(first.tree).ok());
        EXPECT_FALSE(QFile::exists(first.store.groupBackupPath()));
    }
    AppRun second(dir.path());
    ASSERT_TRUE(second.status.ok()) << second.status.error().toStdString();
    // Encoded alike: every caption, value, colour and grid came back.
    EXPECT_EQ(second.groupBytes(), before);

    // The next save keeps the file it replaces.
    const QByteArray firstSave = readAll(second.store.groupFilePath());
    second.tree.remove(second.tree.findByCaption(s("Friends")));
    ASSERT_TRUE(second.store.saveGroupFile(second.tree).ok());
    EXPECT_EQ(readAll(second.store.groupBackupPath()), firstSave);
    EXPECT_NE(readAll(second.store.groupFilePath()), firstSave);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 2); // no leftovers

    // Without both group roots the save is refused and the file left as it was.
    const QByteArray secondSave = readAll(second.store.groupFilePath());
    second.tree.remove(second.root(NodeKind::DynamicRoot));
    EXPECT_FALSE(second.store.saveGroupFile(second.tree).ok());
    EXPECT_EQ(readAll(second.store.groupFilePath()), secondSave);
}

// Saves written off the tree's thread copy the tree as it stood when asked: the newest ends
// on disk, none is lost when the store goes, and a save made in place is never overwritten by
// an older one still under way.
TEST(GroupStore, BackgroundSavesEndWithTheNewestOnDisk)
{
    for (const bool inPlaceLast : {false, true}) {
        QTemporaryDir dir;
        QByteArray newest;
        {
            AppRun run(dir.path());
            const NodeHandle friends = run.addGroup("Friends", NodeKind::StandardGroup);
            run.store.saveGroupFileInBackground(run.tree, {});
            run.addMember(friends, "Lee, Ann", "ann@example.org", NodeKind::CopiedMember);
            run.store.saveGroupFileInBackground(run.tree, {});
            run.addMember(friends, "Baker, Tom", "tom@example.org", NodeKind::TypedMember);
            if (inPlaceLast)
                ASSERT_TRUE(run.store.saveGroupFile(run.tree).ok());
            else
                run.store.saveGroupFileInBackground(run.tree, {});
            newest = run.groupBytes();
            run.addGroup("Unsaved", NodeKind::StandardGroup); // the copy was taken before
        }
        EXPECT_EQ(readAll(dir.filePath(s("MailLists.tlx"))), newest) << inPlaceLast;
    }
}

TEST(GroupStore, ClassDefaultsReplaceSavedColumnsButKeepTheirNameFields)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(s("mailfolders.sys")),
              "IPM.Contact^My contacts^kept^Old~Cols^Old~Heads^1~2\r\n\r\n"
              "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF^Friends\n"
              "short-key^Other^r^Subject^Subject^300^extra^fields\r\n");
    writeFile(dir.filePath(s("mailstandards.sys")),
              "stray;line;before;any;class\nIPM.Contact\n FileAs;Contact Name;180\n\n"
              "\tEmail1Address;eMail Address;wide\nipm.note\nIPM.Note\n Subject;Subject;300\n");
    GroupStore store(dir.path(), QString());
    ASSERT_TRUE(store.loadColumnSets().ok());
    QStringList read;
    for (int i = 1; i <= store.columnSets().count(); ++i)
        read << ColumnSets::formatLine(store.columnSets().record(i));
    // "ipm.note" is not a class line: it is a column of the contact section.
    EXPECT_EQ(read, (QStringList{s("IPM.Contact^My contacts^kept^FileAs~Email1Address~pm.note^"
                                   "Contact Name~eMail Address~^180~150~150"),
                                 s("0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF^Friends^^^^"),
                                 s("short-key^Other^r^Subject^Subject^300"),
                                 s("IPM.Note^IPM.Note^^Subject^Subject^300")}));
    EXPECT_EQ(store.findColumnSet(s("ipm.contact")), 0);
}

TEST(GroupStore, SavedColumnSetsDropVanishedFoldersAndTakeListedWidths)
{
    QTemporaryDir dir;
    AppRun run(dir.path());
    const QString listed = s("AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA");
    const QString vanished = s("BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB");
    const QString underListing = s("CCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCC");
    writeFile(dir.filePath(s("mailfolders.sys")),
              (listed + s("^Contacts^r^FileAs~Email1Address^Name~Mail^10~20\r\n") + vanished +
               s("^Old^^Subject^Subject^99\r\n") + underListing +
               s("^Work^^FileAs^Name^77\r\nnot-a-folder-key^x^^^^5\r\n"))
                  .toUtf8());
    writeFile(dir.filePath(s("mailfolders.bak")), "older generation");
    ASSERT_TRUE(run.store.loadColumnSets().ok());

    // A listed folder: its id, a grid of columns this wide and one row.
    const auto addListed = [&](NodeHandle parent, const char *caption, const QString &id,
                               std::vector<int> widths) {
        const NodeHandle folder = run.tree.addNode(s(caption), parent);
        run.tree.setValue(folder, s("EntryId"), id);
        ColumnLayout layout;
        layout.setColumnCount(int(widths.size()) + 1);
        for (size_t i = 0; i < widths.size(); ++i)
            layout.columns[i + 1].width = widths[i];
        run.tree.setColumnLayout(folder, layout);
        run.tree.addNode(QString(), folder);
        return folder;
    };
    addListed(run.tree.at(0), "Contacts", listed, {200, 100});
    // A folder listed under a separate listing node: its widths come from the second node.
    const NodeHandle listing = run.tree.addNode(s("Work"), run.tree.at(0));
    run.tree.setValue(listing, s("EntryId"), underListing);
    setNodeKind(run.tree, listing, NodeKind::ContactFolderListing);
    addListed(listing, "Work", underListing, {40});

    const QByteArray previous = readAll(dir.filePath(s("mailfolders.sys")));
    ASSERT_TRUE(run.store.saveColumnSets(run.tree).ok());
    EXPECT_EQ(readAll(dir.filePath(s("mailfolders.bak"))), previous);
    const QString saved = QString::fromUtf8(readAll(dir.filePath(s("mailfolders.sys"))));
    EXPECT_EQ(saved, listed + s("^Contacts^r^FileAs~Email1Address^Name~Mail^200~100\r\n") +
                         underListing + s("^Work^^FileAs^Name^40\r\n") +
                         s("not-a-folder-key^x^^^^5\r\n") +
                         s("IPM.Contact^IPM.Contact^^FileAs~Email1Address~Categories^"
                           "Contact Name~eMail Address~Categories^180~200~150\r\n") +
                         s("IPM.Note^IPM.Note^^Subject^Subject^300\r\n"));
}

namespace {

// The group file at `path` read into `tree`, its two roots at the top.
void readInto(TreeList &tree, const QString &path)
{
    auto branches = GroupFile::read(path);
    ASSERT_TRUE(branches.ok()) << branches.error().toStdString();
    tree.insertBranch(branches->standard);
    tree.insertBranch(branches->dynamic);
}

// Both roots encoded as GroupFile::write encodes them, without its synced writes.
QByteArray encoded(const TreeList &tree)
{
    const std::vector<NodeHandle> roots = tree.children({});
    return TreeBranchFile::encode(tree, roots.at(0)) + TreeBranchFile::encode(tree, roots.at(1));
}

// The file written from the tree its branches were read into.
QByteArray writtenBack(const QString &source, const QString &target)
{
    TreeList tree;
    readInto(tree, source);
    const std::vector<NodeHandle> roots = tree.children({});
    const Status written =
        GroupFile::write(target, target + s(".bak"), tree, roots.at(0), roots.at(1));
    return written.ok() ? readAll(target) : written.error().toUtf8();
}

} // namespace

// Written by earlier builds: a change to the record layout that forgets old files fails here.
TEST(GroupStore, TheGroupFileIsWrittenBackByteForByte)
{
    QTemporaryDir dir;
    const QString sample = QString::fromUtf8(CORVEL_TEST_DATA "/groups/MailLists.tlx");
    const QString golden = QString::fromUtf8(CORVEL_TEST_DATA "/groups/MailLists.written.tlx");
    // An earlier build wrote the sample with another table of value names: read into a tree
    // of its own, it is written as the golden file is, which reads back to the same bytes.
    EXPECT_EQ(writtenBack(sample, dir.filePath(s("sample.tlx"))), readAll(golden));
    EXPECT_EQ(writtenBack(golden, dir.filePath(s("golden.tlx"))), readAll(golden));

    // The sample with 100,000 members more, as a large list holds them.
    TreeList tree;
    readInto(tree, sample);
    const NodeHandle friends = tree.findByCaption(s("Friends"));
    const QString entryId = s("EntryId"), fileAs = s("FileAs"), address = s("Email1Address");
    for (int i = 0; i < 100'000; ++i) {
        const NodeHandle row = tree.addNode(QString(), friends);
        const QString n = QString::number(i);
        setNodeKind(tree, row, i % 2 ? NodeKind::TypedMember : NodeKind::CopiedMember);
        tree.setValue(row, entryId, i % 2 ? QString() : n);
        tree.setValue(row, fileAs, s("Member ") + n);
        tree.setValue(row, address, s("m") + n + s("@example.org"));
    }
    const QByteArray bytes = encoded(tree);
    EXPECT_GT(bytes.size(), 100'000 * 40);
    const std::vector<NodeHandle> roots = tree.children({});
    const GroupFile::Snapshot snapshot = GroupFile::snapshot(tree, roots.at(0), roots.at(1));
    EXPECT_TRUE(TreeBranchFile::encode(snapshot.standard) +
                    TreeBranchFile::encode(snapshot.dynamic) ==
                bytes);
    const QString large = dir.filePath(s("large.tlx"));
    writeFile(large, bytes);
    TreeList reread;
    readInto(reread, large);
    EXPECT_TRUE(encoded(reread) == bytes);
}

namespace {

// What a careful user's bad day does to a data file.
enum class Damage
{
    Truncated,
    BitFlipped,
    Empty,
    Folder,
    DanglingLink,
    Unreadable
};

struct DamageCase
{
    const char *name;
    bool groupFile; // else the column file
    Damage damage;
    const char *reason; // what the refusal must say
};

CORVEL_PRINT_BY_NAME(DamageCase)

// Leaves the file damaged and returns how to tell it was not touched afterwards.
std::function<bool()> damage(const QString &path, Damage how)
{
    QByteArray bytes = readAll(path);
    switch (how) {
    case Damage::Truncated:
        bytes.chop(bytes.size() / 3);
        break;
    case Damage::BitFlipped:
        // The group file has a checksum, so any flip shows; a text file only shows a flip
        // that breaks its form: this one turns a "^" into a control character.
        if (path.endsWith(s(".tlx")))
            bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x10);
        else
            bytes[bytes.indexOf('^')] = char('^' ^ 0x40);
        break;
    case Damage::Empty:
        bytes.clear();
        break;
    case Damage::Folder:
        QFile::remove(path);
        QDir().mkpath(path + s("/inside"));
        return [path] { return QFileInfo(path + s("/inside")).isDir(); };
    case Damage::DanglingLink:
        QFile::remove(path);
        QFile::link(path + s(".gone"), path);
        return
            [path] { return QFileInfo(path).isSymLink() && !QFileInfo::exists(path + s(".gone")); };
    case Damage::Unreadable:
        QFile(path).setPermissions(QFileDevice::Permissions());
        return [path, bytes] {
            QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            return readAll(path) == bytes;
        };
    }
    writeFile(path, bytes);
    return [path, bytes] { return QFileInfo(path).isFile() && readAll(path) == bytes; };
}

class DamagedDataFile : public ::testing::TestWithParam<DamageCase>
{
};

// A data file that cannot be read whole is refused at start-up with its reason and left
// exactly as it was by the shutdown save, whatever the run did meanwhile.
TEST_P(DamagedDataFile, IsRefusedWithItsReasonAndNeverOverwritten)
{
    const DamageCase &c = GetParam();
    if (c.damage == Damage::Unreadable && ::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root from reading; the refusal of an "
                        "open that fails is covered by the folder and link cases";
    QTemporaryDir dir;
    {
        AppRun first(dir.path());
        ASSERT_TRUE(first.store.loadColumnSets().ok());
        const NodeHandle friends = first.addGroup("Friends", NodeKind::StandardGroup);
        first.addMember(friends, "Lee, Ann", "ann@example.org", NodeKind::CopiedMember);
        ASSERT_TRUE(first.store.saveGroupFile(first.tree).ok());
        ASSERT_TRUE(first.store.saveColumnSets(first.tree).ok());
    }
    const QString path = dir.filePath(s(c.groupFile ? "MailLists.tlx" : "mailfolders.sys"));
    const auto untouched = damage(path, c.damage);

    AppRun second(dir.path());
    const Status columns = second.store.loadColumnSets();
    const QString reason = c.groupFile ? second.status.error() : columns.error();
    EXPECT_FALSE(c.groupFile ? second.status.ok() : columns.ok());
    for (const QString &part : {s(c.reason), path, s("left untouched")})
        EXPECT_TRUE(reason.contains(part)) << reason.toStdString();

    if (c.groupFile) { // the roots put back, as a run that goes on would have them
        EXPECT_TRUE(second.root(NodeKind::StandardRoot).isNull());
        EXPECT_FALSE(second.store.groupFileError().isEmpty());
        setNodeKind(second.tree, second.tree.addNode(s("Standard Mail Groups")),
                    NodeKind::StandardRoot);
        setNodeKind(second.tree, second.tree.addNode(s("Dynamic Mail Groups")),
                    NodeKind::DynamicRoot);
    }
    const Status saved = c.groupFile ? second.store.saveGroupFile(second.tree)
                                     : second.store.saveColumnSets(second.tree);
    EXPECT_FALSE(saved.ok());
    EXPECT_TRUE(saved.error().contains(s(c.reason))) << saved.error().toStdString();
    EXPECT_TRUE(untouched());
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedDataFile,
    ::testing::Values(
        DamageCase{"GroupFileTruncated", true, Damage::Truncated, "truncated"},
        DamageCase{"GroupFileBitFlipped", true, Damage::BitFlipped, "damaged"},
        DamageCase{"GroupFileEmpty", true, Damage::Empty, "empty"},
        DamageCase{"GroupFileFolder", true, Damage::Folder, "it is a folder"},
        DamageCase{"GroupFileDanglingLink", true, Damage::DanglingLink, "does not exist"},
        DamageCase{"GroupFileUnreadable", true, Damage::Unreadable, "Permission denied"},
        DamageCase{"ColumnFileTruncated", false, Damage::Truncated, "cut short"},
        DamageCase{"ColumnFileBitFlipped", false, Damage::BitFlipped, "control characters"},
        DamageCase{"ColumnFileEmpty", false, Damage::Empty, "empty"},
        DamageCase{"ColumnFileFolder", false, Damage::Folder, "it is a folder"},
        DamageCase{"ColumnFileDanglingLink", false, Damage::DanglingLink, "does not exist"},
        DamageCase{"ColumnFileUnreadable", false, Damage::Unreadable, "Permission denied"}),
    corvel::test::ByName());

} // namespace
