#include "session/StoreRegistry.h"

#include "session/OutlookSession.h"
#include "support/CRegSettings.h"
#include "support/FileSystem.h"
#include "support/StoreLocation.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString storesSection()
{
    return u"Stores"_s;
}
QString personalFolders()
{
    return u"Personal Folders"_s;
}

} // namespace

StoreRegistry::StoreRegistry(CRegSettings &settings, QString dataRoot, QString cacheRoot)
    : m_settings(settings)
    , m_dataRoot(std::move(dataRoot))
    , m_cacheRoot(std::move(cacheRoot))
{
}

QString StoreRegistry::personalFoldersDirectory() const
{
    return m_dataRoot + u"/Tessary/Corvel/"_s + personalFolders();
}

std::vector<LocalStore> StoreRegistry::stores()
{
    std::vector<LocalStore> stores;
    bool any = false;
    for (const auto &[name, location] : m_settings.allSettings(storesSection())) {
        any = true;
        if (!IsRemoteLocation(location))
            stores.push_back({name, location});
        else if (!m_cacheRoot.isEmpty()) {
            // Made now, so that the folder the session knows is the one a sync fills.
            const QString cache = StoreCacheFolder(m_cacheRoot, name);
            (void)MakePrivateFolder(cache);
            stores.push_back({name, cache});
        }
    }
    if (any)
        return stores;
    // A settings file that cannot be read whole may hold stores in the part that could not be
    // read: a default store registered now would take their place. The caller shows why.
    if (!m_settings.problem().isEmpty())
        return stores;

    const QString directory = personalFoldersDirectory();
    createPersonalFolders(directory);
    // Unsaved, the folders are still there and found again next time: nothing is lost.
    (void)m_settings.saveSetting(storesSection(), personalFolders(), directory);
    return {{personalFolders(), directory}};
}

void StoreRegistry::createPersonalFolders(const QString &directory) const
{
    const auto fail = [&](const QString &what) {
        throw OutlookError(
            u"The personal folders cannot be created at %1: %2"_s.arg(directory, what));
    };
    // Private from the first folder made: mail and contacts are nobody else's business.
    if (const Status made = MakePrivateFolder(directory); !made.ok())
        fail(made.error());
    QDir root;
    if (!root.mkpath(directory + u"/Contacts"_s))
        fail(u"the folder \"Contacts\" cannot be made."_s);
    // Marked, since it holds no contact card yet to tell what it is.
    QFile marker(directory + u"/Contacts/.folderclass"_s);
    if (!marker.exists()) {
        if (!marker.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            marker.write("IPM.Contact\n") < 0 || !marker.flush())
            fail(marker.errorString());
    }
    for (const auto &name :
         {u"Drafts"_s, u"Inbox"_s, u"Outbox"_s, u"Sent Items"_s, u"Deleted Items"_s}) {
        for (const auto &part : {u"cur"_s, u"new"_s, u"tmp"_s}) {
            if (!root.mkpath(directory + u'/' + name + u'/' + part))
                fail(u"the folder \"%1\" cannot be made."_s.arg(name));
        }
    }
}

} // namespace corvel
