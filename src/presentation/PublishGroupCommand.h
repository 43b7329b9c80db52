#pragma once

#include "support/Result.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <thread>

class QThread;

namespace corvel {

class DialogHost;
class StatusPanels;
class Workspace;

// Groups > Publish to Address Book…: asks for a contact folder and publishes the selected
// Standard Mail Group there as a group card, as `corvelctl publish-group` does. The upload
// runs on a thread of its own, so a slow server never freezes the window; the status bar
// tells how it ended, a message box why it failed.
class PublishGroupCommand
{
public:
    struct Services
    {
        Workspace *workspace = nullptr;
        DialogHost *dialogs = nullptr;
        StatusPanels *panels = nullptr;
        std::function<int()> selIndex;    // the selected node's index; -1 when none
        std::function<void()> saveGroups; // the group file, once the card's version is kept
    };

    explicit PublishGroupCommand(Services services);
    // Waits for an upload in flight (its requests time out).
    ~PublishGroupCommand();
    PublishGroupCommand(const PublishGroupCommand &) = delete;
    PublishGroupCommand &operator=(const PublishGroupCommand &) = delete;

    void publishSelectedGroup();
    [[nodiscard]] bool running() const { return m_thread.joinable(); }

private:
    void show(const QString &text);
    void uploaded(const std::function<Result<QStringList>()> &finish, const QString &caption);

    Services m_services;
    QObject m_receiver; // on the window's thread: the upload's end is queued to it
    std::thread m_thread;
    QTimer m_poll; // for the upload's end, on the window's thread
};

} // namespace corvel
