#pragma once

#include "support/Result.h"
#include "tree/TreeList.h"

#include <QString>

namespace corvel {

class BusyIndicator;
class GroupRootsSource;
class OlFolder;
class OlNamespace;

// Builds the main tree from the session: the stores with their contact folders and Drafts
// (and everything nested below them), then the two group roots. Records on the way the
// folders offered as sources of dynamic groups and the Drafts folder group mail uses.
class FolderTree
{
public:
    FolderTree(TreeList &tree, OlNamespace &session, GroupRootsSource &groupRoots,
               BusyIndicator *busy = nullptr);

    // Builds into an empty tree. When the session or the group file fails, the build ends
    // there: what was added stays below the temporary root, no node is made current, and
    // the reason is returned.
    [[nodiscard]] Status loadFolderTree(bool includeAllFolders);
    // Replaces the stores of a built tree with the session's, ahead of everything else at the
    // top level, which is kept as it is (the groups with their members and layouts).
    [[nodiscard]] Status reloadStores(bool includeAllFolders);

    // Adds the contact and message sub-folders of `folder` below `parent`, to any depth.
    void addSubFolders(OlFolder &folder, NodeHandle parent);
    void setFolderKind(NodeHandle node, const QString &messageClass, const QString &folderName);

    // Whether the tree shows the store of this name: with `includeAllFolders` false, only
    // the personal folders.
    [[nodiscard]] static bool listsStore(const QString &storeName, bool includeAllFolders);

    // "^"-delimited EntryIDs of every listed store and every contact folder directly below one.
    [[nodiscard]] const QString &sourceFolderIds() const { return m_sourceFolderIds; }

private:
    void addStores(NodeHandle tempRoot, bool includeAllFolders);
    void addStore(OlFolder &store, NodeHandle tempRoot);
    void selectFirstStore();
    void appendSourceFolder(const QString &entryId);
    void liftToTopLevel(NodeHandle tempRoot);
    NodeHandle addFolderNode(OlFolder &folder, NodeHandle parent, const QString &name,
                             const QString &messageClass);

    TreeList &m_tree;
    OlNamespace &m_session;
    GroupRootsSource &m_groupRoots;
    BusyIndicator *m_busy;
    QString m_sourceFolderIds;
};

} // namespace corvel
