#pragma once

#include "groups/GroupCard.h"
#include "groups/GroupId.h"
#include "groups/PublishedCard.h"
#include "support/Result.h"
#include "tree/TreeList.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace corvel {

class MailGroups;
class Workspace;

// Publishes a Standard Mail Group as a group card into a contact folder: a folder of a store
// on a CardDAV server (through the server, then its cache) or a local vCard folder. One
// publish is three steps, so that the window can wait for the server off its own thread:
// prepare and finish read and change the groups, upload touches nothing of them.
class GroupPublish
{
public:
    struct Uploaded
    {
        QString tag;         // the card's version as now published
        QStringList notices; // what happened besides, for the user
    };
    struct Job
    {
        GroupId group;
        QString caption;
        QString folder;     // "STORE/FOLDER", for messages
        PublishedCard card; // as it will be kept; tag: the version last published there
        // Blocking; may run on any thread.
        std::function<Result<Uploaded>()> upload;
    };

    GroupPublish(Workspace &workspace, MailGroups &groups);

    // Refused, with the reason, for a Dynamic Mail Group or a folder that takes no cards.
    [[nodiscard]] Result<Job> prepare(GroupId id, NodeHandle folder, GroupCard::Dialect dialect);
    // Keeps what was published with the group (the caller saves the group file) and returns
    // what to tell the user.
    [[nodiscard]] Result<QStringList> finish(const Job &job, const Result<Uploaded> &uploaded);

private:
    Workspace &m_workspace;
    MailGroups &m_groups;
};

} // namespace corvel
