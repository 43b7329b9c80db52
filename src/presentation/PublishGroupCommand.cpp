#include "presentation/PublishGroupCommand.h"

#include "groups/MailGroups.h"
#include "presentation/DialogHost.h"
#include "presentation/PublishTargetForm.h"
#include "support/StatusPanels.h"
#include "workspace/GroupPublish.h"
#include "workspace/StoreSyncs.h"
#include "workspace/Workspace.h"

#include <memory>
#include <mutex>
#include <optional>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// What the upload's thread hands back, under a lock the race checker can see (Qt's own
// queue it cannot).
struct Outcome
{
    std::mutex lock;
    std::optional<Result<GroupPublish::Uploaded>> uploaded;
};

} // namespace

PublishGroupCommand::PublishGroupCommand(Services services)
    : m_services(std::move(services))
{
}

PublishGroupCommand::~PublishGroupCommand()
{
    if (m_thread.joinable())
        m_thread.join();
}

void PublishGroupCommand::show(const QString &text)
{
    if (m_services.panels)
        m_services.panels->updateCaption(StatusPanels::ActivityPanel, text);
}

void PublishGroupCommand::publishSelectedGroup()
{
    Workspace &workspace = *m_services.workspace;
    // Both replace a store's cache whole; one at a time keeps either from losing the other's.
    if (running()) {
        show(u"A group is still being published: publish again once it is done."_s);
        return;
    }
    if (workspace.storeSyncs().running()) {
        show(u"A store is being brought up to date: publish once it is done."_s);
        return;
    }
    MailGroups groups(workspace.tree(), workspace.groups(), workspace.session());
    const Result<GroupId> id = groups.idOf(workspace.tree().at(m_services.selIndex()));
    if (!id.ok()) {
        m_services.dialogs->information(id.error());
        return;
    }
    PublishTargetForm form(workspace.tree());
    if (form.rows().empty()) {
        m_services.dialogs->information(u"There is no contact folder to publish to."_s);
        return;
    }
    if (!m_services.dialogs->askPublishTarget(form) || !form.answer())
        return;
    Result<GroupPublish::Job> job =
        GroupPublish(workspace, groups).prepare(*id, form.answer(), GroupCard::Dialect::Apple);
    if (!job.ok()) {
        m_services.dialogs->critical(job.error());
        return;
    }
    show(u"Publishing \"%1\" to %2…"_s.arg(job->caption, job->folder));
    auto shared = std::make_shared<GroupPublish::Job>(std::move(*job));
    auto outcome = std::make_shared<Outcome>();
    // A thread the sanitizer sees joined, and its end polled under a mutex it sees: QThread's
    // wait and Qt's posted events are hidden in Qt's own locks.
    m_thread = std::thread([shared, outcome] {
        Result<GroupPublish::Uploaded> result = shared->upload();
        const std::lock_guard lock(outcome->lock);
        outcome->uploaded.emplace(std::move(result));
    });
    m_poll.disconnect();
    QObject::connect(&m_poll, &QTimer::timeout, &m_receiver, [this, shared, outcome] {
        {
            const std::lock_guard lock(outcome->lock);
            if (!outcome->uploaded)
                return;
        }
        m_poll.stop();
        const auto finish = [this, shared, outcome] {
            const std::lock_guard lock(outcome->lock);
            Workspace &space = *m_services.workspace;
            MailGroups now(space.tree(), space.groups(), space.session());
            return GroupPublish(space, now).finish(*shared, *outcome->uploaded);
        };
        uploaded(finish, shared->caption);
    });
    m_poll.start(20);
}

void PublishGroupCommand::uploaded(const std::function<Result<QStringList>()> &finish,
                                   const QString &caption)
{
    m_thread.join();
    const Result<QStringList> said = finish();
    if (!said.ok()) {
        show(u"\"%1\" was not published."_s.arg(caption));
        m_services.dialogs->critical(said.error());
        return;
    }
    if (m_services.saveGroups)
        m_services.saveGroups();
    show(said->join(u' '));
}

} // namespace corvel
