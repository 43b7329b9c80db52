#include "presentation/CommandTable.h"
#include "presentation/CommandDispatcher.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QStringList>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

TEST(CommandTable, ToolAndBandNamesAreUniqueWithoutRegardToCase)
{
    const CommandTable table;
    QSet<QString> tools;
    for (const ToolDef &tool : table.tools()) {
        EXPECT_FALSE(tools.contains(tool.name.toCaseFolded())) << tool.name.toStdString();
        tools.insert(tool.name.toCaseFolded());
    }
    QSet<QString> bands;
    for (const BandDef &band : table.bands()) {
        EXPECT_FALSE(bands.contains(band.name.toCaseFolded())) << band.name.toStdString();
        bands.insert(band.name.toCaseFolded());
    }
}

// The user reaches a tool from the menu bar, the toolbar or the right-click band, through
// any number of drop-down bands.
TEST(CommandTable, EveryToolAndBandCanBeReached)
{
    const CommandTable table;
    QSet<QString> reachedTools;
    QSet<QString> reachedBands;
    std::vector<const BandDef *> pending;
    for (const BandDef &band : table.bands()) {
        if (band.kind != BandKind::Popup || band.name == u"popTL1"_s)
            pending.push_back(&band);
    }
    while (!pending.empty()) {
        const BandDef *band = pending.back();
        pending.pop_back();
        if (reachedBands.contains(band->name))
            continue;
        reachedBands.insert(band->name);
        for (const BandEntry &entry : band->entries) {
            const ToolDef *tool = table.tool(entry.tool);
            ASSERT_NE(tool, nullptr)
                << entry.tool.toStdString() << " in " << band->name.toStdString();
            reachedTools.insert(tool->name);
            if (!tool->subBand.isEmpty()) {
                const BandDef *sub = table.band(tool->subBand);
                ASSERT_NE(sub, nullptr) << tool->subBand.toStdString();
                pending.push_back(sub);
            }
        }
    }
    for (const ToolDef &tool : table.tools())
        EXPECT_TRUE(reachedTools.contains(tool.name)) << tool.name.toStdString();
    for (const BandDef &band : table.bands())
        EXPECT_TRUE(reachedBands.contains(band.name)) << band.name.toStdString();
}

TEST(CommandTable, EveryShownCaptionCanBeReadAndTyped)
{
    const CommandTable table;
    QSet<QString> shortcuts;
    for (const ToolDef &tool : table.tools()) {
        if (tool.shortcut.isEmpty())
            continue;
        EXPECT_FALSE(shortcuts.contains(tool.shortcut)) << tool.shortcut.toStdString();
        shortcuts.insert(tool.shortcut);
    }
    for (const BandDef &band : table.bands()) {
        QSet<QString> seen;
        for (const BandEntry &entry : band.entries) {
            const QString caption = table.captionIn(band, entry);
            SCOPED_TRACE(band.name.toStdString() + " " + caption.toStdString());
            EXPECT_FALSE(caption.isEmpty());
            EXPECT_LE(caption.count(u'&'), 1); // one accelerator at most
            EXPECT_FALSE(caption.endsWith(u'&'));
            // Two entries of a band never read the same.
            const QString words = QString(caption).remove(u'&');
            EXPECT_FALSE(seen.contains(words));
            seen.insert(words);
        }
    }
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
