#include "ctl/CtlContext.h"
#include "ctl/CtlTable.h"
#include "remote/RemoteStoreSync.h"
#include "remote/StoreRegistration.h"
#include "support/CRegSettings.h"

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
    if (Status added = StoreRegistration(settings, context.user.cacheHome).add(store);
        !added.ok()) {
        printError(u"corvelctl: "_s + added.error());
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
