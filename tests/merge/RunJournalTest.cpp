#include "merge/RunJournal.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// A group-mail run's journal as an interrupted run left it, after its header and key lines:
// what a continued run must skip (queued) and must not mail again without asking (uncertain).
struct JournalCase
{
    const char *name;
    int version;
    const char *lines;
    QSet<QString> queued;
    QSet<QString> uncertain;
};

CORVEL_PRINT_BY_NAME(JournalCase)

class RunJournalTexts : public ::testing::TestWithParam<JournalCase>
{
};

TEST_P(RunJournalTexts, TellWhoWasMailedAndWhoMayHaveBeen)
{
    const JournalCase &c = GetParam();
    QTemporaryDir dir;
    const RunJournal::Key key{u"L"_s, u"group:X"_s, MailType::Personal};
    QByteArray head;
    {
        auto made = RunJournal::open(dir.path(), key);
        ASSERT_TRUE(made.ok());
        ASSERT_TRUE((*made)->begin({u"x"_s}).ok());
        QFile file((*made)->path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        head = "corvel-run " + QByteArray::number(c.version) + '\n' + lines[1] + '\n';
    }
    QFile file(RunJournal::pathOf(dir.path(), key));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(head + c.lines);
    file.close();

    auto journal = RunJournal::open(dir.path(), key);
    ASSERT_TRUE(journal.ok()) << journal.error().toStdString();
    EXPECT_TRUE((*journal)->isInterrupted());
    EXPECT_EQ((*journal)->queued(), c.queued);
    EXPECT_EQ((*journal)->uncertain(), c.uncertain);
}

INSTANTIATE_TEST_SUITE_P(
    , RunJournalTexts,
    ::testing::Values(
        JournalCase{"AQueuedBatchIsQueued",
                    2,
                    "pending a b\npending c\nqueued\n",
                    {u"a"_s, u"b"_s, u"c"_s},
                    {}},
        JournalCase{
            "PendingAtTheEndIsInDoubt", 2, "pending a\nqueued\npending b\n", {u"a"_s}, {u"b"_s}},
        JournalCase{"AnAbandonedBatchIsNeither", 2, "pending a\nabandoned\n", {}, {}},
        JournalCase{"ARunLineEndsWhatTheDeadProcessHadInHand",
                    2,
                    "pending a\nrun\npending b\nqueued\n",
                    {u"b"_s},
                    {u"a"_s}},
        JournalCase{
            "QueuedLaterIsNoLongerInDoubt", 2, "pending a\nrun\npending a\nqueued\n", {u"a"_s}, {}},
        JournalCase{"ALastLineCutShortIsIgnored",
                    2,
                    "pending a\nqueued\npending b\nque",
                    {u"a"_s},
                    {u"b"_s}},
        JournalCase{"PercentEncodedAddressesAreDecoded",
                    2,
                    "pending a%20b%40x\nqueued\n",
                    {u"a b@x"_s},
                    {}},
        JournalCase{"VersionOneHadOnePendingMessageAtATime",
                    1,
                    "pending a\npending b\nqueued\n",
                    {u"b"_s},
                    {u"a"_s}},
        JournalCase{"VersionOneContinuedInBatches",
                    1,
                    "pending a\nqueued\nrun\npending b\npending c\nqueued\npending d\n",
                    {u"a"_s, u"b"_s, u"c"_s},
                    {u"d"_s}}),
    corvel::test::ByName());

TEST(RunJournal, AJournalOfAnotherRunOrFormatIsRefusedUntilSetAside)
{
    QTemporaryDir dir;
    const RunJournal::Key key{u"L"_s, u"group:X"_s, MailType::Personal};
    for (const QByteArray &bytes :
         {QByteArray("corvel-run 2\nkey other\n"), QByteArray("corvel-run 3\nkey L group%3AX 0\n"),
          QByteArray("something else\n")}) {
        QFile file(RunJournal::pathOf(dir.path(), key));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        const auto refused = RunJournal::open(dir.path(), key);
        ASSERT_FALSE(refused.ok()) << bytes.toStdString();
        EXPECT_TRUE(refused.error().contains(file.fileName())) << refused.error().toStdString();
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes);
        file.close();

        // Starting over sets it aside, to be looked at, and begins a new run.
        auto afresh = RunJournal::openAfresh(dir.path(), key);
        ASSERT_TRUE(afresh.ok()) << afresh.error().toStdString();
        EXPECT_FALSE((*afresh)->isInterrupted());
        EXPECT_FALSE(file.exists());
        QFile aside(RunJournal::damagedPath(file.fileName()));
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), bytes);
    }
}

} // namespace
} // namespace corvel
