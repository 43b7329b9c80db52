#pragma once

#include <QString>

// What a node of the main tree stands for is read from its named values alone; these are
// the names and the codes every part of the program shares.
namespace corvel {

// The node value `olType`.
enum olType : int
{
    olStore = 0,
    olContactFolder = 1,
    olContactFolderListed = 2,
    olMessageFolder = 3,
    olMessageFolderListed = 4,
    olStandardRoot = 7,
    olDynamicRoot = 8,
    olStandardGroup = 9,
    olDynamicGroup = 10,
    olDynamicMember = 15,
    olContactFolderListing = 20,
    olMessageFolderListing = 21,
    olContactRow = 30,
    olMessageRow = 31,
    olCopiedMember = 35,
    olMailItemMember = 36,
    olTypedMember = 37,
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
} // namespace NodeValueName

// Text colours in the stored form: system colours have the high bit set, palette colours
// are 0x00BBGGRR.
namespace NodeColour {
constexpr quint32 WindowText = 0x80000008;
constexpr quint32 ButtonShadow = 0x80000010;
constexpr quint32 DarkBlue = 0x00800000; // members typed in
constexpr quint32 DarkRed = 0x00000080;  // members that failed verification
} // namespace NodeColour

} // namespace corvel
