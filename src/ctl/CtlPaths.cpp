#include "ctl/CtlContext.h"
#include "ctl/CtlTable.h"
#include "workspace/Workspace.h"

#include <QFile>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// What is at a path, as the user would look for it: a link is followed.
QString kindOf(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st
    {
    };
    if (::stat(name.constData(), &st) != 0)
        return ::lstat(name.constData(), &st) == 0 ? u"link to nothing"_s : u"missing"_s;
    if (S_ISREG(st.st_mode))
        return u"file"_s;
    if (S_ISDIR(st.st_mode))
        return u"folder"_s;
    return u"other"_s;
}

} // namespace

int runPaths(const CtlContext &context)
{
    if (!context.args.isEmpty())
        return ExitUsage;
    Workspace::Options options;
    options.appPath = context.appPath;
    options.shippedDir = context.shippedDir;
    Workspace workspace(options);
    const GroupStore &groups = workspace.groups();
    const std::pair<QString, QString> rows[] = {
        {u"settings"_s, workspace.settings().filePath()},
        {u"data folder"_s, context.appPath},
        {u"groups"_s, groups.groupFilePath()},
        {u"groups backup"_s, groups.groupBackupPath()},
        {u"columns"_s, groups.folderSettingsPath()},
        {u"columns backup"_s, groups.folderSettingsBackupPath()},
        {u"column defaults"_s, groups.classDefaultsPath()},
    };
    CtlTable table(context.json);
    for (const auto &[what, path] : rows) {
        const QString kind = kindOf(path);
        table.add({{u"what"_s, what},
                   {u"path"_s, path},
                   {u"exists"_s, kind != u"missing"_s},
                   {u"kind"_s, kind}},
                  {what, path, kind});
    }
    table.print();
    return ExitOk;
}

} // namespace corvel
