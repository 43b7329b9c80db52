#include "merge/MailGenerator.h"
#include "GenerationDoubles.h"
#include "common/NamedCases.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"
#include "merge/PromptPlan.h"
#include "merge/RunJournal.h"
#include "merge/RunLock.h"
#include "support/ProcessOwner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/wait.h>
#include <unistd.h>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

std::vector<MailMember> membersNumbered(int count, int from = 1)
{
    std::vector<MailMember> members;
    for (int i = from; i < from + count; ++i)
        members.push_back({u"Member %1"_s.arg(i), u"m%1@example.org"_s.arg(i)});
    return members;
}

class MailGeneratorTest : public testing::Test
{
protected:
    MailGeneratorTest()
    {
        auto store = m_session->addStore(u"Personal"_s);
        auto drafts = store->addFolder(u"Drafts"_s);
        m_letter = drafts->addMessage(u"News <<Prompt=Subject>>"_s, m_body);
        m_letter->setTo(u"list-owner@example.org"_s);
        m_letter->setCC(u"archive@example.org"_s);
    }

    GenerationOutcome run(MailType type, const std::vector<MailMember> &members,
                          RunJournal *journal = nullptr, bool dryRun = false)
    {
        MailGenerator generator(*m_session, m_view, m_prompter);
        m_generator = &generator;
        const auto outcome =
            generator.execute({type, m_letter->EntryID(), dryRun, &m_plan}, members, journal);
        m_generator = nullptr;
        return outcome;
    }
    void cancelAfter(int members)
    {
        m_view.onEvents = [this, members, seen = 0]() mutable {
            if (++seen == members)
                m_generator->btnCancel_Click();
        };
    }
    const std::vector<MemoryNamespace::SentMessage> &sent() const { return m_session->sent(); }

    QString m_body = u"Dear <<Prompt=First Name>>,\nsee <<Link>> << tail"_s;
    std::shared_ptr<MemoryNamespace> m_session = std::make_shared<MemoryNamespace>();
    std::shared_ptr<MemoryItem> m_letter;
    test::RecordingView m_view;
    test::RecordingPrompter m_prompter;
    PromptPlan m_plan;
    MailGenerator *m_generator = nullptr;
};

TEST_F(MailGeneratorTest, AtMostOneHundredAddressesPerMessage)
{
    const struct
    {
        MailType type;
        int members;
        std::vector<int> sizes;
    } cases[] = {{MailType::BCC, 250, {100, 100, 50}},
                 {MailType::To, 100, {100}},
                 {MailType::CC, 101, {100, 1}},
                 {MailType::BCC, 1, {1}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        const std::size_t before = sent().size();
        const auto outcome = run(c.type, membersNumbered(c.members));
        ASSERT_EQ(sent().size() - before, c.sizes.size());
        int next = 1;
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            QStringList expected;
            for (int k = 0; k < c.sizes[i]; ++k)
                expected.append(u"m%1@example.org"_s.arg(next++));
            const auto &m = sent()[before + i];
            // The letter's own To stays on CC and BCC copies; nothing is merged in these modes.
            const QString line = c.type == MailType::To   ? m.to
                                 : c.type == MailType::CC ? m.cc
                                                          : m.bcc;
            EXPECT_EQ(line, expected.join(u"; "_s));
            if (c.type != MailType::To) {
                EXPECT_EQ(m.to, u"list-owner@example.org"_s);
            }
            EXPECT_EQ(m.body, m_body);
        }
        EXPECT_TRUE(m_prompter.asked.isEmpty());
        EXPECT_EQ(std::tuple(outcome.messagesQueued, outcome.membersQueued, outcome.succeeded()),
                  std::tuple(qint64(c.sizes.size()), c.members, true));
    }
}

TEST_F(MailGeneratorTest, PersonalCopiesAskEveryMemberAndNeverMergeTheSubject)
{
    m_prompter.answer = [](const PromptRequest &r) { return r.member.address.section(u'@', 0, 0); };
    const auto outcome = run(MailType::Personal, membersNumbered(3));
    ASSERT_EQ(sent().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        // Addressed to the member by name, as a reader's mail program shows it; the letter's own
        // CC is kept.
        const auto &m = sent()[static_cast<std::size_t>(i)];
        EXPECT_EQ(QStringList({m.to, m.body, m.subject, m.cc}).join(u'|'),
                  u"Member %1 <m%1@example.org>|Dear m%1,\nsee  << tail|News <<Prompt=Subject>>|"
                  u"archive@example.org"_s.arg(i + 1));
        EXPECT_EQ(
            m_prompter.asked.value(i),
            u"Enter value for First Name for Member %1 <m%1@example.org>, %1 of 3"_s.arg(i + 1));
    }
    // The letter itself stays as it was, in Drafts.
    EXPECT_EQ(std::tuple(m_prompter.asked.size(), outcome.membersQueued, m_letter->To(),
                         m_letter->Body()),
              std::tuple(3, 3, u"list-owner@example.org"_s, m_body));
}

TEST_F(MailGeneratorTest, ProgressCountsEveryRowAndShowsTruncatedPercent)
{
    auto members = membersNumbered(12);
    members[5].address.clear();
    const auto outcome = run(MailType::BCC, members);
    const QStringList &statuses = m_view.statuses;
    ASSERT_GE(statuses.size(), 4);
    EXPECT_EQ(QStringList({statuses[0], statuses[3], statuses.last()}).join(u'|'),
              u"12 Contacts to Process|3 of 12|12 of 12"_s);
    ASSERT_GE(m_view.percents.size(), 3u);
    EXPECT_EQ(std::tuple(m_view.percents[0], m_view.percents[2], outcome.processed,
                         outcome.skippedNoAddress),
              std::tuple(8, 25, 12, 1));
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0].bcc.count(u';'), 10);
}

TEST_F(MailGeneratorTest, CancelDropsThePendingBatchButKeepsWhatWasQueued)
{
    cancelAfter(30);
    auto outcome = run(MailType::CC, membersNumbered(250));
    EXPECT_EQ(std::tuple(outcome.cancelled, outcome.processed, sent().size()),
              std::tuple(true, 30, 0u));

    cancelAfter(130);
    outcome = run(MailType::BCC, membersNumbered(250));
    EXPECT_EQ(std::tuple(outcome.cancelled, sent().size(), outcome.membersQueued),
              std::tuple(true, 1u, 100));
}

TEST_F(MailGeneratorTest, FailingMembersAreNamedAndTheRunGoesOn)
{
    std::vector<MailMember> members = {
        {u"Good One"_s, u"one@example.org"_s},
        {u"Injector"_s, u"evil@example.org\r\nBcc: many@example.org"_s},
        {u"Two In One"_s, u"a@example.org; b@example.org"_s},
        {u"Nul"_s, QString(u"x@example.org\0y"_s)},
        {u"Broken"_s, u"not an address <"_s},
        {u"No Address"_s, QString()},
        {u"Good Two"_s, u"two@example.org"_s},
    };
    for (const MailType type : {MailType::Personal, MailType::BCC}) {
        const auto before = sent().size();
        const auto outcome = run(type, members);
        EXPECT_EQ(std::tuple(outcome.succeeded(), outcome.processed, outcome.skippedNoAddress,
                             outcome.membersQueued),
                  std::tuple(false, 7, 1, 2));
        QStringList failed;
        for (const auto &failure : outcome.failures) {
            failed << failure.name;
            EXPECT_FALSE(failure.reason.isEmpty()) << failure.name.toStdString();
        }
        EXPECT_EQ(failed, (QStringList{u"Injector"_s, u"Two In One"_s, u"Nul"_s, u"Broken"_s}));
        for (auto i = before; i < sent().size(); ++i)
            for (const QString &line : {sent()[i].to, sent()[i].bcc}) {
                EXPECT_FALSE(line.contains(u"many@"_s));
                EXPECT_FALSE(line.contains(u"b@example.org"_s));
            }
    }
}

TEST_F(MailGeneratorTest, QueueingFailuresFailTheirOwnMembersOnly)
{
    // One message refused by the Outbox fails alone; a batch whose commit fails fails each of
    // its members, and none of them counts as queued.
    m_session->refuseInSendBatch(u"Member 2 <m2@example.org>"_s);
    auto outcome = run(MailType::Personal, membersNumbered(3));
    EXPECT_EQ(std::tuple(outcome.membersQueued, outcome.outboxIds.size()), std::tuple(2, 2));
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_EQ(outcome.failures[0].address, u"m2@example.org"_s);

    m_session->failSendBatchCommits();
    outcome = run(MailType::BCC, membersNumbered(150));
    EXPECT_EQ(outcome.membersQueued, 0);
    ASSERT_EQ(outcome.failures.size(), 150u);
    EXPECT_EQ(outcome.failures[149].address, u"m150@example.org"_s);
    EXPECT_EQ(outcome.failures[149].reason, u"The Outbox cannot be synced."_s);
}

TEST_F(MailGeneratorTest, CopiesAreQueuedInBoundedBatches)
{
    const auto outcome = run(MailType::Personal, membersNumbered(600));
    EXPECT_EQ(std::tuple(outcome.membersQueued, outcome.outboxIds.size()), std::tuple(600, 600));
    EXPECT_GE(m_session->sendBatchCommits(), 3);
    EXPECT_LE(m_session->sendBatchCommits(), 600);
}

TEST_F(MailGeneratorTest, PromptedValueWithLineBreakFailsTheMember)
{
    m_prompter.answer = [](const PromptRequest &r) {
        return r.member.address.startsWith(u"m2"_s) ? u"Ann\r\nBcc: x@example.org"_s : u"Bo"_s;
    };
    const auto outcome = run(MailType::Personal, membersNumbered(3));
    EXPECT_EQ(sent().size(), 2u);
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_EQ(outcome.failures[0].address, u"m2@example.org"_s);
}

// The plan answers first; only what it leaves open is asked; copies that went with an empty
// value are in the account.
TEST_F(MailGeneratorTest, PlannedPromptsAreAnsweredBeforeTheUserIsAsked)
{
    const struct
    {
        std::function<void(PromptPlan &)> plan;
        const char *firstLines; // of each member's copy, '|'-separated
        qsizetype asked;
        const char *emptied; // the members whose copy went with an empty value, comma-separated
    } cases[] = {
        {[](PromptPlan &) {}, "Dear Asked,|Dear Asked,|Dear ,", 3, "Member 3"},
        {[](PromptPlan &plan) {
             plan.setChoice(u"first name"_s, PromptPlan::Choice::OneValue);
             plan.setValue(u"FIRST NAME"_s, u"Friend"_s);
         },
         "Dear Friend,|Dear Friend,|Dear Friend,", 0, ""},
        {[](PromptPlan &plan) {
             plan.setChoice(u"First Name"_s, PromptPlan::Choice::Table);
             plan.setCell(u"M1@example.org"_s, u"First Name"_s, u"Ann"_s);
             plan.setCell(u"m2@example.org"_s, u"First Name"_s, QString());
         },
         "Dear Ann,|Dear ,|Dear ,", 1, "Member 2,Member 3"},
    };
    m_prompter.answer = [](const PromptRequest &r) {
        return r.member.address.startsWith(u"m3"_s) ? QString() : u"Asked"_s;
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        m_plan = PromptPlan();
        m_prompter.asked.clear();
        c.plan(m_plan);
        const std::size_t before = sent().size();
        const auto outcome = run(MailType::Personal, membersNumbered(3));
        ASSERT_EQ(sent().size() - before, 3u);
        QStringList firstLines, emptied;
        for (auto i = before; i < sent().size(); ++i)
            firstLines << sent()[i].body.section(u'\n', 0, 0);
        for (const auto &member : outcome.emptyPrompted) {
            EXPECT_EQ(member.prompts, QStringList{u"First Name"_s});
            emptied.append(member.name);
        }
        EXPECT_EQ(
            std::tuple(firstLines.join(u'|'), m_prompter.asked.size(), emptied.join(u',')),
            std::tuple(QString::fromUtf8(c.firstLines), c.asked, QString::fromUtf8(c.emptied)));
    }
}

// Stop the run on a prompt ends it as Cancel does: the copies made go, that member gets none.
TEST_F(MailGeneratorTest, StopTheRunOnAPromptEndsItAsCancelDoes)
{
    m_prompter.stopAt = u"m3@example.org"_s;
    const auto outcome = run(MailType::Personal, membersNumbered(5));
    EXPECT_EQ(std::tuple(sent().size(), m_prompter.asked.size(), outcome.cancelled,
                         outcome.processed, outcome.membersQueued, outcome.failures.size()),
              std::tuple(2u, 3, true, 2, 2, 0u));
}

TEST_F(MailGeneratorTest, CountsBeyondSixteenBits)
{
    const auto outcome = run(MailType::BCC, membersNumbered(70000));
    EXPECT_EQ(
        std::tuple(outcome.processed, outcome.membersQueued, sent().size(), m_view.statuses.last()),
        std::tuple(70000, 70000, 700u, u"70000 of 70000"_s));
}

TEST_F(MailGeneratorTest, MissingLetterIsReportedAndNothingIsSent)
{
    MailGenerator generator(*m_session, m_view, m_prompter);
    for (const QString &id : {u"no-such-id"_s, QString()}) {
        const auto outcome = generator.execute({MailType::To, id, false}, membersNumbered(3));
        EXPECT_FALSE(outcome.letterLoaded);
    }
    EXPECT_EQ(m_view.criticals, (QStringList{u"Unable to load Message from Drafts folder"_s,
                                             u"Unable to load Message from Drafts folder"_s}));
    EXPECT_FALSE(m_view.shown);
    EXPECT_TRUE(sent().empty());
}

TEST_F(MailGeneratorTest, DryRunQueuesNothingAndShowsTheFirstFilledBody)
{
    m_prompter.answer = [](const PromptRequest &) { return u"Ann"_s; };
    auto outcome = run(MailType::Personal, membersNumbered(3), nullptr, true);
    ASSERT_EQ(outcome.planned.size(), 3u);
    // Only the shown body is filled.
    EXPECT_EQ(std::tuple(sent().size(), outcome.planned[2].to, outcome.firstFilledBody,
                         m_prompter.asked.size()),
              std::tuple(0u, u"Member 3 <m3@example.org>"_s, u"Dear Ann,\nsee  << tail"_s, 1));

    outcome = run(MailType::BCC, membersNumbered(150), nullptr, true);
    ASSERT_EQ(outcome.planned.size(), 2u);
    EXPECT_EQ(std::tuple(sent().size(), outcome.planned[1].bcc.count(u';')), std::tuple(0u, 49));
}

// A loaded list repeats an address, a dynamic group meets a contact through two folders, or
// the letter case differs: each address is mailed once a run, in every mode.
TEST_F(MailGeneratorTest, AnAddressOnSeveralRowsIsMailedOnce)
{
    std::vector<MailMember> members = membersNumbered(3);
    members.push_back({u"Again"_s, u" M2@Example.org"_s});
    members.push_back({u"Member 1"_s, u"m1@example.org"_s});
    for (const MailType type : {MailType::Personal, MailType::BCC}) {
        const std::size_t before = sent().size();
        const auto outcome = run(type, members);
        EXPECT_EQ(sent().size() - before, type == MailType::Personal ? 3u : 1u);
        EXPECT_EQ(std::tuple(outcome.membersQueued, outcome.skippedAlreadyMailed, outcome.processed,
                             outcome.succeeded()),
                  std::tuple(3, 2, 5, true));
    }
    EXPECT_EQ(sent().back().bcc, u"m1@example.org; m2@example.org; m3@example.org"_s);
}

class InterruptedRun : public MailGeneratorTest
{
protected:
    std::unique_ptr<RunJournal> openJournal(MailType type)
    {
        auto journal = RunJournal::open(runs(), {m_letter->EntryID(), u"group:X"_s, type});
        EXPECT_TRUE(journal.ok()) << journal.error().toStdString();
        return std::move(*journal);
    }
    QString runs() const { return m_dir.path() + u"/runs"_s; }
    QTemporaryDir m_dir;
};

TEST_F(InterruptedRun, ContinuesWithOnlyTheMembersNotYetQueued)
{
    for (const MailType type : {MailType::Personal, MailType::BCC}) {
        const auto before = sent().size();
        const auto members = membersNumbered(250);
        cancelAfter(130);
        {
            auto journal = openJournal(type);
            EXPECT_FALSE(journal->isInterrupted());
            (void)run(type, members, journal.get());
        }
        m_view.onEvents = nullptr;
        auto journal = openJournal(type);
        ASSERT_TRUE(journal->isInterrupted());
        const auto outcome = run(type, members, journal.get());
        EXPECT_TRUE(outcome.succeeded());
        EXPECT_EQ(outcome.skippedAlreadyQueued, type == MailType::Personal ? 130 : 100);

        QStringList everyone;
        for (auto i = before; i < sent().size(); ++i)
            everyone += (type == MailType::Personal ? sent()[i].to : sent()[i].bcc).split(u"; "_s);
        EXPECT_EQ(everyone.size(), 250);
        EXPECT_EQ(QSet<QString>(everyone.begin(), everyone.end()).size(), 250);
        EXPECT_TRUE(QDir(runs()).isEmpty()) << "a finished run leaves no journal";
        EXPECT_EQ(QFileInfo(runs()).permissions() & 0x0077, 0) << "only the user reads journals";
    }
}

TEST_F(InterruptedRun, MessageInDoubtIsNotSentAgain)
{
    {
        auto journal = openJournal(MailType::Personal);
        ASSERT_TRUE(journal->begin({u"m1@example.org"_s}).ok()); // then the process died
    }
    auto journal = openJournal(MailType::Personal);
    ASSERT_TRUE(journal->isInterrupted());
    const auto outcome = run(MailType::Personal, membersNumbered(3), journal.get());
    EXPECT_EQ(sent().size(), 2u);
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_EQ(outcome.failures[0].address, u"m1@example.org"_s);
}

TEST_F(InterruptedRun, RestartForgetsTheInterruptedRunOfItsLetterAndModeOnly)
{
    cancelAfter(2);
    {
        auto journal = openJournal(MailType::Personal);
        (void)run(MailType::Personal, membersNumbered(5), journal.get());
    }
    m_view.onEvents = nullptr;
    EXPECT_FALSE(openJournal(MailType::BCC)->isInterrupted());
    auto journal = openJournal(MailType::Personal);
    ASSERT_TRUE(journal->isInterrupted());
    ASSERT_TRUE(journal->restart().ok());
    (void)run(MailType::Personal, membersNumbered(5), journal.get());
    EXPECT_EQ(sent().size(), 7u);
}

TEST_F(InterruptedRun, OneRunAtATimeAndALockOfTheDeadIsTakenOver)
{
    const QString lockPath = runs() + u'/' + RunLock::fileName();
    {
        auto first = RunLock::take(runs());
        ASSERT_TRUE(first.ok()) << first.error().toStdString();
        auto second = RunLock::take(runs());
        ASSERT_FALSE(second.ok());
        EXPECT_EQ(second.error(),
                  u"another group mail run is in progress (pid %1)"_s.arg(getpid()));
    }
    // Left behind by a process that is gone, in this boot or an earlier one.
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    for (const QByteArray &boot : {ProcessOwner::currentBootId(), QByteArray("earlier")}) {
        QFile stale(lockPath);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("pid=" + QByteArray::number(child) + " boot=" + boot + '\n');
        stale.close();
        auto taken = RunLock::take(runs());
        ASSERT_TRUE(taken.ok()) << taken.error().toStdString();
        QFile named(lockPath);
        ASSERT_TRUE(named.open(QIODevice::ReadOnly));
        EXPECT_EQ(ProcessOwner::fromText(named.readAll()).pid, getpid());
    }
}

} // namespace
