#include "app/AppRunner.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace corvel;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvel"));
    QApplication::setOrganizationName(QStringLiteral("Tessary"));
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));

    // Hidden options for scripted runs (screenshots, benchmarks): a node to select and
    // whether to list its items once the window is up.
    QCommandLineParser parser;
    QCommandLineOption select(QStringLiteral("select"), QString(), QStringLiteral("path"));
    select.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption load(QStringLiteral("load"));
    load.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({select, load});
    parser.process(app);

    AppRunner::Options options;
    options.shippedDir = QCoreApplication::applicationDirPath();
    options.select = parser.value(select);
    options.load = parser.isSet(load);
    AppRunner runner(std::move(options));
    if (!runner.start())
        return 1;
    return QApplication::exec();
}
