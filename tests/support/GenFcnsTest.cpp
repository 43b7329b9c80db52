#include "support/GenFcns.h"
#include "support/GuidLib.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

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

TEST(GenFcns, FileExists)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(u"groups.txt"_s);
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
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

TEST(GenFcns, AppPathPrefersAWritableExecutableFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(AppPath(dir.path() + u'/'), dir.path());

    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QString fallback = AppPath(dir.filePath(u"does-not-exist"_s));
    if (saved.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", saved);
    EXPECT_EQ(fallback, data.path() + u"/Tessary/Corvel"_s);
    EXPECT_TRUE(QFileInfo(fallback).isDir());
}

} // namespace
