#include "presentation/HelpIndex.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

const QString HelpDir = QStringLiteral(CORVEL_SHIPPED_DATA "/help");

TEST(HelpIndex, TheShippedHelpHasItsContentsAndContextPages)
{
    HelpIndex index(HelpDir);
    ASSERT_TRUE(index.load());
    QStringList files;
    for (const auto &topic : index.topics()) {
        files << topic.file;
        EXPECT_NE(topic.title, topic.file) << "no <title> in " << topic.file.toStdString();
        if (topic.file == HelpIndex::contentsPage()) {
            EXPECT_EQ(topic.title, u"Corvel Help"_s);
        }
    }
    for (const QString &page : {HelpIndex::contentsPage(), HelpIndex::helpOnHelpPage(),
                                HelpIndex::pageForContext(HelpIndex::StandardMailGroups),
                                HelpIndex::pageForContext(HelpIndex::DynamicMailGroups)})
        EXPECT_TRUE(files.contains(page)) << page.toStdString();
    EXPECT_TRUE(HelpIndex::pageForContext(1).isEmpty());
}

TEST(HelpIndex, EveryLinkBetweenPagesLeadsToAPage)
{
    const QDir dir(HelpDir);
    static const QRegularExpression link(u"href=\"([^\"#:]+)"_s);
    for (const QString &file : dir.entryList({u"*.html"_s}, QDir::Files)) {
        QFile page(dir.filePath(file));
        ASSERT_TRUE(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            EXPECT_TRUE(dir.exists(target)) << file.toStdString() << " -> " << target.toStdString();
        }
    }
}

TEST(HelpIndex, SearchNeedsEveryWordAndRanksTitlesFirst)
{
    HelpIndex index(HelpDir);
    ASSERT_TRUE(index.load());
    const auto dynamic = index.search(u"  DYNAMIC   category "_s);
    ASSERT_FALSE(dynamic.empty());
    EXPECT_EQ(dynamic.front().file, u"dynamic-groups.html"_s);
    EXPECT_TRUE(dynamic.front().excerpt.contains(u"ynamic"_s, Qt::CaseInsensitive));
    EXPECT_TRUE(index.search(u"dynamic zzzzqq"_s).empty());
    EXPECT_TRUE(index.search(u"   "_s).empty());
}

TEST(HelpIndex, PlainTextDropsMarkupAndDecodesEntities)
{
    EXPECT_EQ(HelpIndex::plainText(u"<html><head><title>T</title><style>p{}</style></head>"
                                   "<body><p>A &amp; B</p>\n<p>&lt;x&gt;</p></body></html>"_s),
              u"A & B <x>"_s);
}

TEST(HelpIndex, AMissingFolderLoadsNothing)
{
    HelpIndex index(u"/nonexistent/help"_s);
    EXPECT_FALSE(index.load());
    EXPECT_TRUE(index.search(u"group"_s).empty());
}

} // namespace
