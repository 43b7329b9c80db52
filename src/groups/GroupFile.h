#pragma once

#include "support/Result.h"
#include "tree/TreeBranch.h"
#include "tree/TreeList.h"
#include "tree/TreeSnapshot.h"

#include <QString>

namespace corvel {

// The group file: the Standard Mail Groups branch followed by the Dynamic Mail Groups
// branch, each a tree-branch record. Read whole or not at all.
class GroupFile
{
public:
    struct Branches
    {
        TreeBranch standard;
        TreeBranch dynamic;
    };

    // Refuses a file that cannot be opened, is cut short, damaged, foreign or newer, or
    // whose branches are not the two group roots.
    [[nodiscard]] static Result<Branches> read(const QString &path);

    // Replaces the file atomically; once the new file is in place, the one it replaced is
    // kept at backupPath.
    [[nodiscard]] static Status write(const QString &path, const QString &backupPath,
                                      const TreeList &tree, NodeHandle standardRoot,
                                      NodeHandle dynamicRoot);

    // The two roots as they stand, to be written on another thread than the tree's; the
    // file written from it is byte for byte the one written from the tree.
    struct Snapshot
    {
        TreeSnapshot standard;
        TreeSnapshot dynamic;
    };
    [[nodiscard]] static Snapshot snapshot(const TreeList &tree, NodeHandle standardRoot,
                                           NodeHandle dynamicRoot);
    [[nodiscard]] static Status write(const QString &path, const QString &backupPath,
                                      const Snapshot &snapshot);

private:
    [[nodiscard]] static Status replace(const QString &path, const QString &backupPath,
                                        const QByteArray &contents);
};

} // namespace corvel
