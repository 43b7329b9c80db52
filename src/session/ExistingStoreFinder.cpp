#include "session/ExistingStoreFinder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <map>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Configuration files are small; anything bigger is not one.
constexpr qint64 MaxConfigBytes = 1024 * 1024;

QStringList configLines(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > MaxConfigBytes ||
        !file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(MaxConfigBytes)).split(u'\n');
}

// A value as both formats write it: quoted (with backslash escapes inside double quotes), or
// bare up to an inline comment.
QString unquoted(const QString &value)
{
    if (value.startsWith(u'"')) {
        QString text;
        for (qsizetype i = 1; i < value.size(); ++i) {
            if (value[i] == u'"')
                return text;
            if (value[i] == u'\\' && i + 1 < value.size())
                ++i;
            text += value[i];
        }
        return {}; // never closed
    }
    if (value.startsWith(u'\'')) {
        const qsizetype end = value.indexOf(u'\'', 1);
        return end < 0 ? QString() : value.mid(1, end - 1);
    }
    const qsizetype comment = value.indexOf(u" #"_s);
    return (comment < 0 ? value : value.left(comment)).trimmed();
}

// "[name]" or "[[name]]": the name, unquoted; empty when the line is no such header.
QString sectionName(const QString &line, int depth)
{
    const QString open(depth, u'['), close(depth, u']');
    if (!line.startsWith(open) || !line.endsWith(close) || line.size() <= 2 * depth)
        return {};
    const QString name = line.mid(depth, line.size() - 2 * depth).trimmed();
    return name.startsWith(u'"') || name.startsWith(u'\'') ? unquoted(name) : name;
}

struct KeyValue
{
    QString key;
    QString value;
};

std::optional<KeyValue> keyValue(const QString &line)
{
    const qsizetype equals = line.indexOf(u'=');
    if (equals <= 0)
        return std::nullopt;
    return KeyValue{line.left(equals).trimmed(), unquoted(line.mid(equals + 1).trimmed())};
}

bool holdsCards(const QString &directory)
{
    QDirIterator it(directory, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        if (it.next().endsWith(u".vcf"_s, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool holdsFolders(const QString &directory)
{
    return QDirIterator(directory, QDir::Dirs | QDir::NoDotAndDotDot).hasNext();
}

QString identity(const QString &directory)
{
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(directory).absoluteFilePath())
                               : canonical;
}

QString storeName(const QString &directory)
{
    QString name = QFileInfo(directory).fileName();
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    return name.isEmpty() ? u"Store"_s : name;
}

} // namespace

ExistingStoreFinder::ExistingStoreFinder(QString homeDir, QString configDir)
    : m_home(QDir::cleanPath(std::move(homeDir)))
    , m_config(QDir::cleanPath(std::move(configDir)))
{
}

QString ExistingStoreFinder::expanded(const QString &path) const
{
    QString result = path;
    if (result == u"~"_s || result.startsWith(u"~/"_s))
        result = m_home + result.mid(1);
    else if (result.startsWith(u"$HOME"_s))
        result = m_home + result.mid(5);
    else if (result.startsWith(u"${HOME}"_s))
        result = m_home + result.mid(7);
    // Relative to what the other program was started in: nothing to go by here.
    if (!QDir::isAbsolutePath(result))
        return {};
    return QDir::cleanPath(result);
}

std::vector<ExistingStoreFinder::Found> ExistingStoreFinder::khardAddressBooks() const
{
    std::vector<Found> found;
    QString section, book;
    for (const QString &raw : configLines(m_config + u"/khard/khard.conf"_s)) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u"[["_s)) {
            book = sectionName(line, 2);
            continue;
        }
        if (line.startsWith(u'[')) {
            section = sectionName(line, 1);
            book.clear();
            continue;
        }
        if (section != u"addressbooks"_s || book.isEmpty())
            continue;
        const auto pair = keyValue(line);
        if (pair && pair->key == u"path"_s) {
            const QString path = expanded(pair->value);
            if (!path.isEmpty())
                found.push_back({path, u"khard address book \"%1\""_s.arg(book), true});
        }
    }
    return found;
}

std::vector<ExistingStoreFinder::Found> ExistingStoreFinder::vdirsyncerStorages() const
{
    struct Storage
    {
        QString type, path, fileext;
    };
    std::vector<std::pair<QString, Storage>> storages;
    Storage *current = nullptr;
    for (const QString &raw : configLines(m_config + u"/vdirsyncer/config"_s)) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            const QString header = sectionName(line, 1);
            current = nullptr;
            if (header.startsWith(u"storage "_s)) {
                storages.emplace_back(header.mid(8).trimmed(), Storage{});
                current = &storages.back().second;
            }
            continue;
        }
        const auto pair = keyValue(line);
        if (!current || !pair)
            continue;
        if (pair->key == u"type"_s)
            current->type = pair->value;
        else if (pair->key == u"path"_s)
            current->path = pair->value;
        else if (pair->key == u"fileext"_s)
            current->fileext = pair->value;
    }
    std::vector<Found> found;
    for (const auto &[name, storage] : storages) {
        if (storage.type != u"filesystem"_s ||
            storage.fileext.compare(u".vcf"_s, Qt::CaseInsensitive))
            continue;
        const QString path = expanded(storage.path);
        if (!path.isEmpty())
            found.push_back({path, u"vdirsyncer storage \"%1\""_s.arg(name), false});
    }
    return found;
}

QString ExistingStoreFinder::storeDirectoryOf(const Found &found) const
{
    const QFileInfo info(found.directory);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return {};
    bool cardFolder = found.isCardFolder || holdsCards(found.directory);
    if (!cardFolder && !holdsFolders(found.directory))
        return {}; // nothing in it yet
    if (!cardFolder)
        return found.directory;
    // A card folder shows inside a store made of the folder that holds it, unless that is
    // the home folder (or above it): a store there would sweep in everything else.
    const QString parent = QFileInfo(found.directory).absolutePath();
    const QString home = identity(m_home);
    const QString parentIdentity = identity(parent);
    if (parentIdentity == home || home.startsWith(parentIdentity + u'/') ||
        parentIdentity == u"/"_s)
        return {};
    return parent;
}

std::vector<StoreSuggestion> ExistingStoreFinder::find() const
{
    std::vector<Found> candidates = khardAddressBooks();
    for (Found &storage : vdirsyncerStorages())
        candidates.push_back(std::move(storage));
    candidates.push_back({m_home + u"/.contacts"_s, u"~/.contacts"_s, false});

    std::vector<StoreSuggestion> suggestions;
    std::map<QString, std::size_t> byIdentity;
    const auto suggest = [&](const QString &directory, const QString &source) {
        const auto [at, added] = byIdentity.emplace(identity(directory), suggestions.size());
        if (added)
            suggestions.push_back({{storeName(directory), directory}, {}});
        QStringList &foundBy = suggestions[at->second].foundBy;
        if (!foundBy.contains(source))
            foundBy << source;
    };
    for (const Found &candidate : candidates) {
        const QString directory = storeDirectoryOf(candidate);
        if (!directory.isEmpty())
            suggest(directory, candidate.source);
    }
    for (const QString &maildir : {u"Maildir"_s, u".mail"_s}) {
        const QFileInfo info(m_home + u'/' + maildir);
        if (info.isDir() && info.isReadable())
            suggest(info.filePath(), u"~/"_s + maildir);
    }
    return suggestions;
}

std::vector<StoreSuggestion>
ExistingStoreFinder::unregistered(const std::vector<StoreSuggestion> &suggestions,
                                  const std::vector<LocalStore> &stores)
{
    QSet<QString> registered;
    for (const LocalStore &store : stores)
        registered.insert(identity(store.directory));
    std::vector<StoreSuggestion> result;
    for (const StoreSuggestion &suggestion : suggestions) {
        if (!registered.contains(identity(suggestion.store.directory)))
            result.push_back(suggestion);
    }
    return result;
}

} // namespace corvel
