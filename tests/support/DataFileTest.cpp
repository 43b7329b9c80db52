#include "support/DataFile.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <string_view>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

struct EntryCase
{
    const char *name;
    const char *reason; // what the failure must say; empty: read
};

CORVEL_PRINT_BY_NAME(EntryCase)

class DataFileEntries : public ::testing::TestWithParam<EntryCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile f(dir.filePath(u"regular"_s));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("groups\0data", 11);
        f.close();
        ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder"_s));
        ASSERT_TRUE(QFile::link(dir.filePath(u"nowhere"_s), dir.filePath(u"dangling"_s)));
        ASSERT_TRUE(QFile::link(dir.filePath(u"folder"_s), dir.filePath(u"linkToFolder"_s)));
        ASSERT_TRUE(QFile::link(dir.filePath(u"regular"_s), dir.filePath(u"linkToFile"_s)));
        ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(u"pipe"_s)).constData(), 0600), 0);
        ASSERT_TRUE(QFile::link(u"/dev/zero"_s, dir.filePath(u"endless"_s)));
        ASSERT_TRUE(QFile::copy(dir.filePath(u"regular"_s), dir.filePath(u"locked"_s)));
        ASSERT_TRUE(QFile::setPermissions(dir.filePath(u"locked"_s), QFileDevice::Permissions()));
    }
    QTemporaryDir dir;
};

// Whatever has the name, only a regular file is read: the rest is refused with its reason
// and never taken for "missing". A pipe must not hang the reader.
TEST_P(DataFileEntries, ReadsOnlyRegularFiles)
{
    if (GetParam().name == std::string_view("locked") && ::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root from reading";
    const QString path = dir.filePath(QString::fromUtf8(GetParam().name));
    const auto read = DataFile::read(path);
    const QString expected = QString::fromUtf8(GetParam().reason);
    if (expected.isEmpty()) {
        ASSERT_TRUE(read.ok()) << read.error().toStdString();
        EXPECT_EQ(*read, QByteArray("groups\0data", 11));
        return;
    }
    ASSERT_FALSE(read.ok());
    EXPECT_TRUE(read.error().contains(expected)) << read.error().toStdString();
    EXPECT_TRUE(read.error().contains(path)) << read.error().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DataFileEntries,
    ::testing::Values(EntryCase{"regular", ""}, EntryCase{"linkToFile", ""},
                      EntryCase{"missing", "No such file"}, EntryCase{"folder", "it is a folder"},
                      EntryCase{"linkToFolder", "it is a folder"},
                      EntryCase{"dangling", "a link to something that does not exist"},
                      EntryCase{"pipe", "not a regular file"},
                      EntryCase{"endless", "not a regular file"},
                      EntryCase{"locked", "Permission denied"}),
    corvel::test::ByName());

TEST(DataFile, AFileOverItsLimitIsRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"big"_s);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(101, 'x'));
    f.close();
    EXPECT_TRUE(DataFile::read(path, 101).ok());
    const auto read = DataFile::read(path, 100);
    ASSERT_FALSE(read.ok());
    EXPECT_TRUE(read.error().contains(u"larger than 100 bytes"_s)) << read.error().toStdString();
}

} // namespace
