#include "session/ExistingStoreFinder.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// A fake home folder: ~/.config is the configuration folder.
class FakeHome
{
public:
    FakeHome()
        : m_home(m_root.path() + u"/home"_s)
    {
        QDir().mkpath(m_home + u"/.config"_s);
    }
    [[nodiscard]] QString path(const QString &relative) const { return m_home + u'/' + relative; }
    void cards(const QString &folder) const
    {
        QDir().mkpath(path(folder));
        write(folder + u"/a.vcf"_s, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nEND:VCARD\r\n");
    }
    void maildir(const QString &folder) const
    {
        for (const char *part : {"cur", "new", "tmp"})
            QDir().mkpath(path(folder) + u'/' + QLatin1StringView(part));
    }
    void write(const QString &relative, const QByteArray &content) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    // One line a suggestion: name, folder (from ~) and sources.
    [[nodiscard]] QStringList found() const
    {
        QStringList lines;
        for (const StoreSuggestion &s : finder().find()) {
            QString directory = s.store.directory;
            directory.replace(m_home, u"~"_s);
            lines << s.store.name + u" | "_s + directory + u" | "_s + s.foundBy.join(u", "_s);
        }
        return lines;
    }
    [[nodiscard]] ExistingStoreFinder finder() const
    {
        return ExistingStoreFinder(m_home, m_home + u"/.config"_s);
    }

private:
    QTemporaryDir m_root;
    QString m_home;
};

std::string text(const QStringList &lines)
{
    return lines.join(u'\n').toStdString();
}

TEST(ExistingStoreFinder, KhardAddressBooksShowAsFoldersOfTheStoreThatHoldsThem)
{
    FakeHome home;
    // loose's store would be the whole home folder.
    for (const QString &folder : {u".contacts/family"_s, u".contacts/work"_s, u"loose"_s})
        home.cards(folder);
    home.write(u".config/khard/khard.conf"_s, R"(# khard
[addressbooks]
[[family]]
path = ~/.contacts/family/
[[work]]
  path = "$HOME/.contacts/work"   # quoted
[[loose]]
path = ~/loose
[[gone]]
path = ~/.contacts/gone
[general]
path = ~/not-a-book
)");
    EXPECT_EQ(text(home.found()), "contacts | ~/.contacts | khard address book \"family\", "
                                  "khard address book \"work\", ~/.contacts");
}

TEST(ExistingStoreFinder, VdirsyncerStoragesWithAndWithoutCollections)
{
    FakeHome home;
    for (const QString &folder :
         {u".local/share/vdirsyncer/contacts/default"_s,
          u".local/share/vdirsyncer/contacts/shared"_s, u"sync/single/book"_s, u"sync/calendar"_s})
        home.cards(folder);
    home.write(u".config/vdirsyncer/config"_s, R"([storage contacts_local]
type = "filesystem"
path = "~/.local/share/vdirsyncer/contacts/"
fileext = ".vcf"

[storage contacts_remote]
type = "carddav"
url = "https://example.org/"

[storage single]
type = "filesystem"
path = "~/sync/single/book"
fileext = ".vcf"

[storage calendar]
type = "filesystem"
path = "~/sync/calendar"
fileext = ".ics"
)");
    EXPECT_EQ(text(home.found()),
              "contacts | ~/.local/share/vdirsyncer/contacts | vdirsyncer storage "
              "\"contacts_local\"\n"
              "single | ~/sync/single | vdirsyncer storage \"single\"");
}

TEST(ExistingStoreFinder, MaildirsAndTheContactsFolder)
{
    FakeHome home;
    for (const QString &folder : {u"Maildir"_s, u"Maildir/.Sent"_s, u".mail/work/INBOX"_s})
        home.maildir(folder);
    home.cards(u".contacts/default"_s);
    EXPECT_EQ(text(home.found()), "contacts | ~/.contacts | ~/.contacts\n"
                                  "Maildir | ~/Maildir | ~/Maildir\n"
                                  "mail | ~/.mail | ~/.mail");
}

TEST(ExistingStoreFinder, AnEmptyHomeOrAContactsFolderHoldingCardsItselfOffersNothing)
{
    FakeHome home;
    EXPECT_EQ(text(home.found()), "");
    home.cards(u".contacts"_s); // its store would be the home folder
    EXPECT_EQ(text(home.found()), "");
}

// Configuration that cannot be read or understood is passed over: the folders found on
// disk are still offered, and nothing else.
struct Malformed
{
    const char *name;
    QByteArray khard;
    QByteArray vdirsyncer;
};

class ExistingStoreFinderMalformed : public ::testing::TestWithParam<Malformed>
{
};

TEST_P(ExistingStoreFinderMalformed, OffersOnlyWhatIsOnDisk)
{
    FakeHome home;
    home.maildir(u"Maildir"_s);
    home.cards(u"books/a"_s);
    home.write(u".config/khard/khard.conf"_s, GetParam().khard);
    home.write(u".config/vdirsyncer/config"_s, GetParam().vdirsyncer);
    EXPECT_EQ(text(home.found()), "Maildir | ~/Maildir | ~/Maildir");
}

INSTANTIATE_TEST_SUITE_P(
    Configs, ExistingStoreFinderMalformed,
    ::testing::Values(
        Malformed{"Empty", "", ""},
        Malformed{"UnclosedQuotes", "[addressbooks]\n[[a]]\npath = \"~/books/a\n",
                  "[storage a]\ntype = \"filesystem\npath = \"~/books/a\nfileext = \".vcf\n"},
        Malformed{"HeadersWithoutNames", "[\n[[\n[]\n[[]]\n=\npath\n= ~/books/a\n",
                  "[storage]\n[storage ]\npath = \"~/books/a\"\n"},
        Malformed{"KeysOutsideTheirSections", "path = ~/books/a\n[[a]]\npath = ~/books/a\n",
                  "type = \"filesystem\"\npath = \"~/books/a\"\nfileext = \".vcf\"\n"},
        Malformed{"RelativeAndOtherUsersPaths",
                  "[addressbooks]\n[[a]]\npath = books/a\n[[b]]\npath = ~root/books\n",
                  "[storage a]\ntype = \"filesystem\"\npath = \"books\"\nfileext = \".vcf\"\n"},
        Malformed{"BinaryGarbage", QByteArray("\x00\xff\xfe[[\x00]]\n\x80path=\x00", 16),
                  QByteArray(4096, '\xff')},
        Malformed{"TooBigToBeAConfiguration",
                  "[addressbooks]\n[[a]]\npath = ~/books/a\n" + QByteArray(2 << 20, '#'),
                  "[storage a]\ntype = \"filesystem\"\npath = \"~/books\"\nfileext = \".vcf\"\n" +
                      QByteArray(2 << 20, '\n')}),
    corvel::test::ByName());

TEST(ExistingStoreFinder, ConfigurationThatIsNoFileIsPassedOver)
{
    FakeHome home;
    QDir().mkpath(home.path(u".config/khard/khard.conf"_s)); // a folder
    QDir().mkpath(home.path(u".config/vdirsyncer"_s));
    // A pipe nobody writes to must not hang the search.
    const QByteArray pipe = QFile::encodeName(home.path(u".config/vdirsyncer/config"_s));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    EXPECT_EQ(text(home.found()), "");
}

TEST(ExistingStoreFinder, RegisteredStoresAreNotSuggestedAgain)
{
    FakeHome home;
    home.maildir(u"Maildir"_s);
    home.maildir(u".mail"_s);
    QFile::link(home.path(u"Maildir"_s), home.path(u"mail-link"_s));
    const auto all = home.finder().find();
    ASSERT_EQ(all.size(), 2u);
    // The same folder by another spelling: a trailing slash, a link.
    const auto left = ExistingStoreFinder::unregistered(
        all, {{u"Mine"_s, home.path(u"mail-link/"_s)}, {u"Other"_s, u"/nowhere"_s}});
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left.front().store.name.toStdString(), "mail");
}

} // namespace
} // namespace corvel
