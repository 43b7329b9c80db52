#pragma once

#include "support/Result.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace corvel {

// The renames and removals one sync makes in a store's cache, written down before any is
// made. Files to be placed are first written under pending() names, which no reader lists.
// A crash before commit() has written the journal leaves the old cache and some pending
// files, which settle() drops; a crash after it is finished by settle(): either way the
// cache reads back as the old state or the new one, never a mix of the two.
class CacheJournal
{
public:
    explicit CacheJournal(QString storeDirectory);

    // The name a file or folder is written under until the journal places it.
    [[nodiscard]] static QString pending(const QString &name);

    // Paths relative to the store's folder.
    void place(const QString &path) { m_places.push_back(path); }
    void remove(const QString &path) { m_removes.push_back(path); }
    [[nodiscard]] bool isEmpty() const { return m_places.isEmpty() && m_removes.isEmpty(); }

    // Writes the journal durably (the pending files must be on disk already), then carries
    // it out.
    [[nodiscard]] Status commit() const;

    // Finishes a journal a killed sync committed, and drops pending files of one it did not.
    // The caller holds the store's lock.
    [[nodiscard]] static Status settle(const QString &storeDirectory);

private:
    [[nodiscard]] static Status carryOut(const QString &storeDirectory, const QStringList &places,
                                         const QStringList &removes);

    QString m_directory;
    QStringList m_places;
    QStringList m_removes;
};

} // namespace corvel
