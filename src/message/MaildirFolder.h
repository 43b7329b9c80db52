#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace corvel {

// One Maildir directory (cur/, new/, tmp/) and the protocol every change follows: a file is
// made exclusively in tmp/, written and fsynced, renamed into cur/, and the folder fsynced, so
// a reader never sees half a message and a crash loses none that was reported written.
class MaildirFolder
{
public:
    struct Entry
    {
        QString unique;   // the name up to ":2,"
        QString fileName; // with its flags
        QString path;
    };
    enum class Sync
    {
        Now,
        Later
    }; // Later: the caller fsyncs the folders once for a batch

    explicit MaildirFolder(QString directory);

    [[nodiscard]] const QString &directory() const { return m_directory; }
    [[nodiscard]] bool exists() const;
    // Makes cur/, new/ and tmp/ (an existing folder is fine).
    [[nodiscard]] static Status create(const QString &directory);

    // The messages of cur/ and new/, oldest first; dot-files are not messages.
    [[nodiscard]] Result<std::vector<Entry>> entries() const;
    [[nodiscard]] std::optional<Entry> find(const QString &unique) const;

    // A new message in cur/ with these flags.
    [[nodiscard]] Result<Entry> add(const QByteArray &bytes, const QString &flags,
                                    Sync sync = Sync::Now) const;
    // New contents for a message, in place of its file, by the same protocol.
    [[nodiscard]] Status replace(const Entry &entry, const QByteArray &bytes) const;
    // Moves a message of this folder into cur/ of `target` with new flags.
    [[nodiscard]] Result<Entry> moveTo(const Entry &entry, const MaildirFolder &target,
                                       const QString &flags, Sync sync = Sync::Now) const;
    [[nodiscard]] Status remove(const Entry &entry) const;
    // Makes the renames into and out of cur/ and new/ durable.
    [[nodiscard]] Status sync() const;

    // A batch of new messages costs one sync of the folder rather than two syncs each: each is
    // staged in tmp/ (unsynced, unseen by readers), then made durable and filed into cur/,
    // then the folder is synced once. Where the file system allows, a staged message is a
    // file without a name, held open until it is filed: one killed before then leaves nothing.
    // Each staged message is filed or discarded exactly once.
    struct Staged
    {
        QString unique;
        QString temporaryPath; // empty for a file without a name
        int fd = -1;           // of a file without a name
    };
    [[nodiscard]] Result<Staged> stage(const QByteArray &bytes) const;
    [[nodiscard]] Status syncStaged(const Staged &staged) const;
    // Every file of the folder's file system written so far made durable: for many staged
    // messages at once, one sync in place of one per message.
    [[nodiscard]] Status syncFileSystem() const;
    // Links the staged file into cur/; the folder is not synced. The staged file is used up
    // (emptied), filed or not.
    [[nodiscard]] Result<Entry> file(Staged &staged, const QString &flags) const;
    void discard(Staged &staged) const;

    // A write killed between tmp/ and cur/ leaves its file in tmp/. Files there of our own
    // naming untouched for this long are such leftovers (the Maildir convention's limit), and
    // so are those whose writing process (named in the file name) no longer runs.
    static constexpr qint64 StaleTemporarySeconds = 36 * 3600;
    // Removes them; done by the first write into each folder in a process. The count removed.
    [[nodiscard]] Result<int> removeStaleTemporaries() const;

private:
    // Later: not synced (a staged message, synced with its batch).
    [[nodiscard]] Result<QString> writeTemporary(const QString &unique, const QByteArray &bytes,
                                                 Sync sync = Sync::Now) const;
    void removeStaleTemporariesOnce() const;

    QString m_directory;
};

} // namespace corvel
