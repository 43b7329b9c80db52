// The generator over a real store: the Outbox's files, the run journal after a crash, and the
// account of what the Outbox did with the run's messages.
#include "GenerationDoubles.h"
#include "common/LocalSession.h"
#include "delivery/LocalDelivery.h"
#include "delivery/OutboxState.h"
#include "merge/DraftsFolder.h"
#include "merge/MailGenerator.h"
#include "merge/NewLetter.h"
#include "merge/RunJournal.h"
#include "merge/RunOutboxReport.h"
#include "message/MailAddressList.h"
#include "message/MaildirFolder.h"
#include "session/LocalMailbox.h"
#include "session/OlSendBatch.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <gtest/gtest.h>

#include <array>

#include <sys/wait.h>
#include <unistd.h>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

std::vector<MailMember> members(int count)
{
    std::vector<MailMember> list;
    for (int i = 1; i <= count; ++i)
        list.push_back({u"Member %1"_s.arg(i), u"m%1@example.org"_s.arg(i)});
    return list;
}

class OutboxQueueingTest : public ::testing::Test, protected test::LocalSession
{
protected:
    void SetUp() override
    {
        // The Outbox is asked what became of the run's messages, but nothing is delivered
        // behind the test's back.
        m_delivery = std::make_unique<LocalDelivery>(*session, &settings);
        session->mailbox()->setQueuedListener({});
        m_letter = NewLetter::create(*application, DraftsFolder::choose(*session, {}),
                                     {u"News"_s, {}, {}, u"Dear member,\n"_s, {}})
                       ->EntryID();
    }
    std::unique_ptr<RunJournal> journal()
    {
        auto opened =
            RunJournal::open(tmp.path() + u"/runs"_s, {m_letter, u"group:X"_s, MailType::Personal});
        EXPECT_TRUE(opened.ok());
        return std::move(*opened);
    }
    GenerationOutcome run(int count, RunJournal *journal)
    {
        MailGenerator generator(*session, m_view, m_prompts);
        return generator.execute({MailType::Personal, m_letter, false}, members(count), journal);
    }
    QString outbox() const { return store + u"/Outbox"_s; }
    // The Outbox's messages: unique name -> To's address.
    QHash<QString, QString> queued() const
    {
        QHash<QString, QString> result;
        auto entries = MaildirFolder(outbox()).entries();
        if (!entries.ok())
            return result;
        for (const auto &entry : *entries) {
            QFile file(entry.path);
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            for (const QByteArray &line : file.readAll().split('\n'))
                if (line.startsWith("To: "))
                    result.insert(
                        entry.unique,
                        MailAddressList::parseHeader(line.mid(4))->addresses().front().address);
        }
        return result;
    }

    QString m_letter;
    std::unique_ptr<LocalDelivery> m_delivery;
    test::RecordingView m_view;
    test::RecordingPrompter m_prompts;
};

TEST_F(OutboxQueueingTest, TheOutcomeNamesEveryMessageQueued)
{
    const auto outcome = run(300, nullptr);
    ASSERT_TRUE(outcome.succeeded());
    const auto files = queued();
    EXPECT_EQ(files.size(), 300);
    const QSet<QString> ids(outcome.outboxIds.begin(), outcome.outboxIds.end());
    EXPECT_EQ(ids, QSet<QString>(files.keyBegin(), files.keyEnd()));
}

// A generating process killed midway: what it committed is queued and recorded, what it had
// made and not committed is neither; the continued run mails everyone else exactly once.
TEST_F(OutboxQueueingTest, AKilledRunContinuesWithoutDuplicates)
{
    constexpr int Members = 3000;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto run = journal();
        // Killed as soon as a batch has landed, while later ones are being made.
        const QDir filed(outbox() + u"/cur"_s);
        m_view.onEvents = [&filed] {
            if (!filed.isEmpty())
                ::_exit(9);
        };
        (void)this->run(Members, run.get());
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
    const qsizetype before = queued().size();
    EXPECT_GE(before, 1);
    EXPECT_LT(before, Members);

    auto resumed = journal();
    ASSERT_TRUE(resumed->isInterrupted());
    const auto outcome = run(Members, resumed.get());
    // Only a batch being committed at the kill is in doubt; its members are named, not mailed.
    QSet<QString> doubt;
    for (const auto &failure : outcome.failures) {
        EXPECT_TRUE(failure.reason.contains(u"may have queued"_s)) << failure.reason.toStdString();
        doubt.insert(failure.address);
    }
    EXPECT_LE(doubt.size(), MailGenerator::kMostUncommitted);
    EXPECT_LE(outcome.skippedAlreadyQueued, before);
    const QList<QString> to = queued().values();
    const QSet<QString> mailed(to.begin(), to.end());
    EXPECT_EQ(mailed.size(), to.size()) << "nobody has two messages";
    for (const MailMember &m : members(Members))
        EXPECT_TRUE(mailed.contains(m.address) || doubt.contains(m.address))
            << m.address.toStdString();
}

TEST_F(OutboxQueueingTest, TheReportSaysWhatTheOutboxDidWithTheRunsMessages)
{
    const auto outcome = run(5, nullptr);
    ASSERT_EQ(outcome.outboxIds.size(), 5);
    const QStringList &ids = outcome.outboxIds;

    // As delivery records them: failed with a refusal, held, put off, one delivered (in Sent
    // Items, with a refusal logged beside it) and one still waiting.
    {
        OutboxState state(outbox());
        ASSERT_TRUE(state.load(QSet<QString>(ids.begin(), ids.end())).ok());
        OutboxState::Record &failed = state.edit(ids[0]);
        failed.state = OutboxState::State::Failed;
        failed.reason = u"Every recipient was refused."_s;
        failed.note(u"m1@example.org"_s, OutboxState::Recipient::Outcome::Refused,
                    u"550 no such user"_s);
        state.edit(ids[1]).state = OutboxState::State::Held;
        state.edit(ids[1]).reason = u"Its delivery was interrupted."_s;
        state.edit(ids[2]).attempts = 1;
        state.edit(ids[2]).reason = u"421 try later"_s;
        ASSERT_TRUE(state.save().ok());
    }
    const QString sent = store + u"/Sent Items"_s;
    ASSERT_TRUE(MaildirFolder::create(sent).ok());
    const auto entry = MaildirFolder(outbox()).find(ids[3]);
    ASSERT_TRUE(entry);
    ASSERT_TRUE(MaildirFolder(outbox()).moveTo(*entry, MaildirFolder(sent), u"S"_s).ok());
    QFile log(sent + u"/corvel-refused.log"_s);
    ASSERT_TRUE(log.open(QIODevice::WriteOnly));
    log.write(QJsonDocument(QJsonObject{{u"message"_s, ids[3]},
                                        {u"address"_s, u"old@example.org"_s},
                                        {u"reply"_s, u"550 gone"_s}})
                  .toJson(QJsonDocument::Compact) +
              "\n{torn");
    log.close();

    auto report = RunOutboxReport::ask(*session, ids + QStringList{u"no-such-id"_s});
    const auto counts = report.counts();
    EXPECT_EQ((std::array{counts.failed, counts.held, counts.deferred, counts.delivered,
                          counts.queued, counts.gone}),
              (std::array<qint64, 6>{1, 1, 1, 1, 1, 1}));
    EXPECT_TRUE(report.settled()) << "without a transport, nothing more will happen";
    ASSERT_EQ(report.refused().size(), 2u);
    EXPECT_EQ(report.refused()[0].address, u"m1@example.org"_s);
    EXPECT_EQ(report.refused()[1].reply, u"550 gone"_s);
    const QString text = report.lines().join(u'\n');
    EXPECT_TRUE(text.contains(u"wait in the Outbox until a way of sending mail is set up"_s))
        << text.toStdString();
    EXPECT_TRUE(text.contains(u"  old@example.org: 550 gone"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"Its delivery was interrupted."_s)) << text.toStdString();

    ASSERT_TRUE(settings.saveSetting(u"Transport"_s, u"Kind"_s, u"sendmail"_s));
    report = RunOutboxReport::ask(*session, ids);
    EXPECT_FALSE(report.lines().join(u'\n').contains(u"until a way of sending"_s));
    EXPECT_FALSE(report.settled()) << "one message still waits for its first try";
}

} // namespace
