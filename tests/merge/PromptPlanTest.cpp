#include "merge/PromptPlan.h"
#include "common/NamedCases.h"
#include "merge/ContactFieldValues.h"
#include "merge/PromptValuesFile.h"

#include <gtest/gtest.h>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

struct ValuesCase
{
    const char *name;
    const char16_t *text;
    const char *error;  // what the failure says, or "" when the file is read
    const char *answer; // First Name for b@x.org, or the row count on failure
};

class ValuesFile : public testing::TestWithParam<ValuesCase>
{
};

// The values file is RFC 4180 whole; a bad record fails the file, naming its line.
TEST_P(ValuesFile, ReadsRecordsOrNamesTheBadLine)
{
    const ValuesCase &c = GetParam();
    const Result<PromptValues> values = PromptValuesFile::parse(QString::fromUtf16(c.text));
    if (*c.error) {
        ASSERT_FALSE(values.ok());
        EXPECT_TRUE(values.error().contains(QString::fromUtf8(c.error)))
            << values.error().toStdString();
        return;
    }
    ASSERT_TRUE(values.ok()) << values.error().toStdString();
    PromptPlan plan;
    plan.addTable(*values);
    EXPECT_EQ(plan.answer(u"first name"_s, u"B@X.org"_s).value_or(u"(asked)"_s),
              QString::fromUtf8(c.answer));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValuesFile,
    testing::Values(
        ValuesCase{"CrLf", u"address,First Name\r\na@x.org,Ann\r\nb@x.org,Bo\r\n", "", "Bo"},
        ValuesCase{"CrOnly", u"address,First Name\ra@x.org,Ann\rb@x.org,Bo", "", "Bo"},
        ValuesCase{"QuotedLineBreak", u"address,First Name\nb@x.org,\"Bo\nBar\"\n", "", "Bo\nBar"},
        ValuesCase{"DoubledQuote", u"address,First Name\nb@x.org,\"Bo \"\"B\"\"\"", "", "Bo \"B\""},
        ValuesCase{"ShortRowIsEmpty", u"address,Town,First Name\nb@x.org,Here\n", "", ""},
        ValuesCase{"NoRowIsAsked", u"address,First Name\na@x.org,Ann\n", "", "(asked)"},
        ValuesCase{"Empty", u"", "no heading", ""},
        ValuesCase{"NoPrompts", u"address\na@x.org\n", "line 1: the heading names no prompt", ""},
        ValuesCase{"PromptTwice", u"address,Town,TOWN\n", "line 1: the prompt \"TOWN\"", ""},
        ValuesCase{"UnnamedColumn", u"address,,Town\n", "line 1: column 2", ""},
        ValuesCase{"NoAddress", u"address,Town\n\"a\nb\",x\n,y\n", "line 4: the first cell", ""},
        ValuesCase{"TooManyCells", u"address,Town\na@x.org,x,y\n", "line 2: 3 cells", ""},
        ValuesCase{"AddressTwice", u"address,Town\na@x.org,x\nA@X.ORG,y\n",
                   "line 3: A@X.ORG has a row on line 2", ""},
        ValuesCase{"UnclosedQuote", u"address,Town\na@x.org,\"x\n", "line 2", ""}),
    corvel::test::ByName());

TEST(PromptPlan, SaysHowManyMembersHaveAnEmptyValue)
{
    PromptPlan plan;
    plan.setChoice(u"First Name"_s, PromptPlan::Choice::Table);
    plan.setCell(u"a@x.org"_s, u"First Name"_s, u"Ann"_s);
    plan.setCell(u"b@x.org"_s, u"First Name"_s, {});
    plan.setCell(u"c@x.org"_s, u"First Name"_s, {});
    plan.setChoice(u"Town"_s, PromptPlan::Choice::OneValue);
    plan.setChoice(u"Asked"_s, PromptPlan::Choice::Ask);
    const std::vector<MailMember> members{{u"A"_s, u"a@x.org"_s},
                                          {u"B"_s, u"b@x.org"_s},
                                          {u"C"_s, u"c@x.org"_s},
                                          {u"No address"_s, {}}};
    EXPECT_EQ(
        plan.emptyValueLines({u"First Name"_s, u"Town"_s, u"Asked"_s}, members),
        (QStringList{u"2 members have an empty First Name"_s, u"3 members have an empty Town"_s}));
}

// A prompt named after a contact field, in any case and spacing, takes the card's value.
TEST(ContactFieldValues, ArePromptsNamedAfterAField)
{
    const ContactFieldValues card = ContactFieldValues::ofCard(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;M.;Dr;\r\nFN:Dr Ann Lee\r\n"
        "NICKNAME:Annie,Al\r\nORG:Acme\\, Inc;Sales\r\nTITLE:Buyer\r\n"
        "EMAIL:ann@x.org\r\nEMAIL:other@x.org\r\nEND:VCARD\r\nBEGIN:VCARD\r\nNOTE:x\r\n");
    const std::pair<const char16_t *, const char16_t *> rows[] = {
        {u"First Name", u"Ann"},       {u"firstname", u"Ann"},     {u"LAST NAME", u"Lee"},
        {u"Full Name", u"Dr Ann Lee"}, {u"Company", u"Acme, Inc"}, {u"CompanyName", u"Acme, Inc"},
        {u"Department", u"Sales"},     {u"Job Title", u"Buyer"},   {u"Nick Name", u"Annie"},
        {u"E-mail", u"ann@x.org"},     {u"Title", u"Dr"},          {u"Middle Name", u"M."}};
    for (const auto &[prompt, value] : rows)
        EXPECT_EQ(card.value(QString::fromUtf16(prompt)), QString::fromUtf16(value))
            << QString::fromUtf16(prompt).toStdString();
    EXPECT_FALSE(card.value(u"Note"_s));
    EXPECT_FALSE(card.value(u"Town"_s));
}

} // namespace
