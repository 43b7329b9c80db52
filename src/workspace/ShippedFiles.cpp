#include "workspace/ShippedFiles.h"

#include "support/FileSystem.h"

#include <QDir>

using namespace Qt::StringLiterals;

#ifndef CORVEL_INSTALLED_DATA_DIR
#define CORVEL_INSTALLED_DATA_DIR "../share/corvel"
#endif

namespace corvel {

QString ShippedFiles::installedRelativePath()
{
    return QStringLiteral(CORVEL_INSTALLED_DATA_DIR);
}

QString ShippedFiles::directory(const QString &executableDir)
{
    const QString marker = u"mailstandards.sys"_s;
    const QString beside = QDir::cleanPath(executableDir);
    if (FileExists(beside + u'/' + marker))
        return beside;
    const QString installed = QDir::cleanPath(QDir(beside).filePath(installedRelativePath()));
    if (FileExists(installed + u'/' + marker))
        return installed;
    return beside;
}

QString ShippedFiles::helpDirectory(const QString &shippedDir)
{
    return QDir(shippedDir).filePath(u"help"_s);
}

} // namespace corvel
