#include "merge/DraftsFolder.h"
#include "merge/NewLetter.h"

#include "common/NamedCases.h"
#include "fakes/MemoryApplication.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"

#include <gtest/gtest.h>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

struct DraftsCase
{
    const char *name;
    const char *draftsStore;
    bool includeAllFolders;
    const char *expectedStore;
};
CORVEL_PRINT_BY_NAME(DraftsCase)

class DraftsFolderCases : public testing::TestWithParam<DraftsCase>
{
};

// Three stores: two with a Drafts folder, the last one's Drafts a contact folder by that name.
TEST_P(DraftsFolderCases, NewLetterGoesWhereGroupMailLooks)
{
    const DraftsCase &row = GetParam();
    auto session = std::make_shared<MemoryNamespace>();
    MemoryApplication application(session);
    const auto personal = session->addStore(u"Personal Folders"_s)->addFolder(u"Drafts"_s);
    const auto work = session->addStore(u"Work"_s)->addFolder(u"drafts"_s);
    session->addStore(u"Cards"_s)->addFolder(u"Drafts"_s, u"IPM.Contact"_s);

    const auto chosen =
        DraftsFolder::choose(*session, QString::fromUtf8(row.draftsStore), row.includeAllFolders);
    ASSERT_TRUE(chosen);
    const auto expected = QString::fromUtf8(row.expectedStore) == u"Work"_s ? work : personal;
    EXPECT_EQ(chosen->EntryID(), expected->EntryID());

    const auto letter = NewLetter::create(application, chosen, {u"News"_s, {}, {}, {}, {}});
    ASSERT_EQ(expected->items().size(), 1u);
    EXPECT_EQ(expected->items().front()->EntryID(), letter->EntryID());
    EXPECT_EQ((expected == work ? personal : work)->items().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    DraftsFolder, DraftsFolderCases,
    testing::Values(DraftsCase{"unsetTheLastMet", "", true, "Work"},
                    DraftsCase{"chosenStore", "Personal Folders", true, "Personal Folders"},
                    DraftsCase{"chosenInOtherCase", "personal folders", true, "Personal Folders"},
                    DraftsCase{"chosenWithoutMailDrafts", "Cards", true, "Work"},
                    DraftsCase{"chosenStoreGone", "Old", true, "Work"},
                    DraftsCase{"chosenStoreNotShown", "Work", false, "Personal Folders"}),
    test::ByName{});

TEST(DraftsFolder, WithoutOneNewMessageSavesNothing)
{
    auto session = std::make_shared<MemoryNamespace>();
    MemoryApplication application(session);
    session->addStore(u"Personal Folders"_s)->addFolder(u"Inbox"_s);
    const auto chosen = DraftsFolder::choose(*session, {});
    EXPECT_FALSE(chosen);
    EXPECT_THROW((void)NewLetter::doBtnNewMsg(application, chosen), OutlookError);
}

} // namespace
