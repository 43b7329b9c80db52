#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace corvel {

class CRegSettings;

// The window's syncs of stores on servers: run one after another on a thread of their own,
// so the window never waits; what they say comes back on the thread that started them.
class StoreSyncs
{
public:
    struct Listener
    {
        std::function<void(const QString &store, const QString &doing)> progress;
        // ok: `outcome` is one line per folder; else why it failed (the cache is kept).
        std::function<void(const QString &store, bool ok, const QString &outcome)> finished;
    };

    // cacheHome is the user's cache home ($XDG_CACHE_HOME), found by the caller.
    StoreSyncs(CRegSettings &settings, QString cacheHome);
    // Cancels what runs and waits for it to end (a request in flight is cut off).
    ~StoreSyncs();
    StoreSyncs(const StoreSyncs &) = delete;
    StoreSyncs &operator=(const StoreSyncs &) = delete;

    // The registered stores whose location is a server's URL.
    [[nodiscard]] QStringList remoteStores() const;
    [[nodiscard]] bool isRemote(const QString &store) const;

    // Syncs the stores named (their options read now); refused (false) while a sync runs.
    bool start(const QStringList &stores, Listener listener);
    [[nodiscard]] bool running() const;

private:
    CRegSettings &m_settings;
    QString m_cacheHome;
    QObject m_receiver; // lives on the starting thread: what the syncs say is queued to it
    std::atomic<bool> m_cancelled = false;
    QThread *m_thread = nullptr;
};

} // namespace corvel
