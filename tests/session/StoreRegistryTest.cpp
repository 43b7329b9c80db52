#include "session/StoreRegistry.h"
#include "session/LocalNamespace.h"
#include "support/CRegSettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

TEST(StoreRegistry, RegisteredStoresComeInTheirOrder)
{
    QTemporaryDir config;
    CRegSettings settings(config.path());
    ASSERT_TRUE(settings.saveSetting(u"Stores"_s, u"Work"_s, u"/srv/work"_s));
    ASSERT_TRUE(settings.saveSetting(u"Stores"_s, u"Archive"_s, u"/srv/archive"_s));
    QTemporaryDir data;
    StoreRegistry registry(settings, data.path());
    EXPECT_EQ(registry.stores(), (std::vector<LocalStore>{{u"Work"_s, u"/srv/work"_s},
                                                          {u"Archive"_s, u"/srv/archive"_s}}));
    EXPECT_TRUE(QDir(data.path()).isEmpty()); // nothing made when the user has stores
}

TEST(StoreRegistry, PersonalFoldersAreMadeOnceOnFirstUse)
{
    QTemporaryDir config;
    QTemporaryDir data;
    CRegSettings settings(config.path());
    StoreRegistry registry(settings, data.path());
    const QString expected = data.path() + u"/Tessary/Corvel/Personal Folders"_s;

    const auto stores = registry.stores();
    ASSERT_EQ(stores, (std::vector<LocalStore>{{u"Personal Folders"_s, expected}}));
    EXPECT_EQ(settings.allSettings(u"Stores"_s).size(), 1);

    // Made again over what exists (as after a lost settings file): no error, nothing doubled.
    ASSERT_TRUE(settings.deleteSetting(u"Stores"_s, {}));
    EXPECT_EQ(registry.stores(), stores);
    EXPECT_EQ(StoreRegistry(settings, data.path()).stores(), stores);
    EXPECT_EQ(settings.allSettings(u"Stores"_s).size(), 1);

    LocalNamespace session(stores);
    const auto root = session.Folders().at(0);
    EXPECT_EQ(root->Name(), u"Personal Folders"_s);
    QStringList seen;
    for (const auto &folder : root->Folders())
        seen << folder->Name() + u'=' + folder->DefaultMessageClass();
    EXPECT_EQ(seen, (QStringList{u"Contacts=IPM.Contact"_s, u"Deleted Items=IPM.Note"_s,
                                 u"Drafts=IPM.Note"_s, u"Inbox=IPM.Note"_s, u"Outbox=IPM.Note"_s,
                                 u"Sent Items=IPM.Note"_s}));
    QFile marker(expected + u"/Contacts/.folderclass"_s);
    ASSERT_TRUE(marker.open(QIODevice::ReadOnly));
    EXPECT_EQ(marker.readAll().trimmed(), "IPM.Contact");
}

} // namespace
} // namespace corvel
