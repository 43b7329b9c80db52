#include "workspace/GroupPublish.h"

#include "folders/FolderLookup.h"
#include "groups/MailGroups.h"
#include "remote/RemoteCardWriter.h"
#include "remote/StoreCache.h"
#include "session/LocalFolder.h"
#include "support/AtomicFile.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

using Uploaded = GroupPublish::Uploaded;

QString changedSince(const QString &card)
{
    return u"The card %1 was changed on the server since it was published."_s.arg(card);
}

QString tagOf(const QByteArray &data)
{
    return u"sha256:"_s +
           QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

// The same rule as on a server, with a hash of the file for its etag.
Result<Uploaded> writeLocal(const QString &path, const QByteArray &card, const QString &knownTag)
{
    Uploaded done;
    QFile file(path);
    if (file.exists()) {
        if (knownTag.isEmpty())
            return Result<Uploaded>::failure(
                u"A card %1 is in the folder already; it is not overwritten."_s.arg(path));
        if (!file.open(QIODevice::ReadOnly))
            return Result<Uploaded>::failure(
                u"The card %1 cannot be read: %2"_s.arg(path, file.errorString()));
        if (tagOf(file.readAll()) != knownTag)
            return Result<Uploaded>::failure(changedSince(path));
    } else if (!knownTag.isEmpty()) {
        done.notices << u"The card had been deleted since it was published: it was written "
                        "again."_s;
    }
    if (const Status written = AtomicFile::write(path, card, 0600); !written.ok())
        return Result<Uploaded>::failure(written.error());
    done.tag = tagOf(card);
    return done;
}

Result<Uploaded> writeRemote(const RemoteCardWriter &writer, const QString &folderHref,
                             const QString &fileName, const QByteArray &card,
                             const QString &knownTag)
{
    const Result<RemoteCardWriter::Written> written =
        writer.write(folderHref, fileName, card, knownTag);
    if (!written.ok())
        return Result<Uploaded>::failure(written.error());
    Uploaded done{written->etag, {}};
    if (written->recreated)
        done.notices << u"The card had been deleted on the server since it was published: it "
                        "was put there again."_s;
    if (!written->cacheProblem.isEmpty())
        done.notices << u"The card is on the server, but the store's cache was not brought up "
                        "to date (a sync will): "_s +
                            written->cacheProblem;
    return done;
}

std::shared_ptr<LocalFolder> localFolder(OlNamespace &session, const TreeList &tree,
                                         NodeHandle node)
{
    try {
        return std::dynamic_pointer_cast<LocalFolder>(
            session.GetFolderFromID(tree.value(node, NodeValueName::EntryId()).toString(),
                                    tree.value(node, NodeValueName::StoreId()).toString()));
    } catch (const std::exception &) {
        return {};
    }
}

QHash<QString, QString> contactUids(LocalFolder &folder)
{
    QHash<QString, QString> uids;
    for (const auto &item : folder.Items()) {
        if (item && item->Class() == olContactItem && !item->UID().isEmpty())
            uids.insert(item->EntryID(), item->UID());
    }
    return uids;
}

} // namespace

GroupPublish::GroupPublish(Workspace &workspace, MailGroups &groups)
    : m_workspace(workspace)
    , m_groups(groups)
{
}

Result<GroupPublish::Job> GroupPublish::prepare(GroupId id, NodeHandle folderNode,
                                                GroupCard::Dialect dialect)
{
    using Prepared = Result<Job>;
    const Result<MailGroup> group = m_groups.group(id);
    if (!group.ok())
        return Prepared::failure(group.error());
    if (group->kind != MailGroup::Kind::Standard)
        return Prepared::failure(
            u"\"%1\" is a Dynamic Mail Group: its members are whatever its "
            "folders hold, so only a Standard Mail Group is published"_s.arg(group->caption));
    const TreeList &tree = m_workspace.tree();
    const NodeKind kind = nodeKind(tree, folderNode);
    const std::shared_ptr<LocalFolder> folder =
        m_workspace.session() &&
                (kind == NodeKind::ContactFolder || kind == NodeKind::ContactFolderListed)
            ? localFolder(*m_workspace.session(), tree, folderNode)
            : nullptr;
    if (!folder)
        return Prepared::failure(
            u"\"%1\" is no contact folder a group card can be written to"_s.arg(
                tree.caption(folderNode)));
    const QString store = folder->storeTree()->store().name;
    const QString directory = folder->storeTree()->absolutePath(folder->relativePath());
    Job job{id, group->caption, store + u'/' + folder->Name(), {}, {}};
    const Result<PublishedCard> before = m_groups.publishedCard(id);
    if (!before.ok())
        return Prepared::failure(before.error());
    job.card.uid =
        before->uid.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : before->uid;
    QByteArray text;
    try {
        text = GroupCard::text(job.card.uid, group->caption, group->members, contactUids(*folder),
                               dialect);
    } catch (const std::exception &error) {
        return Prepared::failure(QString::fromUtf8(error.what()));
    }
    const QString fileName = job.card.uid + u".vcf"_s;
    const RemoteStoreOptions remote = RemoteStoreOptions::read(m_workspace.settings(), store);
    if (remote.location.isEmpty()) {
        job.card.folder = directory;
        job.card.tag = before->folder == job.card.folder ? before->tag : QString();
        job.upload = [path = directory + u'/' + fileName, text, tag = job.card.tag] {
            return writeLocal(path, text, tag);
        };
        return job;
    }
    const QString href = StoreCache::folderHrefAt(directory);
    if (href.isEmpty())
        return Prepared::failure(
            u"%1 is not known from its server yet: sync it first"_s.arg(job.folder));
    job.card.folder = store + u'\n' + href;
    job.card.tag = before->folder == job.card.folder ? before->tag : QString();
    job.upload = [writer = RemoteCardWriter(remote, m_workspace.userPaths().cacheHome), href,
                  fileName, text,
                  tag = job.card.tag] { return writeRemote(writer, href, fileName, text, tag); };
    return job;
}

Result<QStringList> GroupPublish::finish(const Job &job, const Result<Uploaded> &uploaded)
{
    if (!uploaded.ok())
        return Result<QStringList>::failure(uploaded.error());
    PublishedCard kept = job.card;
    kept.tag = uploaded->tag;
    if (const Status set = m_groups.setPublishedCard(job.group, kept); !set.ok())
        return Result<QStringList>::failure(set.error());
    return QStringList{u"\"%1\" was published to %2."_s.arg(job.caption, job.folder)} +
           uploaded->notices;
}

} // namespace corvel
