#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace corvel {

// Reads a data file, or a file the user names, whole. Whatever has the name but is not a
// regular file that can be read (a folder, a link to nothing, a pipe or device, a file
// without permission) is a failure with its reason, never taken for a missing file, and
// never waited on or read without end.
class DataFile
{
public:
    // Larger files are refused rather than read: no data file of ours comes near it.
    static constexpr qint64 MaxBytes = qint64(1) << 30;

    // onRead hears how much of the file's size is read after each block; an exception from it
    // (a cancelled job) ends the read with the file closed.
    [[nodiscard]] static Result<QByteArray>
    read(const QString &path, qint64 maxBytes = MaxBytes,
         const std::function<void(qint64 done, qint64 size)> &onRead = {});
};

} // namespace corvel
