#pragma once

#include <QString>

namespace corvel {

// Asks the user for the value of a prompted merge field: the single-line input dialog in the
// window, answers given on the command line or a script in tests.
class MergePrompter
{
public:
    virtual ~MergePrompter() = default;

    // The typed text on OK, "" on Cancel. memberAddress says whose copy is being filled.
    [[nodiscard]] virtual QString GetName(const QString &initial, const QString &caption,
                                          const QString &promptName,
                                          const QString &memberAddress) = 0;
};

} // namespace corvel
