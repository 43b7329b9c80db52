#include "folders/ItemLists.h"
#include "common/TreeText.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"
#include "folders/FolderListing.h"
#include "folders/FolderTree.h"
#include "groups/GroupStore.h"
#include "support/AtomicFile.h"
#include "support/BusyIndicator.h"
#include "support/JobRunner.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <map>

using namespace corvel;
using corvel::test::s;
using corvel::test::treeLines;

namespace {

const char *const StandardDefaults = "IPM.Contact\r\n"
                                     " FileAs;Contact Name;180\r\n"
                                     " Email1Address;eMail Address;200\r\n"
                                     " Categories;Categories;150\r\n"
                                     "IPM.Note\r\n"
                                     " Subject;Subject;300\r\n";

// Captions as "panel:text", in the order they were shown, and the busy spans.
class Recorder : public StatusPanels, public BusyIndicator
{
public:
    bool busy = false;
    int spans = 0;
    QStringList captions;
    std::map<int, QString> last; // by panel
    std::vector<int> percents;
    bool cancelled = false; // as a cancelled job's progress

    void updateCaption(int panel, const QString &caption) override
    {
        captions << QString::number(panel) + u':' + caption;
        last[panel] = caption;
    }
    void showPercent(int panel, int percent) override
    {
        EXPECT_EQ(panel, CountPanel);
        percents.push_back(percent);
    }
    void checkCancelled() const override
    {
        if (cancelled)
            throw JobCancelled{};
    }
    void reset()
    {
        captions.clear();
        last.clear();
        percents.clear();
    }
    void setBusy(bool on) override
    {
        busy = on;
        spans += on ? 1 : 0;
    }
};

// A session with "Personal Folders" holding Contacts and Drafts, and the real column-set
// files in a temporary application folder. Tests add folders and items, then build().
struct Fixture
{
    QTemporaryDir dir;
    std::shared_ptr<MemoryNamespace> session = std::make_shared<MemoryNamespace>();
    std::shared_ptr<MemoryFolder> store = session->addStore(s("Personal Folders"));
    std::shared_ptr<MemoryFolder> contacts = store->addFolder(s("Contacts"), s("IPM.Contact"));
    std::shared_ptr<MemoryFolder> drafts = store->addFolder(s("Drafts"));
    TreeList tree;
    std::unique_ptr<GroupStore> groups;
    std::unique_ptr<FolderTree> folders;
    Recorder panels;
    std::unique_ptr<ItemLists> lists;

    // folderSettings: lines of the per-folder file, "{contacts}" standing for that id.
    void build(const char *defaults = StandardDefaults, QByteArray folderSettings = {})
    {
        ASSERT_TRUE(AtomicFile::write(dir.filePath(s("mailstandards.sys")), defaults).ok());
        folderSettings.replace("{contacts}", contacts->EntryID().toUtf8());
        if (!folderSettings.isEmpty()) {
            ASSERT_TRUE(AtomicFile::write(dir.filePath(s("mailfolders.sys")), folderSettings).ok());
        }
        groups = std::make_unique<GroupStore>(dir.path(), dir.path() + s("/none"));
        ASSERT_TRUE(groups->loadColumnSets().ok());
        folders = std::make_unique<FolderTree>(tree, *session, *groups);
        ASSERT_TRUE(folders->loadFolderTree(false).ok());
        lists = std::make_unique<ItemLists>(tree, *session, groups->columnSets(), &panels, &panels);
        panels.reset();
    }

    NodeHandle node(const std::shared_ptr<MemoryFolder> &folder) const
    {
        return tree.findByValue(NodeValue(folder->EntryID()), s("EntryId"));
    }
    NodeKind kind(NodeHandle n) const { return nodeKind(tree, n); }
    // Each child of `holder` as its values joined by "|", in display order, joined by "/".
    QString rows(NodeHandle holder, const QStringList &names) const
    {
        QStringList lines;
        for (NodeHandle row : tree.children(holder)) {
            QStringList cells;
            for (const QString &name : names)
                cells << tree.value(row, name).toString();
            lines << cells.join(QLatin1Char('|'));
        }
        return lines.join(u'/');
    }
    const ColumnSet &columnSet(const QString &key) const
    {
        return groups->columnSets().record(groups->findColumnSet(key));
    }
    const ColumnSet &ownSet() const { return columnSet(contacts->EntryID()); }
};

const QStringList ContactValues = {s("olType"), s("FileAs"), s("Email1Address"), s("Categories")};

} // namespace

TEST(ItemLists, FirstListingOfAContactFolderCopiesTheDefaultColumnsAndSortsTheRows)
{
    Fixture f;
    auto zoe = f.contacts->addContact(s("Zed, Zoe"), s("zoe@example.org"), s("Work"));
    f.contacts->addContact(s("adams, Ann"), s("ann@example.org"));
    auto bob = f.contacts->addContact(s("Brown, Bob"), s("bob@example.org"), s("Work, Golf"));
    f.build();
    const int setsBefore = f.groups->columnSets().count();
    const NodeHandle folder = f.node(f.contacts);

    ASSERT_TRUE(f.lists->loadContacts(folder).ok());
    EXPECT_EQ(f.kind(folder), NodeKind::ContactFolderListed);
    EXPECT_EQ(f.rows(folder, ContactValues),
              s("30|adams, Ann|ann@example.org|/30|Brown, Bob|"
                "bob@example.org|Work, Golf/30|Zed, Zoe|zoe@example.org|Work"));
    EXPECT_EQ(f.tree.value(f.tree.children(folder).back(), s("EntryID")).toString(),
              zoe->EntryID());

    ASSERT_EQ(f.groups->columnSets().count(), setsBefore + 1);
    EXPECT_EQ(f.ownSet().displayName, s("Contacts"));
    EXPECT_EQ(f.ownSet().columns, f.columnSet(s("IPM.Contact")).columns);

    // The grid follows the copied set; how a set shapes it is the column table's to test.
    EXPECT_EQ(f.tree.columnLayout(folder).columns.at(1).width, 180);
    EXPECT_EQ(f.tree.current(), folder);
    EXPECT_EQ(f.tree.selectedNodes(), std::vector<NodeHandle>{folder});
    EXPECT_TRUE(f.tree.isExpanded(folder));
    EXPECT_FALSE(f.tree.isDrawingSuspended());
    EXPECT_EQ(f.panels.captions,
              (QStringList{s("1:"), s("2:Loading Contacts"), s("2:"), s("1:3 Items")}));
    EXPECT_EQ(f.panels.percents, std::vector<int>{100}); // one chunk
    EXPECT_FALSE(f.panels.busy);
    EXPECT_EQ(f.panels.spans, 1);

    // Listed again: the folder keeps its own set and shows exactly the items that are left.
    ASSERT_TRUE(f.session->remove(bob->EntryID()));
    ASSERT_TRUE(f.lists->loadContacts(folder).ok());
    EXPECT_EQ(f.groups->columnSets().count(), setsBefore + 1);
    EXPECT_EQ(f.rows(folder, {s("FileAs")}), s("adams, Ann/Zed, Zoe"));
    EXPECT_EQ(f.tree.descendantCount(folder), 2);
    EXPECT_EQ(f.panels.last[1], s("2 Items"));
}

TEST(ItemLists, AFolderWithSubFoldersGetsOneListingNode)
{
    Fixture f;
    f.contacts->addFolder(s("Friends"), s("IPM.Contact"));
    f.contacts->addContact(s("Brown, Bob"), s("bob@example.org"));
    f.drafts->addFolder(s("Old letters"));
    f.drafts->addMessage(s("Letter"));
    f.build();
    const NodeHandle folder = f.node(f.contacts);

    ASSERT_TRUE(f.lists->loadContacts(folder).ok());
    EXPECT_EQ(f.kind(folder), NodeKind::ContactFolderListing);
    EXPECT_EQ(f.tree.childOrder(folder), ChildOrder::Natural);
    const NodeHandle listing = f.tree.firstChild(folder);
    EXPECT_EQ(f.tree.caption(listing), s(" ... data for: Contacts"));
    EXPECT_EQ(f.kind(listing), NodeKind::ContactFolderListed);
    EXPECT_EQ(f.lists->rowsHolder(folder), listing);
    EXPECT_EQ(f.rows(listing, {s("FileAs")}), s("Brown, Bob"));
    EXPECT_EQ(f.tree.current(), listing);
    EXPECT_EQ(f.ownSet().displayName, s(" ... data for: Contacts"));
    EXPECT_FALSE(f.tree.hasColumnLayout(folder));

    // The folder node itself is never listed again; listing it lists its listing node, in place.
    f.contacts->addContact(s("Adams, Ann"), s("ann@example.org"));
    f.panels.reset();
    ASSERT_TRUE(f.lists->loadContacts(folder).ok());
    EXPECT_TRUE(f.panels.captions.empty());
    const Result<NodeHandle> again = FolderListing(f.tree, *f.lists).list(folder);
    EXPECT_TRUE(again.ok() && *again == listing);
    EXPECT_EQ(f.rows(listing, {s("FileAs")}), s("Adams, Ann/Brown, Bob"));
    EXPECT_EQ(treeLines(f.tree).mid(1, 5).join(u'/'),
              s("  Contacts/     ... data for: Contacts/      /      /    Friends"));
    EXPECT_EQ(f.panels.last[1], s("2 Items"));

    // Drafts found by id get a listing node too, and are listed afresh under it when found again.
    const NodeHandle drafts = f.node(f.drafts);
    EXPECT_EQ(f.lists->findDraftsNode(f.drafts->EntryID()), drafts);
    const NodeHandle letters = f.lists->rowsHolder(drafts);
    EXPECT_EQ(f.kind(drafts), NodeKind::MessageFolderListing);
    EXPECT_EQ(f.kind(letters), NodeKind::MessageFolderListed);
    f.drafts->addMessage(s("Second letter"));
    EXPECT_EQ(f.lists->findDraftsNode(f.drafts->EntryID()), drafts);
    EXPECT_EQ(f.tree.childCount(drafts), 2);
    EXPECT_EQ(f.rows(letters, {s("Subject")}), s("Letter/Second letter"));
}

TEST(ItemLists, AnEmptyFolderShowsItsHeadingsAndZeroItems)
{
    Fixture f;
    f.build();
    const NodeHandle folder = f.node(f.contacts);
    ASSERT_TRUE(f.lists->loadContacts(folder).ok());
    EXPECT_EQ(f.kind(folder), NodeKind::ContactFolderListed);
    EXPECT_FALSE(f.tree.hasChildren(folder));
    EXPECT_EQ(f.tree.columnLayout(folder).columns.at(1).heading, s("Contact Name"));
    EXPECT_EQ(f.panels.last[1], s("0 Items"));
    EXPECT_TRUE(f.panels.percents.empty());
}

// A folder's own column set, as the per-folder file holds it, shapes its list.
TEST(ItemLists, FolderColumnSetShapesTheList)
{
    // name; properties and widths as the file holds them; the widths shown, in pixels from
    // column 1, and the row's bound values, each joined by "~"
    const std::array<const char *, 5> cases[] = {
        {"UnreadablePropertyStaysEmpty", "FileAs~Body~Email1Address", "100~50~20", "100~50~20",
         "Brown, Bob~~bob@example.org"},
        {"UnusableWidthsGetTheDefault", "FileAs~Email1Address~Categories", "0~~abc", "167~167~167",
         "Brown, Bob~bob@example.org~Golf"},
        {"NegativeAndHugeWidthsGetTheDefault", "FileAs~Categories", "-5~99999999999", "167~167",
         "Brown, Bob~Golf"},
        {"FractionalWidthsAreRounded", "FileAs", " 12.5 ", "13", "Brown, Bob"},
        {"NamesMatchWithoutRegardToCase", "EMAIL1ADDRESS~fileas", "10~10", "10~10",
         "bob@example.org~Brown, Bob"},
        {"NoColumns", "", "", "", ""}};
    for (const auto &[name, properties, widths, expectedWidths, expectedRow] : cases) {
        SCOPED_TRACE(name);
        Fixture f;
        f.contacts->addContact(s("Brown, Bob"), s("bob@example.org"), s("Golf"));
        f.build(StandardDefaults,
                s("{contacts}^Old name^kept^%1^%1^%2\r\n").arg(s(properties), s(widths)).toUtf8());
        const int setsBefore = f.groups->columnSets().count();
        const NodeHandle folder = f.node(f.contacts);
        ASSERT_TRUE(f.lists->loadContacts(folder).ok());
        EXPECT_EQ(f.groups->columnSets().count(), setsBefore);
        EXPECT_EQ(f.ownSet().displayName, s("Contacts"));
        EXPECT_EQ(f.ownSet().reserved, s("kept"));

        const ColumnLayout layout = f.tree.columnLayout(folder);
        ASSERT_GE(layout.columnCount(), 1); // the caption column, even without a set's
        QStringList shownWidths, bound;
        for (int i = 1; i < layout.columnCount(); ++i) {
            shownWidths << QString::number(layout.columns[i].width);
            bound << layout.columns[i].boundValue;
        }
        EXPECT_EQ(shownWidths.join(u'~'), s(expectedWidths));
        const QStringList row = f.rows(folder, bound).split(u'|');
        EXPECT_EQ(row.join(u'~'), s(expectedRow));
        // Stored under the column set's own spelling, as the layout binds it.
        QStringList stored;
        for (const auto &value : f.tree.values(f.tree.firstChild(folder)))
            stored << value.first;
        for (qsizetype i = 0; i < bound.size(); ++i) {
            if (!row[i].isEmpty()) { // what cannot be read is not stored
                EXPECT_TRUE(stored.contains(bound[i])) << bound[i].toStdString();
            }
        }
        EXPECT_EQ(f.tree.value(f.tree.firstChild(folder), s("EntryId")).isEmpty(), false);
    }
}

// Other classes are skipped but counted; an item whose properties fail still gets its row.
TEST(ItemLists, ItemsOfOtherClassesAreSkippedAndFailingOnesKept)
{
    Fixture f;
    f.contacts->addMessage(s("A distribution list, say"));
    const auto ann = f.contacts->addContact(s("Adams, Ann"), s("ann@example.org"));
    f.contacts->addContact(s("Brown, Bob"), s("bob@example.org"))
        ->failOn(MemoryItem::Failure::Properties);
    f.drafts->addContact(s("Stray contact"), s("x@example.org"));
    f.drafts->addMessage(s("Hello"));
    f.build();

    ASSERT_TRUE(f.lists->loadContacts(f.node(f.contacts)).ok());
    EXPECT_EQ(f.rows(f.node(f.contacts), {s("olType"), s("FileAs"), s("EntryId")}),
              s("30||/30|Adams, Ann|") + ann->EntryID());
    EXPECT_EQ(f.panels.percents, std::vector<int>{100}); // one chunk
    EXPECT_EQ(f.panels.last[1], s("2 Items"));

    ASSERT_TRUE(f.lists->loadMessages(f.node(f.drafts), true, true).ok());
    EXPECT_EQ(f.rows(f.node(f.drafts), {s("olType"), s("Subject"), s("FileAs")}), s("31|Hello|"));
}

TEST(ItemLists, MessageFlagsDecideExpansionSelectionAndTheCount)
{
    for (const auto &[expand, select] :
         {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        SCOPED_TRACE(testing::Message() << "expand " << expand << " select " << select);
        Fixture f;
        f.drafts->addMessage(s("Zebra"));
        f.drafts->addMessage(s("apple"));
        f.build();
        const NodeHandle storeNode = f.tree.current();
        const NodeHandle drafts = f.node(f.drafts);
        ASSERT_TRUE(f.lists->loadMessages(drafts, expand, select).ok());
        EXPECT_EQ(f.kind(drafts), NodeKind::MessageFolderListed);
        EXPECT_EQ(f.rows(drafts, {s("olType"), s("Subject")}), s("31|apple/31|Zebra"));
        EXPECT_EQ(f.tree.columnLayout(drafts).columns.at(1).width, 300);
        EXPECT_EQ(f.tree.isExpanded(drafts), expand);
        EXPECT_EQ(f.tree.current(), select ? drafts : storeNode);
        EXPECT_EQ(f.tree.selectedNodes(), std::vector<NodeHandle>{select ? drafts : storeNode});
        // Panel 1 is not cleared first: messages keep the count shown until the end.
        EXPECT_EQ(f.panels.captions, (QStringList{s("2:Loading Messages"), s("2:"),
                                                  select ? s("1:2 Items") : s("1:")}));
    }
}

TEST(ItemLists, OtherKindsAndNodesWithoutEntryIdAreIgnored)
{
    Fixture f;
    f.contacts->addContact(s("Brown, Bob"), s("bob@example.org"));
    f.build();
    const NodeHandle contacts = f.node(f.contacts);
    const NodeHandle drafts = f.node(f.drafts);
    const NodeHandle bare = f.tree.addNode(s("No id"), contacts);
    setNodeKind(f.tree, bare, NodeKind::ContactFolder);
    const QStringList before = treeLines(f.tree);

    for (const NodeHandle node : {drafts, f.tree.at(0), bare, NodeHandle{}}) // the store: kind 0
        EXPECT_TRUE(f.lists->loadContacts(node).ok());
    EXPECT_TRUE(f.lists->loadMessages(contacts, true, true).ok());
    EXPECT_EQ(treeLines(f.tree), before);
    EXPECT_EQ(f.kind(contacts), NodeKind::ContactFolder);
    EXPECT_EQ(f.kind(drafts), NodeKind::MessageFolder);
    EXPECT_TRUE(f.panels.captions.empty());
    EXPECT_EQ(f.panels.spans, 0);
}

TEST(ItemLists, FindDraftsNodeListsTheFolderAfreshEachTime)
{
    Fixture f;
    f.drafts->addMessage(s("Letter"));
    f.build();
    const NodeHandle storeNode = f.tree.current();
    const NodeHandle drafts = f.node(f.drafts);

    Status listing = Status::failure(s("untouched"));
    EXPECT_EQ(f.lists->findDraftsNode(f.drafts->EntryID(), &listing), drafts);
    EXPECT_TRUE(listing.ok());
    EXPECT_EQ(f.kind(drafts), NodeKind::MessageFolderListed);
    EXPECT_EQ(f.rows(drafts, {s("Subject")}), s("Letter"));
    EXPECT_FALSE(f.tree.isExpanded(drafts));
    EXPECT_EQ(f.tree.current(), storeNode);
    EXPECT_EQ(f.panels.last[1], QString());

    f.drafts->addMessage(s("Second letter"));
    EXPECT_EQ(f.lists->findDraftsNode(f.drafts->EntryID()), drafts);
    EXPECT_EQ(f.rows(drafts, {s("Subject")}), s("Letter/Second letter"));

    EXPECT_TRUE(f.lists->findDraftsNode(s("NO SUCH ID")).isNull());
    // Without a Drafts folder nothing is found, not the first node lacking an EntryId.
    f.tree.addNode(s("Loose node"));
    EXPECT_TRUE(f.lists->findDraftsNode(QString()).isNull());
}

TEST(ItemLists, AFolderThatCannotBeOpenedLeavesTheTreeAsItWas)
{
    // The folder deleted (else its items fail to open), it has a sub-folder, it was listed before.
    const std::array<bool, 3> cases[] = {{true, false, false},  {true, true, false},
                                         {false, false, false}, {false, true, false},
                                         {true, false, true},   {false, true, true}};
    for (const auto [deleted, subFolder, listedBefore] : cases) {
        SCOPED_TRACE(testing::Message() << deleted << subFolder << listedBefore);
        Fixture f;
        if (subFolder)
            f.contacts->addFolder(s("Friends"), s("IPM.Contact"));
        f.contacts->addContact(s("Brown, Bob"), s("bob@example.org"));
        f.build();
        const NodeHandle folder = f.node(f.contacts);
        if (listedBefore) {
            ASSERT_TRUE(f.lists->loadContacts(folder).ok());
        }
        const NodeHandle holder = f.lists->rowsHolder(folder);
        const QStringList before = treeLines(f.tree);
        const NodeKind kindBefore = f.kind(folder);
        const int setsBefore = f.groups->columnSets().count();
        if (deleted)
            ASSERT_TRUE(f.session->remove(f.contacts->EntryID()));
        else
            f.contacts->failOn(MemoryFolder::Failure::Items);
        f.panels.reset();

        const Status status = f.lists->loadContacts(holder);
        EXPECT_FALSE(status.ok());
        EXPECT_TRUE(status.error().contains(f.tree.caption(holder)))
            << status.error().toStdString();
        EXPECT_EQ(f.kind(folder), kindBefore);
        EXPECT_EQ(treeLines(f.tree), before);
        EXPECT_EQ(f.groups->columnSets().count(), setsBefore);
        EXPECT_FALSE(f.tree.isDrawingSuspended());
        EXPECT_FALSE(f.panels.busy);
        EXPECT_EQ(f.panels.last[2], QString());
    }
}

TEST(ItemLists, WithoutAClassDefaultEveryReadableFieldIsShown)
{
    Fixture f;
    f.contacts->addContact(s("Brown, Bob"), s("bob@example.org"), s("Golf"));
    f.drafts->addMessage(s("Letter"));
    f.build("IPM.Appointment\r\n Subject;Subject;100\r\n");
    const NodeHandle contacts = f.node(f.contacts);
    ASSERT_TRUE(f.lists->loadContacts(contacts).ok());
    EXPECT_EQ(f.tree.columnLayout(contacts).columns.at(3).width, 150);
    EXPECT_EQ(f.rows(contacts, ContactValues), s("30|Brown, Bob|bob@example.org|Golf"));
    EXPECT_EQ(ColumnSets::formatLine(f.ownSet()),
              f.contacts->EntryID() + s("^Contacts^^FileAs~Email1Address~Categories"
                                        "^Contact Name~eMail Address~Categories^150~150~150"));

    ASSERT_TRUE(f.lists->loadMessages(f.node(f.drafts), true, true).ok());
    EXPECT_EQ(f.tree.columnLayout(f.node(f.drafts)).columns.at(1).boundValue, s("Subject"));
    EXPECT_EQ(f.rows(f.node(f.drafts), {s("Subject")}), s("Letter"));
}

TEST(ItemLists, ProgressIsDrawnOncePerWholePercent)
{
    Fixture f;
    for (int i = 0; i < 10000; ++i)
        f.contacts->addContact(s("Contact %1").arg(i, 5, 10, QLatin1Char('0')), QString());
    f.build();
    const NodeHandle folder = f.node(f.contacts);
    ASSERT_TRUE(f.lists->loadContacts(folder).ok());
    // Rising chunk by chunk, each whole percent drawn once at most.
    EXPECT_GT(f.panels.percents.size(), 10u);
    EXPECT_EQ(std::adjacent_find(f.panels.percents.begin(), f.panels.percents.end(),
                                 std::greater_equal<>()),
              f.panels.percents.end());
    EXPECT_EQ(f.panels.percents.back(), 100);
    EXPECT_EQ(f.panels.last[1], s("10000 Items"));
    EXPECT_EQ(f.tree.value(f.tree.firstChild(folder), s("FileAs")).toString(), s("Contact 00000"));

    // Cancelled, the window's read stops at its next chunk rather than read on.
    f.panels.reset();
    f.panels.cancelled = true;
    const auto plan = f.lists->planContacts(folder);
    ASSERT_TRUE(plan);
    EXPECT_THROW((void)ItemLists::readRows(*f.session, *plan, &f.panels), JobCancelled);
    EXPECT_TRUE(f.panels.percents.empty());
}

// A column-set line of the per-folder file, and how it is written back (nullptr: as read).
TEST(ColumnSetLines, AreWrittenBackAsTheyWereRead)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"ThreeColumns", "K^Name^r^FileAs~Email1Address~Categories^A~B~C^1~2~3", nullptr},
        {"EmptyColumnFields", "K^Name^^^^", nullptr},
        {"EmptyMiddleColumn", "K^^^a~~c^x~~z^1~~3", nullptr},
        {"ShortHeadingsPadded", "K^N^^a~b^x^5", "K^N^^a~b^x~^5~"},
        {"ShortPropertiesPadded", "K^N^^a^x~y^5~6~7", "K^N^^a~~^x~y~^5~6~7"},
        {"MissingFields", "K^Name", "K^Name^^^^"},
        {"WidthWithoutProperty", "K^N^^^^5", nullptr},
        {"FieldsPastTheSixthDropped", "K^N^r^a^b^1^extra^more", "K^N^r^a^b^1"}};
    for (const auto &[name, line, written] : cases) {
        const QString read = QString::fromUtf8(line);
        EXPECT_EQ(ColumnSets::formatLine(ColumnSets::parseLine(read)),
                  written ? QString::fromUtf8(written) : read)
            << name;
    }
}
