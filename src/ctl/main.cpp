#include "ctl/CtlContext.h"
#include "ctl/CtlVerbTable.h"
#include "support/FileSystem.h"
#include "workspace/ShippedFiles.h"

#include <QCoreApplication>

using namespace corvel;

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
            else if (arg == QStringLiteral("--find") && i + 1 < args.size())
                context.find = args[++i];
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
            printOut(ctlHelpText());
            return ExitOk;
        } else if (arg == QStringLiteral("--version")) {
            printOut(QStringLiteral("corvelctl " CORVEL_VERSION));
            return ExitOk;
        } else if (arg.startsWith(QLatin1Char('-'))) {
            printError(QStringLiteral("corvelctl: unknown option %1\n%2").arg(arg, ctlHelpText()));
            return ExitUsage;
        } else {
            verb = arg;
        }
    }

    const CtlVerb *found = findCtlVerb(verb);
    if (!found) {
        printError(verb.isEmpty()
                       ? ctlHelpText()
                       : QStringLiteral("corvelctl: unknown verb %1\n%2").arg(verb, ctlHelpText()));
        return ExitUsage;
    }
    // Another verb would ignore --find and print every row as if it had found them.
    if (!context.find.isNull() && verb != QStringLiteral("list") &&
        verb != QStringLiteral("members")) {
        printError(QStringLiteral("corvelctl: --find goes with list and members only"));
        return ExitUsage;
    }
    // Every verb finds the shipped files where the window does, installed or beside it.
    const QString executableDir = QCoreApplication::applicationDirPath();
    context.shippedDir = ShippedFiles::directory(executableDir);
    if (context.appPath.isEmpty())
        context.appPath = AppPath(executableDir, context.user.dataFolder());
    return runCtlVerb(*found, context);
}
