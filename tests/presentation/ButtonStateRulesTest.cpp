#include "presentation/ButtonStateRules.h"
#include "presentation/CommandTable.h"
#include "presentation/ToolStates.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

// The tools setButtonStates decides on; every other tool keeps its state.
const QStringList NodeTools = {u"btnSaveList"_s,     u"btnLoadList"_s,    u"btnRefresh"_s,
                               u"btnLoadContacts"_s, u"btnEditItem"_s,    u"btnChgName"_s,
                               u"btnAddContact"_s,   u"btnDelete"_s,      u"btnCopy"_s,
                               u"btnDoMail"_s,       u"btnVerify"_s,      u"btnGrpProperties"_s,
                               u"btnImportGroups"_s, u"btnPublishGroup"_s};

QStringList enabledTools(const ToolStates &tools)
{
    QStringList on;
    for (const QString &name : NodeTools) {
        if (tools.isEnabled(name))
            on << name;
    }
    return on;
}

// Every kind a node can have, and numbers no kind has (a damaged or newer group file).
const std::vector<int> AllKinds = {0,  1,  2,  3,  4,  7,  8,  9,  10, 15,
                                   20, 21, 30, 31, 35, 36, 37, 38, -1, 99};

// What one selected node of that kind allows.
QStringList allowed(int kind, bool notEmpty = true)
{
    const CommandTable table;
    ToolStates tools(table);
    ButtonStateRules::setButtonStates(tools, static_cast<NodeKind>(kind), {true, 1, notEmpty});
    return enabledTools(tools);
}

// The kinds, with and without descendants, for which `tool` is enabled.
std::vector<int> kindsAllowing(const QString &tool)
{
    std::vector<int> kinds;
    for (const int kind : AllKinds) {
        if (allowed(kind, false).contains(tool) || allowed(kind, true).contains(tool))
            kinds.push_back(kind);
    }
    return kinds;
}

using Kinds = std::vector<int>;

TEST(ButtonStateRules, EachToolIsOfferedForItsKindsOnly)
{
    const std::pair<QString, Kinds> expected[] = {
        {u"btnImportGroups"_s, {1, 2, 20}},           // from contact folders only
        {u"btnEditItem"_s, {15, 30, 31, 35, 36, 37}}, // items and group members
        {u"btnChgName"_s, {9, 10}},                   // groups
        {u"btnCopy"_s, {30, 31}},                     // store items go to groups,
        {u"btnDelete"_s, {9, 10, 15, 35, 36, 37}},    // and only groups lose members
        {u"btnAddContact"_s, {9, 35, 36, 37}},        // typed in: standard groups only
        {u"btnLoadList"_s, {9}},
        {u"btnPublishGroup"_s, {9}}, // a Dynamic Mail Group is whatever its folders hold
        {u"btnGrpProperties"_s, {10}},
        {u"btnRefresh"_s, {2, 4, 10, 20, 21}}, // listed folders, dynamic groups
    };
    for (const auto &[tool, kinds] : expected)
        EXPECT_EQ(kindsAllowing(tool), kinds) << tool.toStdString();
}

TEST(ButtonStateRules, WhatIsEmptyCannotBeMailedVerifiedOrSaved)
{
    for (const int kind : {2, 9, 10, 20}) {
        SCOPED_TRACE(kind);
        const QStringList empty = allowed(kind, false);
        const QStringList full = allowed(kind, true);
        EXPECT_TRUE(full.contains(u"btnDoMail"_s));
        EXPECT_TRUE(full.contains(u"btnSaveList"_s));
        for (const QString &tool : {u"btnDoMail"_s, u"btnVerify"_s, u"btnSaveList"_s})
            EXPECT_FALSE(empty.contains(tool)) << tool.toStdString();
    }
    // A group with members can be checked; so can a single member.
    EXPECT_TRUE(allowed(9).contains(u"btnVerify"_s));
    EXPECT_TRUE(allowed(10).contains(u"btnVerify"_s));
    EXPECT_TRUE(allowed(35, false).contains(u"btnVerify"_s));
    // An empty listing or dynamic group can still be refreshed.
    for (const int kind : {4, 10, 21})
        EXPECT_TRUE(allowed(kind, false).contains(u"btnRefresh"_s)) << kind;
}

TEST(ButtonStateRules, AFolderOffersTheLoadOfItsOwnItems)
{
    CommandTable table;
    ToolStates tools(table);
    ButtonStateRules::setButtonStates(tools, NodeKind::ContactFolder, {true, 1, false});
    EXPECT_TRUE(tools.isEnabled(u"btnLoadContacts"));
    EXPECT_TRUE(tools.isVisible(u"btnLoadContacts"));
    EXPECT_FALSE(tools.isVisible(u"btnLoadMessages"));
    EXPECT_EQ(tools.layoutRecalcs(), 1);

    ButtonStateRules::setButtonStates(tools, NodeKind::MessageFolder, {true, 1, false});
    EXPECT_TRUE(tools.isVisible(u"btnLoadMessages"));
    EXPECT_FALSE(tools.isVisible(u"btnLoadContacts"));
    // Any other kind brings Load Contacts back.
    ButtonStateRules::setButtonStates(tools, NodeKind::StandardGroup, {true, 1, false});
    EXPECT_TRUE(tools.isVisible(u"btnLoadContacts"));
    EXPECT_FALSE(tools.isVisible(u"btnLoadMessages"));
}

TEST(ButtonStateRules, StoresRootsAndUnknownKindsOfferNothing)
{
    for (const int kind : {0, 7, 8, 38, -1, 99}) {
        EXPECT_TRUE(allowed(kind, true).isEmpty()) << kind;
        EXPECT_TRUE(allowed(kind, false).isEmpty()) << kind;
    }
}

TEST(ButtonStateRules, SeveralSelectedNodesEnableNothingWhateverTheKind)
{
    CommandTable table;
    for (const int kind : {1, 2, 9, 10, 15, 30, 31, 35, 37}) {
        ToolStates tools(table);
        ButtonStateRules::setButtonStates(tools, static_cast<NodeKind>(kind), {true, 2, true});
        EXPECT_TRUE(enabledTools(tools).isEmpty()) << "kind " << kind;
        EXPECT_EQ(tools.layoutRecalcs(), 1);
    }
}

TEST(ButtonStateRules, WithoutSessionOnlyDisablesAndLeavesTheLayout)
{
    CommandTable table;
    ToolStates tools(table);
    ButtonStateRules::setButtonStates(tools, static_cast<NodeKind>(3), {true, 1, false});
    ASSERT_TRUE(tools.isVisible(u"btnLoadMessages"));
    ButtonStateRules::setButtonStates(tools, static_cast<NodeKind>(9), {false, 1, true});
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
    ButtonStateRules::setButtonStates(tools, static_cast<NodeKind>(30), {true, 1, false});
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
