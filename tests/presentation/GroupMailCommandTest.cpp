#include "presentation/GroupMailCommand.h"
#include "common/NamedCases.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"
#include "fakes/MemoryWorkspace.h"
#include "fakes/ScriptedDialogHost.h"
#include "merge/MailWizard.h"
#include "merge/RunLock.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

// A workspace over an in-memory session: a contact folder of four contacts (one without an
// address) and a Drafts folder with one letter that prompts for a first name.
class GroupMailCommandTest : public testing::Test
{
protected:
    void SetUp() override
    {
        session = std::make_shared<MemoryNamespace>();
        const auto store = session->addStore(u"Personal Folders"_s);
        contacts = store->addFolder(u"Contacts"_s, u"IPM.Contact"_s);
        contacts->addContact(u"Lee, Ann"_s, u"ann@example.org"_s);
        contacts->addContact(u"Roe, Bob"_s, u"bob@example.org"_s);
        contacts->addContact(u"Nobody, Ned"_s, QString());
        contacts->addContact(u"Poe, Cy"_s, u"cy@example.org"_s);
        drafts = store->addFolder(u"Drafts"_s);
        letter = drafts->addMessage(u"News"_s, u"Dear <<Prompt=First Name>>,\nhello."_s);
        workspace = memoryWorkspace(tmp, session);
        ASSERT_TRUE(workspace->open().statusText.isEmpty());
        command = std::make_unique<GroupMailCommand>(GroupMailCommand::Services{
            workspace.get(), &dialogs, nullptr, nullptr, tmp.filePath(u"runs"_s)});
    }

    TreeList &tree() { return workspace->tree(); }
    // Lists the folder's contacts under its node, as Load Contacts does, and selects it.
    NodeHandle selectListedContacts()
    {
        const NodeHandle folder = tree().findByValue(contacts->EntryID(), NodeValueName::EntryId());
        setNodeKind(tree(), folder, NodeKind::ContactFolderListed);
        for (const auto &item : contacts->Items())
            addMember(folder, item->FileAs(), item->Email1Address(), NodeKind::ContactRow);
        select(folder);
        return folder;
    }
    // A standard group of its own members, selected.
    NodeHandle selectGroup(const QString &name, int members)
    {
        const NodeHandle root = tree().findByValue(u"STDMG"_s, NodeValueName::EntryId());
        const NodeHandle group = tree().addNode(name, root);
        setNodeKind(tree(), group, NodeKind::StandardGroup);
        for (int i = 1; i <= members; ++i)
            addMember(group, u"Member %1"_s.arg(i), u"m%1@example.org"_s.arg(i),
                      NodeKind::TypedMember);
        select(group);
        return group;
    }
    void addMember(NodeHandle parent, const QString &name, const QString &address, NodeKind kind)
    {
        const NodeHandle row = tree().addNode(name, parent);
        setNodeKind(tree(), row, kind);
        tree().setValue(row, NodeValueName::FileAs(), name);
        tree().setValue(row, NodeValueName::Email1Address(), address);
    }
    void select(NodeHandle node)
    {
        tree().clearSelection();
        tree().setSelected(node, true);
    }
    // The wizard clicked through: the first letter, Next, the addressing, Finish.
    void finishWizardWith(MailType type)
    {
        dialogs.queueWizard([type](MailWizard &wizard) {
            wizard.tlDrafts_Click(1);
            wizard.cmdNext_Click();
            wizard.optMailType_Click(static_cast<int>(type));
            return true;
        });
    }
    // Cancel pressed in the generator window at its turn-th chance.
    void cancelAtTurn(int turn)
    {
        dialogs.setGeneratorEvents([turn](RecordingGeneratorWindow &window, int at) {
            if (at == turn)
                window.pressCancel();
        });
    }
    // Every BCC address of the messages sent, from the from-th address on.
    QStringList addressesSentFrom(qsizetype from) const
    {
        QStringList all;
        for (const auto &message : session->sent())
            all << message.bcc.split(u"; "_s, Qt::SkipEmptyParts);
        return all.mid(from);
    }

    QTemporaryDir tmp;
    std::shared_ptr<MemoryNamespace> session;
    std::shared_ptr<MemoryFolder> contacts;
    std::shared_ptr<MemoryFolder> drafts;
    std::shared_ptr<MemoryItem> letter;
    std::unique_ptr<Workspace> workspace;
    ScriptedDialogHost dialogs;
    std::unique_ptr<GroupMailCommand> command;
};

TEST_F(GroupMailCommandTest, WizardLeftWithExitMailsNobody)
{
    selectListedContacts();
    command->doBtnDoMail(); // no script: the wizard is left with Exit
    EXPECT_EQ(dialogs.asked(), QStringList{u"wizard: 4 Members of Contacts"_s});
    EXPECT_EQ(command->grpMailType(), MailType::None);
    EXPECT_TRUE(session->sent().empty());
    EXPECT_TRUE(dialogs.generators().empty());
}

TEST_F(GroupMailCommandTest, PersonalMailToAListedFolderAsksEveryMemberAndShowsTheAccount)
{
    selectListedContacts();
    finishWizardWith(MailType::Personal);
    for (const QString &name : {u"Ann"_s, u"Bob"_s, u"Cy"_s})
        dialogs.queueName(name);
    command->doBtnDoMail();

    EXPECT_EQ(command->grpMailType(), MailType::Personal);
    EXPECT_EQ(command->grpMailEntryId(), letter->EntryID());
    ASSERT_EQ(session->sent().size(), 3u);
    EXPECT_EQ(session->sent()[0].body, u"Dear Ann,\nhello."_s);
    EXPECT_EQ(session->sent()[2].to, u"\"Poe, Cy\" <cy@example.org>"_s);
    // Each prompt says whose copy it fills.
    EXPECT_EQ(dialogs.asked().filter(u"getname: "_s),
              (QStringList{
                  u"getname: Enter value for First Name for Lee, Ann <ann@example.org>, 1 of 4"_s,
                  u"getname: Enter value for First Name for Roe, Bob <bob@example.org>, 2 of 4"_s,
                  u"getname: Enter value for First Name for Poe, Cy <cy@example.org>, 4 of 4"_s}));

    ASSERT_EQ(dialogs.generators().size(), 1u);
    const auto &window = dialogs.generators().front();
    EXPECT_TRUE(window.shown);
    EXPECT_FALSE(window.closed);
    EXPECT_EQ(window.statuses.first(), u"4 Contacts to Process"_s);
    EXPECT_EQ(window.lastPercent, 100);
    EXPECT_EQ(window.heading, u"The run ended."_s);
    EXPECT_TRUE(window.outcome.contains(u"members processed: 4"_s));
    EXPECT_TRUE(window.outcome.contains(u"messages queued: 3"_s));
    EXPECT_TRUE(window.outcome.contains(u"members skipped for want of an address: 1"_s));

    command->stop(); // the program closes: the account goes with it
    EXPECT_TRUE(window.closed);
}

// With a table of values nothing is asked during the run; empty cells are said before Finish.
TEST_F(GroupMailCommandTest, PromptedFieldsFromATableAskNothing)
{
    selectListedContacts();
    QStringList empty;
    dialogs.queueWizard([&empty](MailWizard &wizard) {
        wizard.tlDrafts_Click(1);
        wizard.cmdNext_Click();
        wizard.cmdNext_Click();
        EXPECT_EQ(wizard.currentStep(), MailWizard::kPromptsStep);
        wizard.setPromptChoice(u"first name"_s, PromptPlan::Choice::Table);
        wizard.setPromptCell(0, u"First Name"_s, u"Ann"_s);
        wizard.setPromptCell(2, u"First Name"_s, u"Cy"_s);
        empty = wizard.emptyValueLines();
        return true;
    });
    command->doBtnDoMail();

    EXPECT_EQ(empty, QStringList{u"1 member has an empty First Name"_s});
    EXPECT_TRUE(dialogs.asked().filter(u"getname: "_s).isEmpty());
    ASSERT_EQ(session->sent().size(), 3u);
    EXPECT_EQ(session->sent()[0].body, u"Dear Ann,\nhello."_s);
    EXPECT_EQ(session->sent()[1].body, u"Dear ,\nhello."_s);
    EXPECT_EQ(session->sent()[2].body, u"Dear Cy,\nhello."_s);
    EXPECT_TRUE(dialogs.generators().front().outcome.contains(
        u"members mailed with an empty prompted value: 1"_s));
}

// Stop the run in a prompt ends it as Cancel does: the copies made are queued, no more asked.
TEST_F(GroupMailCommandTest, StopTheRunInAPromptQueuesWhatWasMade)
{
    selectGroup(u"Friends"_s, 5);
    finishWizardWith(MailType::Personal);
    dialogs.queueName(u"Ann"_s);
    dialogs.queueGetName([](GetNameForm &form) {
        form.stopRun();
        return false;
    });
    command->doBtnDoMail();

    EXPECT_EQ(session->sent().size(), 1u);
    EXPECT_EQ(dialogs.asked().filter(u"getname: "_s).size(), 2);
    ASSERT_EQ(dialogs.generators().size(), 1u);
    EXPECT_EQ(dialogs.generators().front().heading, u"The run was cancelled."_s);
    EXPECT_TRUE(dialogs.generators().front().outcome.contains(u"messages queued: 1"_s));
}

TEST_F(GroupMailCommandTest, PreviewShowsTheMessagesAndQueuesNothing)
{
    selectListedContacts();
    QStringList previewed;
    dialogs.queueWizard([&previewed](MailWizard &wizard) {
        wizard.tlDrafts_Click(1);
        EXPECT_FALSE(wizard.canPreview()); // not before the last page
        wizard.cmdNext_Click();
        previewed = wizard.preview();
        return false; // then Exit
    });
    command->doBtnDoMail();

    EXPECT_TRUE(previewed.contains(u"messages that would be queued: 3"_s))
        << previewed.join(u'\n').toStdString();
    EXPECT_EQ(previewed.filter(QRegularExpression(u"^To: .+ <ann@example.org>$"_s)).size(), 1)
        << previewed.join(u'\n').toStdString();
    EXPECT_TRUE(previewed.contains(u"first message body:\nDear [First Name],\nhello."_s));
    EXPECT_TRUE(previewed.contains(u"members skipped for want of an address: 1"_s));
    EXPECT_TRUE(session->sent().empty());
    EXPECT_EQ(dialogs.asked(), QStringList{u"wizard: 4 Members of Contacts"_s}); // no prompt
}

TEST_F(GroupMailCommandTest, GroupIsMailedWholeAndFailedMembersAreNamed)
{
    const NodeHandle group = selectGroup(u"Friends"_s, 250);
    addMember(group, u"Injector"_s, u"evil@example.org\r\nBcc: many@example.org"_s,
              NodeKind::TypedMember);
    finishWizardWith(MailType::BCC);
    command->doBtnDoMail();

    EXPECT_EQ(dialogs.asked().first(), u"wizard: 251 Members of Friends"_s);
    ASSERT_EQ(session->sent().size(), 3u);
    for (const auto &message : session->sent())
        EXPECT_FALSE((message.to + message.bcc).contains(u"many@"_s));
    const auto &window = dialogs.generators().front();
    EXPECT_EQ(window.heading, u"The run ended; some members failed."_s);
    EXPECT_TRUE(window.outcome.contains(u"members failed: 1"_s));
    EXPECT_TRUE(window.outcome.join(u'\n').contains(u"\n  Injector <evil@example.org"_s));
    EXPECT_EQ(command->lastOutcome().failures.size(), 1u);
}

struct InterruptedCase
{
    const char *name;
    DialogHost::InterruptedRun answer;
    bool generatorOpened;
    int recipientsOfSecondRun;
};

class InterruptedRunAnswers : public GroupMailCommandTest,
                              public testing::WithParamInterface<InterruptedCase>
{
};

// The first run of BCC copies is cancelled after 150 of 250 members: the first hundred are
// queued, the pending batch is dropped.
TEST_P(InterruptedRunAnswers, SecondRunFollowsTheAnswer)
{
    selectGroup(u"Friends"_s, 250);
    finishWizardWith(MailType::BCC);
    cancelAtTurn(150);
    command->doBtnDoMail();
    const auto &first = dialogs.generators().front();
    EXPECT_EQ(first.heading, u"The run was cancelled."_s);
    EXPECT_TRUE(first.outcome.contains(u"the run was cancelled; it can be continued "_s +
                                       GroupMailCommand::howToContinue()));
    const QStringList firstRun = addressesSentFrom(0);
    ASSERT_EQ(firstRun.size(), 100);

    dialogs.setGeneratorEvents({});
    dialogs.clear();
    finishWizardWith(MailType::BCC);
    dialogs.queueInterruptedRun(GetParam().answer);
    command->doBtnDoMail();

    ASSERT_GE(dialogs.asked().size(), 2);
    EXPECT_TRUE(dialogs.asked()[1].startsWith(
        u"interrupted: A run of this letter to \"Friends\" was interrupted after 100 members"_s))
        << dialogs.asked()[1].toStdString();
    EXPECT_EQ(dialogs.generators().size() == 2, GetParam().generatorOpened);
    QStringList secondRun = addressesSentFrom(firstRun.size());
    EXPECT_EQ(secondRun.size(), GetParam().recipientsOfSecondRun);
    if (GetParam().answer == DialogHost::InterruptedRun::Continue) {
        secondRun.append(firstRun);
        secondRun.removeDuplicates();
        EXPECT_EQ(secondRun.size(), 250); // nobody twice, nobody left out
    }
}

INSTANTIATE_TEST_SUITE_P(
    GroupMailCommand, InterruptedRunAnswers,
    testing::Values(InterruptedCase{"Continue", DialogHost::InterruptedRun::Continue, true, 150},
                    InterruptedCase{"StartOver", DialogHost::InterruptedRun::StartOver, true, 250},
                    InterruptedCase{"Cancel", DialogHost::InterruptedRun::Cancel, false, 0}),
    corvel::test::ByName());

// Another run in progress keeps this one out; a journal that cannot be read is left as it is
// unless the user starts over, which keeps it aside.
TEST_F(GroupMailCommandTest, ALiveRunOrADamagedJournalIsSaidBeforeAnythingIsMailed)
{
    selectGroup(u"Friends"_s, 250);
    finishWizardWith(MailType::BCC);
    cancelAtTurn(150);
    command->doBtnDoMail();
    dialogs.setGeneratorEvents({});
    const QString runs = tmp.filePath(u"runs"_s);
    const QStringList journals = QDir(runs).entryList({u"*.run"_s});
    ASSERT_EQ(journals.size(), 1);
    const QString journal = QDir(runs).filePath(journals.front());
    const std::size_t sentBefore = session->sent().size();

    {
        auto other = RunLock::take(runs);
        ASSERT_TRUE(other.ok());
        dialogs.clear();
        finishWizardWith(MailType::BCC);
        command->doBtnDoMail();
        EXPECT_EQ(dialogs.asked().value(1),
                  u"information: another group mail run is in progress (pid %1)"_s.arg(getpid()));
        EXPECT_EQ(dialogs.asked().size(), 2);
    }

    QFile damaged(journal);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("not a journal\n");
    damaged.close();
    for (const bool startOver : {false, true}) {
        dialogs.clear();
        finishWizardWith(MailType::BCC);
        dialogs.queueAnswer(startOver);
        command->doBtnDoMail();
        EXPECT_TRUE(dialogs.asked().value(1).startsWith(u"okcancel: The run journal "_s + journal))
            << dialogs.asked().value(1).toStdString();
        EXPECT_EQ(QFile::exists(journal + u".damaged"_s), startOver);
    }
    EXPECT_EQ(addressesSentFrom(0).mid(100).size(), 250); // everyone, once the user chose
    EXPECT_EQ(session->sent().size(), sentBefore + 3);
}

TEST_F(GroupMailCommandTest, StoppedByTheProgramClosingAsksNothingMore)
{
    selectGroup(u"Friends"_s, 5);
    finishWizardWith(MailType::Personal);
    dialogs.queueName(u"Ann"_s);
    dialogs.setGeneratorEvents([this](RecordingGeneratorWindow &, int turn) {
        if (turn == 2)
            command->stop();
    });
    command->doBtnDoMail();

    EXPECT_LE(session->sent().size(), 2u);
    EXPECT_LE(dialogs.asked().filter(u"getname: Enter value for First Name"_s).size(), 2);
    ASSERT_EQ(dialogs.generators().size(), 1u);
    EXPECT_TRUE(dialogs.generators().front().closed);
    EXPECT_TRUE(dialogs.generators().front().outcome.isEmpty());

    dialogs.clear();
    command->doBtnDoMail(); // a closing program starts no run
    EXPECT_TRUE(dialogs.asked().isEmpty());
}

} // namespace
