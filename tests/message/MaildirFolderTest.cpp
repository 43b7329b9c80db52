#include "message/MaildirFolder.h"
#include "common/NamedCases.h"
#include "message/MaildirName.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <ostream>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

constexpr qint64 Hour = 3600;

enum class Kind
{
    File,
    Directory,
    Link
};

// One thing left in tmp/ and whether a sweep may take it.
struct Leftover
{
    const char *name;
    bool ourNaming;
    qint64 ageSeconds;
    Kind kind;
    bool removed;
    bool deadWriter; // the process named in the file name no longer runs
};

CORVEL_PRINT_BY_NAME(Leftover)

const Leftover Leftovers[] = {
    {"ours_older_than_36h", true, 37 * Hour, Kind::File, true, false},
    {"ours_a_week_old", true, 7 * 24 * Hour, Kind::File, true, false},
    {"ours_being_written", true, 0, Kind::File, false, false},
    {"ours_35h_old", true, 35 * Hour, Kind::File, false, false},
    {"foreign_name_old", false, 40 * Hour, Kind::File, false, false},
    {"ours_old_directory", true, 40 * Hour, Kind::Directory, false, false},
    {"ours_old_link", true, 40 * Hour, Kind::Link, false, false},
    {"ours_fresh_of_a_dead_writer", true, 0, Kind::File, true, true},
    {"foreign_fresh_of_a_dead_writer", false, 0, Kind::File, false, true},
};

void setAge(const QString &path, qint64 ageSeconds)
{
    const time_t when = ::time(nullptr) - ageSeconds;
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// A process id that no process has now: a child that has ended.
pid_t deadPid()
{
    static const pid_t pid = [] {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        ::waitpid(child, nullptr, 0);
        return child;
    }();
    return pid;
}

// Makes the leftover in tmp/; returns its path.
QString plant(const QString &folder, const Leftover &row)
{
    QString name = row.ourNaming ? MaildirName::newUnique() : u"1700000000.12345.other"_s;
    if (row.deadWriter)
        name = row.ourNaming ? name.replace(u"P%1Q"_s.arg(::getpid()), u"P%1Q"_s.arg(deadPid()))
                             : u"1700000000.M000001P%1Q00000001.elsewhere"_s.arg(deadPid());
    const QString path = folder + u"/tmp/"_s + name;
    switch (row.kind) {
    case Kind::File: {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("From: a@example.org\n\nhalf a mess");
        break;
    }
    case Kind::Directory:
        EXPECT_TRUE(QDir().mkdir(path));
        break;
    case Kind::Link:
        EXPECT_TRUE(QFile::link(folder + u"/cur"_s, path));
        break;
    }
    setAge(path, row.ageSeconds);
    return path;
}

class StaleTemporaryTest : public ::testing::TestWithParam<Leftover>
{
};

// A queueing run killed between tmp/ and cur/ leaves its file behind; the next write into the
// folder removes it once it is older than the convention allows, and nothing else.
TEST_P(StaleTemporaryTest, FirstWriteIntoTheFolderSweepsTmp)
{
    QTemporaryDir home;
    const QString directory = home.filePath(u"Outbox"_s);
    ASSERT_TRUE(MaildirFolder::create(directory).ok());
    const QString path = plant(directory, GetParam());

    MaildirFolder folder(directory);
    Result<MaildirFolder::Entry> added = folder.add("From: a@example.org\n\nx\n", u"S"_s);
    ASSERT_TRUE(added.ok()) << added.error().toStdString();

    EXPECT_EQ(QFileInfo(path).exists() || QFileInfo(path).isSymLink(), !GetParam().removed);
    EXPECT_TRUE(QFileInfo::exists(added->path));
    // The leftover never shows as a message.
    Result<std::vector<MaildirFolder::Entry>> entries = folder.entries();
    ASSERT_TRUE(entries.ok());
    EXPECT_EQ(entries->size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Leftovers, StaleTemporaryTest, ::testing::ValuesIn(Leftovers),
                         corvel::test::ByName());

TEST(MaildirFolderTest, SweepCountsWhatItRemovedAndReportsAnUnreadableTmp)
{
    QTemporaryDir home;
    const QString directory = home.filePath(u"Drafts"_s);
    ASSERT_TRUE(MaildirFolder::create(directory).ok());
    for (const Leftover &row : Leftovers)
        plant(directory, row);
    MaildirFolder folder(directory);
    Result<int> removed = folder.removeStaleTemporaries();
    ASSERT_TRUE(removed.ok()) << removed.error().toStdString();
    EXPECT_EQ(*removed, 3);
    removed = folder.removeStaleTemporaries();
    ASSERT_TRUE(removed.ok()) << removed.error().toStdString();
    EXPECT_EQ(*removed, 0) << "a second sweep finds nothing";

    ASSERT_TRUE(QDir(directory + u"/tmp"_s).removeRecursively());
    EXPECT_FALSE(folder.removeStaleTemporaries().ok());
}

TEST(MaildirFolderTest, OnlyNamesMadeHereCountAsOurs)
{
    EXPECT_TRUE(MaildirName::isOurs(MaildirName::newUnique()));
    for (const QString &name :
         {MaildirName::newUnique() + u":2,S"_s, QString(),
          u"1700000000.M000001P12Q00000001.elsewhere.example"_s, u".Corvel.conf.abc123"_s})
        EXPECT_FALSE(MaildirName::isOurs(name)) << name.toStdString();
}

// Staged messages are unseen until filed; more than can be held open at once are staged as
// named files, filed the same way; what is discarded leaves nothing behind.
TEST(MaildirFolderTest, StagedMessagesAreSeenOnlyOnceFiled)
{
    QTemporaryDir home;
    const QString directory = home.filePath(u"Outbox"_s);
    ASSERT_TRUE(MaildirFolder::create(directory).ok());
    MaildirFolder folder(directory);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = std::min<rlim_t>(512, saved.rlim_cur); // half of it may be held open
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    const auto restore = qScopeGuard([&saved] { ::setrlimit(RLIMIT_NOFILE, &saved); });
    std::vector<MaildirFolder::Staged> staged;
    for (int i = 0; i < 300; ++i) {
        Result<MaildirFolder::Staged> one =
            folder.stage(QByteArray("From: a@example.org\n\nmessage ") + QByteArray::number(i));
        ASSERT_TRUE(one.ok()) << one.error().toStdString();
        staged.push_back(*one);
    }
    EXPECT_GT(QDir(directory + u"/tmp"_s).entryList(QDir::Files).size(), 0)
        << "beyond the open-file budget, staged files have names";
    EXPECT_TRUE(folder.entries()->empty());

    for (std::size_t i = 0; i < staged.size(); ++i) {
        if (i % 3 == 0) {
            folder.discard(staged[i]);
            continue;
        }
        ASSERT_TRUE(folder.syncStaged(staged[i]).ok());
        Result<MaildirFolder::Entry> filed = folder.file(staged[i], QString());
        ASSERT_TRUE(filed.ok()) << filed.error().toStdString();
        QFile file(filed->path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().endsWith("message " + QByteArray::number(qsizetype(i))));
    }
    ASSERT_TRUE(folder.sync().ok());
    EXPECT_EQ(folder.entries()->size(), 200u);
    EXPECT_TRUE(QDir(directory + u"/tmp"_s).entryList(QDir::Files).isEmpty());
}

} // namespace
} // namespace corvel
