#include "groups/AddressListFile.h"
#include "groups/CategoryMatcher.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

struct LineCase
{
    const char *label;
    QString line;
    QString address;
    QString name;
};

class AddressLineTest : public testing::TestWithParam<LineCase>
{
};

TEST_P(AddressLineTest, Reads)
{
    const auto entry = AddressListFile::parseLine(GetParam().line);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->address, GetParam().address);
    EXPECT_EQ(entry->name, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    , AddressLineTest,
    testing::Values(LineCase{"Quoted", uR"("a@x","Lee, Ann")"_s, u"a@x"_s, u"Lee, Ann"_s},
                    LineCase{"QuotedNameTurnedAtLastSpace", uR"("a@x","Mary Ann Lee")"_s, u"a@x"_s,
                             u"Lee, Mary Ann"_s},
                    LineCase{"OnlyOneQuotedValue", uR"("a@x")"_s, u"a@x"_s, QString()},
                    LineCase{"DoubledQuotesAreOne", uR"("a@x","Lee, Ann ""Nan""")"_s, u"a@x"_s,
                             u"Lee, Ann \"Nan\""_s},
                    LineCase{"SpacesTrimmed", uR"(" a@x ", " Lee, Ann ")"_s, u"a@x"_s,
                             u"Lee, Ann"_s},
                    LineCase{"PlainNameEndsAtComma", u"a@x, Lee, Ann"_s, u"a@x"_s, u"Lee"_s},
                    LineCase{"PlainNotTurned", u"a@x,Ann Lee"_s, u"a@x"_s, u"Ann Lee"_s}),
    [](const auto &p) { return std::string(p.param.label); });

TEST(AddressListFile, BlankLinesAreNoMembers)
{
    EXPECT_FALSE(AddressListFile::parseLine(u""_s).has_value());
    EXPECT_FALSE(AddressListFile::parseLine(u" \t "_s).has_value());
    EXPECT_EQ(AddressListFile::parse("\"a@x\",\"B\"\r\n\r\n  \r\n\"c@x\",\"D\"\r\n").size(), 2u);
}

TEST(AddressListFile, FormatIsUnchangedWithoutQuotesAndRoundTrips)
{
    const std::vector<AddressListFile::Entry> entries{
        {u"a@x"_s, u"Lee, Ann"_s}, {u"z@x"_s, u"Ærø, Zoë \"Z\""_s}, {u"q@x"_s, u"Q, \"\""_s}};
    const QByteArray bytes = AddressListFile::format(entries);
    EXPECT_TRUE(bytes.startsWith("\"a@x\",\"Lee, Ann\"\r\n"));
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(AddressListFile::parse(bytes), entries);
}

TEST(AddressListFile, ReadsUtf8WithMarkAndLatin1)
{
    EXPECT_EQ(AddressListFile::decode("\xEF\xBB\xBF\xC3\xA6"), u"æ"_s);
    EXPECT_EQ(AddressListFile::decode("\xE6"), u"æ"_s); // not UTF-8: the old code page
}

TEST(AddressListFile, WriteReplacesWholeAndMissingFileFails)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(u"l.txt"_s);
    ASSERT_TRUE(AddressListFile::write(path, {{u"a@x"_s, u"A"_s}}).ok());
    const auto read = AddressListFile::read(path);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->size(), 1u);
    EXPECT_FALSE(AddressListFile::read(tmp.filePath(u"none.txt"_s)).ok());
    EXPECT_FALSE(AddressListFile::write(tmp.filePath(u"no/such/dir/l.txt"_s), {}).ok());
}

struct MatchCase
{
    const char *label;
    QString groupCats;
    QString contactCats;
    bool match;
};

class CategoryMatchTest : public testing::TestWithParam<MatchCase>
{
};

TEST_P(CategoryMatchTest, Matches)
{
    EXPECT_EQ(CategoryMatcher(GetParam().groupCats).MatchCategories(GetParam().contactCats),
              GetParam().match);
}

INSTANTIATE_TEST_SUITE_P(
    , CategoryMatchTest,
    testing::Values(MatchCase{"CaseIgnored", u"FAMILY"_s, u"family"_s, true},
                    MatchCase{"AnyOfSeveral", u"Golf"_s, u"Work, Golf"_s, true},
                    MatchCase{"EmptyEntryBetweenCommas", u"A,,B"_s, u"B"_s, true},
                    MatchCase{"OnlyCommas", u" , ,"_s, u"A"_s, false},
                    MatchCase{"StarPrefix", u"Wor*"_s, u"WORKERS"_s, true},
                    MatchCase{"StarNeedsPrefix", u"Wor*"_s, u"Awork"_s, false},
                    MatchCase{"Question", u"T?m"_s, u"Tom"_s, true},
                    MatchCase{"Digit", u"Team #"_s, u"Team 7"_s, true},
                    MatchCase{"DigitNotLetter", u"Team #"_s, u"Team X"_s, false},
                    MatchCase{"Range", u"[a-c]lub"_s, u"Club"_s, true},
                    MatchCase{"NegatedRange", u"[!a-c]lub"_s, u"Club"_s, false},
                    MatchCase{"NegatedOther", u"[!a-c]lub"_s, u"Flub"_s, true},
                    MatchCase{"WholeText", u"Work"_s, u"Workers"_s, false},
                    MatchCase{"NoContactCategories", u"*"_s, u""_s, false}),
    [](const auto &p) { return std::string(p.param.label); });

TEST(CategoryMatcher, ManyStarsStayFast)
{
    // Backtracking over many stars must not go exponential.
    const QString text(5000, u'a');
    EXPECT_FALSE(CategoryMatcher::matches(text, u"*a*a*a*a*a*a*a*a*a*b"_s));
}

} // namespace
