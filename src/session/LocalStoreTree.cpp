#include "session/LocalStoreTree.h"

#include "session/OutlookSession.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <system_error>

#include <dirent.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Deep enough for any real tree, shallow enough to stop a loop the visited set misses.
constexpr int MaxDepth = 64;

using EntryVisitor = std::function<bool(const QString &name, unsigned char type)>;

// readdir rather than QDir: the reason of a failure is part of the message the user sees,
// and scanning can stop at the first decisive entry. Returns 0 or the errno.
int listEntries(const QString &directory, const EntryVisitor &visit)
{
    DIR *dir = ::opendir(QFile::encodeName(directory).constData());
    if (!dir)
        return errno;
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != u"."_s && name != u".."_s && !visit(name, entry->d_type))
            break;
        errno = 0;
    }
    const int error = errno;
    ::closedir(dir);
    return error;
}

QString reason(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

QString hashId(const QByteArray &data)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(data, QCryptographicHash::Sha256).left(24).toHex().toUpper());
}

// Small marker files only: a huge or odd file must not stall the listing.
QString readMarker(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(1024)).trimmed();
}

bool isMaildir(const QString &directory)
{
    return QFileInfo(directory + u"/cur"_s).isDir() && QFileInfo(directory + u"/new"_s).isDir();
}

bool isMaildirPart(const QString &name)
{
    return name == u"tmp"_s || name == u"cur"_s || name == u"new"_s;
}

QString lastComponent(const QString &relativePath)
{
    return relativePath.mid(relativePath.lastIndexOf(u'/') + 1);
}

// In Maildir++ ".A.B" is B inside ".A", both directories side by side in the Maildir.
QString parentPath(const QString &relativePath)
{
    const qsizetype slash = relativePath.lastIndexOf(u'/');
    const QString last = relativePath.mid(slash + 1);
    const qsizetype dot = last.lastIndexOf(u'.');
    if (last.startsWith(u'.') && dot > 0)
        return relativePath.left(slash + 1) + last.left(dot);
    return slash < 0 ? QString() : relativePath.left(slash);
}

QString joined(const QString &relativePath, const QString &name)
{
    return relativePath.isEmpty() ? name : relativePath + u'/' + name;
}

} // namespace

LocalStoreTree::LocalStoreTree(LocalStore store)
    : m_store(std::move(store))
    , m_canonicalDirectory(QFileInfo(m_store.directory).canonicalFilePath())
    , m_identity(m_canonicalDirectory.isEmpty()
                     ? QDir::cleanPath(QFileInfo(m_store.directory).absoluteFilePath())
                     : m_canonicalDirectory)
    , m_storeId(hashId("store" + QByteArray(1, '\0') + m_identity.toUtf8()))
{
    m_pathsById.insert(entryIdOf({}), QString());
}

QString LocalStoreTree::entryIdOf(const QString &relativePath) const
{
    return hashId(m_identity.toUtf8() + QByteArray(1, '\0') + relativePath.toUtf8());
}

QString LocalStoreTree::itemIdOf(const QString &folderRelativePath, const QString &itemKey) const
{
    return hashId("item" + QByteArray(1, '\0') + m_identity.toUtf8() + QByteArray(1, '\0') +
                  folderRelativePath.toUtf8() + QByteArray(1, '\0') + itemKey.toUtf8());
}

std::vector<LocalStoreTree::Folder> LocalStoreTree::allFolders()
{
    std::vector<Folder> result;
    std::vector<Folder> pending{root()};
    while (!pending.empty()) {
        const Folder folder = pending.back();
        pending.pop_back();
        if (!folder.relativePath.isEmpty())
            result.push_back(folder);
        std::vector<Folder> children;
        try {
            children = this->children(folder);
        } catch (const OutlookError &) {
            continue; // an unreadable folder holds nothing to find
        }
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return result;
}

QString LocalStoreTree::absolutePath(const QString &relativePath) const
{
    const QString base = m_canonicalDirectory.isEmpty() ? m_store.directory : m_canonicalDirectory;
    return relativePath.isEmpty() ? base : base + u'/' + relativePath;
}

LocalStoreTree::Folder LocalStoreTree::root() const
{
    return {QString(), m_store.name, entryIdOf({})};
}

bool LocalStoreTree::isFolderDirectory(const QString &absolutePath) const
{
    const QFileInfo info(absolutePath);
    if (!info.isDir() || m_canonicalDirectory.isEmpty())
        return false;
    // A link may point anywhere; only what stays inside the store belongs to it.
    const QString canonical = info.canonicalFilePath();
    return canonical == m_canonicalDirectory || canonical.startsWith(m_canonicalDirectory + u'/');
}

LocalStoreTree::Folder LocalStoreTree::makeFolder(const QString &relativePath,
                                                  const QString &fallbackName)
{
    QString name = readMarker(absolutePath(relativePath) + u"/displayname"_s);
    if (name.isEmpty())
        name = fallbackName;
    Folder folder{relativePath, name, entryIdOf(relativePath)};
    m_pathsById.insert(folder.entryId, relativePath);
    return folder;
}

std::vector<LocalStoreTree::Folder> LocalStoreTree::children(const Folder &folder)
{
    const QString directory = absolutePath(folder.relativePath);
    const QString last = lastComponent(folder.relativePath);
    const bool maildirPlusPlus = last.startsWith(u'.');
    const bool ownsDotFolders = !maildirPlusPlus && isMaildir(directory);

    std::vector<Folder> result;
    // Maildir++ sub-folders by the path of their first level, which need not exist itself.
    std::map<QString, QString> dotted;
    const auto addDotted = [&](const QString &rest, const QString &dotPrefix, const QString &inPath,
                               const QString &entry) {
        const QStringList parts = rest.split(u'.');
        if (std::any_of(parts.begin(), parts.end(), [](const QString &p) { return p.isEmpty(); }))
            return;
        if (!isFolderDirectory(absolutePath(joined(inPath, entry))))
            return;
        dotted.emplace(joined(inPath, dotPrefix + parts.first()), parts.first());
    };

    const int error = listEntries(directory, [&](const QString &name, unsigned char type) {
        if (type == DT_REG)
            return true;
        if (name.startsWith(u'.')) {
            if (ownsDotFolders)
                addDotted(name.mid(1), u"."_s, folder.relativePath, name);
        } else if (!isMaildirPart(name) && isFolderDirectory(directory + u'/' + name)) {
            result.push_back(makeFolder(joined(folder.relativePath, name), name));
        }
        return true;
    });
    // A Maildir++ level that only exists through its sub-folders has no directory of its own.
    if (error != 0 && !(maildirPlusPlus && error == ENOENT)) {
        if (folder.relativePath.isEmpty()) {
            throw OutlookError(u"The store \"%1\" at %2 cannot be read: %3"_s.arg(
                m_store.name, m_store.directory, reason(error)));
        }
        throw OutlookError(u"The folder \"%1\" at %2 cannot be read: %3"_s.arg(
            folder.name, directory, reason(error)));
    }

    if (maildirPlusPlus) {
        const qsizetype slash = folder.relativePath.lastIndexOf(u'/');
        const QString maildirPath = slash < 0 ? QString() : folder.relativePath.left(slash);
        const QString prefix = last + u'.';
        listEntries(absolutePath(maildirPath), [&](const QString &name, unsigned char type) {
            if (type != DT_REG && name.startsWith(prefix))
                addDotted(name.mid(prefix.size()), prefix, maildirPath, name);
            return true;
        });
    }
    for (const auto &[path, name] : dotted)
        result.push_back(makeFolder(path, name));

    std::sort(result.begin(), result.end(), [](const Folder &a, const Folder &b) {
        if (const int c = a.name.compare(b.name, Qt::CaseInsensitive))
            return c < 0;
        if (const int c = a.name.compare(b.name))
            return c < 0;
        return a.relativePath < b.relativePath;
    });
    return result;
}

QString LocalStoreTree::messageClass(const Folder &folder) const
{
    const QString directory = absolutePath(folder.relativePath);
    if (QString marked = readMarker(directory + u"/.folderclass"_s); !marked.isEmpty())
        return marked;
    if (isMaildir(directory))
        return u"IPM.Note"_s;
    bool contacts = false;
    bool calendar = false;
    listEntries(directory, [&](const QString &name, unsigned char type) {
        if (type == DT_DIR)
            return true;
        if (name.endsWith(u".vcf"_s, Qt::CaseInsensitive))
            contacts = true;
        else if (name.endsWith(u".ics"_s, Qt::CaseInsensitive))
            calendar = true;
        return !contacts; // a contact card decides; a calendar entry may still lose to one
    });
    if (contacts)
        return u"IPM.Contact"_s;
    return calendar ? u"IPM.Appointment"_s : u"IPM.Folder"_s;
}

std::optional<LocalStoreTree::Folder> LocalStoreTree::resolve(const QString &relativePath)
{
    if (relativePath.isEmpty())
        return root();
    const auto parent = resolve(parentPath(relativePath));
    if (!parent)
        return std::nullopt;
    try {
        for (auto &child : children(*parent)) {
            if (child.relativePath == relativePath)
                return child;
        }
    } catch (const OutlookError &) {
    }
    return std::nullopt;
}

bool LocalStoreTree::walk(const Folder &folder, int depth, QSet<QString> &visited,
                          const QString &entryId)
{
    std::vector<Folder> kids;
    try {
        kids = children(folder);
    } catch (const OutlookError &) {
        return false; // an unreadable branch hides only itself
    }
    for (const auto &kid : kids) {
        if (kid.entryId == entryId)
            return true;
        // Links inside the store can make cycles: enter each directory once.
        QString canonical = QFileInfo(absolutePath(kid.relativePath)).canonicalFilePath();
        if (canonical.isEmpty())
            canonical = kid.relativePath;
        if (visited.contains(canonical) || depth >= MaxDepth)
            continue;
        visited.insert(canonical);
        if (walk(kid, depth + 1, visited, entryId))
            return true;
    }
    return false;
}

std::optional<LocalStoreTree::Folder> LocalStoreTree::find(const QString &entryId)
{
    auto known = m_pathsById.constFind(entryId);
    if (known == m_pathsById.constEnd()) {
        QSet<QString> visited{m_canonicalDirectory};
        if (!walk(root(), 0, visited, entryId))
            return std::nullopt;
        known = m_pathsById.constFind(entryId);
        if (known == m_pathsById.constEnd())
            return std::nullopt;
    }
    // The path came from an earlier listing; the folder may have gone since.
    const QString path = known.value();
    auto folder = resolve(path);
    if (!folder)
        m_pathsById.remove(entryId);
    return folder;
}

} // namespace corvel
