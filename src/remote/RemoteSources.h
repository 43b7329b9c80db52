#pragma once

#include "remote/DavClient.h"
#include "remote/RemoteFolderSource.h"
#include "remote/RemoteStoreOptions.h"
#include "support/Result.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace corvel {

// Which kind of source serves a store, by its location's URL scheme. A new kind of server is
// one more row of the table in RemoteSources.cpp.
class RemoteSources
{
public:
    // Opens a source for the store; `password` is what RemoteStoreOptions::password() gave.
    // While the source works, `cancelled` (may be null) turning true asks it to stop soon.
    using Opener = std::function<Result<std::unique_ptr<RemoteFolderSource>>(
        const RemoteStoreOptions &options, const QString &password,
        const std::atomic<bool> *cancelled)>;

    struct Kind
    {
        QString scheme; // lower case, without "://"
        Opener open;
    };
    [[nodiscard]] static const std::vector<Kind> &kinds();

    // How a CardDAV store's requests are made: its user, trust and time-out.
    [[nodiscard]] static Result<DavClient::Options>
    davOptions(const RemoteStoreOptions &options, const QString &password,
               const std::atomic<bool> *cancelled = nullptr);

    [[nodiscard]] static Result<std::unique_ptr<RemoteFolderSource>>
    open(const RemoteStoreOptions &options, const QString &password,
         const std::atomic<bool> *cancelled = nullptr);
};

} // namespace corvel
