#include "ctl/CtlContext.h"
#include "folders/FolderRows.h"
#include "groups/GroupStore.h"
#include "workspace/Workspace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace corvel {

namespace {

// A value holding a tab or a line break would shift the cells of every line after it.
QString oneCell(QString value)
{
    for (QChar &c : value) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return value;
}

} // namespace

int runList(const CtlContext &context)
{
    if (context.args.size() != 1)
        return ExitUsage;
    Workspace::Options options;
    options.appPath = context.appPath;
    options.shippedDir = context.shippedDir;
    Workspace workspace(options);
    const Workspace::Opened opened = workspace.open();
    for (const QString &detail : opened.details)
        printError(QStringLiteral("corvelctl: %1").arg(detail));
    if (!workspace.isSessionOpen()) {
        if (opened.details.isEmpty())
            printError(QStringLiteral("corvelctl: %1").arg(opened.statusText));
        return ExitFailed;
    }
    const bool complete = opened.statusText.isEmpty();

    const auto listed =
        FolderRows::items(workspace.tree(), *workspace.session(), workspace.groups().columnSets(),
                          context.args[0], context.json, context.find);
    if (!listed.ok()) {
        printError(QStringLiteral("corvelctl: %1").arg(listed.error()));
        return ExitFailed;
    }
    QJsonArray rows;
    QString text;
    for (const TableRow &row : *listed) {
        if (context.json) {
            rows.append(row.json);
        } else {
            QStringList cells;
            for (const QString &cell : row.cells)
                cells << oneCell(cell);
            text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
        }
    }
    if (context.json)
        printOut(QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented)));
    else if (!text.isEmpty())
        printOut(text);
    return complete ? ExitOk : ExitFailed;
}

} // namespace corvel
