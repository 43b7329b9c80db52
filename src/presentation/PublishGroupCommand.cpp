#include "presentation/PublishGroupCommand.h"

#include "groups/MailGroups.h"
#include "presentation/DialogHost.h"
#include "presentation/PublishTargetForm.h"
#include "support/StatusPanels.h"
#include "workspace/GroupPublish.h"
#include "workspace/StoreSyncs.h"
#include "workspace/Workspace.h"

#include <QThread>

#include <memory>

using namespace Qt::StringLiterals;

namespace corvel {

PublishGroupCommand::PublishGroupCommand(Services services)
    : m_services(std::move(services))
{
}

PublishGroupCommand::~PublishGroupCommand()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
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
    if (m_thread) {
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
    m_thread = QThread::create([this, shared] {
        auto result = std::make_shared<Result<GroupPublish::Uploaded>>(shared->upload());
        const auto finish = [this, shared, result] {
            Workspace &space = *m_services.workspace;
            MailGroups now(space.tree(), space.groups(), space.session());
            return GroupPublish(space, now).finish(*shared, *result);
        };
        QMetaObject::invokeMethod(
            &m_receiver, [this, finish, caption = shared->caption] { uploaded(finish, caption); },
            Qt::QueuedConnection);
    });
    m_thread->start();
}

void PublishGroupCommand::uploaded(const std::function<Result<QStringList>()> &finish,
                                   const QString &caption)
{
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
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
