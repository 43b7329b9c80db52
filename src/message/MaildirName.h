#pragma once

#include <QString>

#include <string>

namespace corvel {

// The names of Maildir files: "UNIQUE:2,FLAGS", where UNIQUE is what identifies the message
// for its whole life and FLAGS (sorted letters) change with its state.
class MaildirName
{
public:
    // A new unique name: seconds, microseconds, process and a per-process counter, zero-padded
    // so that names made later sort later, and the host.
    [[nodiscard]] static QString newUnique();
    // Whether a file name is one newUnique() makes on this host (whoever made it, and when).
    [[nodiscard]] static bool isOurs(const QString &fileName);
    // The unique part of a file name: everything up to ":2," (or the first ':').
    [[nodiscard]] static QString uniqueOf(const QString &fileName);
    // The flag letters of a file name ("" when it has none).
    [[nodiscard]] static QString flagsOf(const QString &fileName);
    [[nodiscard]] static QString withFlags(const QString &unique, const QString &flags);
    // Delivery order: digit runs compared by value, so names of any writer sort by time.
    [[nodiscard]] static bool lessThan(const QString &a, const QString &b);
    // Appends bytes whose plain order is lessThan's order, except between names lessThan holds
    // equal by value ("01" and "1"), which sort by the names themselves. Computed once per name,
    // it makes sorting a large folder cheap. False (keys as they were) for a name with a digit
    // outside ASCII: there lessThan is not a consistent order, so only lessThan itself can
    // reproduce its sort.
    [[nodiscard]] static bool appendOrderKey(const QString &name, std::string &keys);
};

} // namespace corvel
