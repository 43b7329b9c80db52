#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

namespace corvel {

// The files one sync writes into a store's cache before committing them, made durable in
// one go: file by file when they are few, so that a change of one card costs one card, and
// with one flush of the file system when they are many (a first sync), where syncing each
// of thousands of files would cost minutes.
class PendingFiles
{
public:
    explicit PendingFiles(QString storeDirectory);

    // Paths relative to the store's folder; the folder they go in exists.
    [[nodiscard]] Status write(const QString &path, const QByteArray &data);
    [[nodiscard]] Status makeFolder(const QString &path);
    [[nodiscard]] Status makeDurable() const;

private:
    QString m_directory;
    QStringList m_written;
    QSet<QString> m_folders;
};

} // namespace corvel
