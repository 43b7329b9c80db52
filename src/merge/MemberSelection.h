#pragma once

#include "merge/MailMember.h"
#include "support/Result.h"
#include "tree/TreeList.h"

#include <vector>

namespace corvel {

class OlNamespace;

// Whom a run mails, worked out from the tree's selection: a single selected group or listed
// contact folder is mailed whole (its sub-tree), anything else is mailed row by row.
struct MemberSelection
{
    enum class Mode
    {
        List,
        Selection,
    };

    Mode mode = Mode::Selection;
    NodeHandle group; // the group row in list mode
    std::vector<MailMember> members;
    // Identifies the recipients for the run journal: the group's path in list mode.
    QString key;

    [[nodiscard]] static MemberSelection fromTree(const TreeList &tree);
    // Several groups mailed as one run: their members in the order given (the generator mails
    // each address once); the key names the groups whatever their order, so that the same
    // groups named again resume the same run.
    [[nodiscard]] static MemberSelection combined(const std::vector<MemberSelection> &groups);
    // The rows of one group or listed contact folder, as the list mode reads them.
    [[nodiscard]] static MemberSelection ofGroup(const TreeList &tree, NodeHandle group);
    // The members a command line names: a group by its caption (one that two groups share
    // is refused), else a contact folder (EntryID or caption path) as its contacts are now,
    // listed or not.
    [[nodiscard]] static Result<MemberSelection> named(const TreeList &tree, OlNamespace &session,
                                                       const QString &argument);
    // The wizard's count and group caption for the summary "12 Members of Friends".
    struct Summary
    {
        qint64 count = 0;
        QString groupCaption;
    };
    [[nodiscard]] static Summary summarize(const TreeList &tree);
};

} // namespace corvel
