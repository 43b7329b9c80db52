#include "session/LocalApplication.h"
#include "session/LocalNamespace.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

class LocalStoreTest : public ::testing::Test
{
protected:
    QTemporaryDir tmp;

    QString path(const QString &relative) const { return tmp.path() + u'/' + relative; }
    void dir(const QString &relative) const { ASSERT_TRUE(QDir().mkpath(path(relative))); }
    void file(const QString &relative, const QByteArray &contents = {}) const
    {
        QFile f(path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    void maildir(const QString &relative) const
    {
        for (const auto &part : {u"cur"_s, u"new"_s, u"tmp"_s})
            dir(relative + u'/' + part);
    }

    static std::shared_ptr<OlFolder> child(const std::shared_ptr<OlFolder> &folder,
                                           const QString &name)
    {
        for (const auto &sub : folder->Folders())
            if (sub->Name() == name)
                return sub;
        return nullptr;
    }
    static QStringList names(const std::shared_ptr<OlFolder> &folder)
    {
        QStringList result;
        for (const auto &sub : folder->Folders())
            result << sub->Name();
        return result;
    }
    std::shared_ptr<OlFolder> storeRoot(LocalNamespace &session) const
    {
        return session.Folders().at(0);
    }
};

TEST_F(LocalStoreTest, FolderKindComesFromMarkerLayoutOrFiles)
{
    const struct
    {
        const char *folder;
        std::function<void(const QString &)> fill;
        const char *expected;
    } cases[] = {
        {"marked",
         [&](const QString &f) {
             maildir(f);
             file(f + u"/a.vcf"_s);
             file(f + u"/.folderclass"_s, " IPM.Task\n");
         },
         "IPM.Task"},
        {"mail", [&](const QString &f) { maildir(f), file(f + u"/a.vcf"_s); }, "IPM.Note"},
        {"cards", [&](const QString &f) { file(f + u"/b.ics"_s), file(f + u"/a.VCF"_s); },
         "IPM.Contact"},
        {"calendar", [&](const QString &f) { file(f + u"/b.ics"_s), file(f + u"/c.txt"_s); },
         "IPM.Appointment"},
        {"blank marker", [&](const QString &f) { file(f + u"/.folderclass"_s, "  \n"); },
         "IPM.Folder"},
        {"only cur", [&](const QString &f) { dir(f + u"/cur"_s); }, "IPM.Folder"},
        {"empty", [](const QString &) {}, "IPM.Folder"},
    };
    for (const auto &c : cases) {
        const QString folder = QString::fromLatin1(c.folder);
        dir(folder);
        c.fill(folder);
    }
    LocalNamespace session({{u"S"_s, tmp.path()}});
    const auto root = storeRoot(session);
    EXPECT_EQ(root->DefaultMessageClass(), u"IPM.Folder"_s);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folder);
        const auto folder = child(root, QString::fromLatin1(c.folder));
        ASSERT_TRUE(folder);
        EXPECT_EQ(folder->DefaultMessageClass(), QString::fromLatin1(c.expected));
    }
}

TEST_F(LocalStoreTest, SubFoldersAreDirectoriesAndMaildirPlusPlusLevels)
{
    // X exists only through Y; .Hidden is no Maildir++ level, only the Maildir's own level counts.
    for (const QString &folder : {u"Inbox"_s, u"Inbox/.Sub"_s, u"Inbox/.A"_s, u"Inbox/.A.B"_s,
                                  u"Inbox/.X.Y"_s, u"Inbox/.Sub/.Hidden"_s})
        maildir(folder);
    // Notes has no cur/: not a Maildir, so .cache is no Maildir++ folder either.
    for (const QString &folder :
         {u"Inbox/Plain"_s, u"Notes/.cache"_s, u"Notes/tmp"_s, u"Notes/new"_s, u"gamma"_s,
          u"beta"_s, u"Contacts"_s, u".hidden"_s})
        dir(folder);
    file(u"Inbox/.A.B/displayname"_s, " Bee \n");
    file(u"Alpha.vcf"_s);
    file(u"Contacts/displayname"_s, "alpha\n"); // ordered by the name shown

    LocalNamespace session({{u"S"_s, tmp.path()}});
    const auto root = storeRoot(session);
    EXPECT_EQ(names(root),
              (QStringList{u"alpha"_s, u"beta"_s, u"gamma"_s, u"Inbox"_s, u"Notes"_s}));
    const auto inbox = child(root, u"Inbox"_s);
    EXPECT_EQ(names(inbox), (QStringList{u"A"_s, u"Plain"_s, u"Sub"_s, u"X"_s}));
    QStringList below;
    for (const QString &name : {u"A"_s, u"X"_s, u"Sub"_s})
        below << name + u':' + names(child(inbox, name)).join(u',');
    EXPECT_EQ(below, (QStringList{u"A:Bee"_s, u"X:Y"_s, u"Sub:"_s}));
    EXPECT_EQ(names(child(root, u"Notes"_s)), QStringList());
    EXPECT_EQ(child(child(inbox, u"A"_s), u"Bee"_s)->DefaultMessageClass(), u"IPM.Note"_s);
}

TEST_F(LocalStoreTest, LinksLeavingTheStoreAreNotFollowed)
{
    QTemporaryDir outside;
    ASSERT_TRUE(QDir().mkpath(outside.path() + u"/Secret"_s));
    dir(u"Store/Real"_s);
    ASSERT_TRUE(QFile::link(outside.path(), path(u"Store/Out"_s)));
    ASSERT_TRUE(QFile::link(path(u"Store/Real"_s), path(u"Store/Alias"_s)));
    ASSERT_TRUE(QFile::link(path(u"Store"_s), path(u"Store/Real/Loop"_s)));

    LocalNamespace session({{u"S"_s, path(u"Store"_s)}});
    const auto root = storeRoot(session);
    EXPECT_EQ(names(root), (QStringList{u"Alias"_s, u"Real"_s}));
    // A full walk through the loop ends.
    EXPECT_THROW((void)session.GetFolderFromID(QString(48, u'A'), root->StoreID()), OutlookError);
}

TEST_F(LocalStoreTest, IdentifiersAreStableAndFindTheirFolder)
{
    maildir(u"A/Inbox"_s);
    maildir(u"A/Inbox/.Sub.Deep"_s);
    dir(u"B/Inbox"_s);
    const std::vector<LocalStore> stores{{u"First"_s, path(u"A"_s)}, {u"Second"_s, path(u"B"_s)}};

    LocalNamespace first(stores);
    const auto roots = first.Folders();
    ASSERT_EQ(roots.size(), 2u);
    EXPECT_EQ(roots[0]->Name() + u'|' + roots[1]->Name(), u"First|Second"_s);
    const auto deep = child(child(child(roots[0], u"Inbox"_s), u"Sub"_s), u"Deep"_s);
    ASSERT_TRUE(deep);
    const auto otherInbox = child(roots[1], u"Inbox"_s);

    const QRegularExpression hex48(u"^[0-9A-F]{48}$"_s);
    for (const auto &folder : {roots[0], roots[1], deep, otherInbox}) {
        EXPECT_TRUE(hex48.match(folder->EntryID()).hasMatch());
        EXPECT_TRUE(hex48.match(folder->StoreID()).hasMatch());
    }
    EXPECT_EQ(deep->StoreID(), roots[0]->StoreID());
    EXPECT_NE(roots[0]->StoreID(), roots[1]->StoreID());
    EXPECT_NE(roots[0]->EntryID(), roots[0]->StoreID());

    // A fresh session knows nothing yet: it must walk the tree to find the ids.
    LocalNamespace second(stores);
    const auto found = second.GetFolderFromID(deep->EntryID(), deep->StoreID());
    EXPECT_EQ(found->EntryID() + u'|' + found->Name(), deep->EntryID() + u"|Deep"_s);
    EXPECT_EQ(second.GetFolderFromID(roots[1]->EntryID(), roots[1]->StoreID())->Name(),
              u"Second"_s);

    const struct
    {
        const char *what;
        QString entryId;
        QString storeId;
    } refused[] = {
        {"forged id", QString(48, u'F'), roots[0]->StoreID()},
        {"folder of another store", otherInbox->EntryID(), roots[0]->StoreID()},
        {"unknown store", deep->EntryID(), QString(48, u'0')},
        {"path as id", u"Inbox"_s, roots[0]->StoreID()},
    };
    for (const auto &r : refused) {
        SCOPED_TRACE(r.what);
        EXPECT_THROW((void)second.GetFolderFromID(r.entryId, r.storeId), OutlookError);
    }

    ASSERT_TRUE(QDir(path(u"A/Inbox/.Sub.Deep"_s)).removeRecursively());
    EXPECT_THROW((void)second.GetFolderFromID(deep->EntryID(), deep->StoreID()), OutlookError);
    EXPECT_THROW((void)first.GetFolderFromID(deep->EntryID(), deep->StoreID()), OutlookError);
}

TEST_F(LocalStoreTest, ContactCardIsReadAfreshFromItsFile)
{
    dir(u"S/Contacts"_s);
    file(u"S/Contacts/ana.vcf"_s, "BEGIN:VCARD\r\nFN:Ana\r\nTEL:123\r\nEND:VCARD\r\n");
    LocalNamespace session({{u"S"_s, path(u"S"_s)}});
    const auto contacts = child(storeRoot(session), u"Contacts"_s);
    ASSERT_TRUE(contacts);
    const auto items = contacts->Items();
    ASSERT_EQ(items.size(), 1u);

    file(u"S/Contacts/ana.vcf"_s, "BEGIN:VCARD\r\nFN:Ana Changed\r\nEND:VCARD\r\n");
    const ContactCard card = items[0]->Card();
    EXPECT_EQ(QFileInfo(card.path).canonicalFilePath(),
              QFileInfo(path(u"S/Contacts/ana.vcf"_s)).canonicalFilePath());
    ASSERT_EQ(card.details.size(), 1u);
    EXPECT_EQ(card.details[0].value, u"Ana Changed"_s);

    ASSERT_TRUE(QFile::remove(path(u"S/Contacts/ana.vcf"_s)));
    EXPECT_THROW((void)items[0]->Card(), OutlookError);
}

TEST_F(LocalStoreTest, UnreadableStoresThrowNamingTheStore)
{
    file(u"plain-file"_s);
    LocalNamespace session({{u"Gone"_s, path(u"missing"_s)}, {u"Flat"_s, path(u"plain-file"_s)}});
    for (const auto &store : session.Folders()) {
        SCOPED_TRACE(store->Name().toStdString());
        EXPECT_EQ(store->DefaultMessageClass(), u"IPM.Folder"_s);
        try {
            (void)store->Folders();
            ADD_FAILURE() << "no error";
        } catch (const OutlookError &e) {
            EXPECT_TRUE(e.message().startsWith(u"The store \"%1\" at "_s.arg(store->Name())))
                << e.what();
        }
    }
}

TEST_F(LocalStoreTest, CurrentUserIsTheFullNameElseTheLogin)
{
    const struct
    {
        QString fullName;
        QString login;
        QString expected; // empty: throws
    } cases[] = {
        {u" Ann Lee ,Room 4,555,,"_s, u"ann"_s, u"Ann Lee"_s},
        {u""_s, u"ann"_s, u"ann"_s},
        {u" ,Room 4"_s, u"ann"_s, u"ann"_s},
        {u""_s, u""_s, u""_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fullName.toStdString());
        LocalNamespace session({}, [&] { return LocalNamespace::Account{c.fullName, c.login}; });
        if (c.expected.isEmpty())
            EXPECT_THROW((void)session.CurrentUser(), OutlookError);
        else
            EXPECT_EQ(session.CurrentUser(), c.expected);
    }
}

TEST_F(LocalStoreTest, ApplicationOpensOnlyTheMapiSession)
{
    LocalApplication app({{u"S"_s, tmp.path()}});
    EXPECT_EQ(app.GetNamespace(u"MAPI"_s)->Folders().size(), 1u);
    EXPECT_THROW((void)app.GetNamespace(u"IMAP"_s), OutlookError);
    EXPECT_THROW((void)app.CreateItem(1), OutlookError); // only mail messages
    EXPECT_THROW((void)app.GetNamespace(u"MAPI"_s)->GetItemFromID(QString(48, u'A')), OutlookError);
}

} // namespace
} // namespace corvel
