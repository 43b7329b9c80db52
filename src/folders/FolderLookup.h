#pragma once

#include "tree/TreeList.h"

#include <QString>

namespace corvel {

enum class NodeKind : int;

// Whether a node of that kind can be listed: a contact or message folder, or a listing.
[[nodiscard]] bool isListable(NodeKind kind);
// Whether it is a contact folder or a contact folder's listing.
[[nodiscard]] bool isContactFolder(NodeKind kind);

// A folder by its EntryId or its caption path ("Personal Folders/Contacts", any letter
// case; the last step may name the listing node a folder with sub-folders will get); null
// when none.
[[nodiscard]] NodeHandle findFolder(const TreeList &tree, const QString &argument);

} // namespace corvel
