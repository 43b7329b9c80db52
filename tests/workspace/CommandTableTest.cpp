#include "workspace/CommandTable.h"
#include "workspace/CommandDispatcher.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QStringList>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

QStringList toolsOf(const BandDef &band)
{
    QStringList names;
    for (const BandEntry &entry : band.entries)
        names << (entry.beginsGroup ? u"|"_s : QString()) + entry.tool;
    return names;
}

TEST(CommandTable, BandsHoldTheirToolsInOrderWithTheirSeparators)
{
    const CommandTable table;
    const QStringList tree = {u"btnLoadContacts"_s,  u"btnLoadMessages"_s, u"btnRefresh"_s,
                              u"|btnEditItem"_s,     u"btnDelete"_s,       u"btnCopy"_s,
                              u"|btnNewMailGrp"_s,   u"btnChgName"_s,      u"btnAddContact"_s,
                              u"btnGrpProperties"_s, u"btnVerify"_s,       u"|btnNewMsg"_s,
                              u"btnDoMail"_s,        u"|btnSaveList"_s,    u"btnLoadList"_s};
    EXPECT_EQ(toolsOf(*table.band(u"popTL1")), tree);
    EXPECT_EQ(toolsOf(*table.band(u"smlTBar")), tree + QStringList{u"|btnExit"_s});
    EXPECT_EQ(table.band(u"smlTBar")->caption, u"Small Toolbar"_s);
    EXPECT_EQ(toolsOf(*table.band(u"File")),
              (QStringList{u"btnSaveList"_s, u"btnLoadList"_s, u"|btnExit"_s}));
    EXPECT_EQ(toolsOf(*table.band(u"Help")),
              (QStringList{u"btnHelpF1"_s, u"btnHelpSrch"_s, u"btnHelpStd"_s, u"btnHelpDyn"_s,
                           u"btnHelpHelp"_s, u"|btnWebHome"_s, u"btnSendEmail"_s, u"|btnAbout"_s}));
    EXPECT_EQ(toolsOf(*table.band(u"MailGroup")),
              (QStringList{u"btnStdMailGrp"_s, u"|btnDynMailGrp"_s}));
}

TEST(CommandTable, EveryToolInABandIsDefinedAndEveryMenuOpensABand)
{
    const CommandTable table;
    QSet<QString> used;
    for (const BandDef &band : table.bands()) {
        for (const BandEntry &entry : band.entries) {
            EXPECT_NE(table.tool(entry.tool), nullptr) << entry.tool.toStdString();
            used.insert(entry.tool);
        }
    }
    for (const ToolDef &tool : table.tools()) {
        EXPECT_TRUE(used.contains(tool.name)) << tool.name.toStdString() << " stands nowhere";
        if (!tool.subBand.isEmpty()) {
            EXPECT_NE(table.band(tool.subBand), nullptr) << tool.subBand.toStdString();
        }
    }
    EXPECT_EQ(table.tool(u"btnNewMailGrp")->subBand, u"MailGroup"_s);
    EXPECT_EQ(table.tool(u"mnuHelp")->subBand, u"Help"_s);
}

TEST(CommandTable, CaptionsDependOnTheBand)
{
    const CommandTable table;
    const auto captionOf = [&](const QString &band, const QString &tool) {
        const BandDef *def = table.band(band);
        for (const BandEntry &entry : def->entries) {
            if (entry.tool == tool)
                return table.captionIn(*def, entry);
        }
        return QString();
    };
    EXPECT_EQ(captionOf(u"popTL1"_s, u"btnLoadContacts"_s), u"&Load Contacts"_s);
    EXPECT_EQ(captionOf(u"smlTBar"_s, u"btnLoadContacts"_s), u"Load Contacts"_s);
    EXPECT_EQ(captionOf(u"popTL1"_s, u"btnLoadList"_s), u"Load Addresses &from Text File"_s);
    EXPECT_EQ(captionOf(u"File"_s, u"btnLoadList"_s), u"&Load Addresses from Text File"_s);
    EXPECT_EQ(captionOf(u"smlTBar"_s, u"btnAddContact"_s), u"&Add Address"_s);
    EXPECT_EQ(table.tool(u"btnRefresh")->shortcut, u"F5"_s);
    EXPECT_EQ(table.tool(u"btnHelpF1")->shortcut, u"F1"_s);
    EXPECT_TRUE(table.tool(u"btnIncludeAll")->checkable);
    EXPECT_FALSE(table.tool(u"btnLoadMessages")->initiallyVisible);
}

TEST(CommandDispatcher, DispatchesByNameWithoutRegardToCase)
{
    CommandDispatcher dispatcher;
    QStringList ran;
    dispatcher.add(u"btnAbout"_s, [&] { ran << u"about"_s; });
    EXPECT_TRUE(dispatcher.dispatch(u"BTNABOUT"));
    EXPECT_TRUE(dispatcher.dispatch(u"btnabout"));
    EXPECT_FALSE(dispatcher.dispatch(u"mnuFile"));
    EXPECT_FALSE(dispatcher.dispatch(u""));
    EXPECT_EQ(ran, (QStringList{u"about"_s, u"about"_s}));
}

} // namespace
