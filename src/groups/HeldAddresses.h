#pragma once

#include "tree/TreeList.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace corvel {

// The addresses a group holds, compared as the duplicate checks compare them: without regard
// to letter case. Taking them from the tree only shares their texts, so a worker can be handed
// them cheaply and do the folding and indexing itself, at the first question.
class HeldAddresses
{
public:
    HeldAddresses() = default;
    [[nodiscard]] static HeldAddresses of(const TreeList &tree, NodeHandle group);

    [[nodiscard]] bool contains(const QString &address);
    // False, and nothing added, when the address is held already.
    bool insert(const QString &address);

private:
    void index();

    QStringList m_addresses;
    QSet<QString> m_folded;
    bool m_indexed = false;
};

} // namespace corvel
