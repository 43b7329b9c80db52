#include "merge/BatchCommitter.h"
#include "common/NamedCases.h"
#include "merge/RunJournal.h"
#include "session/OutlookSession.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// A batch of `size` messages whose commit can be made to fail; it counts its commits.
class CountingBatch : public OlSendBatch
{
public:
    CountingBatch(std::size_t size, bool threaded, bool fails, int &commits)
        : m_size(size)
        , m_threaded(threaded)
        , m_fails(fails)
        , m_commits(commits)
    {
    }
    void add(const std::shared_ptr<OlItem> &) override {}
    [[nodiscard]] std::size_t size() const override { return m_size; }
    [[nodiscard]] std::vector<Queued> commit() override
    {
        ++m_commits;
        if (m_fails)
            throw OutlookError(u"the disk is full"_s);
        return std::vector<Queued>(m_size);
    }
    [[nodiscard]] bool mayCommitOnAnotherThread() const override { return m_threaded; }

private:
    std::size_t m_size;
    bool m_threaded;
    bool m_fails;
    int &m_commits;
};

// Two batches, one message for m1 and m2, then one for m3. `expected` per batch: q queued,
// f failed on its own, s failed and stopped the run, n never tried. `queued`/`uncertain`: what
// a continued run reads from the journal.
struct CommitCase
{
    const char *name;
    bool firstCommitFails;
    bool journalFails;
    const char *expected;
    const char *queued; // local parts @example.org, space-separated
};

CORVEL_PRINT_BY_NAME(CommitCase)

class BatchCommits : public ::testing::TestWithParam<CommitCase>
{
};

TEST_P(BatchCommits, AreRecordedInOrderAndAJournalFailureStopsTheRest)
{
    const CommitCase &c = GetParam();
    for (const bool threaded : {false, true}) {
        SCOPED_TRACE(threaded ? "on a thread of its own" : "in line");
        QTemporaryDir dir;
        const RunJournal::Key key{u"L"_s, u"group:X"_s, MailType::Personal};
        auto journal = RunJournal::open(dir.path(), key);
        ASSERT_TRUE(journal.ok());
        if (c.journalFails) {
            ASSERT_TRUE(QDir().mkpath((*journal)->path())); // nothing can be appended there
        }
        int commits = 0;
        {
            BatchCommitter committer(journal->get());
            const std::vector<std::vector<std::vector<MailMember>>> batches{
                {{{u"One"_s, u"m1@example.org"_s}, {u"Two"_s, u"m2@example.org"_s}}},
                {{{u"Three"_s, u"m3@example.org"_s}}}};
            for (std::size_t i = 0; i < batches.size(); ++i)
                committer.submit({std::make_unique<CountingBatch>(
                                      1, threaded, i == 0 && c.firstCommitFails, commits),
                                  batches[i]});
            committer.waitIdle([] {});
            EXPECT_FALSE(committer.busy());

            QString actual;
            for (const BatchCommitter::Done &done : committer.takeDone()) {
                actual += !done.stopReason.isEmpty()                        ? u's'
                          : done.failure == u"Not queued: the run stopped." ? u'n'
                          : !done.failure.isEmpty()                         ? u'f'
                                                                            : u'q';
                EXPECT_EQ(done.queued.size(), done.failure.isEmpty() ? 1u : 0u);
            }
            EXPECT_EQ(actual, QString::fromLatin1(c.expected));
            EXPECT_TRUE(committer.takeDone().empty()) << "each batch is handed back once";
        }
        EXPECT_EQ(commits, c.journalFails ? 0 : 2) << "nothing unrecorded is queued";
        if (c.journalFails)
            continue;
        journal->reset();
        auto continued = RunJournal::open(dir.path(), key);
        ASSERT_TRUE(continued.ok());
        QSet<QString> queued;
        for (const QString &local : QString::fromUtf8(c.queued).split(u' ', Qt::SkipEmptyParts))
            queued.insert(local + u"@example.org"_s);
        EXPECT_EQ((*continued)->queued(), queued);
        EXPECT_TRUE((*continued)->uncertain().isEmpty()) << "a failed commit queued nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(
    , BatchCommits,
    ::testing::Values(CommitCase{"BothCommitted", false, false, "qq", "m1 m2 m3"},
                      CommitCase{"AFailedCommitCostsOnlyItsBatch", true, false, "fq", "m3"},
                      CommitCase{"AJournalThatCannotBeWrittenStopsTheRun", false, true, "sn", ""}),
    corvel::test::ByName());

} // namespace
} // namespace corvel
