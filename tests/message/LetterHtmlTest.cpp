#include "message/LetterHtml.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

using namespace corvel;

namespace {

struct HtmlCase
{
    const char *name;
    const char *html;
    const char *kept;  // sanitized
    const char *plain; // plainText of the input
};
CORVEL_PRINT_BY_NAME(HtmlCase)

const HtmlCase HtmlCases[] = {
    {"FormattingKept", "<b>a</b><strong>b</strong><em>c</em><u>d</u>",
     "<b>a</b><b>b</b><i>c</i><u>d</u>", "abcd"},
    {"StylesBecomeTags", "<span style=\" font-weight:700; font-style:italic;\">x</span>",
     "<b><i>x</i></b>", "x"},
    {"SizesSnapToTheOffered", "<span style=\"font-size:17px\">a</span><font size=6>b</font>",
     "<span style=\"font-size:14pt\">a</span><span style=\"font-size:24pt\">b</span>", "ab"},
    {"ScriptsStylesAndHandlersDropped",
     "<style>p{}</style><script>alert(1)</script><p onclick=\"x()\">hi<img src=x></p>",
     "<div>hi</div>", "hi"},
    {"OnlyWebAndMailLinks",
     "<a href=\"javascript:x()\">a</a> <a href=\"https://e.org/?a=1&amp;b=2\">b</a>",
     "a <a href=\"https://e.org/?a=1&amp;b=2\">b</a>", "a b <https://e.org/?a=1&b=2>"},
    {"ListsNumberedAndBulleted", "<ol><li>a</li><li>b</li></ol><ul><li>c</li></ul>",
     "<ol><li>a</li><li>b</li></ol><ul><li>c</li></ul>", "1. a\n2. b\n- c"},
    {"UnclosedTagsClosed", "<b><i>x</p>", "<b><i>x</i></b>", "x"},
    {"TextEscapedReferencesKept", "a & b &lt;c&gt; &eacute; 1 < 2",
     "a &amp; b &lt;c&gt; &eacute; 1 &lt; 2", "a & b <c> &eacute; 1 < 2"},
    {"TypedMergeFieldIsText", "Dear <<Prompt=Name>>,", "Dear &lt;&lt;Prompt=Name&gt;&gt;,",
     "Dear <<Prompt=Name>>,"},
    {"BlocksAndBreaksMakeLines", "<p>a</p>\n<p>b<br>c</p>", "<div>a</div>\n<div>b<br>c</div>",
     "a\nb\nc"},
};

class LetterHtmlTest : public testing::TestWithParam<HtmlCase>
{
};

TEST_P(LetterHtmlTest, KeepsWhatALetterMayCarry)
{
    const QString html = QString::fromUtf8(GetParam().html);
    EXPECT_EQ(LetterHtml::sanitized(html), QString::fromUtf8(GetParam().kept));
    EXPECT_EQ(LetterHtml::plainText(html), QString::fromUtf8(GetParam().plain));
}

INSTANTIATE_TEST_SUITE_P(Cases, LetterHtmlTest, testing::ValuesIn(HtmlCases),
                         corvel::test::ByName());

} // namespace
