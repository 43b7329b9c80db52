#pragma once

#include "presentation/ServerStoreForm.h"
#include "session/ExistingStoreFinder.h"
#include "session/LocalStore.h"

#include <QString>

#include <vector>

namespace corvel {

class CRegSettings;

// The rules of the mail set-up dialog: the registered stores (their order, the store that
// receives new drafts) and how mail leaves the machine. The dialog only shows and edits
// this; loading and saving go through the settings. A password is never stored: the
// transport names a command that prints it.
class MailSetupForm
{
public:
    enum class TransportKind
    {
        None,
        Smtp,
        Sendmail,
    };
    enum class Security
    {
        None,
        StartTls,
        Tls,
    };
    struct Transport
    {
        TransportKind kind = TransportKind::None;
        QString host;
        int port = 587;
        Security security = Security::StartTls;
        QString user;
        QString passwordCommand;
        bool passwordInKeyring = false; // PasswordStore=keyring: not edited here
        QString sendmailCommand = QStringLiteral("/usr/sbin/sendmail -t -i");
        QString from; // the sender of new mail; empty: the account's name and login
        // Messages at most per minute and per hour, as written (empty or 0: no limit); kept as
        // text so that a value that is not a count shows as it is and must be mended.
        QString maxPerMinute;
        QString maxPerHour;
    };

    // Reads the stores and the transport; values that cannot be read take their defaults.
    void load(const CRegSettings &settings);
    // Writes everything; false when a setting could not be written.
    [[nodiscard]] bool save(CRegSettings &settings) const;

    [[nodiscard]] const std::vector<LocalStore> &stores() const { return m_stores; }
    // Appends a store; the first store added also receives new drafts.
    void addStore(const LocalStore &store);
    void removeStore(int index);
    // Moves a store one place up (-1) or down (+1); nothing at either end.
    void moveStore(int index, int delta);
    void setStoreName(int index, const QString &name);
    void setStoreDirectory(int index, const QString &directory);
    // A store on a server, shown with the others and registered (password into the keyring)
    // only when the dialog is saved.
    void addServer(const ServerStoreForm &server);
    [[nodiscard]] const std::vector<ServerStoreForm> &newServers() const { return m_newServers; }
    // A registered store on a server keeps its name and URL here: its options, cache and
    // keyring entry go by that name.
    [[nodiscard]] bool isEditable(int index) const;
    // The form as it is, less the stores on servers added in it.
    [[nodiscard]] MailSetupForm withoutNewServers() const;

    // Folders the user already keeps elsewhere, offered as stores; nothing is added unasked.
    void setSuggestions(std::vector<StoreSuggestion> suggestions);
    // The suggestions no store of the form has the folder of yet.
    [[nodiscard]] std::vector<StoreSuggestion> suggestions() const;
    // Adds a suggested store, named apart from the stores already there.
    void addSuggestion(const StoreSuggestion &suggestion);

    [[nodiscard]] const QString &draftsStore() const { return m_draftsStore; }
    void setDraftsStore(const QString &name) { m_draftsStore = name; }

    [[nodiscard]] const Transport &transport() const { return m_transport; }
    [[nodiscard]] Transport &transport() { return m_transport; }

    // Why OK cannot be pressed yet; empty when it can.
    [[nodiscard]] QString problem() const;
    [[nodiscard]] bool okEnabled() const { return problem().isEmpty(); }
    // A test message can only be sent over a complete transport.
    [[nodiscard]] bool canSendTest() const;

    [[nodiscard]] static QString kindText(TransportKind kind);
    [[nodiscard]] static QString securityText(Security security);

    // Settings sections and keys.
    [[nodiscard]] static QString storesSection();
    [[nodiscard]] static QString transportSection();

private:
    [[nodiscard]] QString transportProblem() const;
    [[nodiscard]] ServerStoreForm *newServerNamed(const QString &name);

    std::vector<LocalStore> m_stores;
    std::vector<StoreSuggestion> m_suggestions;
    std::vector<ServerStoreForm> m_newServers;
    QString m_draftsStore;
    Transport m_transport;
};

} // namespace corvel
