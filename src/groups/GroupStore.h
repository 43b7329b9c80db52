#pragma once

#include "folders/ColumnSets.h"
#include "folders/GroupRootsSource.h"
#include "support/BackgroundWriter.h"
#include "support/Result.h"
#include "tree/TreeList.h"

#include <QString>

#include <memory>

namespace corvel {

// The groups live in the main tree; this class carries them, and the item lists' column
// sets, to and from the data files in the data folder (see AppPath).
//
// A data file that could not be read at start-up is never overwritten in that run, so a
// passing fault (a full disk, a damaged copy) cannot turn into lost groups.
class GroupStore : public GroupRootsSource
{
public:
    // appPath: where the data files live. shippedDir: where the program's own copy of the
    // class defaults is, used when appPath has none.
    GroupStore(QString appPath, QString shippedDir);

    [[nodiscard]] QString groupFilePath() const;
    [[nodiscard]] QString groupBackupPath() const;
    [[nodiscard]] QString folderSettingsPath() const;
    [[nodiscard]] QString folderSettingsBackupPath() const;
    // The class defaults actually in use.
    [[nodiscard]] QString classDefaultsPath() const;

    // Reads the group roots back from the group file, or adds two empty ones when there is
    // none. A file that exists but cannot be read leaves the tree as it was.
    [[nodiscard]] Status addGroupRoots(TreeList &tree, NodeHandle parent) override;
    // Why the group file could not be read at start-up; empty when it could.
    [[nodiscard]] const QString &groupFileError() const { return m_groupFileError; }

    // Writes both group roots with everything below them; refused when either root is
    // missing from the tree or the file could not be read at start-up. A save still going on
    // in the background is waited for, and one waiting is dropped: this one is newer.
    [[nodiscard]] Status saveGroupFile(const TreeList &tree);
    // The same, the roots copied now and written on a thread of the store's own (the order
    // of saves is kept, and the newest is the one that ends on disk); `done` hears the outcome
    // on this thread, at ticks of its event loop. A refusal is answered at once.
    void saveGroupFileInBackground(const TreeList &tree, BackgroundWriter::Done done);
    // Waits for the background saves, the one waiting included; no one hears their outcomes.
    void finishSaves();

    [[nodiscard]] Status loadColumnSets();
    // Writes the column sets, dropping folders no longer in the tree and taking the widths
    // of listed folders from their column layouts; the previous file becomes the backup.
    [[nodiscard]] Status saveColumnSets(const TreeList &tree) const;
    [[nodiscard]] int findColumnSet(const QString &key) const
    {
        return m_columnSets.findColumnSet(key);
    }
    int copyColumnSet(int n) { return m_columnSets.copyColumnSet(n); }
    [[nodiscard]] ColumnSets &columnSets() { return m_columnSets; }
    [[nodiscard]] const ColumnSets &columnSets() const { return m_columnSets; }

    // The group of that caption under either root; refused, with the reason, when none or
    // several groups have it, so no verb works on a group the user did not mean.
    [[nodiscard]] static Result<NodeHandle> groupNamed(const TreeList &tree,
                                                       const QString &caption);
    // Every group of that caption under either root.
    [[nodiscard]] static std::vector<NodeHandle> groupsNamed(const TreeList &tree,
                                                             const QString &caption);

    // Gives a group node the member grid: name and address columns, 150 pixels each.
    void setupGroupGrid(TreeList &tree, NodeHandle group) const;

private:
    // Why the group file may not be written now; empty when it may.
    [[nodiscard]] QString groupSaveRefusal(const TreeList &tree) const;

    QString m_appPath;
    QString m_shippedDir;
    ColumnSets m_columnSets;
    QString m_groupFileError;
    QString m_folderSettingsError;
    // Made on the first background save; destroyed, it finishes what is pending.
    std::unique_ptr<BackgroundWriter> m_groupWriter;
};

} // namespace corvel
