#include "support/CsvReader.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

QString shown(const std::vector<CsvReader::Record> &records)
{
    QStringList shownRecords;
    for (const CsvReader::Record &record : records)
        shownRecords << QString::number(record.line) + u':' + record.cells.join(u'|');
    return shownRecords.join(u'/');
}

TEST(CsvReader, ReadsWholeRecords)
{
    // Records as "line:cell|cell" joined by "/", or the error's words.
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"LineEndsOfEveryKind", "a,b\r\nc,d\ne,f\rg,h", "1:a|b/2:c|d/3:e|f/4:g|h"},
        {"QuotedCellsHoldCommasQuotesAndBreaks", "\"x, \"\"y\"\"\",\"1\r\n2\"\nz",
         "1:x, \"y\"|1\r\n2/3:z"},
        {"CrOnlyInsideQuotesCountsALine", "\"a\rb\"\rc", "1:a\rb/3:c"},
        {"BlankLinesHoldNoRecord", "\n\r\na\n\n,\n\"\"\n", "3:a/5:|/6:"},
        {"EmptyCellsAndATrailingComma", "a,,b,", "1:a||b|"},
        {"StrayQuotesAreKept", "ab\"c,\"d\"e", "1:ab\"c|de"},
        {"BlanksBeforeAnOpeningQuoteDropped", "a, \"b,c\"", "1:a|b,c"},
        {"AQuoteNeverClosedNamesItsLine", "a\nb,\"c\nd", "line 2: a quoted cell is never closed"}};
    for (const auto &[name, text, expected] : cases) {
        SCOPED_TRACE(name);
        const auto parsed = CsvReader::parse(QString::fromUtf8(text));
        if (parsed.ok())
            EXPECT_EQ(shown(*parsed), QString::fromUtf8(expected));
        else
            EXPECT_TRUE(parsed.error().contains(QString::fromUtf8(expected)))
                << parsed.error().toStdString();
    }
}

TEST(CsvReader, DecodesUtf8WithoutItsMarkAndElseLatin1)
{
    EXPECT_EQ(CsvReader::decode("\xEF\xBB\xBFM\xC3\xBCller"), u"Müller"_s);
    EXPECT_EQ(CsvReader::decode("M\xFCller"), u"Müller"_s);
}

} // namespace
