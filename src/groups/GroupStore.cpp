#include "groups/GroupStore.h"

#include "groups/GroupFile.h"
#include "support/AtomicFile.h"
#include "support/DataFile.h"
#include "support/FieldStrings.h"
#include "support/FileSystem.h"
#include "tree/NodeKinds.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

namespace corvel {

namespace {

const QString GroupFileName = QStringLiteral("MailLists.tlx");
const QString GroupBackupName = QStringLiteral("MailLists.bak");
const QString FolderSettingsName = QStringLiteral("mailfolders.sys");
const QString FolderBackupName = QStringLiteral("mailfolders.bak");
const QString ClassDefaultsName = QStringLiteral("mailstandards.sys");
constexpr int FolderKeyLength = 48;

// The text files are UTF-8; older copies in a legacy single-byte encoding still read.
Result<QString> readText(const QString &path)
{
    const auto read = DataFile::read(path);
    if (!read.ok())
        return Result<QString>::failure(read.error());
    const QByteArray &bytes = *read;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return text;
}

void addEmptyRoot(TreeList &tree, NodeHandle parent, const QString &caption, int picture,
                  const QString &tag, NodeKind kind, const QString &sortMe)
{
    const NodeHandle root = tree.addNode(caption, parent);
    tree.setPicture(root, picture);
    tree.setValue(root, NodeValueName::StoreId(), QString());
    tree.setValue(root, NodeValueName::EntryId(), tag);
    setNodeKind(tree, root, kind);
    tree.setValue(root, NodeValueName::SortMe(), sortMe);
}

} // namespace

GroupStore::GroupStore(QString appPath, QString shippedDir)
    : m_appPath(std::move(appPath))
    , m_shippedDir(std::move(shippedDir))
{
}

QString GroupStore::groupFilePath() const
{
    return m_appPath + QLatin1Char('/') + GroupFileName;
}

QString GroupStore::groupBackupPath() const
{
    return m_appPath + QLatin1Char('/') + GroupBackupName;
}

QString GroupStore::folderSettingsPath() const
{
    return m_appPath + QLatin1Char('/') + FolderSettingsName;
}

QString GroupStore::folderSettingsBackupPath() const
{
    return m_appPath + QLatin1Char('/') + FolderBackupName;
}

QString GroupStore::classDefaultsPath() const
{
    const QString local = m_appPath + QLatin1Char('/') + ClassDefaultsName;
    if (FileExists(local) || m_shippedDir.isEmpty())
        return local;
    return ShippedPath(m_shippedDir, ClassDefaultsName);
}

// --- Group file ---------------------------------------------------------------------------

Status GroupStore::addGroupRoots(TreeList &tree, NodeHandle parent)
{
    const QString path = groupFilePath();
    // Anything by that name, a link to nothing included, is the user's file to read.
    if (!EntryExists(path)) {
        addEmptyRoot(tree, parent, QStringLiteral("Standard Mail Groups"), picStandardRoot,
                     QStringLiteral("STDMG"), NodeKind::StandardRoot, QStringLiteral("1"));
        addEmptyRoot(tree, parent, QStringLiteral("Dynamic Mail Groups"), picDynamicRoot,
                     QStringLiteral("DYNMG"), NodeKind::DynamicRoot, QStringLiteral("2"));
        return {};
    }
    auto branches = GroupFile::read(path);
    if (!branches.ok()) {
        m_groupFileError = branches.error();
        return Status::failure(QStringLiteral("The mail groups could not be read (%1); the file "
                                              "is left untouched.")
                                   .arg(branches.error()));
    }
    m_groupFileError.clear();
    tree.insertBranch(branches->standard, parent);
    tree.insertBranch(branches->dynamic, parent);
    return {};
}

QString GroupStore::groupSaveRefusal(const TreeList &tree) const
{
    if (!m_groupFileError.isEmpty())
        return QStringLiteral("The mail groups were not saved: %1 could not be read at start-up "
                              "(%2), so it is left as it was.")
            .arg(groupFilePath(), m_groupFileError);
    if (findNodeOfKind(tree, NodeKind::StandardRoot).isNull() ||
        findNodeOfKind(tree, NodeKind::DynamicRoot).isNull())
        return QStringLiteral("The mail groups were not saved: the group roots are not in the "
                              "tree.");
    return {};
}

namespace {

Status makeDataFolder(const QString &appPath)
{
    if (const Status made = MakePrivateFolder(appPath); !made.ok())
        return Status::failure(
            QStringLiteral("The mail groups were not saved: %1").arg(made.error()));
    return {};
}

} // namespace

Status GroupStore::saveGroupFile(const TreeList &tree)
{
    if (m_groupWriter)
        m_groupWriter->supersede();
    if (const QString refusal = groupSaveRefusal(tree); !refusal.isEmpty())
        return Status::failure(refusal);
    if (const Status made = makeDataFolder(m_appPath); !made.ok())
        return made;
    return GroupFile::write(groupFilePath(), groupBackupPath(), tree,
                            findNodeOfKind(tree, NodeKind::StandardRoot),
                            findNodeOfKind(tree, NodeKind::DynamicRoot));
}

void GroupStore::saveGroupFileInBackground(const TreeList &tree, BackgroundWriter::Done done)
{
    if (const QString refusal = groupSaveRefusal(tree); !refusal.isEmpty()) {
        if (done)
            done(Status::failure(refusal));
        return;
    }
    if (!m_groupWriter)
        m_groupWriter = std::make_unique<BackgroundWriter>();
    // Copied now, as the tree stands: the write must not look at a tree that moves on.
    auto snapshot = std::make_shared<const GroupFile::Snapshot>(
        GroupFile::snapshot(tree, findNodeOfKind(tree, NodeKind::StandardRoot),
                            findNodeOfKind(tree, NodeKind::DynamicRoot)));
    m_groupWriter->post(
        [appPath = m_appPath, path = groupFilePath(), backup = groupBackupPath(), snapshot] {
            if (const Status made = makeDataFolder(appPath); !made.ok())
                return made;
            return GroupFile::write(path, backup, *snapshot);
        },
        std::move(done));
}

void GroupStore::finishSaves()
{
    m_groupWriter.reset();
}

// --- Column sets -------------------------------------------------------------------------

Status GroupStore::loadColumnSets()
{
    QStringList problems;
    m_folderSettingsError.clear();
    if (EntryExists(folderSettingsPath())) {
        auto text = readText(folderSettingsPath());
        if (text.ok()) {
            if (const Status sound = ColumnSets::checkFolderSettings(*text); !sound.ok())
                m_folderSettingsError =
                    QStringLiteral("%1: %2").arg(folderSettingsPath(), sound.error());
            else
                m_columnSets.readFolderSettings(*text);
        } else {
            m_folderSettingsError = text.error();
        }
        if (!m_folderSettingsError.isEmpty())
            problems << QStringLiteral("The folder settings could not be read (%1); the file is "
                                       "left untouched.")
                            .arg(m_folderSettingsError);
    }
    const QString defaults = classDefaultsPath();
    if (FileExists(defaults)) {
        auto text = readText(defaults);
        if (text.ok())
            m_columnSets.readClassDefaults(*text);
        else
            problems << text.error();
    }
    if (!problems.isEmpty())
        return Status::failure(problems.join(QStringLiteral("; ")));
    return {};
}

Status GroupStore::saveColumnSets(const TreeList &tree) const
{
    if (!m_folderSettingsError.isEmpty())
        return Status::failure(QStringLiteral("The folder settings were not saved: %1 could not "
                                              "be read at start-up (%2).")
                                   .arg(folderSettingsPath(), m_folderSettingsError));

    // The first two nodes of each EntryId in display order, found in one pass.
    struct Found
    {
        NodeHandle first;
        NodeHandle second;
    };
    // Only folders with a column set are looked for: the rows of a listing have ids of the
    // same length, and hashing 100,000 of them slowed every close.
    QSet<QString> wanted;
    for (int n = 1; n <= m_columnSets.count(); ++n) {
        if (QString key = m_columnSets.record(n).key; key.size() == FolderKeyLength)
            wanted.insert(std::move(key));
    }
    QHash<QString, Found> byEntryId;
    for (NodeHandle node : tree.displayOrder()) {
        const NodeValue id = tree.value(node, NodeValueName::EntryId());
        if (id.isEmpty() || !wanted.contains(id.toString()))
            continue;
        Found &found = byEntryId[id.toString()];
        if (found.first.isNull())
            found.first = node;
        else if (found.second.isNull())
            found.second = node;
    }

    QString text;
    for (int n = 1; n <= m_columnSets.count(); ++n) {
        ColumnSet record = m_columnSets.record(n);
        const QString &key = record.key;
        if (key.size() == FolderKeyLength) {
            const auto it = byEntryId.constFind(key);
            if (it == byEntryId.cend())
                continue; // the folder is gone
            NodeHandle node = it->first;
            const NodeKind type = nodeKind(tree, node);
            if (type == NodeKind::ContactFolderListing || type == NodeKind::MessageFolderListing)
                node = it->second;
            if (node.isNull())
                continue;
            // Only a grid that is actually shown has widths to give; without one the stored
            // widths are kept rather than wiped.
            if (tree.hasChildren(node) && tree.columnLayout(node).columnCount() > 1) {
                const ColumnLayout &layout = tree.columnLayout(node);
                // The grid was made from this set, column for column.
                const size_t shared =
                    std::min(record.columns.size(), static_cast<size_t>(layout.columnCount() - 1));
                for (size_t c = 0; c < shared; ++c) {
                    record.columns[c].width = QString::number(layout.columns[c + 1].width);
                }
            }
        }
        text += ColumnSets::formatLine(record) + QStringLiteral("\r\n");
    }

    // An empty file would read back as a damaged one; with nothing to keep, keep what is there.
    if (text.isEmpty())
        return {};
    if (const Status made = MakePrivateFolder(m_appPath); !made.ok())
        return made;
    if (QFile::exists(folderSettingsPath())) {
        if (const Status kept =
                AtomicFile::keepBackup(folderSettingsPath(), folderSettingsBackupPath());
            !kept.ok())
            return kept;
    }
    return AtomicFile::write(folderSettingsPath(), text.toUtf8(), 0600);
}

std::vector<NodeHandle> GroupStore::groupsNamed(const TreeList &tree, const QString &caption)
{
    std::vector<NodeHandle> found;
    for (const NodeKind kind : {NodeKind::StandardRoot, NodeKind::DynamicRoot}) {
        for (const NodeHandle group : tree.children(findNodeOfKind(tree, kind))) {
            if (tree.caption(group) == caption)
                found.push_back(group);
        }
    }
    return found;
}

Result<NodeHandle> GroupStore::groupNamed(const TreeList &tree, const QString &caption)
{
    const std::vector<NodeHandle> found = groupsNamed(tree, caption);
    if (found.empty())
        return Result<NodeHandle>::failure(
            QStringLiteral("there is no mail group named \"%1\"").arg(caption));
    if (found.size() > 1)
        return Result<NodeHandle>::failure(
            QStringLiteral("\"%1\" names %2 mail groups").arg(caption).arg(found.size()));
    return found.front();
}

void GroupStore::setupGroupGrid(TreeList &tree, NodeHandle group) const
{
    ColumnLayout layout;
    layout.setColumnCount(3);
    layout.columns[0] = {0, QString(), QString()};
    layout.columns[1] = {150, NodeValueName::FileAs(), QStringLiteral("Contact Name")};
    layout.columns[2] = {150, NodeValueName::Email1Address(), QStringLiteral("eMail Address")};
    layout.gridColour = NodeColour::ButtonShadow;
    tree.setColumnLayout(group, layout);
}

} // namespace corvel
