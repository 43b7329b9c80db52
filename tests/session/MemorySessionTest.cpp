#include "fakes/MemoryApplication.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// The double keeps the session's contract where other suites lean on it: lookups that a real
// session would refuse, and failures injected where a test asks for them.
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

} // namespace
} // namespace corvel
