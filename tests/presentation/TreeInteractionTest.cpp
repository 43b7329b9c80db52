#include "presentation/TreeInteraction.h"
#include "common/NamedCases.h"
#include "common/PanelCaptions.h"
#include "fakes/ScriptedDialogHost.h"
#include "presentation/CommandHost.h"
#include "presentation/TreeSurface.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

constexpr int RowPixels = 20;

// The tree on screen, one row per node in display order, RowPixels high.
class RecordingSurface : public TreeSurface
{
public:
    explicit RecordingSurface(const TreeList &tree)
        : m_tree(tree)
    {
    }
    [[nodiscard]] int NodeAt(int, int y) const override
    {
        const int index = y / RowPixels;
        return y >= 0 && index < m_tree.count() ? index : -1;
    }
    void DragBegin() override { ++drags; }
    void DragOver(int, int, int) override {}
    void DragEnd(int, int) override { ++dragEnds; }
    void PopupMenu() override { ++popups; }
    void showBusyPointer() override { busy = true; }
    void restorePointer() override { busy = false; }

    int drags = 0, dragEnds = 0, popups = 0;
    bool busy = false;

private:
    const TreeList &m_tree;
};

class RecordingCommands : public CommandHost
{
public:
    void setButtonStates(NodeKind kind) override { buttonStates.push_back(kind); }
    [[nodiscard]] bool isToolEnabled(const QString &tool) const override
    {
        return enabled.contains(tool.toLower());
    }
    void setToolEnabled(const QString &tool, bool on) override
    {
        on ? void(enabled.insert(tool.toLower())) : void(enabled.remove(tool.toLower()));
    }
    void runCommand(const QString &tool) override { ran << tool; }
    void copyToGroup(GroupId group) override { copiedTo.push_back(group); }

    std::vector<NodeKind> buttonStates;
    QSet<QString> enabled;
    QStringList ran;
    std::vector<GroupId> copiedTo;
};

// Personal Folders: Contacts (3 contacts), Drafts (1 message); Standard Mail Groups: Board
// (a copied and a typed-in member), Empty; Dynamic Mail Groups: Press (one member).
class TreeInteractionTest : public ::testing::Test
{
public:
    TreeInteractionTest()
        : surface(tree)
        , handlers({tree, surface, commands, status, dialogs})
    {
        store = add(u"Personal Folders"_s, {}, NodeKind::Store);
        contacts = add(u"Contacts"_s, store, NodeKind::ContactFolderListed, "F-CONTACTS");
        for (int i = 0; i < 3; ++i)
            people.push_back(add(u"Person %1"_s.arg(i), contacts, NodeKind::ContactRow));
        drafts = add(u"Drafts"_s, store, NodeKind::MessageFolderListed, "F-DRAFTS");
        letter = add(u"Letter"_s, drafts, NodeKind::MessageRow);
        const NodeHandle stdRoot = add(u"Standard Mail Groups"_s, {}, NodeKind::StandardRoot);
        board = add(u"Board"_s, stdRoot, NodeKind::StandardGroup);
        copied = add(u"Ames"_s, board, NodeKind::CopiedMember);
        add(u"typed"_s, board, NodeKind::TypedMember);
        empty = add(u"Empty"_s, stdRoot, NodeKind::StandardGroup);
        const NodeHandle dynRoot = add(u"Dynamic Mail Groups"_s, {}, NodeKind::DynamicRoot);
        press = add(u"Press"_s, dynRoot, NodeKind::DynamicGroup);
        tree.setValue(press, NodeValueName::EntryIds(), u"F-CONTACTS^F-GONE^F-DRAFTS"_s);
        tree.setValue(press, NodeValueName::FolderNames(), u"Contacts^Old Contacts^Drafts"_s);
        tree.setValue(press, u"inCats"_s, u"Press;Media"_s);
        add(u"member"_s, press, NodeKind::DynamicMember);
    }

    NodeHandle add(const QString &caption, NodeHandle parent, NodeKind kind,
                   const char *entryId = "")
    {
        const NodeHandle node = tree.addNode(caption, parent);
        setNodeKind(tree, node, kind);
        if (*entryId)
            tree.setValue(node, NodeValueName::EntryId(), QString::fromUtf8(entryId));
        return node;
    }

    // What a click on the node leaves behind, as the view would: the node current and selected.
    void clickOn(NodeHandle node, bool adding = false)
    {
        if (!adding)
            tree.clearSelection();
        tree.setSelected(node, true);
        tree.setCurrent(node);
        handlers.tlMain_Click();
    }

    // The height of a point on the node's row.
    [[nodiscard]] int yOf(NodeHandle node) const
    {
        return tree.indexOf(node) * RowPixels + RowPixels / 2;
    }

    [[nodiscard]] std::vector<NodeHandle> selection() const { return tree.selectedNodes(); }

    TreeList tree;
    RecordingSurface surface;
    RecordingCommands commands;
    test::PanelCaptions status;
    ScriptedDialogHost dialogs;
    TreeInteraction handlers;
    NodeHandle store, contacts, drafts, letter, board, copied, empty, press;
    std::vector<NodeHandle> people;
};

// --- Click handling

using T = TreeInteractionTest;

TEST_F(TreeInteractionTest, AClickSetsToolsAndStatusForTheNode)
{
    const struct
    {
        NodeHandle T::*node;
        NodeKind kind;
        const char *panels; // count|activity
    } cases[] = {
        {&T::store, NodeKind::Store, "|"},
        {&T::contacts, NodeKind::ContactFolderListed, "3 Items|"},
        {&T::drafts, NodeKind::MessageFolderListed, "1 Items|"},
        {&T::board, NodeKind::StandardGroup, "2 Items|"},
        {&T::empty, NodeKind::StandardGroup, "0 Items|"},
        {&T::press, NodeKind::DynamicGroup,
         "1 Items|Selected from: [Contacts], [ Old Contacts ], [Drafts] With Category(s)= "
         "Press;Media"},
        {&T::letter, NodeKind::MessageRow, "|"},
        {&T::copied, NodeKind::CopiedMember, "|"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(tree.indexOf(this->*c.node));
        status.captions[1] = status.captions[2] = u"stale"_s;
        commands.buttonStates.clear();
        clickOn(this->*c.node);
        EXPECT_EQ(handlers.selIndex(), tree.indexOf(this->*c.node));
        EXPECT_EQ(commands.buttonStates, std::vector<NodeKind>{c.kind});
        EXPECT_EQ(status.captions[1] + u'|' + status.captions[2], QString::fromUtf8(c.panels));
    }
}

TEST_F(TreeInteractionTest, DynamicGroupFoldersFollowRenamedFolders)
{
    tree.setCaption(drafts, u"Letters"_s);
    tree.setValue(press, NodeValueName::EntryIds(), u"F-DRAFTS^^F-GONE"_s);
    tree.setValue(press, NodeValueName::FolderNames(), u"Drafts^Lost"_s);
    clickOn(press);
    // An empty id matches no folder; a missing name reads empty.
    EXPECT_EQ(status.captions[2],
              u"Selected from: [Letters], [ Lost ], [  ] With Category(s)= Press;Media"_s);
}

TEST_F(TreeInteractionTest, NoCurrentNodeClearsTheStatusOnly)
{
    status.captions[1] = u"3 Items"_s;
    handlers.tlMain_Click();
    EXPECT_EQ(std::tuple(handlers.selIndex(), status.captions[1], commands.buttonStates.size()),
              std::tuple(-1, QString(), 0u));
    handlers.tlMain_DblClick();
    handlers.tlMain_KeyDown(Qt::Key_F2, Qt::NoModifier);
    EXPECT_TRUE(commands.ran.isEmpty());
}

TEST_F(TreeInteractionTest, SeveralItemsStaySelectedAndOnlyEditItemChanges)
{
    commands.setToolEnabled(u"btnEditItem"_s, true);
    commands.setToolEnabled(u"btnCopy"_s, true);
    clickOn(people[0]);
    commands.buttonStates.clear();
    clickOn(people[2], true);
    clickOn(letter, true);
    EXPECT_EQ(std::tuple(selection().size(), commands.isToolEnabled(u"btnEditItem"_s),
                         commands.isToolEnabled(u"btnCopy"_s), commands.buttonStates.size(),
                         handlers.selIndex()),
              std::tuple(3u, false, true, 0u, tree.indexOf(letter)));
}

TEST_F(TreeInteractionTest, AFolderInTheSelectionLeavesItAlone)
{
    // A contact, then a folder: the folder alone, with the folder's tools and summary.
    clickOn(people[0]);
    clickOn(contacts, true);
    EXPECT_EQ(std::tuple(selection(), commands.buttonStates.back(), status.captions[1]),
              std::tuple(std::vector{contacts}, NodeKind::ContactFolderListed, u"3 Items"_s));

    // A folder first, then a contact: the contact alone.
    clickOn(board);
    clickOn(people[1], true);
    EXPECT_EQ(selection(), std::vector<NodeHandle>{people[1]});
    EXPECT_EQ(commands.buttonStates.back(), NodeKind::ContactRow);
}

TEST_F(TreeInteractionTest, EscapeKeepsOnlyTheCurrentNode)
{
    clickOn(people[0]);
    clickOn(people[1], true);
    clickOn(people[2], true);
    commands.buttonStates.clear();
    handlers.escape();
    EXPECT_EQ(selection(), std::vector<NodeHandle>{people[2]});
    EXPECT_EQ(commands.buttonStates, std::vector<NodeKind>{NodeKind::ContactRow});
}

TEST_F(TreeInteractionTest, GridCellClickOnlyMovesSelIndex)
{
    tree.setCurrent(people[1]);
    handlers.tlMain_GridCellClick();
    EXPECT_EQ(handlers.selIndex(), tree.indexOf(people[1]));
    EXPECT_TRUE(commands.buttonStates.empty());
}

// --- Keys and double-click

TEST_F(TreeInteractionTest, KeysRunTheirCommandWhenAllowed)
{
    const struct
    {
        int key;
        Qt::KeyboardModifiers modifiers;
        const char *enabledTool; // "" for none
        const char *expectedCommand;
    } cases[] = {
        {Qt::Key_F2, Qt::ShiftModifier, "", ""},
        {Qt::Key_Delete, Qt::NoModifier, "btnDelete", "btnDelete"},
        {Qt::Key_Delete, Qt::NoModifier, "", ""},
        {Qt::Key_Delete, Qt::ControlModifier, "btnDelete", ""},
        {Qt::Key_C, Qt::AltModifier, "btnCopy", "btnCopy"},
        {Qt::Key_C, Qt::AltModifier, "", ""},
        {Qt::Key_C, Qt::AltModifier | Qt::ControlModifier, "btnCopy", ""},
        {Qt::Key_C, Qt::NoModifier, "btnCopy", ""},
        {Qt::Key_Insert, Qt::NoModifier, "btnDelete", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        commands.enabled.clear();
        commands.ran.clear();
        if (*c.enabledTool)
            commands.setToolEnabled(QString::fromUtf8(c.enabledTool), true);
        handlers.tlMain_KeyDown(c.key, c.modifiers);
        EXPECT_EQ(commands.ran.join(u','), QString::fromUtf8(c.expectedCommand));
    }
}

// What double-click and F2 do on a node of each kind, whatever the tool states say: "open"
// (double-click runs Edit Item), "rename" (F2 runs Change Group Name) or nothing.
TEST_F(TreeInteractionTest, DoubleClickAndF2ActOnlyWhereTheyMeanSomething)
{
    const std::pair<NodeKind, QString> cases[] = {
        {NodeKind::Store, u""_s},
        {NodeKind::ContactFolder, u""_s},
        {NodeKind::ContactFolderListed, u""_s},
        {NodeKind::MessageFolderListed, u""_s},
        {NodeKind::StandardRoot, u""_s},
        {NodeKind::DynamicRoot, u""_s},
        {NodeKind::StandardGroup, u"rename"_s},
        {NodeKind::DynamicGroup, u"rename"_s},
        {NodeKind::DynamicMember, u"open"_s},
        {NodeKind::ContactFolderListing, u""_s},
        {NodeKind::MessageFolderListing, u""_s},
        {NodeKind::ContactRow, u"open"_s},
        {NodeKind::MessageRow, u"open"_s},
        {NodeKind::CopiedMember, u"open"_s},
        {NodeKind::MailItemMember, u""_s},
        {NodeKind::TypedMember, u"open"_s},
    };
    for (const auto &[kind, action] : cases) {
        SCOPED_TRACE(int(kind));
        clickOn(add(u"node"_s, {}, kind));
        commands.ran.clear();
        handlers.tlMain_DblClick();
        EXPECT_EQ(commands.ran.join(u','), action == u"open"_s ? u"btnEditItem"_s : QString());
        commands.ran.clear();
        handlers.tlMain_KeyDown(Qt::Key_F2, Qt::NoModifier);
        handlers.tlMain_KeyDown(Qt::Key_F2, Qt::KeypadModifier);
        EXPECT_EQ(commands.ran.join(u','),
                  action == u"rename"_s ? u"btnChgName,btnChgName"_s : QString());
    }
}

// --- Drag start

TEST_F(TreeInteractionTest, DragStartsBeyondThreePixelsOncePerPress)
{
    tree.setCurrent(people[0]);
    handlers.tlMain_MouseDown(Qt::LeftButton, {}, 100, 100);
    handlers.tlMain_MouseMove(Qt::LeftButton, {}, 103, 97);
    EXPECT_EQ(surface.drags, 0);
    handlers.tlMain_MouseMove(Qt::LeftButton, {}, 100, 104);
    EXPECT_EQ(surface.drags, 1);
    handlers.tlMain_MouseMove(Qt::LeftButton, {}, 200, 200);
    EXPECT_EQ(surface.drags, 1);

    handlers.tlMain_MouseDown(Qt::LeftButton, {}, 100, 100);
    handlers.tlMain_MouseMove(Qt::LeftButton, {}, 96, 100);
    EXPECT_EQ(surface.drags, 2);
}

TEST_F(TreeInteractionTest, NoDragWithoutItsConditions)
{
    tree.setCurrent(people[0]);
    // The right button.
    handlers.tlMain_MouseDown(Qt::RightButton, {}, 1000, 1000);
    handlers.tlMain_MouseMove(Qt::RightButton, {}, 1200, 1000);
    // A press on the left edge.
    handlers.tlMain_MouseDown(Qt::LeftButton, {}, 0, 1000);
    handlers.tlMain_MouseMove(Qt::LeftButton, {}, 200, 1000);
    EXPECT_EQ(surface.drags, 0);

    // No current node: the press is used up all the same.
    tree.setCurrent({});
    handlers.tlMain_MouseDown(Qt::LeftButton, {}, 1000, 1000);
    handlers.tlMain_MouseMove(Qt::LeftButton, {}, 1200, 1000);
    tree.setCurrent(people[0]);
    handlers.tlMain_MouseMove(Qt::LeftButton, {}, 1400, 1000);
    EXPECT_EQ(surface.drags, 0);
}

TEST_F(TreeInteractionTest, FarPressPointsStayFarAway)
{
    tree.setCurrent(people[0]);
    handlers.tlMain_MouseDown(Qt::LeftButton, {}, 40000, 1000); // beyond 16 bits
    handlers.tlMain_MouseMove(Qt::LeftButton, {}, 40000, 1000);
    EXPECT_EQ(surface.drags, 1);
}

// --- Pointing and the right-click band

TEST_F(TreeInteractionTest, MouseUpPointsAtTheNodeUnderTheMouse)
{
    tree.setCurrent(people[0]);
    surface.busy = true;
    handlers.tlMain_MouseUp(Qt::LeftButton, {}, 100, yOf(board));
    EXPECT_EQ(std::tuple(handlers.selIndex(), surface.popups, surface.busy),
              std::tuple(tree.indexOf(board), 0, false));

    handlers.tlMain_MouseUp(Qt::LeftButton, Qt::ShiftModifier, 100, yOf(press));
    EXPECT_EQ(handlers.selIndex(), tree.indexOf(board));

    handlers.tlMain_MouseUp(Qt::LeftButton, {}, 100, 100000);
    EXPECT_EQ(handlers.selIndex(), -1);
}

TEST_F(TreeInteractionTest, RightClickOnSeveralNodesMovesTheCurrentIntoThem)
{
    commands.setToolEnabled(u"btnEditItem"_s, true);
    clickOn(people[0]);
    clickOn(people[1], true);
    handlers.tlMain_MouseUp(Qt::RightButton, {}, 100, yOf(people[2]));
    EXPECT_EQ(std::tuple(surface.popups, tree.current(), selection(),
                         commands.isToolEnabled(u"btnEditItem"_s)),
              std::tuple(1, people[2], std::vector{people[0], people[2]}, false));

    // Pointing at no node keeps the current node and the selection.
    handlers.tlMain_MouseUp(Qt::RightButton, {}, 100, 100000);
    EXPECT_EQ(std::tuple(surface.popups, tree.current(), selection().size()),
              std::tuple(2, people[2], 2u));
}

TEST_F(TreeInteractionTest, NoBandWithoutACurrentNode)
{
    surface.busy = true;
    handlers.tlMain_MouseUp(Qt::RightButton, {}, 100, yOf(board));
    EXPECT_EQ(surface.popups, 0);
    EXPECT_TRUE(surface.busy); // left as it was
}

// --- Drops

TEST_F(TreeInteractionTest, DropsRefuseAllButContactsOnAStandardGroup)
{
    const char *onlyOnto = "You may only Drag/Drop on to a Standard Mail Group";
    const char *onlyContacts = "You may only drag/drop Contact to a Standard Mail Group";
    const struct
    {
        NodeHandle T::*target;
        std::vector<NodeHandle T::*> extraSelected;
        const char *message; // "" when the drop is taken
    } cases[] = {
        {&T::board, {&T::letter}, ""},
        {&T::empty, {}, ""},
        {&T::press, {}, onlyOnto},
        {&T::contacts, {}, onlyOnto},
        {&T::letter, {&T::letter}, onlyOnto},
        {&T::board, {&T::copied}, onlyContacts},
        {&T::empty, {&T::drafts}, onlyContacts},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        dialogs.clear();
        commands.copiedTo.clear();
        surface.dragEnds = 0;
        clickOn(people[0]);
        for (const auto member : c.extraSelected)
            tree.setSelected(this->*member, true);
        tree.setCurrent(people[0]);
        const NodeHandle target = this->*c.target;
        handlers.tlMain_DragDrop(100, yOf(target));
        EXPECT_EQ(surface.dragEnds, 1);
        EXPECT_FALSE(surface.busy);
        if (*c.message) {
            EXPECT_EQ(dialogs.asked().size(), 1);
            EXPECT_TRUE(dialogs.asked().value(0).endsWith(QString::fromUtf8(c.message)))
                << dialogs.asked().value(0).toStdString();
            EXPECT_TRUE(commands.copiedTo.empty());
            EXPECT_EQ(selection(), std::vector<NodeHandle>{people[0]});
        } else {
            EXPECT_TRUE(dialogs.asked().isEmpty());
            EXPECT_EQ(commands.copiedTo, (std::vector<GroupId>{{target.slot, target.generation}}));
        }
    }
}

TEST_F(TreeInteractionTest, DropOutsideEveryNodeIsIgnored)
{
    clickOn(people[0]);
    clickOn(people[1], true);
    handlers.tlMain_DragDrop(100, 100000);
    EXPECT_EQ(std::tuple(dialogs.asked().size(), commands.copiedTo.size(), selection().size(),
                         surface.busy),
              std::tuple(0, 0u, 2u, false));
}

} // namespace
