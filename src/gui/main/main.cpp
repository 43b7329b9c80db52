#include "gui/AppRunner.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace corvel;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvel"));
    QApplication::setOrganizationName(QStringLiteral("Tessary"));
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));

    // Hidden options for scripted runs (screenshots, benchmarks): a node to select, whether
    // to list its items once the window is up, and where the data files are.
    QCommandLineParser parser;
    QCommandLineOption select(QStringLiteral("select"), QString(), QStringLiteral("path"));
    select.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption load(QStringLiteral("load"));
    load.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption appPath(QStringLiteral("app-path"), QString(), QStringLiteral("dir"));
    appPath.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({select, load, appPath});
    parser.process(app);

    AppRunner::Options options;
    options.shippedDir = QCoreApplication::applicationDirPath();
    options.appPath = parser.value(appPath);
    options.select = parser.value(select);
    options.load = parser.isSet(load);
    AppRunner runner(std::move(options));
    if (!runner.start())
        return 1;
    return QApplication::exec();
}
