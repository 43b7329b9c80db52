#include "support/DataFile.h"
#include "support/AtomicFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace corvel;

// Whatever has the name, only a regular file is read: the rest is refused with its reason
// and never taken for "missing". A pipe must not hang the reader.
TEST(DataFile, ReadsOnlyRegularFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(AtomicFile::write(dir.filePath(u"regular"_s), QByteArray("groups\0data", 11)).ok());
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder"_s));
    ASSERT_TRUE(QFile::link(dir.filePath(u"nowhere"_s), dir.filePath(u"dangling"_s)));
    ASSERT_TRUE(QFile::link(dir.filePath(u"folder"_s), dir.filePath(u"linkToFolder"_s)));
    ASSERT_TRUE(QFile::link(dir.filePath(u"regular"_s), dir.filePath(u"linkToFile"_s)));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(u"pipe"_s)).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(u"/dev/zero"_s, dir.filePath(u"endless"_s)));
    ASSERT_TRUE(QFile::copy(dir.filePath(u"regular"_s), dir.filePath(u"locked"_s)));
    ASSERT_TRUE(QFile::setPermissions(dir.filePath(u"locked"_s), QFileDevice::Permissions()));
    // name; what the failure must say (empty: read)
    const std::pair<const char *, const char *> cases[] = {
        {"regular", ""},
        {"linkToFile", ""},
        {"missing", "No such file"},
        {"folder", "it is a folder"},
        {"linkToFolder", "it is a folder"},
        {"dangling", "a link to something that does not exist"},
        {"pipe", "not a regular file"},
        {"endless", "not a regular file"},
        {"locked", ::geteuid() == 0 ? "" : "Permission denied"}, // root reads it anyway
    };
    for (const auto &[name, reason] : cases) {
        const QString path = dir.filePath(QString::fromUtf8(name));
        const auto read = DataFile::read(path);
        if (*reason == 0) {
            ASSERT_TRUE(read.ok()) << read.error().toStdString();
            EXPECT_EQ(*read, QByteArray("groups\0data", 11));
            continue;
        }
        ASSERT_FALSE(read.ok()) << name;
        EXPECT_TRUE(read.error().contains(QString::fromUtf8(reason))) << read.error().toStdString();
        EXPECT_TRUE(read.error().contains(path)) << read.error().toStdString();
    }
}

TEST(DataFile, AFileOverItsLimitIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"big"_s);
    ASSERT_TRUE(AtomicFile::write(path, QByteArray(101, 'x')).ok());
    EXPECT_TRUE(DataFile::read(path, 101).ok());
    const auto read = DataFile::read(path, 100);
    ASSERT_FALSE(read.ok());
    EXPECT_TRUE(read.error().contains(u"larger than 100 bytes"_s)) << read.error().toStdString();
}
