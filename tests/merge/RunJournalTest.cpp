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
    const char *queued; // names, comma-separated
    const char *uncertain;
};

QSet<QString> names(const char *list)
{
    const QStringList split = QString::fromUtf8(list).split(u',', Qt::SkipEmptyParts);
    return {split.begin(), split.end()};
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray read(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

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
        const QList<QByteArray> lines = read((*made)->path()).split('\n');
        head = "corvel-run " + QByteArray::number(c.version) + '\n' + lines[1] + '\n';
    }
    write(RunJournal::pathOf(dir.path(), key), head + c.lines);

    auto journal = RunJournal::open(dir.path(), key);
    ASSERT_TRUE(journal.ok()) << journal.error().toStdString();
    EXPECT_TRUE((*journal)->isInterrupted());
    EXPECT_EQ((*journal)->queued(), names(c.queued));
    EXPECT_EQ((*journal)->uncertain(), names(c.uncertain));
}

INSTANTIATE_TEST_SUITE_P(
    , RunJournalTexts,
    ::testing::Values(
        JournalCase{"AQueuedBatchIsQueued", 2, "pending a b\npending c\nqueued\n", "a,b,c", ""},
        JournalCase{"PendingAtTheEndIsInDoubt", 2, "pending a\nqueued\npending b\n", "a", "b"},
        JournalCase{"AnAbandonedBatchIsNeither", 2, "pending a\nabandoned\n", "", ""},
        JournalCase{"ARunLineEndsWhatTheDeadProcessHadInHand", 2,
                    "pending a\nrun\npending b\nqueued\n", "b", "a"},
        JournalCase{"QueuedLaterIsNoLongerInDoubt", 2, "pending a\nrun\npending a\nqueued\n", "a",
                    ""},
        JournalCase{"ALastLineCutShortIsIgnored", 2, "pending a\nqueued\npending b\nque", "a", "b"},
        JournalCase{"PercentEncodedAddressesAreDecoded", 2, "pending a%20b%40x\nqueued\n", "a b@x",
                    ""},
        JournalCase{"VersionOneHadOnePendingMessageAtATime", 1, "pending a\npending b\nqueued\n",
                    "b", "a"},
        JournalCase{"VersionOneContinuedInBatches", 1,
                    "pending a\nqueued\nrun\npending b\npending c\nqueued\npending d\n", "a,b,c",
                    "d"}),
    corvel::test::ByName());

TEST(RunJournal, AJournalOfAnotherRunOrFormatIsRefusedUntilSetAside)
{
    QTemporaryDir dir;
    const RunJournal::Key key{u"L"_s, u"group:X"_s, MailType::Personal};
    for (const QByteArray &bytes :
         {QByteArray("corvel-run 2\nkey other\n"), QByteArray("corvel-run 3\nkey L group%3AX 0\n"),
          QByteArray("something else\n")}) {
        const QString path = RunJournal::pathOf(dir.path(), key);
        write(path, bytes);
        const auto refused = RunJournal::open(dir.path(), key);
        ASSERT_FALSE(refused.ok()) << bytes.toStdString();
        EXPECT_TRUE(refused.error().contains(path)) << refused.error().toStdString();
        EXPECT_EQ(read(path), bytes);

        // Starting over sets it aside, to be looked at, and begins a new run.
        auto afresh = RunJournal::openAfresh(dir.path(), key);
        ASSERT_TRUE(afresh.ok()) << afresh.error().toStdString();
        EXPECT_FALSE((*afresh)->isInterrupted());
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(read(RunJournal::damagedPath(path)), bytes);
    }
}

} // namespace
} // namespace corvel
