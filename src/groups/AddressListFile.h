#pragma once

#include "support/Result.h"

#include <QString>

#include <optional>

#include <vector>

namespace corvel {

// An address list text file: one member a line, address first, then name.
class AddressListFile
{
public:
    struct Entry
    {
        QString address;
        QString name;
        bool operator==(const Entry &) const = default;
    };

    // "address","name" CR LF per entry; a double quote inside a value is written twice.
    [[nodiscard]] static QByteArray format(const std::vector<Entry> &entries);
    // Written atomically, UTF-8 without a byte-order mark.
    [[nodiscard]] static Status write(const QString &path, const std::vector<Entry> &entries);

    // One line: quoted ("address","name", a name without a comma turned surname first) or
    // plain (address,name). Lines holding only white space are no entries.
    [[nodiscard]] static std::optional<Entry> parseLine(QStringView line);
    // UTF-8 with or without a byte-order mark; bytes that are not UTF-8 read as Latin-1.
    [[nodiscard]] static QString decode(const QByteArray &bytes);
    [[nodiscard]] static std::vector<Entry> parse(const QByteArray &bytes);
    [[nodiscard]] static Result<std::vector<Entry>> read(const QString &path);
};

} // namespace corvel
