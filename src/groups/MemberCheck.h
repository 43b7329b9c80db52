#pragma once

#include "support/Result.h"

#include <QString>

namespace corvel {

// What a member of a mail group may hold, checked wherever members enter (typed in, edited,
// loaded from a file, copied from contacts, imported from group cards), so nothing stored
// can later put a header or a second recipient into a message.
class MemberCheck
{
public:
    // One bare address, local@domain (an RFC 5322 addr-spec; letters outside ASCII allowed),
    // with blanks around it dropped. Refused, with the reason: nothing, a control character,
    // a display name or angle brackets, several addresses, an encoded word, a quoted local
    // part, no @.
    [[nodiscard]] static Result<QString> address(const QString &text);
    // A member's name, blanks around it dropped; a line break, NUL or other control
    // character is refused.
    [[nodiscard]] static Result<QString> name(const QString &text);
};

} // namespace corvel
