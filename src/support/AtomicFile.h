#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace corvel {

// Replaces a file so that a reader, or a crash at any moment, sees either the old
// contents or the new, never a mix: temporary file in the same folder, fsync, rename,
// fsync of the folder.
class AtomicFile
{
public:
    // mode: permission bits for a file that does not exist yet (an existing file keeps its own).
    // beforeReplace runs once the new contents are safely on disk, just before they replace the
    // old: an exception from it (a cancelled job) leaves the old file and no temporary one.
    [[nodiscard]] static Status write(const QString &path, const QByteArray &contents,
                                      int mode = 0644,
                                      const std::function<void()> &beforeReplace = {});

    // Makes `backupPath` hold what `path` holds now (a hard link where possible, else a copy,
    // placed atomically).
    [[nodiscard]] static Status keepBackup(const QString &path, const QString &backupPath);

    // Removes temporary files that write() or keepBackup() left beside `path` when a writer
    // was killed mid-way: only names of our own making, only when old enough that no writer
    // can still be at work on them. Returns how many were removed.
    static int removeStaleTemporaries(const QString &path);
};

} // namespace corvel
