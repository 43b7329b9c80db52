#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace corvel {

// What an open or save file dialog is asked to show. The answer is the full path chosen,
// or empty text when the user cancelled.
struct FileDialogRequest
{
    enum class Mode
    {
        Open,
        Save,
    };
    Mode mode = Mode::Open;
    QString title;
    QString initialDir;
    QString fileName;
    QString defaultExt; // without the dot; added to a typed name that has none
    // Description and pattern(s), such as {"Text (*.txt)", "*.txt"}, in the order shown.
    QList<QPair<QString, QString>> filters;
    bool overwritePrompt = false; // Save: ask before replacing a file
    bool pathMustExist = false;   // the folder of a typed name must exist
    bool fileMustExist = false;   // Open: the file must exist
};

} // namespace corvel
