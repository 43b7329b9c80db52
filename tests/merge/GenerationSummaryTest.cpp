#include "merge/GenerationSummary.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

struct HeadingCase
{
    const char *name;
    bool cancelled;
    bool stopped;
    bool failed;
    const char16_t *heading;
};

class SummaryHeading : public testing::TestWithParam<HeadingCase>
{
};

// How a run ended is said once, the gravest first: a run that stopped on its own, then a
// cancelled one, then one with failed members.
TEST_P(SummaryHeading, SaysTheGravestEnding)
{
    GenerationOutcome outcome;
    outcome.letterLoaded = true;
    outcome.cancelled = GetParam().cancelled;
    if (GetParam().stopped)
        outcome.stopReason = u"the journal cannot be written"_s;
    if (GetParam().failed)
        outcome.failures.push_back({u"Ann"_s, u"ann@example.org"_s, u"refused"_s});
    EXPECT_EQ(GenerationSummary::heading(outcome), QString::fromUtf16(GetParam().heading));

    const QStringList lines = GenerationSummary::lines(outcome, u"with --resume"_s);
    EXPECT_EQ(lines.contains(u"the run was cancelled; it can be continued with --resume"_s),
              GetParam().cancelled);
    EXPECT_EQ(lines.contains(u"the run stopped: the journal cannot be written"_s),
              GetParam().stopped);
    EXPECT_EQ(lines.contains(u"  Ann <ann@example.org>: refused"_s), GetParam().failed);
}

INSTANTIATE_TEST_SUITE_P(
    GenerationSummary, SummaryHeading,
    testing::Values(HeadingCase{"Ended", false, false, false, u"The run ended."},
                    HeadingCase{"Failed", false, false, true,
                                u"The run ended; some members failed."},
                    HeadingCase{"Cancelled", true, false, true, u"The run was cancelled."},
                    HeadingCase{"Stopped", true, true, true, u"The run stopped before its end."}),
    corvel::test::ByName());

// The account names the members whose copy went with an empty value, enough to check by.
TEST(GenerationSummaryLines, NameTwentyMembersWithEmptyValuesAndCountTheRest)
{
    GenerationOutcome outcome;
    for (int i = 1; i <= 23; ++i)
        outcome.emptyPrompted.push_back(
            {u"M%1"_s.arg(i), u"m%1@x.org"_s.arg(i), {u"First Name"_s, u"Town"_s}});
    const QStringList lines = GenerationSummary::lines(outcome, {});
    const qsizetype at = lines.indexOf(u"members mailed with an empty prompted value: 23"_s);
    ASSERT_GE(at, 0);
    EXPECT_EQ(lines[at + 1], u"  M1 <m1@x.org>: First Name, Town"_s);
    EXPECT_EQ(lines[at + 20], u"  M20 <m20@x.org>: First Name, Town"_s);
    EXPECT_EQ(lines[at + 21], u"  and 3 more"_s);
    outcome.emptyPrompted.clear();
    EXPECT_FALSE(GenerationSummary::lines(outcome, {}).join(u'\n').contains(u"empty"_s));
}

} // namespace
