#include "workspace/ShippedFiles.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

// Where the column defaults are put in a prefix laid out as bin/ and share/corvel/.
struct Case
{
    const char *name;
    bool besideExecutable;
    bool inShare;
    const char *expected; // relative to the prefix
};

class ShippedFilesLookup : public ::testing::TestWithParam<Case>
{
};

void touch(const QString &path)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST_P(ShippedFilesLookup, FindsTheColumnDefaults)
{
    const Case &c = GetParam();
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString bin = prefix.filePath(u"bin"_s);
    ASSERT_TRUE(QDir().mkpath(bin));
    if (c.besideExecutable)
        touch(bin + u"/mailstandards.sys"_s);
    if (c.inShare)
        touch(QDir(bin).filePath(ShippedFiles::installedRelativePath()) + u"/mailstandards.sys"_s);

    const QString expected = QDir::cleanPath(prefix.filePath(QString::fromUtf8(c.expected)));
    // Found from the folder written with and without its last slash; the help inside it.
    EXPECT_EQ((QStringList{ShippedFiles::directory(bin), ShippedFiles::directory(bin + u"/"_s),
                           ShippedFiles::helpDirectory(ShippedFiles::directory(bin))}),
              (QStringList{expected, expected, expected + u"/help"_s}));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ShippedFilesLookup,
    ::testing::Values(Case{"BuildTree", true, false, "bin"},
                      Case{"Installed", false, true, "share/corvel"},
                      Case{"PortableCopyWinsOverTheShareFolder", true, true, "bin"},
                      Case{"NothingShippedReportsTheExecutablesFolder", false, false, "bin"}),
    corvel::test::ByName());

} // namespace
