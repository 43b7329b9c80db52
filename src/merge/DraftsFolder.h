#pragma once

#include <QString>

#include <memory>

namespace corvel {

class OlFolder;
class OlNamespace;

// The one Drafts folder of a session: New Message saves there, and group mail takes its
// letters from there, so the letter just written is the one offered. It is the Drafts folder
// of the store named in Mail Setup when that store has one, else the last one met in the
// order of the session's stores. Only the stores the tree shows count.
class DraftsFolder
{
public:
    // `draftsStore`: the store chosen for new drafts, empty when none is; `includeAllFolders`
    // as the tree was built. Null when no store has a Drafts folder; throws OutlookError when
    // the stores cannot be read.
    [[nodiscard]] static std::shared_ptr<OlFolder>
    choose(OlNamespace &session, const QString &draftsStore, bool includeAllFolders = true);
};

} // namespace corvel
