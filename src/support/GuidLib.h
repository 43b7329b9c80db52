#pragma once

#include <QString>

namespace corvel {

// A new random identifier for a group, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper
// case; empty when no random source was available.
[[nodiscard]] QString NewGroupGuid();

} // namespace corvel
