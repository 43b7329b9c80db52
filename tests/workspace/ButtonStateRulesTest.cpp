#include "workspace/ButtonStateRules.h"
#include "workspace/CommandTable.h"
#include "workspace/ToolStates.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

// The tools SetButtonStates decides on; every other tool keeps its state.
const QStringList NodeTools = {u"btnSaveList"_s,     u"btnLoadList"_s, u"btnRefresh"_s,
                               u"btnLoadContacts"_s, u"btnEditItem"_s, u"btnChgName"_s,
                               u"btnAddContact"_s,   u"btnDelete"_s,   u"btnCopy"_s,
                               u"btnDoMail"_s,       u"btnVerify"_s,   u"btnGrpProperties"_s};

struct Case
{
    int kind; // as stored, including numbers no kind has
    bool notEmpty;
    QStringList enabled;
    bool loadMessagesShown = false;
};

QStringList enabledTools(const ToolStates &tools)
{
    QStringList on;
    for (const QString &name : NodeTools) {
        if (tools.isEnabled(name))
            on << name;
    }
    return on;
}

class ButtonStateRulesTest : public ::testing::TestWithParam<Case>
{
protected:
    CommandTable table;
    ToolStates tools{table};
};

TEST_P(ButtonStateRulesTest, EnablesWhatTheNodeKindAllows)
{
    const Case &c = GetParam();
    ButtonStateRules::SetButtonStates(tools, static_cast<NodeKind>(c.kind), {true, 1, c.notEmpty});
    QStringList expected = c.enabled;
    QStringList actual = enabledTools(tools);
    expected.sort();
    actual.sort();
    EXPECT_EQ(actual, expected) << "kind " << c.kind << (c.notEmpty ? " with" : " without")
                                << " descendants";
    EXPECT_EQ(tools.isVisible(u"btnLoadMessages"), c.loadMessagesShown);
    EXPECT_EQ(tools.isVisible(u"btnLoadContacts"), !c.loadMessagesShown);
    EXPECT_EQ(tools.layoutRecalcs(), 1);
}

const QStringList StdGroupAlways = {u"btnChgName"_s, u"btnAddContact"_s, u"btnDelete"_s,
                                    u"btnLoadList"_s};
const QStringList DynGroupAlways = {u"btnChgName"_s, u"btnDelete"_s, u"btnGrpProperties"_s,
                                    u"btnRefresh"_s};
const QStringList Member = {u"btnAddContact"_s, u"btnEditItem"_s, u"btnDelete"_s, u"btnDoMail"_s,
                            u"btnVerify"_s};

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ButtonStateRulesTest,
    ::testing::Values(
        Case{0, true, {}}, Case{1, false, {u"btnLoadContacts"_s}},
        Case{1, true, {u"btnLoadContacts"_s}},
        Case{2, true, {u"btnRefresh"_s, u"btnDoMail"_s, u"btnSaveList"_s}}, Case{2, false, {}},
        Case{20, true, {u"btnRefresh"_s, u"btnDoMail"_s, u"btnSaveList"_s}}, Case{20, false, {}},
        Case{3, false, {}, true}, Case{3, true, {}, true}, Case{4, false, {u"btnRefresh"_s}},
        Case{4, true, {u"btnRefresh"_s}}, Case{21, true, {u"btnRefresh"_s}}, Case{7, true, {}},
        Case{8, true, {}}, Case{9, false, StdGroupAlways},
        Case{9, true,
             StdGroupAlways + QStringList{u"btnDoMail"_s, u"btnVerify"_s, u"btnSaveList"_s}},
        Case{10, false, DynGroupAlways},
        Case{10, true,
             DynGroupAlways + QStringList{u"btnDoMail"_s, u"btnSaveList"_s, u"btnVerify"_s}},
        Case{15, false, {u"btnDelete"_s, u"btnDoMail"_s, u"btnEditItem"_s, u"btnVerify"_s}},
        Case{30, false, {u"btnEditItem"_s, u"btnCopy"_s, u"btnDoMail"_s}},
        Case{31, false, {u"btnEditItem"_s, u"btnCopy"_s}}, Case{35, false, Member},
        Case{36, false, Member}, Case{37, false, Member}, Case{38, true, {}}, Case{-1, true, {}},
        Case{99, true, {}}));

TEST(ButtonStateRules, SeveralSelectedNodesEnableNothingWhateverTheKind)
{
    CommandTable table;
    for (const int kind : {1, 2, 9, 10, 15, 30, 31, 35, 37}) {
        ToolStates tools(table);
        ButtonStateRules::SetButtonStates(tools, static_cast<NodeKind>(kind), {true, 2, true});
        EXPECT_TRUE(enabledTools(tools).isEmpty()) << "kind " << kind;
        EXPECT_EQ(tools.layoutRecalcs(), 1);
    }
}

TEST(ButtonStateRules, WithoutSessionOnlyDisablesAndLeavesTheLayout)
{
    CommandTable table;
    ToolStates tools(table);
    ButtonStateRules::SetButtonStates(tools, static_cast<NodeKind>(3), {true, 1, false});
    ASSERT_TRUE(tools.isVisible(u"btnLoadMessages"));
    ButtonStateRules::SetButtonStates(tools, static_cast<NodeKind>(9), {false, 1, true});
    EXPECT_TRUE(enabledTools(tools).isEmpty());
    EXPECT_TRUE(tools.isVisible(u"btnLoadContacts"));
    EXPECT_FALSE(tools.isVisible(u"btnLoadMessages"));
    EXPECT_EQ(tools.layoutRecalcs(), 1); // only the first call, which had a session
}

TEST(ButtonStateRules, LeavesToolsItDoesNotDecideOn)
{
    CommandTable table;
    ToolStates tools(table);
    tools.setEnabled(u"btnNewMsg", false);
    tools.setChecked(u"btnIncludeAll", true);
    ButtonStateRules::SetButtonStates(tools, static_cast<NodeKind>(30), {true, 1, false});
    EXPECT_FALSE(tools.isEnabled(u"btnNewMsg"));
    EXPECT_TRUE(tools.isEnabled(u"btnNewMailGrp"));
    EXPECT_TRUE(tools.isEnabled(u"btnExit"));
    EXPECT_TRUE(tools.isChecked(u"btnIncludeAll"));
}

TEST(ToolStates, NamesMatchWithoutRegardToCaseAndChangesAreReportedOnce)
{
    CommandTable table;
    ToolStates tools(table);
    QStringList told;
    tools.setListener([&](const QString &tool, const ToolStates::State &) { told << tool; });
    tools.setEnabled(u"BTNREFRESH", false);
    tools.setEnabled(u"btnrefresh", false); // no change, no report
    tools.setEnabled(u"btnNoSuchTool", false);
    EXPECT_EQ(told, QStringList{u"btnRefresh"_s});
    EXPECT_FALSE(tools.isEnabled(u"btnRefresh"));
    EXPECT_FALSE(tools.isVisible(u"btnNoSuchTool"));
    EXPECT_FALSE(tools.isVisible(u"btnLoadMessages")); // hidden when the window opens
}

} // namespace
