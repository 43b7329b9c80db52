#include "support/FileSystem.h"
#include "support/GuidLib.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

TEST(GuidLib, NewGroupGuidIsBracedUpperCaseAndUnique)
{
    const QRegularExpression form(
        u"^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"_s);
    QSet<QString> seen;
    for (int i = 0; i < 1000; ++i) {
        const QString guid = NewGroupGuid();
        ASSERT_TRUE(form.match(guid).hasMatch()) << guid.toStdString();
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 1000);
}

TEST(FileSystem, FileExists)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(u"groups.txt"_s);
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(file, dir.filePath(u"link.txt"_s)));
    ASSERT_TRUE(QFile::link(dir.filePath(u"nowhere"_s), dir.filePath(u"dangling"_s)));

    const std::pair<QString, bool> cases[] = {
        {u""_s, false},
        {dir.filePath(u"*.txt"_s), false},
        {dir.filePath(u"groups.tx?"_s), false},
        {dir.filePath(u"missing.txt"_s), false},
        {dir.path(), false},
        {dir.filePath(u"dangling"_s), false},
        {u"/dev/null"_s, false},
        {file, true},
        {dir.filePath(u"link.txt"_s), true},
    };
    for (const auto &[path, expected] : cases)
        EXPECT_EQ(FileExists(path), expected) << path.toStdString();
}

class FileSystemPaths : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(exe.isValid());
        ASSERT_TRUE(data.isValid());
    }
    static int modeOf(const QString &path)
    {
        struct stat st = {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    }

    QTemporaryDir exe;
    QTemporaryDir data;
};

// A writable program folder is not where data goes: a build folder is thrown away.
TEST_F(FileSystemPaths, DataGoesToTheUserDataFolderUnlessThePortableInstallHasGroups)
{
    const QString userData = DataFolderUnder(data.path() + u'/');
    EXPECT_EQ(userData, data.path() + u"/Tessary/Corvel"_s);
    EXPECT_EQ(AppPath(exe.path(), userData), userData);
    EXPECT_EQ(AppPath(QString(), userData), userData);
    EXPECT_FALSE(QFileInfo::exists(userData)) << "only found, not made";

    // A link to nothing still marks the portable install: its groups must be refused there
    // with a reason, not silently replaced by another folder's.
    ASSERT_TRUE(QFile::link(exe.filePath(u"gone"_s), exe.filePath(u"MailLists.tlx"_s)));
    EXPECT_EQ(AppPath(exe.path() + u'/', userData), exe.path());
}

TEST_F(FileSystemPaths, MakePrivateFolderMakesMissingFoldersForTheUserAlone)
{
    const QString deep = data.filePath(u"a/b/c"_s);
    EXPECT_TRUE(MakePrivateFolder(deep).ok());
    EXPECT_EQ(modeOf(data.filePath(u"a"_s)), 0700);
    EXPECT_EQ(modeOf(deep), 0700);

    ASSERT_EQ(::chmod(QFile::encodeName(deep).constData(), 0750), 0);
    EXPECT_TRUE(MakePrivateFolder(deep).ok());
    EXPECT_EQ(modeOf(deep), 0750) << "an existing folder keeps the mode its owner gave it";

    ASSERT_TRUE(QFile(data.filePath(u"file"_s)).open(QIODevice::WriteOnly));
    EXPECT_FALSE(MakePrivateFolder(data.filePath(u"file"_s)).error().isEmpty());
    EXPECT_FALSE(MakePrivateFolder(data.filePath(u"file/sub"_s)).error().isEmpty());
}

} // namespace
