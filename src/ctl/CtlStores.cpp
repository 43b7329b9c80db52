#include "ctl/CtlContext.h"
#include "ctl/CtlTable.h"
#include "remote/RemoteStoreSync.h"
#include "remote/StoreRegistration.h"
#include "secrets/Keyring.h"
#include "support/CRegSettings.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <string>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

CRegSettings userSettings(const CtlContext &context)
{
    CRegSettings settings(context.user.configHome);
    settings.setCompany(u"Tessary"_s);
    settings.setAppName(u"Corvel"_s);
    return settings;
}

// The options after NAME LOCATION; false on one it does not know or one without its value.
bool readStoreOptions(const QStringList &args, RemoteStoreOptions &store)
{
    const std::pair<QString, QString *> valued[] = {
        {u"--user"_s, &store.user},
        {u"--password-command"_s, &store.passwordCommand},
        {u"--ca-file"_s, &store.caFile},
        {u"--categories-attribute"_s, &store.categoriesAttribute},
    };
    for (qsizetype i = 2; i < args.size(); ++i) {
        if (args[i] == u"--keyring"_s) {
            store.keyring = true;
            continue;
        }
        bool known = false;
        for (const auto &[option, value] : valued) {
            if (args[i] == option && i + 1 < args.size()) {
                *value = args[++i];
                known = true;
            }
        }
        if (!known)
            return false;
    }
    return true;
}

// One line from standard input; on a terminal asked for and not echoed.
Result<QString> readPassword(const QString &prompt)
{
    const bool terminal = isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::cerr << prompt.toStdString() << ": " << std::flush;
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool read = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cerr << std::endl;
    }
    QString password = QString::fromStdString(line);
    if (password.endsWith(u'\r'))
        password.chop(1);
    if (!read || password.isEmpty())
        return Result<QString>::failure(u"No password was given."_s);
    return password;
}

} // namespace

int runAddStore(const CtlContext &context)
{
    if (context.args.size() < 2)
        return ExitUsage;
    RemoteStoreOptions store;
    store.name = context.args[0];
    store.location = context.args[1];
    if (!readStoreOptions(context.args, store))
        return ExitUsage;
    CRegSettings settings = userSettings(context);
    StoreRegistration registration(settings, context.user.cacheHome);
    // Asked only once the store could be added, so no password is typed in vain.
    Result<QString> password = QString();
    if (Status checked = registration.check(store); checked.ok() && store.keyring)
        password = readPassword(u"Password for %1"_s.arg(store.name));
    Status added =
        password.ok() ? registration.add(store, *password) : Status::failure(password.error());
    if (!added.ok()) {
        printError(u"corvelctl: "_s + added.error());
        return ExitFailed;
    }
    return ExitOk;
}

int runSetPassword(const CtlContext &context)
{
    const bool transport = context.args == QStringList{u"transport"_s};
    if (!transport && (context.args.size() != 2 || context.args[0] != u"store"_s))
        return ExitUsage;
    CRegSettings settings = userSettings(context);
    if (!transport && !RemoteStoreOptions::read(settings, context.args[1]).keyring) {
        printError(u"corvelctl: %1 is no store on a server whose password is in the keyring "
                   "(add-store ... --keyring)"_s.arg(context.args[1]));
        return ExitFailed;
    }
    const QString key = transport ? Keyring::transportKey() : Keyring::storeKey(context.args[1]);
    const Result<QString> password = readPassword(
        transport ? u"Password for the mail server"_s : u"Password for %1"_s.arg(context.args[1]));
    Status kept =
        password.ok() ? Keyring().write(key, *password) : Status::failure(password.error());
    // The password just stored is the one the mail server is meant to get from now on.
    if (kept.ok() && transport &&
        !settings.saveSetting(u"Transport"_s, u"PasswordStore"_s, u"keyring"_s))
        kept = Status::failure(u"The settings cannot be written to %1."_s.arg(settings.filePath()));
    if (!kept.ok()) {
        printError(u"corvelctl: "_s + kept.error());
        return ExitFailed;
    }
    return ExitOk;
}

int runRemoveStore(const CtlContext &context)
{
    if (context.args.size() != 1)
        return ExitUsage;
    CRegSettings settings = userSettings(context);
    if (Status removed =
            StoreRegistration(settings, context.user.cacheHome).remove(context.args[0]);
        !removed.ok()) {
        printError(u"corvelctl: "_s + removed.error());
        return ExitFailed;
    }
    return ExitOk;
}

int runSync(const CtlContext &context)
{
    if (context.args.size() > 1)
        return ExitUsage;
    const CRegSettings settings = userSettings(context);
    std::vector<RemoteStoreOptions> stores = RemoteStoreSync::registered(settings);
    if (!context.args.isEmpty()) {
        std::erase_if(stores,
                      [&](const RemoteStoreOptions &s) { return s.name != context.args[0]; });
        if (stores.empty()) {
            printError(u"corvelctl: no store on a server is named %1"_s.arg(context.args[0]));
            return ExitFailed;
        }
    }
    int exit = ExitOk;
    CtlTable table(context.json);
    for (const RemoteStoreOptions &store : stores) {
        const auto counts = RemoteStoreSync(store, context.user.cacheHome).run();
        if (!counts.ok()) {
            printError(u"corvelctl: %1: %2"_s.arg(store.name, counts.error()));
            exit = ExitFailed;
            continue;
        }
        for (const FolderSyncCount &count : *counts) {
            table.add({{u"store"_s, store.name},
                       {u"folder"_s, count.folder},
                       {u"contacts"_s, count.contacts},
                       {u"added"_s, count.added},
                       {u"changed"_s, count.changed},
                       {u"removed"_s, count.removed}},
                      {store.name + u'/' + count.line()});
        }
    }
    table.print();
    return exit;
}

} // namespace corvel
