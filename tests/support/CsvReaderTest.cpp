#include "support/CsvReader.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

struct CsvCase
{
    const char *name;
    const char *text;
    // Records as "line:cell|cell" joined by "/", or the error's words.
    const char *expected;
};

CORVEL_PRINT_BY_NAME(CsvCase)

class CsvRecords : public ::testing::TestWithParam<CsvCase>
{
};

QString shown(const std::vector<CsvReader::Record> &records)
{
    QStringList shownRecords;
    for (const CsvReader::Record &record : records)
        shownRecords << QString::number(record.line) + u':' + record.cells.join(u'|');
    return shownRecords.join(u'/');
}

TEST_P(CsvRecords, ReadsWholeRecords)
{
    const auto parsed = CsvReader::parse(QString::fromUtf8(GetParam().text));
    const QString expected = QString::fromUtf8(GetParam().expected);
    if (!parsed.ok()) {
        EXPECT_TRUE(parsed.error().contains(expected)) << parsed.error().toStdString();
        return;
    }
    EXPECT_EQ(shown(*parsed), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rfc4180, CsvRecords,
    ::testing::Values(CsvCase{"LineEndsOfEveryKind", "a,b\r\nc,d\ne,f\rg,h",
                              "1:a|b/2:c|d/3:e|f/4:g|h"},
                      CsvCase{"QuotedCellsHoldCommasQuotesAndBreaks",
                              "\"x, \"\"y\"\"\",\"1\r\n2\"\nz", "1:x, \"y\"|1\r\n2/3:z"},
                      CsvCase{"CrOnlyInsideQuotesCountsALine", "\"a\rb\"\rc", "1:a\rb/3:c"},
                      CsvCase{"BlankLinesHoldNoRecord", "\n\r\na\n\n,\n\"\"\n", "3:a/5:|/6:"},
                      CsvCase{"EmptyCellsAndATrailingComma", "a,,b,", "1:a||b|"},
                      CsvCase{"StrayQuotesAreKept", "ab\"c,\"d\"e", "1:ab\"c|de"},
                      CsvCase{"BlanksBeforeAnOpeningQuoteDropped", "a, \"b,c\"", "1:a|b,c"},
                      CsvCase{"AQuoteNeverClosedNamesItsLine", "a\nb,\"c\nd",
                              "line 2: a quoted cell is never closed"}),
    corvel::test::ByName());

TEST(CsvReader, DecodesUtf8WithoutItsMarkAndElseLatin1)
{
    EXPECT_EQ(CsvReader::decode("\xEF\xBB\xBFM\xC3\xBCller"), u"Müller"_s);
    EXPECT_EQ(CsvReader::decode("M\xFCller"), u"Müller"_s);
}

} // namespace
