#include "session/VCardFolderSource.h"
#include "session/LocalApplication.h"
#include "session/LocalNamespace.h"
#include "session/LocalStoreTree.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

QByteArray card(const QByteArray &fn, const QByteArray &email = {})
{
    QByteArray text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + fn + "\r\n";
    if (!email.isEmpty())
        text += "EMAIL:" + email + "\r\n";
    return text + "END:VCARD\r\n";
}

class VCardFolderTest : public ::testing::Test
{
protected:
    QTemporaryDir tmp;
    QString store = tmp.path() + u"/store"_s;
    QString contacts = store + u"/Contacts"_s;

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(contacts)); }

    static void write(const QString &path, const QByteArray &contents)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    void writeContact(const QString &name, const QByteArray &contents) const
    {
        write(contacts + u'/' + name, contents);
    }
    // The outside file a link in the contacts folder leads to.
    void linkOutside() const
    {
        write(tmp.path() + u"/outside.vcf"_s, card("Outside"));
        ASSERT_TRUE(QFile::link(tmp.path() + u"/outside.vcf"_s, contacts + u"/link.vcf"_s));
    }

    std::shared_ptr<OlFolder> contactFolder(OlNamespace &session) const
    {
        for (const auto &folder : session.Folders().at(0)->Folders())
            if (folder->Name() == u"Contacts"_s)
                return folder;
        return nullptr;
    }
};

TEST_F(VCardFolderTest, ListsEveryCardOfTheCardFilesInNameOrder)
{
    writeContact(u"b.vcf"_s, card("Bea", "bea@example.org") + card("Bob", "bob@example.org"));
    writeContact(u"a.VCF"_s, card("Al"));
    writeContact(u"c.vcf"_s, "no card at all\n");
    // Not cards by the vdir rules, or not files.
    for (const QString &name : {u".hidden.vcf"_s, u"d.vcf.tmp"_s, u"vcf"_s, u"e.ics"_s})
        writeContact(name, card("Not listed"));
    ASSERT_TRUE(QDir().mkpath(contacts + u"/dir.vcf"_s));
    ASSERT_EQ(::mkfifo(QFile::encodeName(contacts + u"/pipe.vcf"_s).constData(), 0600), 0);
    linkOutside();

    LocalApplication app({{u"Personal Folders"_s, store}});
    const auto session = app.GetNamespace(u"MAPI"_s);
    const auto folder = contactFolder(*session);
    ASSERT_TRUE(folder);
    ASSERT_EQ(folder->DefaultMessageClass(), u"IPM.Contact"_s);
    const auto items = folder->Items();

    QStringList seen;
    for (const auto &item : items) {
        EXPECT_EQ(item->Class(), olContactItem);
        seen << item->FileAs() + u'|' + item->Email1Address();
    }
    EXPECT_EQ(seen, (QStringList{u"Al|"_s, u"Bea|bea@example.org"_s, u"Bob|bob@example.org"_s}));

    // The second card of a file is found by its own id; every id leads back to its card.
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[2]->EntryID().endsWith(u"-2"_s));
    for (const auto &item : items) {
        const auto again = session->GetItemFromID(item->EntryID());
        EXPECT_EQ(again->EntryID() + u'|' + again->FileAs(),
                  item->EntryID() + u'|' + item->FileAs());
    }
    // A fresh session resolves ids without a listing first.
    LocalApplication other({{u"Personal Folders"_s, store}});
    EXPECT_EQ(other.GetNamespace(u"MAPI"_s)->GetItemFromID(items[1]->EntryID())->FileAs(),
              u"Bea"_s);
}

TEST_F(VCardFolderTest, GroupCardsAreDistributionListsThatStayReadable)
{
    writeContact(u"a.vcf"_s, card("Ann", "ann@example.org"));
    writeContact(u"b.vcf"_s, "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Board\r\n"
                             "MEMBER:mailto:ann@example.org\r\nEND:VCARD\r\n");
    writeContact(u"c.vcf"_s, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Press\r\n"
                             "X-ADDRESSBOOKSERVER-KIND:group\r\nEND:VCARD\r\n");

    LocalApplication app({{u"Personal Folders"_s, store}});
    const auto session = app.GetNamespace(u"MAPI"_s);
    const auto folder = contactFolder(*session);
    ASSERT_TRUE(folder);
    const auto items = folder->Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ((std::vector{items[0]->Class(), items[1]->Class(), items[2]->Class()}),
              (std::vector<int>{olContactItem, olDistributionListItem, olDistributionListItem}));
    // Found again by id, with its name, for whoever reads its members.
    const auto again = session->GetItemFromID(items[1]->EntryID());
    EXPECT_EQ(std::pair(again->Class(), again->FileAs()),
              (std::pair<int, QString>(olDistributionListItem, u"Board"_s)));
}

TEST_F(VCardFolderTest, GoneOrForgedIdsFailCleanly)
{
    writeContact(u"a.vcf"_s, card("Al") + card("Alma"));
    writeContact(u"b.vcf"_s, card("Bea"));
    linkOutside();

    LocalNamespace session({{u"S"_s, store}});
    const auto items = contactFolder(session)->Items();
    ASSERT_EQ(items.size(), 3u);
    const QString first = items[0]->EntryID();
    const QString bea = items[2]->EntryID();

    // What a link would be called if it were listed: it must not lead outside.
    const LocalStoreTree tree({u"S"_s, store});
    const QString linkId = tree.itemIdOf(u"Contacts"_s, u"link.vcf"_s);
    const QString escapeId = tree.itemIdOf(u"Contacts"_s, u"../../outside.vcf"_s);

    for (const QString &forged :
         {QString(), u"0123456789ABCDEF"_s, first + u"-3"_s, first + u"-0"_s, first.toLower(),
          u"../outside.vcf"_s, tmp.path() + u"/outside.vcf"_s, linkId, escapeId}) {
        SCOPED_TRACE(forged.toStdString());
        EXPECT_THROW((void)session.GetItemFromID(forged), OutlookError);
    }

    // A card removed from its file, then the file itself.
    writeContact(u"a.vcf"_s, card("Al"));
    EXPECT_EQ(session.GetItemFromID(first)->FileAs(), u"Al"_s);
    EXPECT_THROW((void)session.GetItemFromID(first + u"-2"_s), OutlookError);
    ASSERT_TRUE(QFile::remove(contacts + u"/b.vcf"_s));
    EXPECT_THROW((void)session.GetItemFromID(bea), OutlookError);
}

TEST_F(VCardFolderTest, ContactsAreNoMessagesAndDisplayTheirFile)
{
    writeContact(u"a.vcf"_s, card("Al"));
    QStringList shown;
    VCardFolderSource source([&](const QString &path) { shown << path; });
    const auto items = source.readItems(contacts, [](const QString &key, int) { return key; });
    ASSERT_EQ(items.size(), 1u);
    const auto &item = items.front();

    item->Display();
    EXPECT_EQ(shown, QStringList{contacts + u"/a.vcf"_s});

    const std::function<void()> messageMembers[] = {
        [&] { (void)item->Subject(); }, [&] { item->setSubject({}); }, [&] { (void)item->Body(); },
        [&] { item->setBody({}); },     [&] { (void)item->To(); },     [&] { item->setTo({}); },
        [&] { (void)item->CC(); },      [&] { item->setCC({}); },      [&] { (void)item->BCC(); },
        [&] { item->setBCC({}); },      [&] { item->Save(); },         [&] { (void)item->Copy(); },
        [&] { item->Send(); },
    };
    for (const auto &member : messageMembers)
        EXPECT_THROW(member(), OutlookError);

    ASSERT_TRUE(QFile::remove(contacts + u"/a.vcf"_s));
    EXPECT_THROW(item->Display(), OutlookError);
    EXPECT_EQ(shown.size(), 1);
}

TEST_F(VCardFolderTest, ParallelReadingKeepsTheOrder)
{
    QStringList expected;
    for (int i = 0; i < 1500; ++i) {
        const QByteArray n = QByteArray::number(i).rightJustified(5, '0');
        // Every seventh file holds two cards, so chunks differ in size.
        QByteArray contents = card("c" + n);
        expected << u"c"_s + QString::fromLatin1(n);
        if (i % 7 == 0) {
            contents += card("d" + n);
            expected << u"d"_s + QString::fromLatin1(n);
        }
        writeContact(QString::fromLatin1(n) + u".vcf"_s, contents);
    }
    const auto idOf = [](const QString &key, int n) { return key + u'#' + QString::number(n); };
    const auto failsLate = [](const QString &key, int) {
        return key == u"01400.vcf"_s ? throw OutlookError(u"no id"_s) : key;
    };
    for (const int workers : {1, 2, 4}) {
        SCOPED_TRACE(workers);
        VCardFolderSource source([](const QString &) {}, workers);
        QSet<QString> ids;
        const auto items = source.readItems(contacts, idOf);
        QStringList names;
        for (const auto &item : items) {
            names << item->FileAs();
            ids.insert(item->EntryID());
        }
        EXPECT_EQ(names, expected);
        EXPECT_EQ(ids.size(), expected.size());

        // Let go after its first chunk, a reader has handed out the folder's start and stops
        // its helpers rather than read on; a helper's failure reaches the reader.
        auto reader = source.reader(contacts, idOf, {});
        FolderItemReader::Chunk first;
        ASSERT_TRUE(reader->next(first));
        ASSERT_FALSE(first.empty());
        EXPECT_EQ(first.back()->FileAs(), expected.at(qsizetype(first.size()) - 1));
        EXPECT_LT(reader->percentRead(), 100);
        reader.reset();
        EXPECT_THROW((void)source.readItems(contacts, failsLate), OutlookError);
    }
}

TEST_F(VCardFolderTest, AFolderThatCannotBeReadThrows)
{
    VCardFolderSource source([](const QString &) {});
    const auto idOf = [](const QString &key, int) { return key; };
    EXPECT_THROW((void)source.readItems(contacts + u"/missing"_s, idOf), OutlookError);
    EXPECT_THROW((void)source.itemKeys(contacts + u"/missing"_s), OutlookError);
    EXPECT_THROW((void)source.readItem(contacts, u"../x.vcf"_s, 1, u"id"_s), OutlookError);
}

} // namespace
} // namespace corvel
