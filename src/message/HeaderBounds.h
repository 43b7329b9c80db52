#pragma once

#include "support/Result.h"

struct _GMimeHeader;

namespace corvel {

// How much of a header the MIME library is trusted with. Its encoder grows without bound for
// some damaged parameter lists, so a header it would have to encode again is checked first, and
// one that cannot be encoded sanely is refused with the reason.
class HeaderBounds
{
public:
    // Any header is written as it is up to this size; beyond it the message is refused.
    static constexpr qsizetype MaxHeaderOctets = 1024 * 1024;
    static constexpr qsizetype MaxParameterNameOctets = 64;
    static constexpr qsizetype MaxParameterValueOctets = 4096;
    static constexpr int MaxParameters = 64;

    [[nodiscard]] static Status checkSize(_GMimeHeader *header);
    // For a header holding raw 8-bit text, before it is encoded as RFC 2047 words: its size,
    // for Content-Type and Content-Disposition every parameter (a name that is a plain token,
    // sizes within the bounds above), and the encoded form, tried on a scratch header.
    [[nodiscard]] static Status checkEncodable(_GMimeHeader *header);
    // A header as encoded: one header of 7-bit text, folded, ending its last line. The library
    // writes some values it cannot read back (an address list with an unterminated quote) as
    // nothing at all, without the line end, and the empty line after the headers goes with it.
    [[nodiscard]] static Status checkEncoded(_GMimeHeader *header);
};

} // namespace corvel
