#pragma once

#include "session/LocalStore.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace corvel {

// A folder the user already keeps contacts or mail in, offered as a store to register.
struct StoreSuggestion
{
    LocalStore store;
    QStringList foundBy; // where it was found, for the user: "khard address book \"family\""

    friend bool operator==(const StoreSuggestion &, const StoreSuggestion &) = default;
};

// Looks for the contacts and mail the user already keeps: the vCard folders named in khard's
// and vdirsyncer's configuration, ~/.contacts, and the Maildirs ~/Maildir and ~/.mail. It only
// reads: configuration that cannot be read or understood is passed over, and nothing is
// registered or changed.
class ExistingStoreFinder
{
public:
    // The user's home folder and configuration folder ($XDG_CONFIG_HOME), found by the caller.
    ExistingStoreFinder(QString homeDir, QString configDir);

    // Each store once, in the order found, with every source that named it.
    [[nodiscard]] std::vector<StoreSuggestion> find() const;

    // The suggestions whose folder is none of the stores'.
    [[nodiscard]] static std::vector<StoreSuggestion>
    unregistered(const std::vector<StoreSuggestion> &suggestions,
                 const std::vector<LocalStore> &stores);

private:
    struct Found
    {
        QString directory;
        QString source;
        bool isCardFolder = false; // holds the cards itself rather than folders of them
    };

    [[nodiscard]] std::vector<Found> khardAddressBooks() const;
    [[nodiscard]] std::vector<Found> vdirsyncerStorages() const;
    [[nodiscard]] QString expanded(const QString &path) const;
    // The store that shows a found folder: the folder itself when it holds folders, else its
    // parent; empty when that would take in the whole home folder.
    [[nodiscard]] QString storeDirectoryOf(const Found &found) const;

    QString m_home;
    QString m_config;
};

} // namespace corvel
