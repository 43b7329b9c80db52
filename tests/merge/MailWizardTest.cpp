#include "merge/MailWizard.h"
#include "merge/MemberSelection.h"
#include "tree/NodeKinds.h"

#include <gtest/gtest.h>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

MailWizard twoLetters()
{
    return MailWizard({{u"ID1"_s, u"Spring news"_s}, {u"ID2"_s, u"Reminder"_s}});
}

TEST(MailWizard, NextNeedsALetterRowNotTheFolderRow)
{
    MailWizard wizard = twoLetters();
    EXPECT_FALSE(wizard.WizardDoStep().next);
    wizard.tlDrafts_Click(0);
    EXPECT_FALSE(wizard.WizardDoStep().next);
    EXPECT_TRUE(wizard.letterSummary().isEmpty());
    wizard.cmdNext_Click();
    EXPECT_EQ(wizard.currentStep(), 0);
    wizard.tlDrafts_Click(2);
    EXPECT_EQ(wizard.letterSummary(), u"Reminder"_s);
    EXPECT_TRUE(wizard.WizardDoStep().next);
    EXPECT_FALSE(wizard.WizardDoStep().finish);
}

TEST(MailWizard, PagesAndButtonsFollowTheStep)
{
    MailWizard wizard = twoLetters();
    wizard.tlDrafts_Click(1);
    wizard.cmdNext_Click();
    EXPECT_EQ(wizard.currentStep(), 1);
    EXPECT_TRUE(wizard.isPageVisible(1));
    EXPECT_FALSE(wizard.isPageVisible(0));
    const auto buttons = wizard.WizardDoStep();
    EXPECT_TRUE(buttons.back);
    EXPECT_FALSE(buttons.next);
    EXPECT_TRUE(buttons.finish);
    wizard.optMailType_Click(3);
    wizard.cmdBack_Click();
    EXPECT_EQ(wizard.currentStep(), 0);
    EXPECT_EQ(wizard.chosenMailType(), MailType::BCC); // Back keeps the choices
    EXPECT_EQ(wizard.currentRow(), 1);
}

TEST(MailWizard, FinishWithoutTouchingTheOptionsIsPersonal)
{
    MailWizard wizard = twoLetters();
    wizard.tlDrafts_Click(2);
    wizard.cmdNext_Click();
    const MailWizard::Result result = wizard.WizardProcess();
    EXPECT_EQ(result.grpMailType, MailType::Personal);
    EXPECT_EQ(result.grpMailEntryId, u"ID2"_s);
}

TEST(MailWizard, RowsOutsideTheListAreIgnored)
{
    MailWizard wizard = twoLetters();
    wizard.tlDrafts_Click(1);
    wizard.tlDrafts_Click(7);
    wizard.tlDrafts_Click(-1);
    EXPECT_EQ(wizard.currentRow(), 1);
    wizard.optMailType_Click(9);
    EXPECT_EQ(wizard.chosenMailType(), MailType::Personal);
}

class MemberSelectionTest : public testing::Test
{
protected:
    MemberSelectionTest()
    {
        const NodeHandle root = m_tree.addNode(u"Standard Mail Groups"_s);
        setNodeKind(m_tree, root, NodeKind::StandardRoot);
        m_group = m_tree.addNode(u"Friends"_s, root);
        setNodeKind(m_tree, m_group, NodeKind::StandardGroup);
        for (int i = 1; i <= 12; ++i) {
            const NodeHandle member = m_tree.addNode(u"m%1"_s.arg(i), m_group);
            setNodeKind(m_tree, member, NodeKind::TypedMember);
            m_tree.setValue(member, NodeValueName::FileAs(), u"Member %1"_s.arg(i));
            m_tree.setValue(member, NodeValueName::Email1Address(),
                            i == 4 ? QString() : u"m%1@example.org"_s.arg(i));
            m_members.push_back(member);
        }
    }
    TreeList m_tree;
    NodeHandle m_group;
    std::vector<NodeHandle> m_members;
};

TEST_F(MemberSelectionTest, SelectedGroupIsMailedWhole)
{
    m_tree.setSelected(m_group, true);
    const auto selection = MemberSelection::fromTree(m_tree);
    EXPECT_EQ(selection.mode, MemberSelection::Mode::List);
    ASSERT_EQ(selection.members.size(), 12u);
    EXPECT_EQ(selection.members[0].name, u"Member 1"_s);
    EXPECT_TRUE(selection.members[3].address.isEmpty());
    const auto summary = MemberSelection::summarize(m_tree);
    EXPECT_EQ(MailWizard::membersSummary(summary.count, summary.groupCaption),
              u"12 Members of Friends"_s);
}

TEST_F(MemberSelectionTest, SelectedRowsAreMailedRowByRow)
{
    m_tree.setSelected(m_members[5], true);
    m_tree.setSelected(m_members[1], true);
    const auto selection = MemberSelection::fromTree(m_tree);
    EXPECT_EQ(selection.mode, MemberSelection::Mode::Selection);
    ASSERT_EQ(selection.members.size(), 2u);
    EXPECT_EQ(selection.members[0].address,
              m_tree.value(m_tree.selected(0), NodeValueName::Email1Address()).toString());
    const auto summary = MemberSelection::summarize(m_tree);
    EXPECT_EQ(summary.count, 2);
    EXPECT_EQ(summary.groupCaption, u"Friends"_s);
}

TEST_F(MemberSelectionTest, OneSelectedMemberIsOneOfItsGroup)
{
    m_tree.setSelected(m_members[2], true);
    const auto summary = MemberSelection::summarize(m_tree);
    EXPECT_EQ(MailWizard::membersSummary(summary.count, summary.groupCaption),
              u"1 Members of Friends"_s);
    EXPECT_EQ(MemberSelection::fromTree(m_tree).members.size(), 1u);
}

} // namespace
