#include "session/LocalMailbox.h"

#include "message/MaildirFolder.h"
#include "session/LocalStoreTree.h"
#include "session/OutlookSession.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

bool isMaildir(const QString &directory)
{
    return QFileInfo(directory + u"/cur"_s).isDir() && QFileInfo(directory + u"/new"_s).isDir();
}

} // namespace

LocalMailbox::LocalMailbox(std::vector<std::shared_ptr<LocalStoreTree>> trees, SenderLookup sender)
    : m_trees(std::move(trees))
    , m_sender(std::move(sender))
{
}

std::optional<LocalMailbox::Place> LocalMailbox::folder(const std::shared_ptr<LocalStoreTree> &tree,
                                                        const QString &name, bool create) const
{
    const QString root = tree->absolutePath({});
    const bool plusPlus = isMaildir(root);
    // Names differ in case between programs ("Drafts", "drafts"): any spelling will do.
    const QStringList entries =
        QDir(root).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &candidate : {name, u'.' + name}) {
        for (const QString &entry : entries) {
            if (entry.compare(candidate, Qt::CaseInsensitive) != 0)
                continue;
            if (entry.startsWith(u'.') && !plusPlus)
                continue;
            const QString directory = root + u'/' + entry;
            if (isMaildir(directory))
                return Place{tree, entry, directory};
        }
    }
    if (!create)
        return std::nullopt;
    const QString entry = plusPlus ? u'.' + name : name;
    const QString directory = root + u'/' + entry;
    if (Status made = MaildirFolder::create(directory); !made.ok())
        throw OutlookError(made.error());
    return Place{tree, entry, directory};
}

std::optional<LocalMailbox::Place> LocalMailbox::drafts() const
{
    for (const auto &tree : m_trees) {
        if (auto place = folder(tree, u"Drafts"_s, false))
            return place;
    }
    return std::nullopt;
}

std::shared_ptr<LocalStoreTree> LocalMailbox::storeOf(const QString &path) const
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    for (const auto &tree : m_trees) {
        const QString root = tree->absolutePath({});
        if (!canonical.isEmpty() && canonical.startsWith(root + u'/'))
            return tree;
    }
    return nullptr;
}

QString LocalMailbox::sender() const
{
    return m_sender ? m_sender() : QString();
}

void LocalMailbox::setQueuedListener(std::function<void()> listener)
{
    std::lock_guard lock(m_listenerMutex);
    m_queued = std::move(listener);
}

void LocalMailbox::notifyQueued() const
{
    std::function<void()> listener;
    {
        std::lock_guard lock(m_listenerMutex);
        listener = m_queued;
    }
    if (listener)
        listener();
}

} // namespace corvel
