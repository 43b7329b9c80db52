#pragma once

#include <QString>
#include <QStringList>

namespace corvel {

// What an open or save file dialog is asked to show. The answer is the full path chosen,
// or empty text when the user cancelled.
struct FileDialogRequest
{
    enum class Mode
    {
        Open,   // an existing file
        Save,   // a new name or an existing file
        Folder, // an existing folder
    };
    Mode mode = Mode::Open;
    QString title;
    QString initialDir;
    QString fileName;
    QString defaultExt; // without the dot; added to a typed name that has none
    // Name filters as the dialog shows them ("Text (*.txt)"), the first one selected.
    QStringList nameFilters;
    bool overwritePrompt = false; // Save: ask before replacing a file
};

} // namespace corvel
