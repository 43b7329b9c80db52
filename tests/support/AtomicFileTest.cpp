#include "support/AtomicFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <ctime>

#include <sys/stat.h>
#include <sys/time.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

int modeOf(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// Everything in the folder, hidden entries included, so stray temporaries show up.
QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class AtomicFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    [[nodiscard]] QString file(const QString &name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(AtomicFileTest, NewFilesTakeTheGivenModeAndReplacedOnesKeepTheirs)
{
    for (const int mode : {0600, 0644}) {
        const QString path = file(u"new-"_s + QString::number(mode, 8));
        ASSERT_TRUE(AtomicFile::write(path, "hello", mode).ok());
        EXPECT_EQ(contentsOf(path), "hello");
        EXPECT_EQ(modeOf(path), mode);
    }
    const QString path = file(u"new-644"_s);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    // Larger than any one write call takes, so a short write shows.
    QByteArray big(8 * 1024 * 1024 + 17, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char(i * 31);
    ASSERT_TRUE(AtomicFile::write(path, big, 0600).ok());
    EXPECT_EQ(contentsOf(path), big);
    EXPECT_EQ(modeOf(path), 0640);
    ASSERT_TRUE(AtomicFile::write(path, QByteArray(), 0600).ok());
    EXPECT_EQ(contentsOf(path), QByteArray());
    EXPECT_EQ(entries(dir.path()), (QStringList{u"new-600"_s, u"new-644"_s}));
}

TEST_F(AtomicFileTest, FailureReportsReasonAndLeavesNothingBehind)
{
    const QString kept = file(u"kept"_s);
    ASSERT_TRUE(AtomicFile::write(kept, "original").ok());
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"sub"_s));
    const QStringList before = entries(dir.path());

    for (const QString &target : {file(u"missing/x.conf"_s), file(u"sub"_s)}) {
        const Status written = AtomicFile::write(target, "new");
        EXPECT_FALSE(written.ok());
        EXPECT_TRUE(written.error().contains(target)) << written.error().toStdString();
    }
    // A writer stopped at the last moment (a cancelled job) leaves the old file.
    struct Stopped
    {
    };
    EXPECT_THROW((void)AtomicFile::write(kept, "new", 0644, [] { throw Stopped{}; }), Stopped);
    EXPECT_EQ(entries(dir.path()), before);
    EXPECT_TRUE(entries(file(u"sub"_s)).isEmpty());
    EXPECT_EQ(contentsOf(kept), "original");
}

TEST_F(AtomicFileTest, KeepBackupHoldsTheContentsOfThatMoment)
{
    const QString path = file(u"groups.conf"_s);
    const QString backup = file(u"groups.conf.bak"_s);
    EXPECT_FALSE(AtomicFile::keepBackup(path, backup).ok());
    EXPECT_TRUE(entries(dir.path()).isEmpty());
    ASSERT_TRUE(AtomicFile::write(path, "first", 0600).ok());
    ASSERT_TRUE(AtomicFile::keepBackup(path, backup).ok());
    EXPECT_EQ(contentsOf(backup), "first");
    EXPECT_EQ(modeOf(backup), 0600);

    // The live file is replaced, not rewritten in place, so the backup must not follow it.
    ASSERT_TRUE(AtomicFile::write(path, "second").ok());
    EXPECT_EQ(contentsOf(backup), "first");

    // An existing backup is replaced.
    ASSERT_TRUE(AtomicFile::keepBackup(path, backup).ok());
    EXPECT_EQ(contentsOf(backup), "second");
    EXPECT_EQ(entries(dir.path()), (QStringList{u"groups.conf"_s, u"groups.conf.bak"_s}));
}

TEST_F(AtomicFileTest, KeepBackupCopiesAcrossFileSystems)
{
    QTemporaryDir other(u"/dev/shm/corvel-test-XXXXXX"_s);
    struct stat here = {}, there = {};
    if (!other.isValid() || ::stat(QFile::encodeName(dir.path()).constData(), &here) != 0 ||
        ::stat(QFile::encodeName(other.path()).constData(), &there) != 0 ||
        here.st_dev == there.st_dev)
        GTEST_SKIP() << "needs a second file system at /dev/shm";
    const QString path = file(u"groups.conf"_s);
    ASSERT_TRUE(AtomicFile::write(path, "across", 0640).ok());
    const QString backup = other.filePath(u"groups.conf.bak"_s);
    ASSERT_TRUE(AtomicFile::keepBackup(path, backup).ok());
    EXPECT_EQ(contentsOf(backup), "across");
    EXPECT_EQ(modeOf(backup), 0640);
    EXPECT_EQ(entries(other.path()), QStringList{u"groups.conf.bak"_s});
}

// A writer killed mid-way leaves its temporary file; the next write clears such leftovers,
// but nothing else: not another file's, not a name we never make, not one still being
// written, not a link or folder someone placed there.
TEST_F(AtomicFileTest, NextWriteRemovesOnlyOurStaleTemporaries)
{
    const QString target = file(u"Corvel.conf"_s);
    const timeval anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    const auto make = [&](const QString &name, bool old) {
        const QString path = file(name);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("partial copy");
        f.close();
        if (old) {
            ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), anHourAgo), 0);
        }
    };
    make(u".Corvel.conf.AbC123"_s, true);  // ours, abandoned an hour ago: removed
    make(u".Corvel.conf.XyZ789"_s, false); // ours, maybe still being written: kept
    make(u".Corvel.conf.ab-123"_s, true);  // not a name we make
    make(u".Corvel.conf.AbC1234"_s, true); // nor this
    make(u".Other.conf.AbC123"_s, true);   // another file's
    make(u"Corvel.conf.AbC123"_s, true);   // not hidden: the user's
    ASSERT_TRUE(QDir(dir.path()).mkdir(u".Corvel.conf.DiR123"_s));
    ASSERT_TRUE(QFile::link(file(u".Other.conf.AbC123"_s), file(u".Corvel.conf.LnK123"_s)));
    ASSERT_EQ(::lutimes(QFile::encodeName(file(u".Corvel.conf.LnK123"_s)).constData(), anHourAgo),
              0);
    ASSERT_EQ(::utimes(QFile::encodeName(file(u".Corvel.conf.DiR123"_s)).constData(), anHourAgo),
              0);

    ASSERT_TRUE(AtomicFile::write(target, "settings").ok());
    EXPECT_EQ(entries(dir.path()), (QStringList{u".Corvel.conf.AbC1234"_s, u".Corvel.conf.DiR123"_s,
                                                u".Corvel.conf.LnK123"_s, u".Corvel.conf.XyZ789"_s,
                                                u".Corvel.conf.ab-123"_s, u".Other.conf.AbC123"_s,
                                                u"Corvel.conf"_s, u"Corvel.conf.AbC123"_s}));
    EXPECT_EQ(AtomicFile::removeStaleTemporaries(target), 0);
}

} // namespace
