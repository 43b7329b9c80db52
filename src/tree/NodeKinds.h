#pragma once

#include "tree/TreeList.h"

#include <QString>

// What a node of the main tree stands for is read from its named values alone; these are
// the names and the codes every part of the program shares.
namespace corvel {

// What a node stands for, stored as its node value "olType" (the numbers are those of the
// group file and must not change).
enum class NodeKind : int
{
    Store = 0,
    ContactFolder = 1,
    ContactFolderListed = 2,
    MessageFolder = 3,
    MessageFolderListed = 4,
    StandardRoot = 7,
    DynamicRoot = 8,
    StandardGroup = 9,
    DynamicGroup = 10,
    DynamicMember = 15,
    ContactFolderListing = 20,
    MessageFolderListing = 21,
    ContactRow = 30,
    MessageRow = 31,
    CopiedMember = 35,
    MailItemMember = 36,
    TypedMember = 37,
};

// Node pictures, by resource number.
enum NodePicture : int
{
    picPersonalFolders = 101,
    picOtherStore = 102,
    picInbox = 103,
    picContactFolder = 104,
    picMessageFolder = 105,
    picOutbox = 106,
    picSentItems = 107,
    picDrafts = 108,
    picDeletedItems = 109,
    picStandardRoot = 110,
    picDynamicRoot = 111,
    picStandardGroup = 112,
    picDynamicGroup = 115,
};

namespace NodeValueName {
inline QString olType()
{
    return QStringLiteral("olType");
}
inline QString EntryId()
{
    return QStringLiteral("EntryId");
}
inline QString StoreId()
{
    return QStringLiteral("StoreId");
}
inline QString SortMe()
{
    return QStringLiteral("SortMe");
}
inline QString FileAs()
{
    return QStringLiteral("FileAs");
}
inline QString Email1Address()
{
    return QStringLiteral("Email1Address");
}
inline QString Categories()
{
    return QStringLiteral("Categories");
}
inline QString Subject()
{
    return QStringLiteral("Subject");
}
inline QString GUID()
{
    return QStringLiteral("GUID");
}
inline QString InCats()
{
    return QStringLiteral("InCats");
}
inline QString EntryIds()
{
    return QStringLiteral("EntryIds");
}
inline QString StoreIds()
{
    return QStringLiteral("StoreIds");
}
inline QString FolderNames()
{
    return QStringLiteral("FolderNames");
}
inline QString LastLoaded()
{
    return QStringLiteral("LastLoaded");
}
// A Standard Mail Group published as a group card: the card's UID, the folder it went to
// and that card's version as published (a server's etag, or a hash of a local file).
inline QString CardUID()
{
    return QStringLiteral("CardUID");
}
inline QString CardFolder()
{
    return QStringLiteral("CardFolder");
}
inline QString CardTag()
{
    return QStringLiteral("CardTag");
}
} // namespace NodeValueName

// The one way the kind of a node is read and written. A node without the value reads as a
// store (0), as an empty value reads as 0 everywhere.
[[nodiscard]] inline NodeKind nodeKind(const TreeList &tree, NodeHandle node)
{
    return static_cast<NodeKind>(tree.value(node, NodeValueName::olType()).toInt());
}
inline void setNodeKind(TreeList &tree, NodeHandle node, NodeKind kind)
{
    tree.setValue(node, NodeValueName::olType(), static_cast<int>(kind));
}
// The first node of that kind in display order, or none.
[[nodiscard]] inline NodeHandle findNodeOfKind(const TreeList &tree, NodeKind kind)
{
    return tree.findByValue(static_cast<int>(kind), NodeValueName::olType());
}

// Text colours in the stored form: system colours have the high bit set, palette colours
// are 0x00BBGGRR.
namespace NodeColour {
constexpr quint32 WindowText = 0x80000008;
constexpr quint32 ButtonShadow = 0x80000010;
constexpr quint32 DarkBlue = 0x00800000; // members typed in
constexpr quint32 DarkRed = 0x00000080;  // members that failed verification
} // namespace NodeColour

} // namespace corvel
