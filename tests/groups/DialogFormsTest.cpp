#include "groups/CopyToForm.h"
#include "groups/DynGrpForm.h"
#include "groups/GetEMailForm.h"
#include "groups/GetNameForm.h"
#include "tree/NodeKinds.h"

#include <gtest/gtest.h>

#include <array>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

TEST(GetNameForm, OkFollowsTheTextAndCancelLeavesNoAnswer)
{
    GetNameForm form(QString(), u"Enter Name For New Mail Group"_s);
    EXPECT_FALSE(form.okEnabled());
    form.accept();
    EXPECT_TRUE(form.answer().isEmpty());
    form.setText(u"Friends"_s);
    EXPECT_TRUE(form.okEnabled());
    form.accept();
    EXPECT_EQ(form.answer(), u"Friends"_s);
}

TEST(GetEMailForm, SplitsAndJoinsTheNameAndNeedsAnAddress)
{
    // display name; first and last shown; first and last typed; answer (empty: OK disabled)
    const std::array<QString, 6> cases[] = {
        {u"Smith, John"_s, u"John"_s, u"Smith"_s, u"John"_s, u"Smith"_s, u"Smith, John"_s},
        {u"John Smith"_s, u"John Smith"_s, {}, u"John"_s, {}, u"John"_s},
        {u"Smith,"_s, {}, u"Smith"_s, {}, u"Smith"_s, u"Smith"_s},
        {u"Doe, Jane, Jr"_s, u"Jane"_s, u"Doe"_s, u"J"_s, u"D"_s, u"D, J"_s},
        {u""_s, {}, {}, {}, {}, {}},
    };
    for (const auto &[displayName, first, last, typedFirst, typedLast, answer] : cases) {
        SCOPED_TRACE(displayName.toStdString());
        GetEMailForm form(displayName, u"a@example.org"_s, u"caption"_s);
        EXPECT_EQ(form.firstName() + u'|' + form.lastName(), first + u'|' + last);
        form.setFirstName(typedFirst);
        form.setLastName(typedLast);
        EXPECT_EQ(form.okEnabled(), !answer.isEmpty());
        form.accept();
        EXPECT_EQ(form.answer(), answer.isEmpty() ? answer : answer + u"\\\\a@example.org"_s);
    }
    GetEMailForm form(u"Ann"_s, QString(), u"c"_s);
    EXPECT_FALSE(form.okEnabled());
    form.setEmail(u"not an address"_s);
    EXPECT_TRUE(form.okEnabled()); // the form of the address is not checked
}

// A main tree with a Standard Mail Groups root holding two groups and a member.
struct MainTree
{
    TreeList tree;
    NodeHandle root, friends, work;
    MainTree()
    {
        root = tree.addNode(u"Standard Mail Groups"_s);
        tree.setValue(root, NodeValueName::EntryId(), u"STDMG"_s);
        setNodeKind(tree, root, NodeKind::StandardRoot);
        friends = tree.addNode(u"Friends"_s, root);
        setNodeKind(tree, friends, NodeKind::StandardGroup);
        const NodeHandle member = tree.addNode(QString(), friends);
        setNodeKind(tree, member, NodeKind::TypedMember);
        work = tree.addNode(u"Work\\Team"_s, root);
        setNodeKind(tree, work, NodeKind::StandardGroup);
    }
};

TEST(CopyToForm, ListsTheGroupsAnswersIndexAndCaptionAndPreselectsTheLast)
{
    MainTree m;
    CopyToForm form(m.tree, QString());
    ASSERT_TRUE(form.fillCopyList());
    ASSERT_EQ(form.rows().size(), 3u);
    EXPECT_EQ(form.rows()[1].caption, u"Friends"_s);
    EXPECT_EQ(form.rows()[2].tlMainIx, m.tree.indexOf(m.work));
    EXPECT_EQ(form.currentRow(), 0);
    form.clickRow(0);
    EXPECT_FALSE(form.okEnabled()); // the root is no target
    form.clickRow(2);
    form.accept();
    EXPECT_EQ(form.answer(), QString::number(m.tree.indexOf(m.work)) + u"\\Work\\Team"_s);

    // The last group chosen is preselected, but OK waits for a click.
    CopyToForm again(m.tree, u"Friends"_s);
    ASSERT_TRUE(again.fillCopyList());
    EXPECT_EQ(again.currentRow(), 1);
    EXPECT_FALSE(again.okEnabled());
    CopyToForm unknown(m.tree, u"Work"_s); // a name cut at its backslash matches nothing
    ASSERT_TRUE(unknown.fillCopyList());
    EXPECT_EQ(unknown.currentRow(), -1);
}

TEST(CopyToForm, NewGroupIsListedAndNoRootShowsNothing)
{
    MainTree m;
    CopyToForm form(m.tree, QString(), [&](int rootIndex) {
        const NodeHandle g = m.tree.addNode(u"New"_s, m.tree.at(rootIndex));
        setNodeKind(m.tree, g, NodeKind::StandardGroup);
    });
    ASSERT_TRUE(form.fillCopyList());
    EXPECT_TRUE(form.newGroup());
    EXPECT_EQ(form.rows().size(), 4u);

    TreeList empty;
    CopyToForm none(empty, QString());
    EXPECT_FALSE(none.fillCopyList());
}

// A store with two contact folders, one of them holding a "^" in its caption.
struct FolderTree
{
    TreeList tree;
    FolderTree()
    {
        const NodeHandle store = tree.addNode(u"Personal Folders"_s);
        tree.setValue(store, NodeValueName::EntryId(), u"S1"_s);
        for (const auto &[caption, id] :
             {std::pair{u"Contacts"_s, u"F1"_s}, {u"Up^Down"_s, u"F2"_s}}) {
            const NodeHandle folder = tree.addNode(caption, store);
            setNodeKind(tree, folder, NodeKind::ContactFolder);
            tree.setValue(folder, NodeValueName::EntryId(), id);
            tree.setValue(folder, NodeValueName::StoreId(), u"S1"_s);
        }
    }
};

TEST(DynGrpForm, ChooserShowsChosenFoldersAndOkNeedsAllThree)
{
    FolderTree f;
    DynGrpForm form(f.tree, u"S1^F1^F2^GONE"_s, QString(), QString(), u"F2"_s, QString(), u"t"_s);
    TreeList &c = form.chooser();
    ASSERT_EQ(c.count(), 4); // top, store, two folders; the unknown id is skipped
    EXPECT_EQ(c.current(), form.topNode());
    EXPECT_EQ(form.chosenCount(), 1);
    const NodeHandle chosen = c.findByValue(u"F2"_s, NodeValueName::EntryId());
    EXPECT_EQ(c.picture(chosen), DynGrpForm::picChosen);

    form.setName(u"G"_s);
    EXPECT_FALSE(form.okEnabled());
    form.setCategories(u"Family"_s);
    EXPECT_TRUE(form.okEnabled());
    form.clickPicture(chosen);
    EXPECT_EQ(c.picture(chosen), DynGrpForm::picNotChosen);
    EXPECT_FALSE(form.okEnabled());

    c.setCurrent(form.topNode());
    form.pressSpace(); // the top node is never chosen
    EXPECT_EQ(form.chosenCount(), 0);
}

TEST(DynGrpForm, AnswerKeepsTheFolderListsAligned)
{
    FolderTree f;
    DynGrpForm form(f.tree, u"S1^F1^F2"_s, u"G"_s, u"A, B"_s, QString(), QString(), u"t"_s);
    const NodeHandle f1 = form.chooser().findByValue(u"F1"_s, NodeValueName::EntryId());
    const NodeHandle f2 = form.chooser().findByValue(u"F2"_s, NodeValueName::EntryId());
    form.clickPicture(f2);
    form.chooser().setCurrent(f1);
    form.pressSpace();
    form.clickPicture(form.chooser().at(1)); // a store counts for OK but adds no folder
    EXPECT_EQ(form.chosenCount(), 3);
    form.accept();
    const QString names = u"Contacts^"_s + DynGrpParms::listSafe(u"Up^Down"_s);
    EXPECT_EQ(form.answer(),
              (DynGrpParms{u"G"_s, u"A, B"_s, u"F1^F2"_s, u"S1^S1"_s, names}.toText()));
}

} // namespace
