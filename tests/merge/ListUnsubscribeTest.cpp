#include "merge/ListUnsubscribe.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

struct UnsubscribeCase
{
    const char *name;
    const char *setting;
    const char *member; // empty: a copy to several
    const char *header; // List-Unsubscribe; "!" when the setting is refused
    bool oneClick;
};
CORVEL_PRINT_BY_NAME(UnsubscribeCase)

const UnsubscribeCase Cases[] = {
    {"None", "", "a@e.org", "", false},
    {"MailtoOnly", "mailto:off@e.org", "a@e.org", "<mailto:off@e.org>", false},
    {"UrlNamesTheMemberEncoded", "<https://e.org/u?m=<<Address>>>, mailto:off@e.org", "a+b@e.org",
     "<mailto:off@e.org>, <https://e.org/u?m=a%2Bb%40e.org>", true},
    {"UrlNamingAMemberLeftOffSharedCopies", "https://e.org/u?m=<<Address>> mailto:off@e.org", "",
     "<mailto:off@e.org>", false},
    {"FixedUrlOnSharedCopies", "https://e.org/off", "", "<https://e.org/off>", true},
    {"PlainHttpRefused", "http://e.org/off", "a@e.org", "!", false},
    {"TwoUrlsRefused", "https://e.org/a https://e.org/b", "a@e.org", "!", false},
    {"BracketInsideRefused", "https://e.org/a>b", "a@e.org", "!", false},
};

class ListUnsubscribeTest : public testing::TestWithParam<UnsubscribeCase>
{
};

TEST_P(ListUnsubscribeTest, HeadersOfACopy)
{
    const UnsubscribeCase &row = GetParam();
    const Result<ListUnsubscribe> parsed = ListUnsubscribe::parse(QString::fromUtf8(row.setting));
    ASSERT_EQ(parsed.ok(), QByteArray(row.header) != "!");
    if (!parsed.ok())
        return;
    ListUnsubscribe::Headers expected;
    if (*row.header)
        expected.emplace_back(u"List-Unsubscribe"_s, QString::fromUtf8(row.header));
    if (row.oneClick)
        expected.emplace_back(u"List-Unsubscribe-Post"_s, u"List-Unsubscribe=One-Click"_s);
    EXPECT_EQ(parsed->headersFor(QString::fromUtf8(row.member)), expected);
}

INSTANTIATE_TEST_SUITE_P(Settings, ListUnsubscribeTest, testing::ValuesIn(Cases),
                         corvel::test::ByName());

} // namespace
