#include "support/CRegSettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <functional>

using namespace Qt::StringLiterals;
using namespace corvel;

namespace {

class CRegSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }

    [[nodiscard]] QByteArray fileContents() const
    {
        QFile f(reg.filePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void putFile(const QByteArray &data) const
    {
        QDir().mkpath(QFileInfo(reg.filePath()).absolutePath());
        QFile f(reg.filePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }

    QTemporaryDir root;
    CRegSettings reg{root.path()};
};

TEST_F(CRegSettingsTest, FilePathFollowsCompanyAndAppNameAndDefaultsHoldUntilWritten)
{
    EXPECT_EQ(reg.filePath(), root.path() + u"/Tessary/Corvel.conf"_s);
    reg.setCompany(u"  Acme Ltd \t"_s);
    reg.setAppName(u" Tool "_s);
    EXPECT_EQ(reg.filePath(), root.path() + u"/Acme Ltd/Tool.conf"_s);
    reg.setCompany(u""_s);
    reg.setAppName(u"   "_s);
    EXPECT_EQ(reg.filePath(), root.path() + u"/Tessary/Corvel.conf"_s);

    // Defaults until written; empty is a value.
    EXPECT_EQ(reg.getSetting(u"Main"_s, u"Width"_s, u"640"_s), u"640"_s);
    EXPECT_FALSE(QFile::exists(reg.filePath())); // reading never creates the file
    ASSERT_TRUE(reg.saveSetting(u"Main"_s, u"Width"_s, u""_s));
    EXPECT_EQ(reg.getSetting(u"Main"_s, u"Width"_s, u"640"_s), u""_s);
    EXPECT_EQ(reg.getSetting(u"Main"_s, u"Height"_s, u"480"_s), u"480"_s);
    EXPECT_EQ(reg.getSetting(u"Other"_s, u"Width"_s, u"1"_s), u"1"_s);

    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(reg.filePath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(CRegSettingsTest, AwkwardTextsRoundTrip)
{
    const QString texts[] = {
        u"two\nlines"_s,       u"cr\rlf\r\n"_s,      u"a=b=c"_s,       u"back\\slash\\"_s,
        u"  leading"_s,        u"trailing  "_s,      u"\ttab\t"_s,     u"Grüße, 日本 ✓"_s,
        u"; not a comment"_s,  u"[not a section]"_s, u"\\n literal"_s, QString(QChar(2)) + QChar(1),
        u"\u00a0nbsp\u00a0"_s, u"#hash"_s,           u" "_s,
    };
    for (const QString &text : texts) {
        SCOPED_TRACE(text.toStdString());
        ASSERT_TRUE(reg.saveSetting(u"Values"_s, u"v"_s, text));
        EXPECT_EQ(reg.getSetting(u"Values"_s, u"v"_s, u"default"_s), text);
        // The same texts as keys and section names.
        ASSERT_TRUE(reg.saveSetting(text, text, u"x"_s));
        EXPECT_EQ(reg.getSetting(text, text, u"default"_s), u"x"_s);
        EXPECT_TRUE(reg.deleteSetting(text, u""_s));
    }
    EXPECT_EQ(reg.allSettings(u"Values"_s).size(), 1);
}

TEST_F(CRegSettingsTest, NamesIgnoreCaseKeepTheirSpellingAndDeleteKeysOrSections)
{
    ASSERT_TRUE(reg.saveSetting(u"Window"_s, u"LastStore"_s, u"one"_s));
    ASSERT_TRUE(reg.saveSetting(u"WINDOW"_s, u"laststore"_s, u"two"_s));
    EXPECT_EQ(reg.getSetting(u"window"_s, u"LASTSTORE"_s, u""_s), u"two"_s);
    const auto all = reg.allSettings(u"Window"_s);
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].first, u"LastStore"_s);
    EXPECT_EQ(fileContents(), "[Window]\nLastStore=two\n");

    // Deleting keys or whole sections.
    ASSERT_TRUE(reg.saveSetting(u"A"_s, u"*"_s, u"unnamed"_s));
    ASSERT_TRUE(reg.saveSetting(u"A"_s, u"k"_s, u"1"_s));
    ASSERT_TRUE(reg.saveSetting(u"B"_s, u"k"_s, u"2"_s));
    EXPECT_EQ(reg.getSetting(u"A"_s, u"*"_s, u""_s), u"unnamed"_s);

    EXPECT_TRUE(reg.deleteSetting(u"A"_s, u"*"_s));
    EXPECT_EQ(reg.getSetting(u"A"_s, u"*"_s, u"gone"_s), u"gone"_s);
    EXPECT_EQ(reg.getSetting(u"A"_s, u"k"_s, u""_s), u"1"_s);
    EXPECT_FALSE(reg.deleteSetting(u"A"_s, u"*"_s));

    EXPECT_TRUE(reg.deleteSetting(u"a"_s, u""_s));
    EXPECT_EQ(reg.getSetting(u"A"_s, u"k"_s, u"gone"_s), u"gone"_s);
    EXPECT_EQ(reg.getSetting(u"B"_s, u"k"_s, u""_s), u"2"_s);
    EXPECT_FALSE(reg.deleteSetting(u"A"_s, u""_s));
    EXPECT_FALSE(reg.deleteSetting(u"Nowhere"_s, u"k"_s));
}

TEST_F(CRegSettingsTest, KeepsUnrelatedLinesAndOrder)
{
    putFile("; kept comment\n[Stores]\n# about b\nb = 2\na=1\n\n[Other]\nx=y\r\n");
    ASSERT_TRUE(reg.saveSetting(u"Stores"_s, u"c"_s, u"3"_s));
    ASSERT_TRUE(reg.saveSetting(u"Stores"_s, u"a"_s, u"one"_s));
    ASSERT_TRUE(reg.saveSetting(u"New"_s, u"n"_s, u"v"_s));
    EXPECT_EQ(fileContents(), "; kept comment\n[Stores]\n# about b\nb = 2\na=one\nc=3\n\n"
                              "[Other]\nx=y\r\n\n[New]\nn=v\n");
    EXPECT_EQ(
        reg.allSettings(u"stores"_s),
        (decltype(reg.allSettings({})){{u"b"_s, u"2"_s}, {u"a"_s, u"one"_s}, {u"c"_s, u"3"_s}}));
    EXPECT_EQ(reg.getSetting(u"Other"_s, u"x"_s, u""_s), u"y"_s);
}

TEST_F(CRegSettingsTest, DamagedFileReadsWhatItCanAndIsNeverRewritten)
{
    const QByteArray damaged = "orphan=1\n[Good]\nkeep=yes\nno equals sign\nbad=\xff\xfe\n"
                               "[Broken\nlost=1\n[Good2]\nalso=kept\n";
    putFile(damaged);
    EXPECT_EQ(reg.getSetting(u"Good"_s, u"keep"_s, u""_s), u"yes"_s);
    EXPECT_EQ(reg.getSetting(u"Good2"_s, u"also"_s, u""_s), u"kept"_s);
    EXPECT_EQ(reg.getSetting(u"Good"_s, u"bad"_s, u"dflt"_s), u"dflt"_s);
    EXPECT_EQ(reg.getSetting(u"Broken"_s, u"lost"_s, u"dflt"_s), u"dflt"_s);
    EXPECT_TRUE(reg.problem().contains(u"line 1 cannot be read"_s)) << reg.problem().toStdString();
    EXPECT_TRUE(reg.problem().contains(u"4 more such lines"_s)) << reg.problem().toStdString();
    EXPECT_FALSE(reg.unreadable());

    EXPECT_FALSE(reg.saveSetting(u"Good"_s, u"new"_s, u"1"_s));
    EXPECT_FALSE(reg.deleteSetting(u"Good"_s, u"keep"_s));
    EXPECT_EQ(fileContents(), damaged);
    EXPECT_EQ(QFileInfo(reg.filePath()).dir().entryList(QDir::Files | QDir::Hidden),
              QStringList{u"Corvel.conf"_s});
}

// Each kind of damage names the first bad line and why, so the user can mend it by hand.
TEST_F(CRegSettingsTest, ProblemNamesTheFirstBadLine)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"[Sto\xffres]\nPersonal Folders=/x\n", u"line 1 cannot be read: it is not UTF-8 text"_s},
        {"[Parms]\nLoadAll=1\n[Sto", u"line 3 cannot be read: the section header is not closed"_s},
        {"[Parms]\nLoad\x01All\n", u"line 2 cannot be read: it is neither"_s},
        {"LoadAll=1\n", u"line 1 cannot be read: it is not under a section"_s},
    };
    for (const auto &[contents, expected] : cases) {
        putFile(contents);
        EXPECT_TRUE(reg.problem().contains(expected))
            << contents.toStdString() << " -> " << reg.problem().toStdString();
    }
    putFile("");
    EXPECT_TRUE(reg.problem().contains(u"is empty"_s)) << reg.problem().toStdString();
    EXPECT_FALSE(reg.saveSetting(u"S"_s, u"k"_s, u"v"_s));
    EXPECT_EQ(fileContents(), QByteArray());

    putFile("; comment\n\n[Parms]\nLoadAll=1\n");
    EXPECT_EQ(reg.problem(), QString());
    putFile("[Parms]\nLoadAll=1\n");
    ASSERT_TRUE(reg.deleteSetting(u"Parms"_s, QString()));
    EXPECT_EQ(reg.problem(), QString()) << "an emptied file is not an empty one";
}

// A lookup of a setting does not parse the file again, but a change by anyone is seen.
TEST_F(CRegSettingsTest, ChangesByOtherWritersAreSeen)
{
    ASSERT_TRUE(reg.saveSetting(u"S"_s, u"k"_s, u"one"_s));
    EXPECT_EQ(reg.getSetting(u"S"_s, u"k"_s, u""_s), u"one"_s);

    CRegSettings other(root.path());
    ASSERT_TRUE(other.saveSetting(u"S"_s, u"k"_s, u"two"_s)); // replaced: a new file
    EXPECT_EQ(reg.getSetting(u"S"_s, u"k"_s, u""_s), u"two"_s);

    putFile("[S]\nk=three, edited in place\n"); // the same file, another size
    EXPECT_EQ(reg.getSetting(u"S"_s, u"k"_s, u""_s), u"three, edited in place"_s);

    ASSERT_TRUE(QFile::remove(reg.filePath()));
    EXPECT_EQ(reg.getSetting(u"S"_s, u"k"_s, u"gone"_s), u"gone"_s);
}

// A folder or a dangling link where the file should be is neither read nor replaced.
TEST_F(CRegSettingsTest, UnreadableFileIsNeverReplaced)
{
    const std::pair<std::function<bool()>, const char *> cases[] = {
        {[this] { return QDir().mkpath(reg.filePath()); }, "it is a folder"},
        {[this] { return QFile::link(root.filePath(u"nowhere"_s), reg.filePath()); },
         "does not exist"},
    };
    for (const auto &[place, reason] : cases) {
        SCOPED_TRACE(reason);
        QDir(QFileInfo(reg.filePath()).absolutePath()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(QFileInfo(reg.filePath()).absolutePath()));
        ASSERT_TRUE(place());
        EXPECT_EQ(reg.getSetting(u"S"_s, u"k"_s, u"d"_s), u"d"_s);
        EXPECT_FALSE(reg.saveSetting(u"S"_s, u"k"_s, u"v"_s));
        EXPECT_FALSE(reg.deleteSetting(u"S"_s, u""_s));
        EXPECT_TRUE(reg.unreadable());
        EXPECT_TRUE(reg.problem().contains(QString::fromUtf8(reason))) << qPrintable(reg.problem());
        const QFileInfo after(reg.filePath());
        EXPECT_TRUE(after.isDir() || after.isSymLink()); // a replacement would be a file
        EXPECT_FALSE(QFileInfo::exists(root.filePath(u"nowhere"_s)));
    }
}

} // namespace
