#include "groups/HeldAddresses.h"

#include "tree/NodeKinds.h"

namespace corvel {

HeldAddresses HeldAddresses::of(const TreeList &tree, NodeHandle group)
{
    HeldAddresses held;
    held.m_addresses.reserve(tree.childCount(group));
    for (NodeHandle member = tree.firstChild(group); member; member = tree.nextSibling(member))
        held.m_addresses.append(tree.value(member, NodeValueName::Email1Address()).toString());
    return held;
}

void HeldAddresses::index()
{
    m_folded.reserve(m_addresses.size());
    for (const QString &address : std::as_const(m_addresses))
        m_folded.insert(address.toCaseFolded());
    m_addresses.clear();
    m_indexed = true;
}

bool HeldAddresses::contains(const QString &address)
{
    if (!m_indexed)
        index();
    return m_folded.contains(address.toCaseFolded());
}

bool HeldAddresses::insert(const QString &address)
{
    if (!m_indexed)
        index();
    const QString key = address.toCaseFolded();
    if (m_folded.contains(key))
        return false;
    m_folded.insert(key);
    return true;
}

} // namespace corvel
