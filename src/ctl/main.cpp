#include "ctl/CtlContext.h"
#include "support/FileSystem.h"
#include "workspace/ShippedFiles.h"

#include <QCoreApplication>

#include <map>

using namespace corvel;

namespace {

const char *const Usage =
    "Usage: corvelctl [--app-path DIR] [--json] VERB [ARGS]\n"
    "   or: corvelctl --help | --version\n"
    "Options:\n"
    "  --app-path DIR               the folder of the group and column files\n"
    "  --json                       rows as a JSON array of objects\n"
    "  --help                       this text\n"
    "  --version                    the program's version\n"
    "Verbs:\n"
    "  folders                      the main tree as start-up builds it\n"
    "  setting SECTION KEY [VALUE]  print a setting, or write it; --delete removes the key\n"
    "                               (the whole section when KEY is \"\")\n"
    "  stores [--suggest]           the registered stores; --suggest: the contact and mail\n"
    "                               folders found elsewhere (khard, vdirsyncer, ~/.contacts,\n"
    "                               ~/Maildir, ~/.mail) that could be added as stores\n"
    "  groups                       every mail group with its kind and member count\n"
    "  members GROUP                the members of the group of that name\n"
    "  new-group NAME               a Standard Mail Group\n"
    "  new-dynamic-group NAME --folder FOLDER [--folder FOLDER...] --categories TEXT [--load]\n"
    "  rename GROUP NAME            delete-group GROUP\n"
    "  add-member GROUP NAME ADDRESS   one bare address (local@domain), not there already\n"
    "  edit-member GROUP ADDRESS [--name NAME] [--address ADDRESS]\n"
    "  remove-member GROUP ADDRESS\n"
    "  copy FOLDER GROUP [ENTRYID...]  contacts of a folder into a Standard Mail Group\n"
    "  load GROUP                   reload a Dynamic Mail Group\n"
    "  verify GROUP                 each member with ok or missing\n"
    "  export GROUP FILE            import GROUP FILE   (address list text files; only a\n"
    "                               regular file of at most 256 MiB is read, and a link is\n"
    "                               written through to the file it names); import prints\n"
    "                               \"added N (M already in the group), refused K (line L: ...)\"\n"
    "  list FOLDER                  the contacts or messages of a folder (caption path such as\n"
    "                               \"Personal Folders/Contacts\", or EntryId) as rows\n"
    "  drafts                       the messages of the Drafts folder new letters go to\n"
    "                               (EntryId, Subject)\n"
    "  outbox [--release KEY]       queued, deferred, failed and held messages with the reason;\n"
    "                               --release lets a held or failed message go again\n"
    "  deliver                      deliver the Outbox now; exit status 1 unless every message\n"
    "                               reached every recipient\n"
    "  paths                        the settings file, the data folder and each data file,\n"
    "                               with what is there (file, folder, missing, link to nothing)\n"
    "  new-letter [--subject S] [--to A] [--body-file F] [--attach FILE]...\n"
    "                               save a new letter in Drafts, with the files attached;\n"
    "                               prints its EntryId; the body is a UTF-8 regular file of\n"
    "                               at most 25 MiB\n"
    "  mail GROUP|FOLDER --letter ENTRYID|SUBJECT --mode personal|to|cc|bcc\n"
    "       [--prompt NAME=VALUE]... [--values FILE.csv] [--dry-run] [--resume|--restart]\n"
    "       [--wait SECONDS]\n"
    "                               queue group mail in the Outbox; exit status 1 when any\n"
    "                               member failed or an interrupted run needs a choice; with\n"
    "                               --wait, says what the Outbox did once delivery settled\n";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvelctl"));

    CtlContext context;
    context.user = UserPaths::fromEnvironment();
    QString verb;
    QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (!verb.isEmpty()) {
            if (arg == QStringLiteral("--delete"))
                context.deleteSetting = true;
            else if (arg == QStringLiteral("--json"))
                context.json = true;
            else
                context.args << arg;
        } else if (arg == QStringLiteral("--json")) {
            context.json = true;
        } else if (arg == QStringLiteral("--app-path") && i + 1 < args.size()) {
            context.appPath = args[++i];
        } else if (arg.startsWith(QStringLiteral("--app-path="))) {
            context.appPath = arg.mid(11);
        } else if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            printOut(QString::fromUtf8(Usage));
            return ExitOk;
        } else if (arg == QStringLiteral("--version")) {
            printOut(QStringLiteral("corvelctl " CORVEL_VERSION));
            return ExitOk;
        } else if (arg.startsWith(QLatin1Char('-'))) {
            printError(QStringLiteral("corvelctl: unknown option %1\n%2")
                           .arg(arg, QString::fromUtf8(Usage)));
            return ExitUsage;
        } else {
            verb = arg;
        }
    }

    const std::map<QString, int (*)(const CtlContext &)> verbs = {
        {QStringLiteral("folders"), runFolders},      {QStringLiteral("setting"), runSetting},
        {QStringLiteral("stores"), runStores},        {QStringLiteral("groups"), runGroups},
        {QStringLiteral("members"), runMembers},      {QStringLiteral("list"), runList},
        {QStringLiteral("drafts"), runDrafts},        {QStringLiteral("outbox"), runOutbox},
        {QStringLiteral("deliver"), runDeliver},      {QStringLiteral("paths"), runPaths},
        {QStringLiteral("new-letter"), runNewLetter}, {QStringLiteral("mail"), runGroupMail},
    };
    const auto found = verbs.find(verb);
    if (found == verbs.end()) {
        context.shippedDir = QCoreApplication::applicationDirPath();
        if (context.appPath.isEmpty())
            context.appPath = AppPath(context.shippedDir, context.user.dataFolder());
        const int groupVerb = runGroupVerb(verb, context);
        if (groupVerb >= 0)
            return groupVerb;
        printError(verb.isEmpty() ? QString::fromUtf8(Usage)
                                  : QStringLiteral("corvelctl: unknown verb %1\n%2")
                                        .arg(verb, QString::fromUtf8(Usage)));
        return ExitUsage;
    }
    const QString executableDir = QCoreApplication::applicationDirPath();
    context.shippedDir = ShippedFiles::directory(executableDir);
    if (context.appPath.isEmpty())
        context.appPath = AppPath(executableDir, context.user.dataFolder());
    return found->second(context);
}
