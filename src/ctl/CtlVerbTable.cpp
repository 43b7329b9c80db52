#include "ctl/CtlVerbTable.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// The group verbs live with the group commands; the table names them and hands them on.
CtlVerb groupVerb(const QString &name, const QString &synopsis, const QString &description)
{
    return {name, synopsis, description,
            [name](const CtlContext &context) { return runGroupVerb(name, context); }, true};
}

// clang-format off
std::vector<CtlVerb> makeVerbs()
{
    return {
        {u"folders"_s, u"folders"_s, u"the main tree as start-up builds it"_s, runFolders},
        {u"setting"_s, u"setting SECTION KEY [VALUE] | --delete SECTION KEY"_s,
         u"print a setting, or write it; --delete removes the key\n"
         "(the whole section when KEY is \"\")"_s, runSetting},
        {u"stores"_s, u"stores [--suggest]"_s,
         u"the registered stores; --suggest: the contact and mail\n"
         "folders found elsewhere (khard, vdirsyncer, ~/.contacts,\n"
         "~/Maildir, ~/.mail) that could be added as stores"_s, runStores},
        {u"add-store"_s,
         u"add-store NAME LOCATION [--user U] [--password-command CMD]\n"
         "    [--keyring] [--ca-file PEM] [--categories-attribute A]"_s,
         u"register a store: a folder, or a CardDAV (http, https) or\n"
         "LDAP (ldap, ldaps) server's URL; a server's contacts are\n"
         "read from a cache that `sync` brings up to date; --keyring\n"
         "asks for the password once and keeps it in the desktop keyring"_s, runAddStore},
        {u"remove-store"_s, u"remove-store NAME"_s,
         u"unregister a store and drop its cache (nothing on a\n"
         "server or in a folder is deleted)"_s, runRemoveStore},
        {u"sync"_s, u"sync [NAME]"_s,
         u"bring the caches of the stores on servers (or of NAME) up\n"
         "to date: NAME/FOLDER: N contacts (+added ~changed -removed);\n"
         "exit 1 when any failed, with the reason, its cache kept"_s, runSync},
        {u"set-password"_s, u"set-password transport | store NAME"_s,
         u"ask for the mail server's (or the store's) password and keep\n"
         "it in the desktop keyring; transport also sets PasswordStore=keyring"_s,
         runSetPassword},
        {u"groups"_s, u"groups"_s, u"every mail group with its kind and member count"_s, runGroups},
        {u"members"_s, u"members GROUP [--find TEXT]"_s,
         u"the members of the group of that name; --find: those whose\n"
         "shown columns hold TEXT (any case, accents ignored)"_s, runMembers},
        groupVerb(u"new-group"_s, u"new-group NAME"_s, u"a Standard Mail Group"_s),
        groupVerb(u"new-dynamic-group"_s,
                  u"new-dynamic-group NAME --folder FOLDER [--folder FOLDER...]\n"
                  "    --categories TEXT [--load]"_s, u"a Dynamic Mail Group"_s),
        groupVerb(u"rename"_s, u"rename GROUP NAME"_s, u"give a group another name"_s),
        groupVerb(u"delete-group"_s, u"delete-group GROUP"_s, u"delete a group"_s),
        groupVerb(u"add-member"_s, u"add-member GROUP NAME ADDRESS"_s,
                  u"a typed-in member; exit 1 when the address is there already\n"
                  "(in any letter case) or is no single bare address"_s),
        groupVerb(u"edit-member"_s, u"edit-member GROUP ADDRESS [--name NAME] [--address ADDRESS]"_s,
                  u"change a member's name or address"_s),
        groupVerb(u"remove-member"_s, u"remove-member GROUP ADDRESS"_s,
                  u"take a member out of a Standard Mail Group"_s),
        groupVerb(u"copy"_s, u"copy FOLDER GROUP [ENTRYID...]"_s,
                  u"the folder's contacts (all, or those named) into a\n"
                  "Standard Mail Group; prints the member count"_s),
        groupVerb(u"load"_s, u"load GROUP"_s,
                  u"reloads a Dynamic Mail Group; exit 1 when a folder is gone"_s),
        groupVerb(u"verify"_s, u"verify GROUP"_s,
                  u"each member's address, name and \"ok\" or \"missing\""_s),
        groupVerb(u"export"_s, u"export GROUP FILE"_s,
                  u"the members as an address list text file (a link is\n"
                  "written through to the file it names)"_s),
        groupVerb(u"import"_s, u"import GROUP FILE"_s,
                  u"add an address list text file's members (only a regular\n"
                  "file of at most 256 MiB is read); prints \"added N (M\n"
                  "already in the group), refused K (line L: ...)\""_s),
        groupVerb(u"import-groups"_s, u"import-groups FOLDER"_s,
                  u"one Standard Mail Group per group card of the vCard folder"_s),
        groupVerb(u"publish-group"_s, u"publish-group GROUP --to FOLDER [--dialect apple|vcard4]"_s,
                  u"write a Standard Mail Group into a contact folder (of a\n"
                  "server, or local) as a group card; again: the same card,\n"
                  "never over one changed since it was published"_s),
        {u"list"_s, u"list FOLDER [--find TEXT]"_s,
         u"the contacts or messages of a folder (caption path such as\n"
         "\"Personal Folders/Contacts\", or EntryId) as rows; --find:\n"
         "those whose shown columns hold TEXT, as members does"_s, runList},
        {u"drafts"_s, u"drafts"_s,
         u"the messages of the Drafts folder new letters go to\n(EntryId, Subject)"_s, runDrafts},
        {u"outbox"_s, u"outbox [--release KEY]"_s,
         u"queued, deferred, failed and held messages with the reason;\n"
         "--release lets a held or failed message go again"_s, runOutbox},
        {u"deliver"_s, u"deliver"_s,
         u"deliver the Outbox now; exit status 1 unless every message\n"
         "reached every recipient"_s, runDeliver},
        {u"paths"_s, u"paths"_s,
         u"the settings file, the data folder and each data file,\n"
         "with what is there (file, folder, missing, link to nothing)"_s, runPaths},
        {u"new-letter"_s, u"new-letter [--subject S] [--to A] [--reply-to A]\n"
         "    [--body-file F | --html-file F] [--attach FILE]..."_s,
         u"save a new letter in Drafts, with the files attached;\n"
         "prints its EntryId; the body is a UTF-8 regular file of\n"
         "at most 25 MiB; an HTML body keeps the letter's formatting\n"
         "and gives its plain text"_s, runNewLetter},
        {u"mail"_s,
         u"mail GROUP|FOLDER... --letter ENTRYID|SUBJECT --mode personal|to|cc|bcc\n"
         "    [--prompt NAME=VALUE]... [--values FILE.csv] [--dry-run] [--resume|--restart]\n"
         "    [--at \"YYYY-MM-DD HH:MM\"] [--save-to DIR] [--wait SECONDS]\n"
         "    [--test ADDRESS]"_s,
         u"queue group mail in the Outbox; exit status 1 when any\n"
         "member failed or an interrupted run needs a choice; with\n"
         "--wait, says what the Outbox did once delivery settled;\n"
         "--test queues only the first member's copy, to ADDRESS"_s, runGroupMail},
    };
}
// clang-format on

const char HelpHead[] = "Usage: corvelctl [--app-path DIR] [--json] VERB [ARGS]\n"
                        "   or: corvelctl --help | --version\n"
                        "Options:\n"
                        "  --app-path DIR               the folder of the group and column files\n"
                        "  --json                       rows as a JSON array of objects\n"
                        "  --help                       this text\n"
                        "  --version                    the program's version\n"
                        "Verbs:\n";

// Where descriptions start; a synopsis as wide as this, or of more than one line, puts its
// description below it.
constexpr qsizetype DescriptionColumn = 31;

QString helpOf(const CtlVerb &verb)
{
    const QString indent(DescriptionColumn, u' ');
    QStringList lines;
    for (const QString &line : verb.synopsis.split(u'\n'))
        lines << u"  "_s + line;
    const QStringList description = verb.description.split(u'\n');
    if (lines.size() == 1 && lines.back().size() < DescriptionColumn - 1)
        lines.back() = lines.back().leftJustified(DescriptionColumn) + description.front();
    else
        lines << indent + description.front();
    for (qsizetype i = 1; i < description.size(); ++i)
        lines << indent + description[i];
    return lines.join(u'\n') + u'\n';
}

} // namespace

const std::vector<CtlVerb> &ctlVerbs()
{
    static const std::vector<CtlVerb> verbs = makeVerbs();
    return verbs;
}

const CtlVerb *findCtlVerb(const QString &name)
{
    for (const CtlVerb &verb : ctlVerbs())
        if (verb.name == name)
            return &verb;
    return nullptr;
}

QString ctlHelpText()
{
    QString text = QString::fromUtf8(HelpHead);
    for (const CtlVerb &verb : ctlVerbs())
        text += helpOf(verb);
    return text;
}

int runCtlVerb(const CtlVerb &verb, const CtlContext &context)
{
    const int exit = verb.handler(context);
    if (exit == ExitUsage && !verb.printsOwnUsage)
        printError(u"usage: corvelctl "_s + verb.synopsis);
    return exit;
}

} // namespace corvel
