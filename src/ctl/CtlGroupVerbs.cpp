#include "ctl/CtlContext.h"
#include "folders/ItemLists.h"
#include "groups/AddressBookGroupImport.h"
#include "groups/AddressListFile.h"
#include "groups/GetNameForm.h"
#include "groups/GroupEditor.h"
#include "groups/GroupStore.h"
#include "session/OutlookSession.h"
#include "support/FieldStrings.h"
#include "tree/NodeKinds.h"
#include "workspace/InstanceLock.h"
#include "workspace/Workspace.h"

#include <QDateTime>
#include <QLocale>
#include <QSet>

#include <map>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

struct Usage
{
    qsizetype minArgs;
    qsizetype maxArgs; // -1: any
    const char *text;
};

const std::map<QString, Usage> &usages()
{
    static const std::map<QString, Usage> table = {
        {u"new-group"_s, {1, 1, "new-group NAME"}},
        {u"new-dynamic-group"_s,
         {5, -1,
          "new-dynamic-group NAME --folder FOLDER [--folder FOLDER...] --categories TEXT "
          "[--load]"}},
        {u"rename"_s, {2, 2, "rename GROUP NAME"}},
        {u"delete-group"_s, {1, 1, "delete-group GROUP"}},
        {u"add-member"_s, {3, 3, "add-member GROUP NAME ADDRESS"}},
        {u"edit-member"_s, {4, 6, "edit-member GROUP ADDRESS [--name NAME] [--address ADDRESS]"}},
        {u"remove-member"_s, {2, 2, "remove-member GROUP ADDRESS"}},
        {u"copy"_s, {2, -1, "copy FOLDER GROUP [ENTRYID...]"}},
        {u"load"_s, {1, 1, "load GROUP"}},
        {u"verify"_s, {1, 1, "verify GROUP"}},
        {u"export"_s, {2, 2, "export GROUP FILE"}},
        {u"import"_s, {2, 2, "import GROUP FILE"}},
        {u"import-groups"_s, {1, 1, "import-groups FOLDER"}},
    };
    return table;
}

// Why the verb failed; empty when it did not.
struct Failure
{
    QString reason;
};

class GroupVerb
{
public:
    GroupVerb(Workspace &workspace, const CtlContext &context)
        : m_ws(workspace)
        , m_tree(workspace.tree())
        , m_context(context)
        , m_editor(workspace.tree(), workspace.groups(), workspace.session())
    {
    }

    // Exit status; sets `changed` when the group file must be written.
    int run(const QString &verb, bool &changed);
    // The verb failed for part of what it was given and kept the rest: changes are saved.
    [[nodiscard]] bool keepChanges() const { return m_keepChanges; }

private:
    // A group by caption; null with the reason printed when none or several share it.
    NodeHandle group(const QString &caption, NodeKind wanted = NodeKind::Store);
    NodeHandle root(NodeKind kind) const { return findNodeOfKind(m_tree, kind); }
    NodeHandle member(NodeHandle group, const QString &address) const;
    // The window's rule for a group's name; the reason printed when it is broken.
    bool nameRefused(const QString &name) const
    {
        if (GetNameForm::acceptable(name))
            return false;
        (void)fail(u"a mail group needs a name"_s);
        return true;
    }
    int fail(const QString &reason) const
    {
        printError(u"corvelctl: "_s + reason);
        return ExitFailed;
    }

    Workspace &m_ws;
    TreeList &m_tree;
    const CtlContext &m_context;
    GroupEditor m_editor;
    bool m_keepChanges = false;
};

NodeHandle GroupVerb::group(const QString &caption, NodeKind wanted)
{
    const Result<NodeHandle> found = GroupStore::groupNamed(m_tree, caption);
    if (!found.ok()) {
        (void)fail(found.error());
        return {};
    }
    if (wanted != NodeKind::Store && nodeKind(m_tree, *found) != wanted) {
        (void)fail(wanted == NodeKind::StandardGroup
                       ? u"\"%1\" is not a Standard Mail Group"_s.arg(caption)
                       : u"\"%1\" is not a Dynamic Mail Group"_s.arg(caption));
        return {};
    }
    return *found;
}

NodeHandle GroupVerb::member(NodeHandle g, const QString &address) const
{
    for (NodeHandle m = m_tree.firstChild(g); m; m = m_tree.nextSibling(m)) {
        if (m_tree.value(m, NodeValueName::Email1Address()).toString() == address)
            return m;
    }
    return {};
}

int GroupVerb::run(const QString &verb, bool &changed)
{
    const QStringList &a = m_context.args;
    changed = true;
    if (verb == u"new-group"_s) {
        if (nameRefused(a[0]))
            return ExitFailed;
        (void)m_editor.addStandardGroup(root(NodeKind::StandardRoot), a[0]);
        return ExitOk;
    }
    if (verb == u"new-dynamic-group"_s) {
        if (nameRefused(a[0]))
            return ExitFailed;
        DynGrpParms parms;
        parms.name = a[0];
        bool load = false;
        QStringList ids, stores, names;
        for (qsizetype i = 1; i < a.size(); ++i) {
            if (a[i] == u"--load"_s) {
                load = true;
            } else if (a[i] == u"--categories"_s && i + 1 < a.size()) {
                parms.categories = a[++i];
            } else if (a[i] == u"--folder"_s && i + 1 < a.size()) {
                const NodeHandle folder = findFolder(m_tree, a[++i]);
                const NodeKind kind = nodeKind(m_tree, folder);
                if (!folder ||
                    (kind != NodeKind::ContactFolder && kind != NodeKind::ContactFolderListed))
                    return fail(u"there is no contact folder \"%1\""_s.arg(a[i]));
                ids << m_tree.value(folder, NodeValueName::EntryId()).toString();
                stores << m_tree.value(folder, NodeValueName::StoreId()).toString();
                names << DynGrpParms::listSafe(m_tree.caption(folder));
            } else {
                printError(u"usage: corvelctl "_s + QString::fromUtf8(usages().at(verb).text));
                return ExitUsage;
            }
        }
        if (ids.isEmpty() || parms.categories.isEmpty()) {
            printError(u"usage: corvelctl "_s + QString::fromUtf8(usages().at(verb).text));
            return ExitUsage;
        }
        parms.entryIds = ids.join(ListSeparator);
        parms.storeIds = stores.join(ListSeparator);
        parms.folderNames = names.join(ListSeparator);
        const NodeHandle g = m_editor.addDynamicGroup(root(NodeKind::DynamicRoot), parms);
        if (load) {
            const QString missing = m_editor.LoadDynamicGroup(
                g, QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat));
            if (!missing.isEmpty())
                printError(u"corvelctl: "_s + missing + u" is not available"_s);
        }
        return ExitOk;
    }
    if (verb == u"rename"_s) {
        const NodeHandle g = group(a[0]);
        if (!g || nameRefused(a[1]))
            return ExitFailed;
        m_tree.setCaption(g, a[1]);
        return ExitOk;
    }
    if (verb == u"delete-group"_s) {
        const NodeHandle g = group(a[0]);
        if (!g)
            return ExitFailed;
        m_tree.remove(g);
        return ExitOk;
    }
    if (verb == u"add-member"_s) {
        const NodeHandle g = group(a[0], NodeKind::StandardGroup);
        if (!g)
            return ExitFailed;
        const Status added = m_editor.addTypedMember(g, a[1], a[2]);
        if (!added.ok()) {
            changed = false;
            return fail(added.error());
        }
        return ExitOk;
    }
    if (verb == u"edit-member"_s) {
        const NodeHandle g = group(a[0], NodeKind::StandardGroup);
        if (!g)
            return ExitFailed;
        const NodeHandle m = member(g, a[1]);
        if (!m)
            return fail(u"\"%1\" has no member %2"_s.arg(a[0], a[1]));
        if (nodeKind(m_tree, m) != NodeKind::TypedMember)
            return fail(u"%1 was copied from a contact: edit the contact"_s.arg(a[1]));
        QString name = m_tree.value(m, NodeValueName::FileAs()).toString();
        QString address = a[1];
        for (qsizetype i = 2; i + 1 < a.size(); i += 2) {
            if (a[i] == u"--name"_s)
                name = a[i + 1];
            else if (a[i] == u"--address"_s)
                address = a[i + 1];
            else
                return fail(u"unknown option "_s + a[i]);
        }
        const Status edited = m_editor.editTypedMember(m, name, address);
        return edited.ok() ? ExitOk : fail(edited.error());
    }
    if (verb == u"remove-member"_s) {
        const NodeHandle g = group(a[0], NodeKind::StandardGroup);
        if (!g)
            return ExitFailed;
        const NodeHandle m = member(g, a[1]);
        if (!m)
            return fail(u"\"%1\" has no member %2"_s.arg(a[0], a[1]));
        m_editor.removeNodes({m});
        return ExitOk;
    }
    if (verb == u"copy"_s) {
        const NodeHandle g = group(a[1], NodeKind::StandardGroup);
        if (!g)
            return ExitFailed;
        NodeHandle folder = findFolder(m_tree, a[0]);
        const NodeKind kind = nodeKind(m_tree, folder);
        if (!folder || (kind != NodeKind::ContactFolder && kind != NodeKind::ContactFolderListed &&
                        kind != NodeKind::ContactFolderListing))
            return fail(u"there is no contact folder \"%1\""_s.arg(a[0]));
        ItemLists lists(m_tree, *m_ws.session(), m_ws.groups().columnSets());
        folder = lists.rowsHolder(folder);
        const Status listed = lists.LoadContacts(folder);
        if (!listed.ok())
            return fail(listed.error());
        QSet<QString> unmatched(a.begin() + 2, a.end());
        const bool all = unmatched.isEmpty();
        std::vector<NodeHandle> rows;
        for (const NodeHandle row : m_tree.children(lists.rowsHolder(folder))) {
            if (all || unmatched.remove(m_tree.value(row, NodeValueName::EntryId()).toString()))
                rows.push_back(row);
        }
        // A mistyped id copies nothing rather than some of what was meant.
        if (!unmatched.isEmpty()) {
            QStringList ids(unmatched.begin(), unmatched.end());
            ids.sort();
            changed = false;
            return fail(u"no contact of \"%1\" has the id %2"_s.arg(a[0], ids.join(u", "_s)));
        }
        const GroupEditor::Copied copied = m_editor.copyContacts(g, rows);
        printOut(QString::number(m_tree.childCount(g)));
        // The contacts copied stay; those refused are named and fail the verb.
        for (const QString &refused : copied.refused)
            printError(u"corvelctl: not copied: "_s + refused);
        m_keepChanges = true;
        return copied.refused.isEmpty() ? ExitOk : ExitFailed;
    }
    if (verb == u"import-groups"_s) {
        const NodeHandle folder = findFolder(m_tree, a[0]);
        const NodeKind kind = nodeKind(m_tree, folder);
        if (!folder || (kind != NodeKind::ContactFolder && kind != NodeKind::ContactFolderListed &&
                        kind != NodeKind::ContactFolderListing)) {
            changed = false;
            return fail(u"there is no contact folder \"%1\""_s.arg(a[0]));
        }
        const Result<QStringList> problems =
            AddressBookGroupImport(m_tree, m_editor)
                .runFolder(*m_ws.session(), folder, root(NodeKind::StandardRoot));
        if (!problems.ok()) {
            changed = false;
            return fail(problems.error());
        }
        // Members left out do not undo the groups made.
        for (const QString &problem : *problems)
            printError(u"corvelctl: "_s + problem);
        return ExitOk;
    }
    if (verb == u"load"_s) {
        const NodeHandle g = group(a[0], NodeKind::DynamicGroup);
        if (!g)
            return ExitFailed;
        const QString missing = m_editor.LoadDynamicGroup(
            g, QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat));
        if (!missing.isEmpty()) {
            changed = false;
            return fail(missing + u" is not available"_s);
        }
        printOut(QString::number(m_tree.childCount(g)));
        return ExitOk;
    }
    if (verb == u"verify"_s) {
        const NodeHandle g = group(a[0]);
        if (!g)
            return ExitFailed;
        // A refreshed name moves its member in the group's order: walk a snapshot, so each
        // member is visited once and the group is sorted again once, not after every member.
        for (const NodeHandle m : m_tree.children(g)) {
            const bool ok = m_editor.VerifyMember(m);
            printOut(m_tree.value(m, NodeValueName::Email1Address()).toString() + u'\t' +
                     m_tree.value(m, NodeValueName::FileAs()).toString() + u'\t' +
                     (ok ? u"ok"_s : u"missing"_s));
        }
        return ExitOk;
    }
    if (verb == u"export"_s) {
        changed = false;
        const NodeHandle g = group(a[0]);
        if (!g)
            return ExitFailed;
        const Status written = AddressListFile::write(a[1], m_editor.entriesOf(g));
        if (!written.ok())
            return fail(u"Unable to save file - "_s + a[1] + u": "_s + written.error());
        return ExitOk;
    }
    if (verb == u"import"_s) {
        const NodeHandle g = group(a[0], NodeKind::StandardGroup);
        if (!g)
            return ExitFailed;
        const auto entries = AddressListFile::read(a[1]);
        if (!entries.ok()) {
            changed = false;
            return fail(u"Unable to Load File - "_s + a[1] + u": "_s + entries.error());
        }
        const GroupEditor::Loaded loaded = m_editor.addEntries(g, *entries);
        // The lines added stay; a refused line fails the verb.
        printOut(loaded.summary());
        m_keepChanges = true;
        return loaded.refused.empty() ? ExitOk : ExitFailed;
    }
    changed = false;
    return ExitUsage;
}

} // namespace

int runGroupVerb(const QString &verb, const CtlContext &context)
{
    const auto usage = usages().find(verb);
    if (usage == usages().end())
        return -1;
    const qsizetype n = context.args.size();
    if (n < usage->second.minArgs || (usage->second.maxArgs >= 0 && n > usage->second.maxArgs)) {
        printError(u"usage: corvelctl "_s + QString::fromUtf8(usage->second.text));
        return ExitUsage;
    }
    const auto lock = lockGroupsForChange(context);
    if (!lock)
        return ExitFailed;
    Workspace::Options options;
    options.appPath = context.appPath;
    options.shippedDir = context.shippedDir;
    Workspace workspace(options);
    const Workspace::Opened opened = workspace.open();
    if (!workspace.isSessionOpen() || !opened.statusText.isEmpty()) {
        for (const QString &detail : opened.details)
            printError(u"corvelctl: "_s + detail);
        if (opened.details.isEmpty())
            printError(u"corvelctl: "_s + opened.statusText);
        return ExitFailed;
    }
    bool changed = false;
    GroupVerb runner(workspace, context);
    const int exit = runner.run(verb, changed);
    if ((exit == ExitOk || runner.keepChanges()) && changed) {
        const Status saved = workspace.groups().SaveGroupFile(workspace.tree());
        if (!saved.ok()) {
            printError(u"corvelctl: the groups could not be saved: "_s + saved.error());
            return ExitFailed;
        }
    }
    return exit;
}

} // namespace corvel
