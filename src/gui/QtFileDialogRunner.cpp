#include "gui/QtFileDialogRunner.h"

#include "presentation/CDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace corvel {

QtFileDialogRunner::QtFileDialogRunner(bool nativeDialog)
    : m_nativeDialog(nativeDialog)
{
}

QStringList QtFileDialogRunner::nameFilters(const QString &zeroSeparatedPairs)
{
    QStringList parts = zeroSeparatedPairs.split(QChar(u'\0'));
    while (!parts.isEmpty() && parts.back().isEmpty())
        parts.removeLast();
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i];
        const QString &patternText = parts[i + 1];
        const QString bracketed = QStringLiteral("(") + patternText + QStringLiteral(")");
        if (label.endsWith(bracketed))
            label.chop(bracketed.size());
        label = label.trimmed();
        QStringList patterns = patternText.split(u';', Qt::SkipEmptyParts);
        for (QString &pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QStringLiteral("*.*"))
                pattern = QStringLiteral("*");
        }
        if (label.isEmpty())
            label = patternText;
        filters.append(label + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return filters;
}

void QtFileDialogRunner::configure(QFileDialog &dialog, const CDialogRequest &request)
{
    const bool save = request.action == CDialogRequest::Action::Save;
    const bool multiple = !save && (request.flags & CDialog::OFN_ALLOWMULTISELECT);
    const bool mustExist = request.flags & CDialog::OFN_FILEMUSTEXIST;
    dialog.setWindowTitle(request.title.isEmpty()
                              ? (save ? QStringLiteral("Save As") : QStringLiteral("Open"))
                              : request.title);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (multiple)
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else
        dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite,
                     !(request.flags & CDialog::OFN_OVERWRITEPROMPT));
    dialog.setDefaultSuffix(request.defaultExt);
    if (!request.initDir.isEmpty())
        dialog.setDirectory(request.initDir);
    const QStringList filters = nameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
            dialog.selectNameFilter(filters[request.filterIndex - 1]);
    }
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
}

CDialogReply QtFileDialogRunner::reply(const QFileDialog &dialog, const CDialogRequest &request)
{
    CDialogReply reply;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return reply;
    reply.chosen = true;
    reply.flags = request.flags;
    reply.directory = dialog.directory().absolutePath();
    const qsizetype filter = dialog.nameFilters().indexOf(dialog.selectedNameFilter());
    reply.filterIndex = filter < 0 ? request.filterIndex : static_cast<int>(filter + 1);
    const QChar end(u'\0');
    if (files.size() == 1) {
        reply.fileBuffer = files.front() + end + end;
        return reply;
    }
    const QChar sep = request.separator;
    reply.fileBuffer = QFileInfo(files.front()).absolutePath();
    for (const QString &file : files)
        reply.fileBuffer += sep + QFileInfo(file).fileName();
    reply.fileBuffer += QString(end) + end;
    return reply;
}

CDialogReply QtFileDialogRunner::run(const CDialogRequest &request)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setOption(QFileDialog::DontUseNativeDialog, !m_nativeDialog);
    configure(dialog, request);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return reply(dialog, request);
}

} // namespace corvel
