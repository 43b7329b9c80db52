#pragma once

#include "support/Result.h"

#include <QString>

#include <utility>
#include <vector>

namespace corvel {

// The unsubscribe headers of group mail (RFC 2369, and RFC 8058's one-click form for an https
// address): made from the user's setting, a mailto: address and/or an https: URL, in which
// "<<Address>>" stands for the member's address.
class ListUnsubscribe
{
public:
    using Headers = std::vector<std::pair<QString, QString>>;

    // The setting's parts, separated by spaces or commas, angle brackets optional; refused
    // when a part is neither a mailto: nor an https: address, or either is there twice.
    [[nodiscard]] static Result<ListUnsubscribe> parse(const QString &setting);

    [[nodiscard]] bool isEmpty() const { return m_mailto.isEmpty() && m_url.isEmpty(); }
    // The headers of a copy to `memberAddress`; of a copy to several (empty address), a URL
    // naming "<<Address>>" cannot name them all and is left out.
    [[nodiscard]] Headers headersFor(const QString &memberAddress) const;

private:
    QString m_mailto;
    QString m_url;
};

} // namespace corvel
