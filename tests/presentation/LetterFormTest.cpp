#include "presentation/LetterForm.h"
#include "common/LocalSession.h"
#include "common/NamedCases.h"
#include "fakes/ScriptedDialogHost.h"
#include "merge/DraftsFolder.h"
#include "merge/NewLetter.h"
#include "message/MailMessage.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

using Field = LetterForm::Field;
using Answer = DialogHost::UnsavedChanges;

// A local store in a temporary folder with one new draft, as New Message leaves it.
class LetterFormTest : public ::testing::Test, protected test::LocalSession
{
protected:
    ScriptedDialogHost dialogs;
    std::shared_ptr<OlItem> draft =
        NewLetter::doBtnNewMsg(*application, DraftsFolder::choose(*session, {}));

    QStringList files(const QString &folder) const
    {
        QStringList all;
        for (const QString &part : {u"cur"_s, u"new"_s})
            for (const QString &name :
                 QDir(store + u'/' + folder + u'/' + part).entryList(QDir::Files))
                all << store + u'/' + folder + u'/' + part + u'/' + name;
        return all;
    }
    MailMessage fileOf(const QString &path) const
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        Result<MailMessage> parsed = MailMessage::parse(file.readAll());
        EXPECT_TRUE(parsed.ok());
        return parsed.ok() ? std::move(*parsed) : MailMessage::blank();
    }
    // The letter as a window opens it: read afresh by its EntryId.
    LetterForm reopened() { return LetterForm(session->GetItemFromID(draft->EntryID()), dialogs); }
};

struct Typed
{
    const char *name;
    const char *text;
    bool valid;
};

CORVEL_PRINT_BY_NAME(Typed)

class AddressAsTypedTest : public LetterFormTest, public ::testing::WithParamInterface<Typed>
{
};

TEST_P(AddressAsTypedTest, ReasonShowsWhileTheTextIsNoAddressList)
{
    LetterForm form = reopened();
    for (const Field field : {Field::To, Field::Cc, Field::Bcc}) {
        form.setAddresses(field, QString::fromUtf8(GetParam().text));
        EXPECT_EQ(form.addressError(field).isEmpty(), GetParam().valid)
            << form.addressError(field).toStdString();
    }
    const Status sent = form.send();
    if (!GetParam().valid) {
        ASSERT_FALSE(sent.ok());
        EXPECT_TRUE(sent.error().startsWith(u"To: "_s)) << sent.error().toStdString();
        EXPECT_FALSE(form.save().ok());
        EXPECT_TRUE(files(u"Outbox"_s).isEmpty());
    }
}

const Typed TypedAddresses[] = {
    {"Empty", "", true},
    {"OneAddress", "bob@example.org", true},
    {"NamesAndSemicolons", "Bob Roe <bob@example.org>; carol@example.org", true},
    {"HalfTyped", "bob@", false},
    {"NoAt", "bob", false},
    {"SecondHalfTyped", "bob@example.org; carol@", false},
    {"InjectedHeader", "bob@example.org\r\nBcc: evil@example.org", false},
};

INSTANTIATE_TEST_SUITE_P(Texts, AddressAsTypedTest, ::testing::ValuesIn(TypedAddresses),
                         corvel::test::ByName());

TEST_F(LetterFormTest, SaveReplacesTheSavedDraftFile)
{
    LetterForm form = reopened();
    form.setAddresses(Field::To, u"bob@example.org"_s);
    form.setSubject(u"Spring"_s);
    form.setBody(u"Dear <<Prompt=First Name>>,\n"_s);
    EXPECT_TRUE(form.isDirty());
    ASSERT_TRUE(form.save().ok());
    EXPECT_FALSE(form.isDirty());
    form.setBody(u"Dear <<Prompt=First Name>>,\nsee you.\n"_s);
    ASSERT_TRUE(form.save().ok());

    const QStringList drafts = files(u"Drafts"_s);
    ASSERT_EQ(drafts.size(), 1);
    const MailMessage saved = fileOf(drafts[0]);
    EXPECT_EQ(saved.subject(), u"Spring"_s);
    EXPECT_EQ(saved.body(), u"Dear <<Prompt=First Name>>,\nsee you.\n"_s);
    // The same letter, found again by the EntryId it had.
    EXPECT_EQ(reopened().subject(), u"Spring"_s);
    // Typing back what was saved leaves nothing to save.
    form.setSubject(u"Other"_s);
    form.setSubject(u"Spring"_s);
    EXPECT_FALSE(form.isDirty());
}

TEST_F(LetterFormTest, SendQueuesTheLetterAndTakesItOutOfDrafts)
{
    LetterForm form = reopened();
    Status refused = form.send();
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().contains(u"no recipient"_s));

    ASSERT_TRUE(form.addAttachment(writeFile(u"plan.txt"_s, "plan")).ok());
    form.setAddresses(Field::Bcc, u"carol@example.org"_s);
    ASSERT_TRUE(form.send().ok());
    EXPECT_TRUE(form.isSent());
    EXPECT_FALSE(form.isDirty());
    EXPECT_TRUE(files(u"Drafts"_s).isEmpty());
    const QStringList queued = files(u"Outbox"_s);
    ASSERT_EQ(queued.size(), 1);
    const MailMessage out = fileOf(queued[0]);
    EXPECT_EQ(out.recipients(MailMessage::Recipients::Bcc), u"carol@example.org"_s);
    EXPECT_EQ(out.attachments().size(), 1u);
    EXPECT_FALSE(form.send().ok());
    EXPECT_TRUE(form.requestClose());
    EXPECT_TRUE(dialogs.asked().isEmpty()) << dialogs.asked().join(u'\n').toStdString();
}

// The window inserts the field at its cursor (tested with the window).
TEST_F(LetterFormTest, PromptFieldIsAskedAndBadNamesAreRefused)
{
    LetterForm form = reopened();
    dialogs.queueName(u"First Name"_s);
    EXPECT_EQ(form.askPromptField(), u"<<Prompt=First Name>>"_s);
    EXPECT_EQ(dialogs.asked().back(), u"getname: Insert Prompt Field"_s);

    for (const QString &bad : {u"a>>b"_s, u"<<a"_s, u"a>"_s, u"a\nb"_s}) {
        dialogs.queueName(bad);
        EXPECT_EQ(form.askPromptField(), QString()) << bad.toStdString();
        EXPECT_TRUE(dialogs.asked().back().startsWith(u"information: A prompt field's name"_s))
            << dialogs.asked().back().toStdString();
    }
    // Cancelled: nothing to insert.
    EXPECT_EQ(form.askPromptField(), QString());
}

struct CloseCase
{
    const char *name;
    std::optional<Answer> answer; // none: nothing changed, nothing asked
    bool closes;
    const char *savedBody;
};

CORVEL_PRINT_BY_NAME(CloseCase)

class CloseQuestionTest : public LetterFormTest, public ::testing::WithParamInterface<CloseCase>
{
};

TEST_P(CloseQuestionTest, UnsavedChangesAreAskedAbout)
{
    LetterForm form = reopened();
    if (GetParam().answer) {
        form.setBody(u"changed"_s);
        dialogs.queueUnsavedAnswer(*GetParam().answer);
    }
    EXPECT_EQ(form.requestClose(), GetParam().closes);
    EXPECT_EQ(dialogs.asked().size(), GetParam().answer ? 1 : 0);
    if (GetParam().answer) {
        EXPECT_EQ(dialogs.asked().front(),
                  u"unsaved: The letter \"Draft from Corvel\" has changes that are not saved. "
                  "Save them in Drafts?"_s);
    }
    EXPECT_EQ(reopened().body(), QString::fromUtf8(GetParam().savedBody));
}

const CloseCase CloseCases[] = {
    {"Unchanged", std::nullopt, true, ""},
    {"Save", Answer::Save, true, "changed"},
    {"Discard", Answer::Discard, true, ""},
    {"Cancel", Answer::Cancel, false, ""},
};

INSTANTIATE_TEST_SUITE_P(Answers, CloseQuestionTest, ::testing::ValuesIn(CloseCases),
                         corvel::test::ByName());

TEST_F(LetterFormTest, SaveAnsweredWhileAFieldIsWrongKeepsTheWindowOpen)
{
    LetterForm form = reopened();
    form.setAddresses(Field::Cc, u"bob@"_s);
    dialogs.queueUnsavedAnswer(Answer::Save);
    EXPECT_FALSE(form.requestClose());
    ASSERT_EQ(dialogs.asked().size(), 2);
    EXPECT_TRUE(dialogs.asked()[1].startsWith(u"critical: The letter was not saved: CC: "_s))
        << dialogs.asked()[1].toStdString();
}

TEST_F(LetterFormTest, SessionEndSavesWithoutAskingAndKeepsWhatIsRight)
{
    LetterForm form = reopened();
    form.setBody(u"kept"_s);
    form.setAddresses(Field::To, u"bob@"_s);
    const Status ended = form.closeForSessionEnd();
    EXPECT_FALSE(ended.ok());
    EXPECT_TRUE(ended.error().contains(u"To: "_s)) << ended.error().toStdString();
    EXPECT_TRUE(dialogs.asked().isEmpty());
    LetterForm again = reopened();
    EXPECT_EQ(again.body(), u"kept"_s);
    EXPECT_EQ(again.addresses(Field::To), QString());
    EXPECT_TRUE(again.closeForSessionEnd().ok());
}

TEST_F(LetterFormTest, AttachmentsChosenOrDroppedAreToldWhenRefused)
{
    LetterForm form = reopened();
    const QString good = writeFile(u"good.txt"_s, {});
    dialogs.queueFile(good);
    form.chooseAttachment();
    ASSERT_EQ(form.attachments().size(), 1u);
    EXPECT_TRUE(form.isDirty());

    form.attachDropped({good, tmp.filePath(u"gone"_s), tmp.path()});
    EXPECT_EQ(form.attachments().size(), 2u);
    ASSERT_TRUE(dialogs.asked().back().startsWith(u"information: "_s));
    EXPECT_EQ(dialogs.asked().back().count(u"cannot be attached"_s), 2);

    ASSERT_TRUE(form.removeAttachment(0).ok());
    EXPECT_FALSE(form.removeAttachment(5).ok());
    ASSERT_TRUE(form.save().ok());
    EXPECT_EQ(reopened().attachments().size(), 1u);
}

} // namespace
} // namespace corvel
