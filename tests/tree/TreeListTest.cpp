#include "tree/TreeList.h"
#include "common/TreeText.h"
#include "tree/TreeBranchFile.h"
#include "tree/TreeSnapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace corvel;
using corvel::test::s;
using corvel::test::treeLines;

namespace {

// The captions of the children of `parent`, joined by "/".
QString childCaptions(const TreeList &tree, NodeHandle parent)
{
    QStringList result;
    for (NodeHandle node : tree.children(parent))
        result << tree.caption(node);
    return result.join(u'/');
}

} // namespace

// Indices, levels and counts are checked against a walk below; here: what a removal leaves.
TEST(TreeList, RemovedNodesStayGoneEvenWhenTheirSlotIsReused)
{
    TreeList tree;
    const NodeHandle a = tree.addNode(s("a"));
    const NodeHandle b = tree.addNode(s("b"));
    const NodeHandle a1 = tree.addNode(s("a1"), a);
    tree.addNode(s("a1x"), a1);
    tree.addNode(s("a2"), a);
    tree.addNode(s("b1"), b);
    tree.remove(a1);
    EXPECT_EQ(treeLines(tree).join(u'/'), s("a/  a2/b/  b1"));
    EXPECT_FALSE(tree.isValid(a1));
    EXPECT_EQ(tree.indexOf(a1), -1);

    // A slot reused by a new node does not revive the stale handle.
    const NodeHandle reused = tree.addNode(s("c"));
    EXPECT_NE(reused, a1);
    EXPECT_EQ(tree.caption(a1), QString());
    tree.setCaption(a1, s("ghost"));
    EXPECT_EQ(treeLines(tree).back(), s("c"));

    tree.clear();
    EXPECT_EQ(tree.count(), 0);
    EXPECT_FALSE(tree.isValid(b));
    EXPECT_TRUE(tree.at(0).isNull());
}

TEST(TreeList, NaturalOrderPutsStoresBeforeTheGroupRoots)
{
    TreeList tree;
    tree.setChildOrder({}, ChildOrder::Natural);
    for (const auto &[caption, name, sortMe] : {std::array{"Dynamic Mail Groups", "SortMe", "2"},
                                                {"Standard Mail Groups", "sortme", "1"},
                                                {"work", "SortMe", "0"},
                                                {"Personal Folders", "SortMe", "0"},
                                                {"Archive", "SortMe", "0"}})
        tree.setValue(tree.addNode(s(caption)), s(name), s(sortMe));
    EXPECT_EQ(childCaptions(tree, {}),
              s("Archive/Personal Folders/work/Standard Mail Groups/Dynamic Mail Groups"));
    EXPECT_EQ(tree.findByValue(NodeValue(s("0")), s("SORTME")), tree.at(0));
}

TEST(TreeList, ValueOrderStaysSortedStableAndCaseBlind)
{
    TreeList tree;
    const NodeHandle group = tree.addNode(s("group"));
    tree.setChildOrder(group, ChildOrder::ByValue, s("FileAs"));
    auto add = [&](const char *fileAs, const char *tag) { // the tag as the caption
        const NodeHandle row = tree.addNode(s(tag), group);
        tree.setValue(row, s("FileAs"), s(fileAs));
        return row;
    };
    add("lee, ann", "1");
    add("Baker, Tom", "2");
    const NodeHandle third = add("Lee, Ann", "3");
    add("adams, Zoe", "4");
    EXPECT_EQ(childCaptions(tree, group), s("4/2/1/3"));

    // Rows added later land in place; a changed key moves its row.
    add("Carter, Al", "5");
    tree.setValue(third, s("fileas"), s("Aaron, Bo"));
    EXPECT_EQ(childCaptions(tree, group), s("3/4/2/5/1"));
    EXPECT_EQ(tree.indexOf(third), 1);

    // By caption when no value name is given.
    const NodeHandle root = tree.addNode(s("root"));
    tree.setChildOrder(root, ChildOrder::ByValue);
    for (const char *name : {"b", "C", "a"})
        tree.addNode(s(name), root);
    EXPECT_EQ(childCaptions(tree, root), s("a/b/C"));
}

// A group sorted once and then changed in a few rows (or in many) orders exactly as the same
// rows added afresh: ties and equal keys included.
TEST(TreeList, ChangedKeysGiveTheOrderOfAFreshSort)
{
    constexpr int rows = 2000;
    const auto key = [](int i) {
        return QString::number((i * 7919) % 997).rightJustified(4, u'0');
    };
    for (const int changes : {1, 2, 9, 40, 600}) {
        TreeList tree;
        const NodeHandle group = tree.addNode(s("group"));
        tree.setChildOrder(group, ChildOrder::ByValue, s("FileAs"));
        std::vector<NodeHandle> added;
        std::vector<QString> keys;
        for (int i = 0; i < rows; ++i) {
            added.push_back(tree.addNode(QString::number(i), group));
            keys.push_back(key(i));
            tree.setValue(added.back(), s("FileAs"), keys.back());
        }
        (void)tree.children(group); // sorted once
        for (int c = 0; c < changes; ++c) {
            const int row = (c * 613 + 11) % rows;
            keys[size_t(row)] = c % 2 ? s("0000") : s("zz") + QString::number(c);
            tree.setValue(added[size_t(row)], s("FileAs"), keys[size_t(row)]);
        }
        TreeList fresh;
        const NodeHandle expected = fresh.addNode(s("group"));
        fresh.setChildOrder(expected, ChildOrder::ByValue, s("FileAs"));
        for (int i = 0; i < rows; ++i)
            fresh.setValue(fresh.addNode(QString::number(i), expected), s("FileAs"),
                           keys[size_t(i)]);
        EXPECT_EQ(childCaptions(tree, group), childCaptions(fresh, expected)) << changes;
    }
}

TEST(TreeList, ValuesKeepTheirTypeAndNamesIgnoreCase)
{
    TreeList tree;
    const NodeHandle node = tree.addNode(s("n"));
    tree.setValue(node, s("olType"), 9);
    tree.setValue(node, s("EntryId"), s("00AB"));
    EXPECT_TRUE(tree.value(node, s("OLTYPE")).isNumber());
    EXPECT_EQ(tree.value(node, s("oltype")).toInt(), 9);
    EXPECT_EQ(tree.value(node, s("EntryID")).toString(), s("00AB"));
    EXPECT_TRUE(tree.value(node, s("InCats")).isEmpty());
    EXPECT_EQ(tree.value(node, s("never")).toInt(), 0);
    tree.setValue(node, s("ENTRYID"), s("00CD"));
    // The first spelling is kept.
    EXPECT_EQ(tree.values(node), (std::vector<std::pair<QString, NodeValue>>{
                                     {s("olType"), 9}, {s("EntryId"), s("00CD")}}));
}

TEST(TreeList, FindMatchesNumbersAndTextsWithinTheRange)
{
    TreeList tree;
    std::vector<NodeHandle> nodes;
    for (int i = 0; i < 6; ++i) {
        nodes.push_back(tree.addNode(QString::number(i)));
        tree.setValue(nodes.back(), s("olType"), i % 3);
    }
    tree.setValue(nodes[4], s("EntryId"), s("X"));
    EXPECT_EQ(tree.findByValue(2, s("OLTYPE")), nodes[2]);
    EXPECT_EQ(tree.findByValue(NodeValue(s("2")), s("olType")), nodes[2]);
    EXPECT_EQ(tree.findByValue(2, s("olType"), 3), nodes[5]);
    EXPECT_TRUE(tree.findByValue(2, s("olType"), 3, 4).isNull());
    EXPECT_EQ(tree.findByValue(NodeValue(s("X")), s("entryid")), nodes[4]);
    EXPECT_TRUE(tree.findByValue(NodeValue(s("x")), s("EntryId")).isNull());
    EXPECT_TRUE(tree.findByValue(7, s("unknown name")).isNull());
    EXPECT_EQ(tree.findByCaption(s("3")), nodes[3]);
    EXPECT_TRUE(tree.findByCaption(s("3"), 4).isNull());
}

TEST(TreeList, SelectionIsReportedInDisplayOrderAndForgetsRemovedNodes)
{
    TreeList tree;
    const NodeHandle group = tree.addNode(s("g"));
    tree.setChildOrder(group, ChildOrder::ByValue);
    const NodeHandle z = tree.addNode(s("z"), group);
    const NodeHandle m = tree.addNode(s("m"), group);
    const NodeHandle a = tree.addNode(s("a"), group);
    tree.setSelected(z, true);
    tree.setSelected(a, true);
    tree.setSelected(a, true);
    tree.setCurrent(m);
    EXPECT_EQ(tree.selectedCount(), 2);
    EXPECT_EQ(tree.selected(0), a);
    EXPECT_EQ(tree.selected(1), z);
    tree.remove(a);
    tree.remove(m);
    EXPECT_EQ(tree.selectedCount(), 1);
    EXPECT_EQ(tree.selected(0), z);
    EXPECT_TRUE(tree.current().isNull());
}

// Views redraw on a changed stamp: a repeated or empty change must not cost a redraw.
TEST(TreeList, ExpansionAndOrderChangesAreCountedButRepeatsAreNot)
{
    TreeList tree;
    const NodeHandle parent = tree.addNode(s("parent"));
    tree.setExpanded(parent, true);
    const quint64 opened = tree.structureStamp();
    tree.setExpanded(parent, true);
    tree.setExpanded(NodeHandle{}, true);
    EXPECT_EQ(tree.structureStamp(), opened);
    tree.setExpanded(parent, false);
    EXPECT_NE(tree.structureStamp(), opened);

    // The same sort key again: a large group is not sorted anew.
    const NodeHandle child = tree.addNode(s("child"), parent);
    tree.setChildOrder(parent, ChildOrder::ByValue, s("FileAs"));
    tree.setValue(child, s("FileAs"), s("Lee"));
    const quint64 valued = tree.structureStamp();
    tree.setValue(child, s("fileas"), s("Lee"));
    EXPECT_EQ(tree.structureStamp(), valued);
    tree.setValue(child, s("FileAs"), s("Lea"));
    EXPECT_NE(tree.structureStamp(), valued);
}

TEST(TreeList, BranchCopyKeepsEverythingAndInsertsElsewhere)
{
    TreeList tree;
    const NodeHandle root = tree.addNode(s("Standard Mail Groups"));
    tree.setPicture(root, 110);
    tree.setExpanded(root, true);
    tree.setValue(root, s("olType"), 7);
    tree.setValue(root, s("SortMe"), s("1"));
    const NodeHandle group = tree.addNode(s("Friends"), root);
    ColumnLayout layout;
    layout.columns = {
        {}, {150, s("FileAs"), s("Contact Name")}, {150, s("Email1Address"), s("eMail Address")}};
    tree.setColumnLayout(group, layout);
    tree.setChildOrder(group, ChildOrder::ByValue, s("FileAs"));
    for (const char *name : {"Zed", "Amy"}) {
        const NodeHandle row = tree.addNode(QString(), group);
        tree.setValue(row, s("FileAs"), s(name));
        tree.setValue(row, s("olType"), 37);
        tree.setColour(row, 0x800000);
    }

    const TreeBranch whole = tree.copyBranch(root);
    TreeList other;
    const NodeHandle holder = other.addNode(s("holder"));
    const NodeHandle copy = other.insertBranch(whole, holder);
    EXPECT_EQ(other.level(copy), 1);
    EXPECT_EQ(other.descendantCount(holder), 4);
    // Encoded alike: captions, pictures, values, layouts, orders, colours, levels all kept.
    EXPECT_EQ(TreeBranchFile::encode(other, copy), TreeBranchFile::encode(tree, root));
    EXPECT_EQ(TreeBranchFile::encode(TreeSnapshot(tree, root)), TreeBranchFile::encode(tree, root));
    EXPECT_EQ(other.value(other.at(3), s("fileas")).toString(), s("Amy"));

    // Descendants only: the rows come without their group, at the top level.
    const TreeBranch rows = tree.copyBranch(group, true);
    ASSERT_EQ(rows.size(), 2u);
    TreeList flat;
    flat.insertBranch(rows);
    EXPECT_EQ(flat.childCount({}), 2);
    EXPECT_EQ(flat.level(flat.at(1)), 0);

    // Handed over, the nodes are moved in whole.
    TreeList moved;
    const NodeHandle sorted = moved.addNode(s("sorted"));
    moved.insertBranch(tree.copyBranch(group, true), sorted);
    EXPECT_EQ(moved.descendantCount(sorted), 2);
    EXPECT_EQ(moved.value(moved.at(2), s("FileAs")).toString(), s("Zed"));
    EXPECT_EQ(moved.value(moved.at(2), s("olType")).toInt(), 37);
}

// Display indices, levels and descendant counts are kept up incrementally; after any mix of
// adds, removals, moves by a changed sort key and branch copies they must still be what a
// walk of the tree gives, or a click lands on the wrong row.
TEST(TreeList, BookkeepingMatchesAWalkAfterRandomChanges)
{
    TreeList tree;
    std::vector<NodeHandle> live;
    quint32 seed = 12345;
    const auto next = [&seed](std::size_t below) {
        seed = seed * 1103515245u + 12345u;
        return std::size_t((seed >> 8) % below);
    };
    const auto pick = [&]() -> NodeHandle {
        live.erase(std::remove_if(live.begin(), live.end(),
                                  [&tree](NodeHandle n) { return !tree.isValid(n); }),
                   live.end());
        return live.empty() || next(5) == 0 ? NodeHandle{} : live[next(live.size())];
    };
    std::function<int(NodeHandle, int, int &)> walk = [&](NodeHandle parent, int level,
                                                          int &index) {
        int descendants = 0;
        QString previous;
        for (NodeHandle child : tree.children(parent)) {
            EXPECT_EQ(tree.indexOf(child), index);
            EXPECT_EQ(tree.at(index), child);
            EXPECT_EQ(tree.level(child), level);
            EXPECT_EQ(tree.parent(child), parent);
            const QString key = tree.value(child, s("Key")).toString();
            if (tree.childOrder(parent) == ChildOrder::ByValue) {
                EXPECT_LE(previous.compare(key, Qt::CaseInsensitive), 0) << "sorted children";
            }
            previous = key;
            ++index;
            const int below = walk(child, level + 1, index);
            EXPECT_EQ(tree.descendantCount(child), below);
            descendants += below + 1;
        }
        return descendants;
    };
    for (int step = 0; step < 400; ++step) {
        const NodeHandle node = pick();
        switch (next(6)) {
        case 0:
        case 1: {
            const NodeHandle added = tree.addNode(QString::number(step), node);
            tree.setValue(added, s("Key"), QString(QChar(u'a' + int(next(26)))));
            if (next(3) == 0)
                tree.setChildOrder(added, ChildOrder::ByValue, s("Key"));
            live.push_back(added);
            break;
        }
        case 2:
            if (!node.isNull() && next(3) == 0)
                tree.remove(node);
            break;
        case 3:
            if (!node.isNull())
                tree.setValue(node, s("key"), QString(QChar(u'A' + int(next(26)))));
            break;
        case 4:
            if (!node.isNull() && tree.descendantCount(node) < 40)
                tree.insertBranch(tree.copyBranch(node), pick());
            break;
        case 5:
            if (!node.isNull())
                tree.removeDescendants(node);
            break;
        }
        int index = 0;
        ASSERT_EQ(walk({}, 0, index), tree.count()) << "after step " << step;
        ASSERT_EQ(int(tree.displayOrder().size()), tree.count());
        if (HasFailure())
            FAIL() << "after step " << step;
    }
}
