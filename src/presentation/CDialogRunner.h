#pragma once

#include <QString>

#include <cstdint>

namespace corvel {

// What the file dialog model hands to whatever shows the dialog, in the classic
// common-dialog form: filter pairs separated by zero characters, flags as bits.
struct CDialogRequest
{
    enum class Action
    {
        Open = 1,
        Save = 2,
    };
    Action action = Action::Open;
    QString title;
    QString filter;      // description \0 filespec \0 description \0 filespec ...
    int filterIndex = 1; // 1-based
    QString fileName;
    QString initDir;
    QString defaultExt;
    std::uint32_t flags = 0;
    // Separates the directory and the names of a multiple selection in the reply.
    QChar separator = QLatin1Char(' ');
};

struct CDialogReply
{
    bool chosen = false;
    int extendedError = 0; // 0 when the user cancelled
    // One full name; or, for a multiple selection of several files, the directory and the
    // names, each followed by the request's separator.
    QString fileBuffer;
    int filterIndex = 1;
    std::uint32_t flags = 0;
    QString directory; // the folder the dialog ended in
};

// Shows a file dialog: on the screen, or scripted in tests.
class CDialogRunner
{
public:
    virtual ~CDialogRunner() = default;
    [[nodiscard]] virtual CDialogReply run(const CDialogRequest &request) = 0;
};

} // namespace corvel
