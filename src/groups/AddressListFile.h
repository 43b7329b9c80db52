#pragma once

#include "support/Result.h"

#include <QString>

#include <functional>
#include <vector>

namespace corvel {

class StatusPanels;

// An address list text file: one member a record, address first, then name.
class AddressListFile
{
public:
    struct Entry
    {
        QString address;
        QString name;
        qsizetype line = 0; // where a read entry starts in its file, from 1
        bool operator==(const Entry &other) const
        {
            return address == other.address && name == other.name;
        }
    };

    // Larger files are refused rather than read whole: no list of members comes near it.
    static constexpr qint64 MaxBytes = qint64(256) << 20;

    // One line CR LF per entry: "address","name" with a double quote inside a value written
    // twice, or address,name bare when nothing in either needs quotes and the name has no
    // comma, so it reads back as written and is not turned surname first.
    // progress (may be null) is shown up to `last`.
    [[nodiscard]] static QByteArray format(const std::vector<Entry> &entries,
                                           StatusPanels *progress = nullptr, int last = 100);
    // Written atomically, UTF-8 without a byte-order mark. A link is written through to the
    // file it names; whatever else is not a regular file (a folder, a device, a pipe) is
    // refused with the reason rather than replaced. progress reaches 100 just before the old
    // file is replaced: a job cancelled by then leaves it.
    [[nodiscard]] static Status write(const QString &path, const std::vector<Entry> &entries,
                                      StatusPanels *progress = nullptr);

    // Comma-separated records (quoted cells may hold commas, doubled quotes and line breaks),
    // with any line end; UTF-8 with or without a byte-order mark, else Latin-1. A quoted line
    // whose name has neither comma nor double quote but a space has its name turned surname
    // first ("Mary Ann Lee" becomes "Lee, Mary Ann"). Records holding only white space are
    // no entries. Fails only on a quoted cell never closed.
    [[nodiscard]] static Result<std::vector<Entry>> parse(const QByteArray &bytes);
    // Only a regular file of at most MaxBytes is read; onRead as DataFile::read has it.
    [[nodiscard]] static Result<std::vector<Entry>>
    read(const QString &path, const std::function<void(qint64 done, qint64 size)> &onRead = {});
};

} // namespace corvel
