#pragma once

#include "session/OutlookSession.h"

namespace corvel {

// A mail message of any store: the contact members refuse with OutlookError.
class OlMessageItem : public OlItem
{
public:
    [[nodiscard]] int Class() const override { return olMailItem; }

    [[nodiscard]] QString FileAs() const override;
    [[nodiscard]] QString Email1Address() const override;
    [[nodiscard]] QString Categories() const override;
    [[nodiscard]] ContactCard Card() const override;
};

} // namespace corvel
