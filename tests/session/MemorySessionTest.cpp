#include "fakes/MemoryApplication.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

#include <functional>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

class MemorySession : public ::testing::Test
{
protected:
    MemoryApplication app;
    std::shared_ptr<MemoryNamespace> session = app.session();
    std::shared_ptr<MemoryFolder> personal = session->addStore(u"Personal"_s);
    std::shared_ptr<MemoryFolder> contacts = personal->addFolder(u"Contacts"_s, u"IPM.Contact"_s);
    std::shared_ptr<MemoryFolder> drafts = personal->addFolder(u"Drafts"_s);
    std::shared_ptr<MemoryFolder> archive = session->addStore(u"Archive"_s);
    std::shared_ptr<MemoryFolder> old = archive->addFolder(u"Old"_s);
    std::shared_ptr<MemoryItem> ann =
        contacts->addContact(u"Lee, Ann"_s, u"ann@example.org"_s, u"Team,Friends"_s);
    std::shared_ptr<MemoryItem> note = old->addMessage(u"Hello"_s, u"Body"_s);
};

TEST_F(MemorySession, IdentifiersAreUniqueHexAndFoldersCarryTheirStore)
{
    const QRegularExpression hex48(u"^[0-9A-F]{48}$"_s);
    QSet<QString> ids;
    for (const QString &id : {personal->EntryID(), contacts->EntryID(), drafts->EntryID(),
                              archive->EntryID(), old->EntryID(), ann->EntryID(), note->EntryID(),
                              personal->StoreID(), archive->StoreID()}) {
        EXPECT_TRUE(hex48.match(id).hasMatch()) << id.toStdString();
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 9);
    EXPECT_EQ(contacts->StoreID(), personal->StoreID());
    EXPECT_EQ(old->StoreID(), archive->StoreID());

    const auto stores = session->Folders();
    ASSERT_EQ(stores.size(), 2u);
    EXPECT_EQ(stores[0]->Name(), u"Personal"_s);
    EXPECT_EQ(stores[1]->Name(), u"Archive"_s);
    EXPECT_EQ(ann->Class(), olContactItem);
    EXPECT_EQ(ann->Categories(), u"Team,Friends"_s);
}

TEST_F(MemorySession, LookupsFindOnlyWhatStillExistsInTheNamedStore)
{
    EXPECT_EQ(session->GetFolderFromID(old->EntryID(), archive->StoreID()), old);
    EXPECT_EQ(session->GetItemFromID(ann->EntryID()), ann);
    // Right folder, wrong store: the pair must match.
    EXPECT_THROW((void)session->GetFolderFromID(old->EntryID(), personal->StoreID()), OutlookError);

    MemoryNamespace other;
    EXPECT_THROW((void)other.GetItemFromID(ann->EntryID()), OutlookError);

    const QString archiveId = archive->StoreID();
    ASSERT_TRUE(session->remove(old->EntryID()));
    EXPECT_THROW((void)session->GetFolderFromID(old->EntryID(), archiveId), OutlookError);
    EXPECT_THROW((void)session->GetItemFromID(note->EntryID()), OutlookError); // went with it
    EXPECT_THROW((void)old->Items(), OutlookError);

    ASSERT_TRUE(session->remove(ann->EntryID()));
    EXPECT_THROW((void)session->GetItemFromID(ann->EntryID()), OutlookError);
    EXPECT_TRUE(contacts->Items().empty());
    EXPECT_FALSE(session->remove(ann->EntryID()));
}

TEST_F(MemorySession, EveryInjectedFailureThrows)
{
    const struct
    {
        const char *what;
        std::function<void()> arm;
        std::function<void()> call;
    } cases[] = {
        {"folder name", [&] { contacts->failOn(MemoryFolder::Failure::Name); },
         [&] { (void)contacts->Name(); }},
        {"sub-folders", [&] { contacts->failOn(MemoryFolder::Failure::Folders); },
         [&] { (void)contacts->Folders(); }},
        {"unreadable store", [&] { archive->failOn(MemoryFolder::Failure::Folders); },
         [&] { (void)session->Folders().at(1)->Folders(); }},
        {"items", [&] { contacts->failOn(MemoryFolder::Failure::Items); },
         [&] { (void)contacts->Items(); }},
        {"message class", [&] { contacts->failOn(MemoryFolder::Failure::DefaultMessageClass); },
         [&] { (void)contacts->DefaultMessageClass(); }},
        {"item property", [&] { ann->failOn(MemoryItem::Failure::Properties); },
         [&] { (void)ann->Email1Address(); }},
        {"display", [&] { ann->failOn(MemoryItem::Failure::Display); }, [&] { ann->Display(); }},
        {"save", [&] { note->failOn(MemoryItem::Failure::Save); }, [&] { note->Save(); }},
        {"send", [&] { note->failOn(MemoryItem::Failure::Send); }, [&] { note->Send(); }},
        {"no user", [&] { session->setCurrentUser(std::nullopt); },
         [&] { (void)session->CurrentUser(); }},
        {"stores", [&] { session->failFolders(); }, [&] { (void)session->Folders(); }},
        {"session", [&] { app.failGetNamespace(); }, [&] { (void)app.GetNamespace(u"MAPI"_s); }},
        {"new item", [&] { app.failCreateItem(); }, [&] { (void)app.CreateItem(0); }},
    };
    note->setTo(u"a@example.org"_s);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NO_THROW(c.call());
        c.arm();
        try {
            c.call();
            ADD_FAILURE() << "no error";
        } catch (const OutlookError &e) {
            EXPECT_FALSE(e.message().isEmpty());
        }
    }
    // Lookups by id still work on an item whose properties fail.
    EXPECT_EQ(session->GetItemFromID(ann->id()), ann);
}

TEST_F(MemorySession, NewMessagesAreSavedIntoTheFirstStoresDrafts)
{
    EXPECT_EQ(app.GetNamespace(u"MAPI"_s), session);
    EXPECT_THROW((void)app.GetNamespace(u"IMAP"_s), OutlookError);
    EXPECT_THROW((void)app.CreateItem(olContactItem), OutlookError);

    const auto message = app.CreateItem(0);
    EXPECT_EQ(message->Class(), olMailItem);
    EXPECT_TRUE(message->EntryID().isEmpty());
    message->setSubject(u"Draft"_s);
    message->Save();
    ASSERT_EQ(drafts->Items().size(), 1u);
    EXPECT_EQ(drafts->Items()[0], message);
    EXPECT_EQ(session->GetItemFromID(message->EntryID()), message);
    message->Save(); // saving again keeps the one copy
    EXPECT_EQ(drafts->Items().size(), 1u);

    MemoryApplication bare;
    (void)bare.session()->addStore(u"Empty"_s);
    EXPECT_THROW(bare.CreateItem(0)->Save(), OutlookError);
}

TEST_F(MemorySession, CopiesAreIndependentAndSendingRecordsTheRecipients)
{
    const auto original = app.CreateItem(0);
    original->setSubject(u"Meeting"_s);
    original->setBody(u"At noon"_s);

    const auto copy = original->Copy();
    copy->setTo(u"a@example.org; b@example.org"_s);
    copy->setCC(u"c@example.org"_s);
    copy->setBCC(u"d@example.org"_s);
    copy->setSubject(u"Meeting (copy)"_s);
    EXPECT_EQ(original->Subject(), u"Meeting"_s);
    EXPECT_TRUE(original->To().isEmpty());

    EXPECT_THROW(original->Send(), OutlookError); // nobody to send to
    copy->Send();
    ASSERT_EQ(session->sent().size(), 1u);
    const auto &sent = session->sent()[0];
    EXPECT_EQ(sent.subject, u"Meeting (copy)"_s);
    EXPECT_EQ(sent.body, u"At noon"_s);
    EXPECT_EQ(sent.to, u"a@example.org; b@example.org"_s);
    EXPECT_EQ(sent.cc, u"c@example.org"_s);
    EXPECT_EQ(sent.bcc, u"d@example.org"_s);

    EXPECT_THROW(ann->Send(), OutlookError); // contacts are not sent
    ann->Display();
    ann->Display();
    EXPECT_EQ(ann->displayCount(), 2);
}

} // namespace
} // namespace corvel
