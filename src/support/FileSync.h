#pragma once

#include <QByteArray>
#include <QString>

namespace corvel {

// The two steps every durable writer repeats: writing all of a buffer to a descriptor, and
// syncing a folder so that the names in it last. Both give 0 or the errno of the failure.
class FileSync
{
public:
    [[nodiscard]] static int writeAll(int fd, const QByteArray &bytes);
    [[nodiscard]] static int syncDirectory(const QString &directory);
};

} // namespace corvel
