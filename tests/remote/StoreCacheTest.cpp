#include "remote/StoreCache.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// Every file of the cache but its lock, with its contents.
std::map<QString, QByteArray> snapshot(const QString &root)
{
    std::map<QString, QByteArray> files;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        QFile file(it.next());
        if (!file.fileName().endsWith(u".lock"_s) && file.open(QIODevice::ReadOnly))
            files[file.fileName().mid(root.size())] = file.readAll();
    }
    return files;
}

void put(const QString &path, const QByteArray &data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
}

RemoteCard card(const char *name, const char *etag, bool withData = true)
{
    return {u"/b/%1.vcf"_s.arg(QLatin1StringView(name)), QString::fromLatin1(etag),
            withData ? "BEGIN:VCARD\r\nUID:" + QByteArray(name) + etag + "\r\nEND:VCARD\r\n"
                     : QByteArray()};
}

ino_t inode(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// A sync writes only the cards that changed, and one that fails midway leaves no trace.
TEST(StoreCache, WritesOnlyChangesAndFailsWithoutTrace)
{
    QTemporaryDir home;
    const StoreCache cache(home.filePath(u"S"_s));
    ASSERT_TRUE(
        cache.replace({{u"/b/"_s, u"Book"_s, u"t1"_s, {card("a", "1"), card("b", "1")}}}).ok());
    const ino_t kept = inode(home.filePath(u"S/b/a.vcf"_s));
    ASSERT_TRUE(cache
                    .replace({{u"/b/"_s,
                               u"Book"_s,
                               u"t2"_s,
                               {card("a", "1", false), card("b", "2"), card("c", "1")}}})
                    .ok());
    EXPECT_EQ(inode(home.filePath(u"S/b/a.vcf"_s)), kept);
    const auto before = snapshot(cache.directory());
    EXPECT_EQ(before.at(u"/b/b.vcf"_s), card("b", "2").data);
    EXPECT_EQ(before.count(u"/b/c.vcf"_s), 1U);

    const Status failed =
        cache.replace({{u"/b/"_s, u"Book"_s, u"t3"_s, {card("d", "1"), card("e", "1", false)}},
                       {u"/n/"_s, u"New"_s, {}, {card("f", "1")}}});
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(snapshot(cache.directory()), before);
}

// A sync killed before its journal is written reads back as the old cache; one killed while
// carrying the journal out reads back as the new one.
TEST(StoreCache, ReadsBackWholeAfterAKill)
{
    QTemporaryDir home;
    const StoreCache cache(home.filePath(u"S"_s));
    ASSERT_TRUE(
        cache.replace({{u"/b/"_s, u"Book"_s, u"t1"_s, {card("a", "1"), card("b", "1")}}}).ok());
    const auto old = snapshot(cache.directory());
    const QString book = home.filePath(u"S/b/"_s);
    put(book + u".corvel-new.b.vcf"_s, card("b", "2").data);
    ASSERT_TRUE(QDir().mkdir(home.filePath(u"S/.corvel-new.n"_s)));
    ASSERT_TRUE(cache.read().ok());
    EXPECT_EQ(snapshot(cache.directory()), old);

    // Killed after placing b.vcf, before the record and the removal of a.vcf.
    put(book + u"b.vcf"_s, card("b", "2").data);
    put(book + u".corvel-new..corvel-sync.json"_s,
        R"({"href":"/b/","displayName":"Book","syncToken":"t2","cards":[["/b/b.vcf","2","b.vcf"]]})");
    put(home.filePath(u"S/.corvel-sync.journal"_s),
        R"({"place":["b/b.vcf","b/.corvel-sync.json"],"remove":["b/a.vcf"]})");
    const auto now = cache.read();
    ASSERT_TRUE(now.ok());
    ASSERT_EQ(now->size(), 1U);
    EXPECT_EQ(now->front().syncToken, u"t2"_s);
    const auto files = snapshot(cache.directory());
    EXPECT_EQ(files.size(), 4U) << "displayname, .folderclass, record, b.vcf";
    EXPECT_EQ(files.at(u"/b/b.vcf"_s), card("b", "2").data);
}

} // namespace
} // namespace corvel
