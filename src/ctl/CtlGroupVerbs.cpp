#include "ctl/CtlContext.h"
#include "folders/FolderLookup.h"
#include "groups/GetNameForm.h"
#include "groups/GroupStore.h"
#include "groups/MailGroups.h"
#include "workspace/GroupPublish.h"
#include "workspace/InstanceLock.h"
#include "workspace/Workspace.h"

#include <QDateTime>
#include <QLocale>

#include <map>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// One run of a verb: what it was given, and what becomes of the group file.
struct VerbRun
{
    MailGroups &groups;
    Workspace &workspace;
    const QStringList &args;
    const char *usage;
    bool changed = true;      // the group file must be written
    bool keepChanges = false; // a verb that failed for part of its input keeps the rest
};

int fail(const QString &reason)
{
    printError(u"corvelctl: "_s + reason);
    return ExitFailed;
}

int usageError(const VerbRun &run)
{
    printError(u"usage: corvelctl "_s + QString::fromUtf8(run.usage));
    return ExitUsage;
}

QString now()
{
    return QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
}

int newGroup(VerbRun &run)
{
    const Result<GroupId> made = run.groups.createStandard(run.args[0]);
    return made.ok() ? ExitOk : fail(made.error());
}

int newDynamicGroup(VerbRun &run)
{
    const QStringList &args = run.args;
    // The name is refused before the folders are looked at, as the window's dialog does.
    if (!GetNameForm::acceptable(args[0]))
        return fail(u"a mail group needs a name"_s);
    DynamicDefinition definition;
    bool load = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--load"_s) {
            load = true;
        } else if (args[i] == u"--categories"_s && i + 1 < args.size()) {
            definition.categories = args[++i];
        } else if (args[i] == u"--folder"_s && i + 1 < args.size()) {
            const Result<DynamicDefinition::Folder> folder = run.groups.sourceFolder(args[++i]);
            if (!folder.ok())
                return fail(folder.error());
            definition.folders.push_back(*folder);
        } else {
            return usageError(run);
        }
    }
    if (definition.folders.empty() || definition.categories.isEmpty())
        return usageError(run);
    const Result<GroupId> made = run.groups.createDynamic(args[0], definition);
    if (!made.ok())
        return fail(made.error());
    if (load) {
        const Result<int> loaded = run.groups.load(*made, now());
        if (!loaded.ok())
            printError(u"corvelctl: "_s + loaded.error());
    }
    return ExitOk;
}

int rename(VerbRun &run)
{
    const Result<GroupId> g = run.groups.find(run.args[0]);
    if (!g.ok())
        return fail(g.error());
    const Status renamed = run.groups.rename(*g, run.args[1]);
    return renamed.ok() ? ExitOk : fail(renamed.error());
}

int deleteGroup(VerbRun &run)
{
    const Result<GroupId> g = run.groups.find(run.args[0]);
    if (!g.ok())
        return fail(g.error());
    const Status removed = run.groups.remove(*g);
    return removed.ok() ? ExitOk : fail(removed.error());
}

int addMember(VerbRun &run)
{
    const Result<GroupId> g = run.groups.find(run.args[0], MailGroup::Kind::Standard);
    if (!g.ok())
        return fail(g.error());
    const Status added = run.groups.addMember(*g, run.args[1], run.args[2]);
    if (!added.ok()) {
        run.changed = false;
        return fail(added.error());
    }
    return ExitOk;
}

int editMember(VerbRun &run)
{
    const QStringList &args = run.args;
    const Result<GroupId> g = run.groups.find(args[0], MailGroup::Kind::Standard);
    if (!g.ok())
        return fail(g.error());
    std::optional<QString> name, address;
    for (qsizetype i = 2; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--name"_s)
            name = args[i + 1];
        else if (args[i] == u"--address"_s)
            address = args[i + 1];
        else
            return fail(u"unknown option "_s + args[i]);
    }
    const Status edited = run.groups.editMember(*g, args[1], name, address);
    return edited.ok() ? ExitOk : fail(edited.error());
}

int removeMember(VerbRun &run)
{
    const Result<GroupId> g = run.groups.find(run.args[0], MailGroup::Kind::Standard);
    if (!g.ok())
        return fail(g.error());
    const Status removed = run.groups.removeMember(*g, run.args[1]);
    return removed.ok() ? ExitOk : fail(removed.error());
}

int copy(VerbRun &run)
{
    const QStringList &args = run.args;
    const Result<GroupId> g = run.groups.find(args[1], MailGroup::Kind::Standard);
    if (!g.ok())
        return fail(g.error());
    const auto copied = run.groups.copyContacts(*g, args[0], args.mid(2));
    if (!copied.ok()) {
        run.changed = false;
        return fail(copied.error());
    }
    printOut(QString::number(run.groups.memberCount(*g)));
    // The contacts copied stay; those refused are named and fail the verb.
    for (const QString &refused : copied->refused)
        printError(u"corvelctl: not copied: "_s + refused);
    run.keepChanges = true;
    return copied->refused.isEmpty() ? ExitOk : ExitFailed;
}

int importGroups(VerbRun &run)
{
    const Result<QStringList> problems = run.groups.importGroupCards(run.args[0]);
    if (!problems.ok()) {
        run.changed = false;
        return fail(problems.error());
    }
    // Members left out do not undo the groups made.
    for (const QString &problem : *problems)
        printError(u"corvelctl: "_s + problem);
    return ExitOk;
}

int load(VerbRun &run)
{
    const Result<GroupId> g = run.groups.find(run.args[0], MailGroup::Kind::Dynamic);
    if (!g.ok())
        return fail(g.error());
    const Result<int> loaded = run.groups.load(*g, now());
    if (!loaded.ok()) {
        run.changed = false;
        return fail(loaded.error());
    }
    printOut(QString::number(*loaded));
    return ExitOk;
}

int verify(VerbRun &run)
{
    const Result<GroupId> g = run.groups.find(run.args[0]);
    if (!g.ok())
        return fail(g.error());
    const auto members = run.groups.verify(*g);
    if (!members.ok())
        return fail(members.error());
    for (const GroupMember &m : *members)
        printOut(m.address + u'\t' + m.name + u'\t' +
                 (m.state == GroupMember::State::Verified ? u"ok"_s : u"missing"_s));
    return ExitOk;
}

int exportList(VerbRun &run)
{
    run.changed = false;
    const Result<GroupId> g = run.groups.find(run.args[0]);
    if (!g.ok())
        return fail(g.error());
    const Status written = run.groups.exportList(*g, run.args[1]);
    if (!written.ok())
        return fail(u"Unable to save file - "_s + run.args[1] + u": "_s + written.error());
    return ExitOk;
}

int importList(VerbRun &run)
{
    const Result<GroupId> g = run.groups.find(run.args[0], MailGroup::Kind::Standard);
    if (!g.ok())
        return fail(g.error());
    const auto loaded = run.groups.importList(*g, run.args[1]);
    if (!loaded.ok()) {
        run.changed = false;
        return fail(u"Unable to Load File - "_s + run.args[1] + u": "_s + loaded.error());
    }
    // The lines added stay; a refused line fails the verb.
    printOut(loaded->summary());
    run.keepChanges = true;
    return loaded->refused.empty() ? ExitOk : ExitFailed;
}

int publishGroup(VerbRun &run)
{
    const QStringList &args = run.args;
    QString folder;
    GroupCard::Dialect dialect = GroupCard::Dialect::Apple;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--to"_s)
            folder = args[i + 1];
        else if (args[i] != u"--dialect"_s || !GroupCard::dialectNamed(args[i + 1], dialect))
            return usageError(run);
    }
    if (folder.isEmpty() || args.size() % 2 == 0)
        return usageError(run);
    run.changed = false;
    const Result<GroupId> g = run.groups.find(args[0]);
    if (!g.ok())
        return fail(g.error());
    const NodeHandle node = findFolder(run.workspace.tree(), folder);
    if (!node)
        return fail(u"there is no contact folder \"%1\""_s.arg(folder));
    GroupPublish publish(run.workspace, run.groups);
    const Result<GroupPublish::Job> job = publish.prepare(*g, node, dialect);
    if (!job.ok())
        return fail(job.error());
    const Result<QStringList> said = publish.finish(*job, job->upload());
    if (!said.ok())
        return fail(said.error());
    run.changed = true;
    for (const QString &line : *said)
        printOut(line);
    return ExitOk;
}

struct Verb
{
    qsizetype minArgs;
    qsizetype maxArgs; // -1: any
    const char *usage;
    int (*run)(VerbRun &);
};

const std::map<QString, Verb> &verbs()
{
    static const std::map<QString, Verb> table = {
        {u"new-group"_s, {1, 1, "new-group NAME", newGroup}},
        {u"new-dynamic-group"_s,
         {5, -1,
          "new-dynamic-group NAME --folder FOLDER [--folder FOLDER...] --categories TEXT "
          "[--load]",
          newDynamicGroup}},
        {u"rename"_s, {2, 2, "rename GROUP NAME", rename}},
        {u"delete-group"_s, {1, 1, "delete-group GROUP", deleteGroup}},
        {u"add-member"_s, {3, 3, "add-member GROUP NAME ADDRESS", addMember}},
        {u"edit-member"_s,
         {4, 6, "edit-member GROUP ADDRESS [--name NAME] [--address ADDRESS]", editMember}},
        {u"remove-member"_s, {2, 2, "remove-member GROUP ADDRESS", removeMember}},
        {u"copy"_s, {2, -1, "copy FOLDER GROUP [ENTRYID...]", copy}},
        {u"load"_s, {1, 1, "load GROUP", load}},
        {u"verify"_s, {1, 1, "verify GROUP", verify}},
        {u"export"_s, {2, 2, "export GROUP FILE", exportList}},
        {u"import"_s, {2, 2, "import GROUP FILE", importList}},
        {u"import-groups"_s, {1, 1, "import-groups FOLDER", importGroups}},
        {u"publish-group"_s,
         {3, 5, "publish-group GROUP --to FOLDER [--dialect apple|vcard4]", publishGroup}},
    };
    return table;
}

// The workspace opened as the window opens it; false with the reasons printed.
bool opened(Workspace &workspace)
{
    const Workspace::Opened opened = workspace.open();
    if (workspace.isSessionOpen() && opened.statusText.isEmpty())
        return true;
    for (const QString &detail : opened.details)
        printError(u"corvelctl: "_s + detail);
    if (opened.details.isEmpty())
        printError(u"corvelctl: "_s + opened.statusText);
    return false;
}

} // namespace

int runGroupVerb(const QString &verb, const CtlContext &context)
{
    const auto found = verbs().find(verb);
    if (found == verbs().end())
        return -1;
    const Verb &v = found->second;
    const qsizetype n = context.args.size();
    if (n < v.minArgs || (v.maxArgs >= 0 && n > v.maxArgs)) {
        printError(u"usage: corvelctl "_s + QString::fromUtf8(v.usage));
        return ExitUsage;
    }
    const auto lock = lockGroupsForChange(context);
    if (!lock)
        return ExitFailed;
    Workspace::Options options;
    options.appPath = context.appPath;
    options.shippedDir = context.shippedDir;
    Workspace workspace(options);
    if (!opened(workspace))
        return ExitFailed;
    MailGroups groups(workspace.tree(), workspace.groups(), workspace.session());
    VerbRun run{groups, workspace, context.args, v.usage};
    const int exit = v.run(run);
    if ((exit == ExitOk || run.keepChanges) && run.changed) {
        const Status saved = workspace.groups().saveGroupFile(workspace.tree());
        if (!saved.ok()) {
            printError(u"corvelctl: the groups could not be saved: "_s + saved.error());
            return ExitFailed;
        }
    }
    return exit;
}

} // namespace corvel
