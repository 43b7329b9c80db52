#include "presentation/EmptyTreeHint.h"

#include "presentation/MailSetupForm.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// A longer list would push the first step out of sight; Mail Setup shows them all.
constexpr size_t NamedAtMost = 3;

QString foundText(const std::vector<StoreSuggestion> &found)
{
    QStringList named;
    for (size_t i = 0; i < found.size() && i < NamedAtMost; ++i)
        // Where it was found reads better than a full path ("~/.contacts").
        named << u"%1 (%2)"_s.arg(found[i].store.name, found[i].foundBy.isEmpty()
                                                           ? found[i].store.directory
                                                           : found[i].foundBy.front());
    if (found.size() > NamedAtMost)
        named << u"%1 more"_s.arg(found.size() - NamedAtMost);
    const QString what = found.size() == 1 ? u"1 folder of contacts or mail"_s
                                           : u"%1 folders of contacts or mail"_s.arg(found.size());
    return u"Mail Setup found %1 on this computer: %2. Options > Mail Setup... adds %3."_s.arg(
        what, named.join(u", "_s), found.size() == 1 ? u"it"_s : u"them"_s);
}

} // namespace

QString EmptyTreeHint::text(bool anythingListed, const std::vector<StoreSuggestion> &found)
{
    if (anythingListed)
        return {};
    QString hint = u"Select a contact folder and choose Load Contacts."_s;
    if (!found.empty())
        hint += u"\n\n"_s + foundText(found);
    return hint;
}

std::vector<StoreSuggestion> EmptyTreeHint::storesFound(Workspace &workspace)
{
    MailSetupForm form;
    form.load(workspace.settings());
    const UserPaths user = workspace.userPaths();
    form.setSuggestions(ExistingStoreFinder(user.home, user.configHome).find());
    return form.suggestions();
}

bool EmptyTreeHint::anythingListed(const TreeList &tree)
{
    // A folder listed empty counts: the hint's step was taken.
    for (NodeKind kind :
         {NodeKind::ContactFolderListed, NodeKind::MessageFolderListed,
          NodeKind::ContactFolderListing, NodeKind::MessageFolderListing, NodeKind::DynamicMember,
          NodeKind::CopiedMember, NodeKind::MailItemMember, NodeKind::TypedMember})
        if (!findNodeOfKind(tree, kind).isNull())
            return true;
    return false;
}

} // namespace corvel
