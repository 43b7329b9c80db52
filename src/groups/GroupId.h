#pragma once

#include <QtGlobal>

namespace corvel {

// Which mail group an operation means: stays valid while the group exists and is recognised
// as stale once it is deleted, whatever the window shows or in which order.
struct GroupId
{
    quint32 slot = 0;
    quint32 generation = 0;

    [[nodiscard]] bool isNull() const { return slot == 0; }
    explicit operator bool() const { return slot != 0; }
    bool operator==(const GroupId &) const = default;
};

} // namespace corvel
