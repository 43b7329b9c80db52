#include "merge/DraftsFolder.h"

#include "folders/FolderTree.h"
#include "session/OutlookSession.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

std::shared_ptr<OlFolder> DraftsFolder::choose(OlNamespace &session, const QString &draftsStore,
                                               bool includeAllFolders)
{
    std::shared_ptr<OlFolder> chosen;
    for (const std::shared_ptr<OlFolder> &store : session.Folders()) {
        // A Drafts folder the tree does not show could not be offered by Create Mail.
        if (!FolderTree::listsStore(store->Name(), includeAllFolders))
            continue;
        for (const std::shared_ptr<OlFolder> &folder : store->Folders()) {
            if (!sameText(folder->Name(), u"Drafts"_s) ||
                !sameText(folder->DefaultMessageClass(), u"IPM.Note"_s))
                continue;
            if (!draftsStore.isEmpty() && sameText(store->Name(), draftsStore))
                return folder;
            chosen = folder;
        }
    }
    return chosen;
}

} // namespace corvel
