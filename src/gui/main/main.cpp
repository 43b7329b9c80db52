#include "gui/AppRunner.h"
#include "presentation/HelpIndex.h"
#include "workspace/ShippedFiles.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstring>
#include <iostream>

using namespace corvel;

namespace {

// Answered before the application object exists: it needs no display.
bool asksForVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0)
            return true;
    }
    return false;
}

// For install checks: prints the help folder the window would use; fails without its
// contents page.
int printHelpFolder()
{
    const QString folder = ShippedFiles::helpDirectory(
        ShippedFiles::directory(QCoreApplication::applicationDirPath()));
    std::cout << folder.toStdString() << '\n';
    HelpIndex index(folder);
    return index.load() && QFileInfo::exists(folder + u'/' + HelpIndex::contentsPage()) ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (asksForVersion(argc, argv)) {
        std::cout << "corvel " CORVEL_VERSION "\n";
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvel"));
    QApplication::setOrganizationName(QStringLiteral("Tessary"));
    QApplication::setApplicationVersion(QStringLiteral(CORVEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("corvel"));

    // Hidden options for scripted runs (screenshots, benchmarks, install checks): a node to
    // select, whether to list its items once the window is up, where the data files are.
    QCommandLineParser parser;
    QCommandLineOption select(QStringLiteral("select"), QString(), QStringLiteral("path"));
    select.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption load(QStringLiteral("load"));
    load.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption appPath(QStringLiteral("app-path"), QString(), QStringLiteral("dir"));
    appPath.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption helpFolder(QStringLiteral("help-folder"));
    helpFolder.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({select, load, appPath, helpFolder});
    parser.process(app);
    if (parser.isSet(helpFolder))
        return printHelpFolder();

    AppRunner::Options options;
    options.shippedDir = QCoreApplication::applicationDirPath();
    options.appPath = parser.value(appPath);
    options.select = parser.value(select);
    options.load = parser.isSet(load);
    AppRunner runner(std::move(options));
    runner.leaveMemoryAtExit();
    if (!runner.start())
        return 1;
    return QApplication::exec();
}
