#include "groups/AddressListFile.h"
#include "groups/CategoryMatcher.h"
#include "groups/MemberBranch.h"
#include "groups/MemberCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <tuple>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

using E = AddressListFile::Entry;

// Entries as "address|name" joined by "/".
QString shown(const std::vector<E> &entries)
{
    QStringList lines;
    for (const E &e : entries)
        lines << e.address + u'|' + e.name;
    return lines.join(u'/');
}

TEST(AddressListFile, Reads)
{
    const std::tuple<const char *, QByteArray, QString> cases[] = {
        {"Quoted", R"("a@x","Lee, Ann")", u"a@x|Lee, Ann"_s},
        {"QuotedNameTurnedAtLastSpace", R"("a@x","Mary Ann Lee")", u"a@x|Lee, Mary Ann"_s},
        {"OnlyOneQuotedValue", R"("a@x")", u"a@x|"_s},
        {"DoubledQuotesAreOne", R"("a@x","Lee, Ann ""Nan""")", u"a@x|Lee, Ann \"Nan\""_s},
        {"SpacesTrimmed", R"(" a@x ", " Lee, Ann ")", u"a@x|Lee, Ann"_s},
        {"PlainNameEndsAtComma", "a@x, Lee, Ann", u"a@x|Lee"_s},
        {"PlainNotTurned", "a@x,Ann Lee", u"a@x|Ann Lee"_s},
        {"EveryLineEndAndBlankLines", "a@x,A\rb@x,B\n\r\n  \r\nc@x,C\r", u"a@x|A/b@x|B/c@x|C"_s},
        {"QuotedLineBreakStaysInTheName", "\"a@x\",\"Lee,\r\nAnn\"\r\nb@x,B",
         u"a@x|Lee,\r\nAnn/b@x|B"_s},
        {"MarkDroppedAndLatin1Read", "\xEF\xBB\xBF\xC3\xA6@x,\xC3\xA6\n", u"æ@x|æ"_s},
        {"Latin1", "\xE6@x,\xE6", u"æ@x|æ"_s}};
    for (const auto &[label, bytes, expected] : cases) {
        SCOPED_TRACE(label);
        const auto entries = AddressListFile::parse(bytes);
        ASSERT_TRUE(entries.ok()) << entries.error().toStdString();
        EXPECT_EQ(shown(*entries), expected);
    }
}

TEST(AddressListFile, EntriesKnowTheirLinesAndAnOpenQuoteFails)
{
    const auto entries = AddressListFile::parse("a@x,\"A\r\nB\"\r\n\r\nc@x,C\n");
    ASSERT_TRUE(entries.ok());
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[1].line, 4);
    EXPECT_EQ(AddressListFile::parse("a@x,A\nb@x,\"B\n").error(),
              u"line 2: a quoted cell is never closed"_s);
}

TEST(AddressListFile, FormatIsUnchangedWithoutQuotesAndRoundTrips)
{
    const std::vector<AddressListFile::Entry> entries{
        {u"a@x"_s, u"Lee, Ann"_s},     {u"z@x"_s, u"Ærø, Zoë \"Z\""_s},   {u"q@x"_s, u"Q, \"\""_s},
        {u"m@x"_s, u"Mary Ann Lee"_s}, {u"d@x"_s, u"\"Doc\" Holliday"_s}, {u"n@x"_s, QString()}};
    const QByteArray bytes = AddressListFile::format(entries);
    EXPECT_TRUE(bytes.startsWith("\"a@x\",\"Lee, Ann\"\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nm@x,Mary Ann Lee\r\n")); // bare: read back unturned
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(AddressListFile::parse(bytes).value(), entries);
}

TEST(AddressListFile, WritesThroughLinksAndRefusesWhatIsNoFile)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"l.txt"_s);
    ASSERT_TRUE(AddressListFile::write(path, {{u"a@x"_s, u"A"_s}}).ok());
    const auto read = AddressListFile::read(path);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->size(), 1u);
    EXPECT_FALSE(AddressListFile::write(tmp.filePath(u"no/such/dir/l.txt"_s), {}).ok());

    // A link to a file, and a link to a file not made yet: the link stays, the file changes.
    const QString link = tmp.filePath(u"link.txt"_s);
    const QString dangling = tmp.filePath(u"later.txt"_s);
    ASSERT_TRUE(QFile::link(u"l.txt"_s, link));
    ASSERT_TRUE(QFile::link(tmp.filePath(u"new.txt"_s), dangling));
    ASSERT_TRUE(AddressListFile::write(link, {{u"b@x"_s, u"B"_s}}).ok());
    ASSERT_TRUE(AddressListFile::write(dangling, {{u"c@x"_s, u"C"_s}}).ok());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_EQ(AddressListFile::read(path)->front().address, u"b@x"_s);
    EXPECT_EQ(AddressListFile::read(tmp.filePath(u"new.txt"_s))->front().address, u"c@x"_s);

    const QString fifo = tmp.filePath(u"fifo"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &noFile : {fifo, tmp.path()})
        EXPECT_FALSE(AddressListFile::write(noFile, {}).ok()) << qPrintable(noFile);
    EXPECT_TRUE(QFileInfo(fifo).isFile() == false && QFileInfo::exists(fifo));
}

// A copy into an empty group marks its members sorted rather than sorting them again: they
// must come in the very order the tree would give them.
TEST(MemberBranch, SortsAsTheTreeSortsAGroup)
{
    const QStringList names{u"b"_s, u"B"_s,   u"a"_s,      QString(),    u"Ä"_s,  u"ä"_s,
                            u"a"_s, u"Zoë"_s, u"straße"_s, u"STRASSE"_s, u"Ａ"_s, u"zoe"_s};
    MemberBranch members;
    for (qsizetype i = 0; i < names.size(); ++i)
        members.add(NodeKind::CopiedMember, QString::number(i), names[i], u"x@example.org"_s);
    const TreeBranch branch = members.take();
    TreeList tree;
    const NodeHandle group = tree.addNode(u"group"_s);
    tree.setChildOrder(group, ChildOrder::ByValue, NodeValueName::FileAs());
    tree.insertBranch(branch, group);
    QStringList taken, sorted;
    for (size_t i = 0; i < branch.size(); ++i)
        taken << branch.value(i, NodeValueName::EntryId()).toString();
    for (const NodeHandle member : tree.children(group))
        sorted << tree.value(member, NodeValueName::EntryId()).toString();
    EXPECT_EQ(taken, sorted);
}

TEST(MemberCheck, AcceptsOneBareAddressOnly)
{
    // what is stored (empty: refused) or else what the refusal says
    const std::tuple<const char *, QString, QString, const char *> cases[] = {
        {"Plain", u"ann.lee+news@example.org"_s, u"ann.lee+news@example.org"_s, ""},
        {"BlanksAroundDropped", u"  a@x.org "_s, u"a@x.org"_s, ""},
        {"Utf8", u"zoë@exämple.org"_s, u"zoë@exämple.org"_s, ""},
        {"DomainLiteral", u"a@[192.0.2.1]"_s, u"a@[192.0.2.1]"_s, ""},
        {"Empty", u"  "_s, {}, "no address"},
        {"CarriageReturn", u"a@x.org\r"_s, {}, "control"},
        {"LineBreakInside", u"a\r\nBcc: b@x.org"_s, {}, "control"},
        {"Nul", QString(u"a@x\0.org"_s), {}, "control"},
        {"Delete", u"a@x\x7f.org"_s, {}, "control"},
        {"TwoByComma", u"a@x.org, b@x.org"_s, {}, "more than one address"},
        {"TwoBySemicolon", u"a@x.org;b@x.org"_s, {}, "more than one address"},
        {"TwoAts", u"a@b@x.org"_s, {}, "more than one @"},
        {"Words", u"jane at example"_s, {}, "no @"},
        {"DisplayName", u"Ann <a@x.org>"_s, {}, "without a name"},
        {"EncodedWord", u"=?utf-8?q?x=40evil.example=2C_y?=@ok.example"_s, {}, "encoded words"},
        {"QuotedLocalPart", u"\"x y\"@ok.example"_s, {}, "quoted local parts"},
        {"Space", u"a b@x.org"_s, {}, "space"},
        {"DotAtEnd", u"a.@x.org"_s, {}, "local part"},
        {"NoDomain", u"a@"_s, {}, "domain"},
        {"DoubleDotDomain", u"a@x..org"_s, {}, "domain"}};
    for (const auto &[label, text, stored, reason] : cases) {
        SCOPED_TRACE(label);
        const Result<QString> checked = MemberCheck::address(text);
        EXPECT_EQ(checked.ok(), !stored.isEmpty());
        if (checked.ok())
            EXPECT_EQ(checked.value(), stored);
        else
            EXPECT_TRUE(checked.error().contains(QString::fromUtf8(reason)))
                << qPrintable(checked.error());
    }
}

TEST(MemberCheck, NamesLoseOuterBlanksAndMayHoldNoControl)
{
    EXPECT_EQ(MemberCheck::name(u"  Lee, Ann \"Nan\" "_s).value(), u"Lee, Ann \"Nan\""_s);
    for (const QString &bad : {u"Ann\nLee"_s, u"Ann\rLee"_s, QString(u"Ann\0"_s)})
        EXPECT_FALSE(MemberCheck::name(bad).ok()) << qPrintable(bad);
}

TEST(CategoryMatcher, Matches)
{
    const std::tuple<const char *, QString, QString, bool> cases[] = {
        {"CaseIgnored", u"FAMILY"_s, u"family"_s, true},
        {"AnyOfSeveral", u"Golf"_s, u"Work, Golf"_s, true},
        {"EmptyEntryBetweenCommas", u"A,,B"_s, u"B"_s, true},
        {"OnlyCommas", u" , ,"_s, u"A"_s, false},
        {"StarPrefix", u"Wor*"_s, u"WORKERS"_s, true},
        {"StarNeedsPrefix", u"Wor*"_s, u"Awork"_s, false},
        {"Question", u"T?m"_s, u"Tom"_s, true},
        {"Digit", u"Team #"_s, u"Team 7"_s, true},
        {"DigitNotLetter", u"Team #"_s, u"Team X"_s, false},
        {"Range", u"[a-c]lub"_s, u"Club"_s, true},
        {"NegatedRange", u"[!a-c]lub"_s, u"Club"_s, false},
        {"NegatedOther", u"[!a-c]lub"_s, u"Flub"_s, true},
        {"WholeText", u"Work"_s, u"Workers"_s, false},
        {"NoContactCategories", u"*"_s, u""_s, false}};
    for (const auto &[label, groupCats, contactCats, match] : cases)
        EXPECT_EQ(CategoryMatcher(groupCats).matchCategories(contactCats), match) << label;
}

TEST(CategoryMatcher, ManyStarsStayFast)
{
    // Backtracking over many stars must not go exponential.
    const QString text(5000, u'a');
    EXPECT_FALSE(CategoryMatcher::matches(text, u"*a*a*a*a*a*a*a*a*a*b"_s));
}

} // namespace
