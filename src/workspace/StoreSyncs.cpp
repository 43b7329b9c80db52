#include "workspace/StoreSyncs.h"

#include "remote/RemoteStoreSync.h"
#include "support/CRegSettings.h"

#include <QThread>

using namespace Qt::StringLiterals;

namespace corvel {

StoreSyncs::StoreSyncs(CRegSettings &settings, QString cacheHome)
    : m_settings(settings)
    , m_cacheHome(std::move(cacheHome))
{
}

StoreSyncs::~StoreSyncs()
{
    if (!m_thread)
        return;
    m_cancelled = true;
    m_thread->wait();
    delete m_thread;
}

QStringList StoreSyncs::remoteStores() const
{
    QStringList names;
    for (const RemoteStoreOptions &store : RemoteStoreSync::registered(m_settings))
        names << store.name;
    return names;
}

bool StoreSyncs::isRemote(const QString &store) const
{
    return remoteStores().contains(store);
}

bool StoreSyncs::running() const
{
    return m_thread && !m_thread->isFinished();
}

bool StoreSyncs::start(const QStringList &stores, Listener listener)
{
    if (running())
        return false;
    delete m_thread;
    std::vector<RemoteStoreSync> syncs;
    for (const RemoteStoreOptions &store : RemoteStoreSync::registered(m_settings)) {
        if (stores.contains(store.name))
            syncs.emplace_back(store, m_cacheHome);
    }
    m_thread = QThread::create([this, syncs = std::move(syncs), listener = std::move(listener)] {
        for (const RemoteStoreSync &sync : syncs) {
            const QString store = sync.options().name;
            const auto counts = sync.run(
                [&](const QString &doing) {
                    QMetaObject::invokeMethod(
                        &m_receiver,
                        [listener, store, doing] {
                            if (listener.progress)
                                listener.progress(store, doing);
                        },
                        Qt::QueuedConnection);
                },
                &m_cancelled);
            QStringList lines;
            if (counts.ok()) {
                for (const FolderSyncCount &count : *counts)
                    lines << store + u'/' + count.line();
            }
            const QString outcome = counts.ok() ? lines.join(u'\n') : counts.error();
            QMetaObject::invokeMethod(
                &m_receiver,
                [listener, store, ok = counts.ok(), outcome] {
                    if (listener.finished)
                        listener.finished(store, ok, outcome);
                },
                Qt::QueuedConnection);
        }
    });
    m_thread->start();
    return true;
}

} // namespace corvel
