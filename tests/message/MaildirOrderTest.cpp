#include "common/NamedCases.h"
#include "message/MaildirFolder.h"
#include "message/MaildirName.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// Names that sort together, to be checked pair by pair against lessThan.
struct NameSet
{
    const char *name;
    QStringList names;
};

CORVEL_PRINT_BY_NAME(NameSet)

std::optional<std::string> orderKey(const QString &name)
{
    std::string key;
    return MaildirName::appendOrderKey(name, key) ? std::optional(key) : std::nullopt;
}

bool keyedLess(const QString &a, const QString &b)
{
    return std::pair(*orderKey(a), a) < std::pair(*orderKey(b), b);
}

const NameSet NameSets[] = {
    {"OursAcrossSecondsAndCounters",
     {u"1733570000.M000001P42Q00000001.host"_s, u"1733570000.M000001P42Q00000010.host"_s,
      u"1733570000.M999999P42Q00000002.host"_s, u"999999999.M000001P42Q00000001.host"_s,
      u"1733570001.M000000P7Q00000001.host"_s, u"1733570000.M000001P42Q100000000.host"_s}},
    {"LeadingZeros",
     {u"0"_s, u"00"_s, u"000"_s, u"1"_s, u"01"_s, u"001"_s, u"10"_s, u"010"_s, u"a0b"_s, u"a00b"_s,
      u"a01b"_s, u"a1b"_s, u"0a"_s, u"00a"_s}},
    {"DigitsBesideText",
     {u"1.x"_s, u"1/x"_s, u"1:x"_s, u"1A"_s, u"1a"_s, u"1~"_s, u"."_s, u"/"_s, u":"_s, u"A"_s,
      u"x1"_s, u"x9"_s, u"x:"_s, u"x/"_s, u"1 2"_s, u"12"_s, u"1-2"_s}},
    {"PrefixesAndLengths",
     {u""_s, u"a"_s, u"a1"_s, u"a12"_s, u"a1b"_s, u"1"_s, u"12"_s, u"123456789012345678901"_s,
      u"123456789012345678902"_s, u"99999999999999999999"_s, u"ab"_s, u"a:2,S"_s, u"a:2,"_s}},
    {"TextOutsideAscii",
     {u"1\u00e9"_s, u"1\u00b2"_s, u"\u00b2"_s, u"\u00e9"_s, u"a\u00e9"_s, u"a\U0001F600"_s,
      u"\U0001D7CE"_s, u"1\U0001D7CF"_s, u"\u0100"_s, u"1\u0100"_s, u"\u2460"_s, u"\uFFFD1"_s}},
};

class MaildirOrderTest : public ::testing::TestWithParam<NameSet>
{
};

TEST_P(MaildirOrderTest, KeyOrderIsTheComparisonsOrder)
{
    const QStringList &names = GetParam().names;
    for (const QString &a : names)
        for (const QString &b : names)
            EXPECT_EQ(keyedLess(a, b), MaildirName::lessThan(a, b))
                << a.toStdString() << " < " << b.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Names, MaildirOrderTest, ::testing::ValuesIn(NameSets),
                         corvel::test::ByName());

// Every short name over units on both sides of the digits, so that no mix is missed.
TEST(MaildirOrderTest, EveryShortNameKeepsTheComparisonsOrder)
{
    const QString units = u"019./:A\u00b2"_s;
    QStringList names{QString()};
    for (qsizetype from = 0, length = 1; length <= 3; ++length) {
        const qsizetype to = names.size();
        for (qsizetype i = from; i < to; ++i)
            for (const QChar unit : units)
                names << names[i] + unit;
        from = to;
    }
    int mismatches = 0;
    for (const QString &a : names)
        for (const QString &b : names)
            mismatches += keyedLess(a, b) != MaildirName::lessThan(a, b);
    EXPECT_EQ(mismatches, 0) << "over " << names.size() << " names";
}

TEST(MaildirOrderTest, NamesWithDigitsOutsideAsciiHaveNoKey)
{
    for (const QString &name : {u"\u0661\u0662.M1"_s, u"1\uFF11"_s, u"a\u0966b"_s})
        EXPECT_FALSE(orderKey(name).has_value()) << name.toStdString();
}

// The listing sorts exactly as sorting by the comparison itself would, with or without
// names that need the comparison.
TEST(MaildirOrderTest, ListingKeepsTheComparisonsOrder)
{
    for (const bool withForeignDigits : {false, true}) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString folder = dir.path() + u"/Outbox"_s;
        ASSERT_TRUE(MaildirFolder::create(folder).ok());
        QStringList names = NameSets[0].names + NameSets[1].names + NameSets[2].names;
        for (const QString &noFileName : {u"."_s, u"/"_s, u"1/x"_s, u"x/"_s})
            names.removeAll(noFileName);
        names << u"00:2,S"_s << u"0:2,"_s << u"0:2,S"_s;
        if (withForeignDigits)
            names << u"\u0663"_s << u"99\u0661"_s;
        for (qsizetype i = 0; i < names.size(); ++i) {
            QFile file(folder + (i % 2 ? u"/cur/"_s : u"/new/"_s) + names[i]);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << names[i].toStdString();
        }
        const Result<std::vector<MaildirFolder::Entry>> listed = MaildirFolder(folder).entries();
        ASSERT_TRUE(listed.ok());

        std::vector<MaildirFolder::Entry> expected = *listed;
        std::reverse(expected.begin(), expected.end());
        std::sort(expected.begin(), expected.end(), [](const auto &a, const auto &b) {
            if (a.unique != b.unique)
                return MaildirName::lessThan(a.unique, b.unique);
            return a.path < b.path;
        });
        ASSERT_EQ(listed->size(), size_t(names.size()));
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(listed->at(i).path, expected[i].path) << i;
    }
}

} // namespace
} // namespace corvel
