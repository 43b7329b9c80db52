#include "folders/FolderTree.h"
#include "common/TreeText.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryNamespace.h"
#include "folders/GroupRootsSource.h"
#include "tree/NodeKinds.h"

#include <gtest/gtest.h>

using namespace corvel;
using corvel::test::s;
using corvel::test::treeLines;

namespace {

// Empty group roots, as on a first run; or a refusal, as for a damaged group file.
class FakeGroupRoots : public GroupRootsSource
{
public:
    bool fail = false;
    Status addGroupRoots(TreeList &tree, NodeHandle parent) override
    {
        if (fail)
            return Status::failure(s("damaged group file"));
        const NodeHandle standard = tree.addNode(s("Standard Mail Groups"), parent);
        setNodeKind(tree, standard, NodeKind::StandardRoot);
        tree.setValue(standard, s("SortMe"), s("1"));
        const NodeHandle dynamic = tree.addNode(s("Dynamic Mail Groups"), parent);
        setNodeKind(tree, dynamic, NodeKind::DynamicRoot);
        tree.setValue(dynamic, s("SortMe"), s("2"));
        return {};
    }
};

struct Fixture
{
    std::shared_ptr<MemoryNamespace> session = std::make_shared<MemoryNamespace>();
    FakeGroupRoots roots;
    TreeList tree;
    FolderTree builder{tree, *session, roots};
    QString lines() const { return treeLines(tree).join(u'/'); }
};

} // namespace

TEST(FolderTree, ListsContactFoldersAndDraftsOfThePersonalStore)
{
    Fixture f;
    auto personal = f.session->addStore(s("personal folders"));
    auto other = f.session->addStore(s("Archive"));
    other->addFolder(s("Contacts"), s("IPM.Contact"));
    auto inbox = personal->addFolder(s("Inbox"));
    inbox->addFolder(s("Nested in inbox"));
    auto contacts = personal->addFolder(s("Contacts"), s("IPM.Contact"));
    auto friends = contacts->addFolder(s("Friends"), s("IPM.Contact"));
    contacts->addFolder(s("Sent Items"));
    auto drafts = personal->addFolder(s("Drafts"));
    drafts->addFolder(s("Deleted Items"));
    auto calendar = personal->addFolder(s("Calendar"), s("IPM.Appointment"));
    calendar->addFolder(s("Hidden contacts"), s("IPM.Contact"));
    personal->addFolder(s("Sent Items"));

    ASSERT_TRUE(f.builder.loadFolderTree(false).ok());
    EXPECT_EQ(f.lines(), s("personal folders/  Contacts/    Friends/    Sent Items/  Drafts/"
                           "    Deleted Items/Standard Mail Groups/Dynamic Mail Groups"));

    for (const auto &[caption, kind] : {std::pair{"personal folders", NodeKind::Store},
                                        std::pair{"Friends", NodeKind::ContactFolder},
                                        std::pair{"Deleted Items", NodeKind::MessageFolder}})
        EXPECT_EQ(nodeKind(f.tree, f.tree.findByCaption(s(caption))), kind) << caption;
    const NodeHandle store = f.tree.at(0);
    EXPECT_EQ(f.tree.value(store, s("StoreId")).toString(), QString());
    EXPECT_EQ(f.tree.value(store, s("SortMe")).toString(), s("0"));
    EXPECT_EQ(f.tree.value(f.tree.findByCaption(s("Friends")), s("storeid")).toString(),
              friends->StoreID());
    EXPECT_EQ(f.builder.sourceFolderIds(), personal->EntryID() + u'^' + contacts->EntryID());
    EXPECT_EQ(f.tree.current(), store);
    EXPECT_TRUE(f.tree.isSelected(store));
    for (NodeHandle top : f.tree.children({}))
        EXPECT_TRUE(f.tree.isExpanded(top));
}

TEST(FolderTree, IncludingAllStoresOrdersThemBeforeTheGroupRoots)
{
    Fixture f;
    auto work = f.session->addStore(s("Work"));
    auto personal = f.session->addStore(s("Personal Folders"));
    work->addFolder(s("Drafts"));
    personal->addFolder(s("drafts"));

    ASSERT_TRUE(f.builder.loadFolderTree(true).ok());
    EXPECT_EQ(
        f.lines(),
        s("Personal Folders/  drafts/Work/  Drafts/Standard Mail Groups/Dynamic Mail Groups"));
    EXPECT_EQ(f.builder.sourceFolderIds(), work->EntryID() + u'^' + personal->EntryID());
    EXPECT_EQ(f.tree.current(), f.tree.findByCaption(s("Personal Folders")));
}

TEST(FolderTree, WithoutAPersonalStoreTheFirstGroupRootIsCurrent)
{
    Fixture f;
    f.session->addStore(s("Work"))->addFolder(s("Contacts"), s("IPM.Contact"));
    ASSERT_TRUE(f.builder.loadFolderTree(false).ok());
    EXPECT_EQ(f.lines(), s("Standard Mail Groups/Dynamic Mail Groups"));
    EXPECT_EQ(f.tree.current(), f.tree.at(0));
    EXPECT_TRUE(f.builder.sourceFolderIds().isEmpty());
}

TEST(FolderTree, AFailureEndsTheBuildWhereItHappened)
{
    {
        Fixture f;
        auto personal = f.session->addStore(s("Personal Folders"));
        personal->addFolder(s("Contacts"), s("IPM.Contact"))
            ->failOn(MemoryFolder::Failure::Folders);
        const Status status = f.builder.loadFolderTree(false);
        EXPECT_FALSE(status.ok());
        EXPECT_FALSE(status.error().isEmpty());
        EXPECT_EQ(f.lines(), s("Corvel: Test User/  Personal Folders/    Contacts"));
        EXPECT_TRUE(f.tree.current().isNull());
        EXPECT_FALSE(f.tree.isDrawingSuspended());
    }
    {
        Fixture f;
        f.session->addStore(s("Personal Folders"));
        f.roots.fail = true;
        EXPECT_EQ(f.builder.loadFolderTree(false).error(), s("damaged group file"));
        EXPECT_EQ(f.lines(), s("Corvel: Test User/  Personal Folders"));
    }
    {
        Fixture f;
        f.session->addStore(s("Personal Folders"));
        f.session->setCurrentUser(std::nullopt);
        EXPECT_FALSE(f.builder.loadFolderTree(false).ok());
        EXPECT_EQ(f.tree.count(), 0);
    }
}
