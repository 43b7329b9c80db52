#include "merge/MergeFields.h"
#include "GenerationDoubles.h"
#include "common/NamedCases.h"
#include "merge/MemberPrompts.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <map>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

// Answers each prompt by its name from the table; a name not there is cancelled.
std::function<QString(const PromptRequest &)> byName(std::map<QString, QString> answers)
{
    return [answers = std::move(answers)](const PromptRequest &request) {
        const auto found = answers.find(request.promptName);
        return found == answers.end() ? QString() : found->second;
    };
}

struct FillCase
{
    const char *name;
    const char *body;
    std::map<QString, QString> answers;
    const char *expected;
};

class FillMergeFieldsTest : public testing::TestWithParam<FillCase>
{
};

TEST_P(FillMergeFieldsTest, FillsAsTheUserAnswered)
{
    test::RecordingPrompter prompter;
    prompter.answer = byName(GetParam().answers);
    const Result<QString> filled =
        MergeFields::fillMergeFields(QString::fromUtf8(GetParam().body), prompter.valueOf());
    ASSERT_TRUE(filled.ok()) << filled.error().toStdString();
    EXPECT_EQ(*filled, QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillMergeFieldsTest,
    testing::Values(
        FillCase{"PromptAnswered",
                 "Dear <<Prompt=First Name>>,",
                 {{u"First Name"_s, u"Ann"_s}},
                 "Dear Ann,"},
        FillCase{"PromptCancelledLeavesNothing", "Dear <<Prompt=First Name>>,", {}, "Dear ,"},
        FillCase{"PromptPrefixAnyCase", "Hi <<PROMPT=x>>!", {{u"x"_s, u"Bo"_s}}, "Hi Bo!"},
        FillCase{"PlainFieldRemoved", "Dear <<FullName>>, hi", {}, "Dear , hi"},
        FillCase{"OpenWithoutCloseLeftAlone", "a << b and more", {}, "a << b and more"},
        FillCase{"LaterOpenWithoutClose", "<<x>> then << tail", {}, " then << tail"},
        FillCase{"CloseBeforeOpenIgnored", ">> <<x>>", {}, ">> "},
        FillCase{"AnswerWithFieldIsFilledAgain",
                 "<<Prompt=a>>",
                 {{u"a"_s, u"<<Prompt=b>>!"_s}, {u"b"_s, u"B"_s}},
                 "B!"},
        FillCase{"NoFields", "plain text", {}, "plain text"}),
    corvel::test::ByName());

// In HTML a field stands escaped, markup in it does not hide it, and a value shows as typed
// without being read for fields again.
TEST(fillHtmlMergeFields, FillsEscapedFieldsWithEscapedValues)
{
    test::RecordingPrompter prompter;
    prompter.answer = byName({{u"First & Last"_s, u"<b>Ann</b> & <<Prompt=x>>"_s}});
    const Result<QString> filled = MergeFields::fillHtmlMergeFields(
        u"Dear &lt;&lt;Prompt=<i>First</i> &amp; Last&gt;&gt;, &lt;&lt;Link&gt;&gt;!"_s,
        prompter.valueOf());
    ASSERT_TRUE(filled.ok());
    EXPECT_EQ(*filled, u"Dear &lt;b&gt;Ann&lt;/b&gt; &amp; &lt;&lt;Prompt=x&gt;&gt;, !"_s);
    prompter.answer = byName({{u"n"_s, u"a\nb"_s}});
    EXPECT_FALSE(
        MergeFields::fillHtmlMergeFields(u"&lt;&lt;Prompt=n&gt;&gt;"_s, prompter.valueOf()).ok());
}

// However often the letter uses a prompt, in whatever letter case, a member is asked once.
TEST(MemberPrompts, AskOncePerNameNamingTheMember)
{
    test::RecordingPrompter prompter;
    prompter.answer = byName({{u"One"_s, u"1"_s}});
    MemberPrompts prompts(nullptr, prompter,
                          {{}, {}, {u"Lee, Ann"_s, u"ann.lee@example.org"_s}, 3, 239});
    const Result<QString> filled = MergeFields::fillMergeFields(
        u"<<Prompt=One>> <<Prompt=Two>> <<prompt=ONE>>"_s,
        [&prompts](const QString &name) { return prompts.valueOf(name); });
    EXPECT_EQ(*filled, u"1  1"_s);
    EXPECT_EQ(prompter.asked,
              (QStringList{u"Enter value for One for Lee, Ann <ann.lee@example.org>, 3 of 239"_s,
                           u"Enter value for Two for Lee, Ann <ann.lee@example.org>, 3 of 239"_s}));
    EXPECT_EQ(prompts.emptied(), QStringList{u"Two"_s});
}

// Line breaks and NUL in an answer, or an answer that refills itself for ever, fail the fill.
TEST(fillMergeFields, RefusesBadAnswers)
{
    for (const QString &bad :
         {u"a\r\nBcc: x@y"_s, u"a\nb"_s, QString(u"a\0b"_s), u"<<Prompt=n>>"_s}) {
        test::RecordingPrompter prompter;
        prompter.answer = byName({{u"n"_s, bad}});
        EXPECT_FALSE(MergeFields::fillMergeFields(u"<<Prompt=n>>"_s, prompter.valueOf()).ok());
    }
}

TEST(fillMergeFields, PromptNamesInOrderOfFirstUse)
{
    EXPECT_EQ(
        MergeFields::promptNames(u"<<Prompt=B>> <<x>> <<prompt=A>> <<Prompt=b>> <<Prompt=C"_s),
        (QStringList{u"B"_s, u"A"_s}));
}

// The window highlights what the generator will replace, so both must find the same fields.
TEST(MergeFieldSpans, StandWhereFillMergeFieldsFindsThem)
{
    using Span = MergeFields::Span;
    const QString text = u"Dear <<Prompt=Name>>, <<FullName>> >> <<Prompt=>> << tail"_s;
    EXPECT_EQ(MergeFields::fieldSpans(text),
              (QList<Span>{{5, 15, true}, {22, 12, false}, {38, 11, true}}));
    EXPECT_EQ(MergeFields::fieldSpans(u"<<<x>>>"_s), (QList<Span>{{0, 6, false}}));
    EXPECT_TRUE(MergeFields::fieldSpans(u"a << b"_s).isEmpty());

    // Removing every span leaves what filling with empty answers leaves.
    test::RecordingPrompter prompter;
    QString removed = text;
    const QList<Span> spans = MergeFields::fieldSpans(text);
    for (auto span = spans.crbegin(); span != spans.crend(); ++span)
        removed.remove(span->start, span->length);
    EXPECT_EQ(*MergeFields::fillMergeFields(text, prompter.valueOf()), removed);
}

TEST(MergeFieldSpans, PromptNamesThatWouldEndTheFieldEarlyAreRefused)
{
    for (const QString &good : {u"First Name"_s, u"a>b"_s, u"<a"_s, u"Größe"_s})
        EXPECT_TRUE(MergeFields::promptNameProblem(good).isEmpty()) << good.toStdString();
    for (const QString &bad :
         {QString(), u"a>>b"_s, u"a<<b"_s, u"ends>"_s, u"a\nb"_s, u"a\rb"_s, QString(u"a\0b"_s)}) {
        EXPECT_FALSE(MergeFields::promptNameProblem(bad).isEmpty()) << bad.toStdString();
    }
    EXPECT_EQ(MergeFields::promptField(u"First Name"_s), u"<<Prompt=First Name>>"_s);
}

} // namespace
