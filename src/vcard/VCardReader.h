#pragma once

#include "vcard/VCardContact.h"

#include <QByteArrayView>

#include <vector>

namespace corvel {

// Reads vCard 2.1, 3.0 and 4.0 data into contacts, one per card, in order. Tolerant: text
// outside cards is ignored, a card missing its END ends where the next one begins or at the
// end of the data, and what cannot be read is skipped; it never fails. Linear in the input.
class VCardReader
{
public:
    [[nodiscard]] static std::vector<VCardContact> read(QByteArrayView data);
};

} // namespace corvel
