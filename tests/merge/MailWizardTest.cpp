#include "merge/MailWizard.h"
#include "common/NamedCases.h"
#include "merge/MemberSelection.h"
#include "tree/NodeKinds.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

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
    EXPECT_FALSE(wizard.wizardDoStep().next);
    wizard.tlDrafts_Click(0);
    EXPECT_FALSE(wizard.wizardDoStep().next);
    EXPECT_TRUE(wizard.letterSummary().isEmpty());
    wizard.cmdNext_Click();
    EXPECT_EQ(wizard.currentStep(), 0);
    wizard.tlDrafts_Click(2);
    EXPECT_EQ(wizard.letterSummary(), u"Reminder"_s);
    EXPECT_TRUE(wizard.wizardDoStep().next);
    EXPECT_FALSE(wizard.wizardDoStep().finish);
}

TEST(MailWizard, PagesAndButtonsFollowTheStep)
{
    MailWizard wizard = twoLetters();
    wizard.tlDrafts_Click(1);
    wizard.cmdNext_Click();
    EXPECT_EQ(std::tuple(wizard.currentStep(), wizard.isPageVisible(0), wizard.isPageVisible(1)),
              std::tuple(1, false, true));
    const auto b = wizard.wizardDoStep();
    EXPECT_EQ(std::tuple(b.back, b.next, b.finish), std::tuple(true, false, true));
    wizard.optMailType_Click(3);
    wizard.cmdBack_Click();
    EXPECT_EQ(wizard.currentStep(), 0);
    EXPECT_EQ(wizard.chosenMailType(), MailType::BCC); // Back keeps the choices
    EXPECT_EQ(wizard.currentRow(), 1);
}

TEST(MailWizard, FinishWithoutValidOptionsIsPersonalAndStrayRowsAreIgnored)
{
    MailWizard wizard = twoLetters();
    wizard.tlDrafts_Click(2);
    for (const int stray : {7, -1})
        wizard.tlDrafts_Click(stray);
    wizard.cmdNext_Click();
    wizard.optMailType_Click(9);
    const MailWizard::Result result = wizard.wizardProcess();
    EXPECT_EQ(result.grpMailType, MailType::Personal);
    EXPECT_EQ(result.grpMailEntryId, u"ID2"_s);
}

struct SendAtCase
{
    const char *name;
    const char *text;
    bool finish;
    qint64 notBeforeMs; // -1: the text's own time
};

CORVEL_PRINT_BY_NAME(SendAtCase)

class SendAt : public testing::TestWithParam<SendAtCase>
{
};

// Send at holds Finish back until it can be read; a time past, or none, is now.
TEST_P(SendAt, IsReadAsLocalTimeAndAPastTimeIsNow)
{
    const SendAtCase &c = GetParam();
    MailWizard wizard = twoLetters();
    wizard.tlDrafts_Click(1);
    wizard.cmdNext_Click();
    wizard.setSendAt(QString::fromUtf8(c.text));
    EXPECT_EQ(wizard.wizardDoStep().finish, c.finish);
    EXPECT_EQ(wizard.sendAtProblem().isEmpty(), c.finish);
    const qint64 own =
        QDateTime::fromString(QString::fromUtf8(c.text), u"yyyy-MM-dd HH:mm"_s).toMSecsSinceEpoch();
    EXPECT_EQ(wizard.wizardProcess().notBeforeMs, c.notBeforeMs < 0 ? own : c.notBeforeMs);
}

INSTANTIATE_TEST_SUITE_P(, SendAt,
                         testing::Values(SendAtCase{"Empty", "", true, 0},
                                         SendAtCase{"Future", "2999-01-02 10:30", true, -1},
                                         SendAtCase{"Past", "2001-01-02 10:30", true, 0},
                                         SendAtCase{"NoTime", "2999-01-02", false, 0},
                                         SendAtCase{"Words", "tomorrow", false, 0}),
                         corvel::test::ByName());

// Three letters: with prompts, with a plain field only, without fields.
MailWizard lettersWithFields()
{
    MailWizard wizard({{u"P"_s, u"Prompts"_s}, {u"F"_s, u"Field"_s}, {u"N"_s, u"Plain"_s}});
    wizard.setLetterBodySource([](const QString &id) {
        const std::map<QString, QString> bodies{
            {u"P"_s, u"Dear <<Prompt=First Name>> of <<Prompt=Town>>"_s},
            {u"F"_s, u"Dear <<FullName>>"_s},
            {u"N"_s, u"Dear all"_s}};
        return bodies.at(id);
    });
    return wizard;
}

struct PromptStepCase
{
    const char *name;
    int row;
    MailType type;
    bool promptStep;
    bool note; // the letter's fields go out as typed
};

class PromptStep : public testing::TestWithParam<PromptStepCase>
{
};

// The prompted fields page comes only where prompts will be asked; the addressing page says
// when fields will not be merged.
TEST_P(PromptStep, FollowsTheLetterAndTheAddressing)
{
    const PromptStepCase &c = GetParam();
    MailWizard wizard = lettersWithFields();
    wizard.tlDrafts_Click(c.row);
    wizard.cmdNext_Click();
    wizard.optMailType_Click(static_cast<int>(c.type));
    EXPECT_EQ(wizard.wizardDoStep().next, c.promptStep);
    EXPECT_TRUE(wizard.wizardDoStep().finish); // a prompt left alone is asked, as always
    EXPECT_EQ(wizard.addressingNote().isEmpty(), !c.note);
    wizard.cmdNext_Click();
    EXPECT_EQ(wizard.currentStep(), c.promptStep ? MailWizard::kPromptsStep : 1);
    EXPECT_FALSE(wizard.wizardDoStep().next);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PromptStep,
    testing::Values(PromptStepCase{"PersonalWithPrompts", 1, MailType::Personal, true, false},
                    PromptStepCase{"PersonalWithoutPrompts", 2, MailType::Personal, false, false},
                    PromptStepCase{"BccWithPrompts", 1, MailType::BCC, false, true},
                    PromptStepCase{"ToWithAPlainField", 2, MailType::To, false, true},
                    PromptStepCase{"CcWithoutFields", 3, MailType::CC, false, false}),
    corvel::test::ByName());

// The table: one row per address, filled from contacts, then from a values file; what is
// empty is said before Finish, and the run gets the plan.
TEST(MailWizard, PromptTableFilledFromContactsAndAFile)
{
    MailWizard wizard = lettersWithFields();
    wizard.setMembers({{u"Lee, Ann"_s, u"ann@x.org"_s, u"c1"_s},
                       {u"Roe, Bob"_s, u"bob@x.org"_s, u"c2"_s},
                       {u"Poe, Cy"_s, u"cy@x.org"_s},
                       {u"Ann again"_s, u"ANN@x.org"_s},
                       {u"Nobody"_s, {}}},
                      [](const MailMember &member, const QString &prompt) {
                          return member.contactId == u"c1"_s && prompt == u"First Name"_s
                                     ? std::optional<QString>(u"Ann"_s)
                                     : std::nullopt;
                      });
    wizard.tlDrafts_Click(1);
    wizard.cmdNext_Click();
    wizard.cmdNext_Click();
    ASSERT_EQ(wizard.tableMembers().size(), 3u);
    EXPECT_EQ(wizard.promptNames(), (QStringList{u"First Name"_s, u"Town"_s}));

    wizard.setPromptChoice(u"First Name"_s, PromptPlan::Choice::Table);
    wizard.setPromptChoice(u"Town"_s, PromptPlan::Choice::OneValue);
    EXPECT_EQ(wizard.promptCell(0, u"First Name"_s), u"Ann"_s);
    EXPECT_EQ(wizard.emptyValueLines(), (QStringList{u"2 members have an empty First Name"_s,
                                                     u"3 members have an empty Town"_s}));

    QTemporaryDir dir;
    const QString good = dir.filePath(u"good.csv"_s), bad = dir.filePath(u"bad.csv"_s);
    for (const auto &[path, text] :
         {std::pair{good, "address,first NAME\r\ncy@x.org,Cy\r\nzed@x.org,Zed\r\n"},
          std::pair{bad, "address,Town\nbob@x.org,a,b\n"}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    std::vector<QString> chosen{good, bad};
    wizard.setValuesFileChooser([&chosen] {
        const QString path = chosen.front();
        chosen.erase(chosen.begin());
        return path;
    });
    EXPECT_TRUE(wizard.cmdLoadValues_Click().ok());
    EXPECT_EQ(wizard.promptCell(2, u"First Name"_s), u"Cy"_s);
    wizard.setPromptCell(1, u"First Name"_s, u"Bob"_s);
    wizard.setPromptValue(u"Town"_s, u"Leeds"_s);
    EXPECT_TRUE(wizard.emptyValueLines().isEmpty());
    const Status refused = wizard.cmdLoadValues_Click();
    EXPECT_TRUE(refused.error().contains(u"line 2"_s)) << refused.error().toStdString();

    const PromptPlan plan = wizard.wizardProcess().prompts;
    EXPECT_EQ(plan.answer(u"First Name"_s, u"bob@x.org"_s), u"Bob"_s);
    EXPECT_EQ(plan.answer(u"Town"_s, u"cy@x.org"_s), u"Leeds"_s);
    wizard.cmdBack_Click();
    wizard.optMailType_Click(static_cast<int>(MailType::BCC));
    EXPECT_FALSE(wizard.wizardProcess().prompts.answer(u"Town"_s, u"cy@x.org"_s));
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

// One selected member is one of its group; more are mailed row by row.
TEST_F(MemberSelectionTest, SelectedRowsAreMailedRowByRow)
{
    m_tree.setSelected(m_members[2], true);
    auto summary = MemberSelection::summarize(m_tree);
    EXPECT_EQ(MailWizard::membersSummary(summary.count, summary.groupCaption),
              u"1 Members of Friends"_s);
    m_tree.setSelected(m_members[5], true);
    const auto selection = MemberSelection::fromTree(m_tree);
    EXPECT_EQ(selection.mode, MemberSelection::Mode::Selection);
    ASSERT_EQ(selection.members.size(), 2u);
    EXPECT_EQ(selection.members[1].address,
              m_tree.value(m_tree.selected(1), NodeValueName::Email1Address()).toString());
    EXPECT_EQ(MemberSelection::summarize(m_tree).count, 2);
}

// Selected together, groups make one run of all their members; its journal names the groups
// whatever their order, so the same groups resume the same run.
TEST_F(MemberSelectionTest, SelectedGroupsAreMailedAsOneRun)
{
    const NodeHandle other = m_tree.addNode(u"Others"_s, m_tree.parent(m_group));
    setNodeKind(m_tree, other, NodeKind::StandardGroup);
    m_tree.setValue(m_tree.addNode(u"x"_s, other), NodeValueName::Email1Address(), u"x@x.org"_s);
    m_tree.setSelected(other, true);
    m_tree.setSelected(m_group, true);
    const auto both = MemberSelection::fromTree(m_tree);
    EXPECT_EQ(both.mode, MemberSelection::Mode::List);
    ASSERT_EQ(both.members.size(), 13u);
    const auto one = MemberSelection::ofGroup(m_tree, other);
    const auto swapped =
        MemberSelection::combined({MemberSelection::ofGroup(m_tree, m_group), one, one});
    EXPECT_EQ(swapped.key, both.key);
    EXPECT_EQ(swapped.members.size(), 13u);
    EXPECT_NE(both.key, one.key);
}

} // namespace
