#pragma once

#include <QString>

namespace corvel {

class MailSetupForm;

// Every message box and dialog the main window shows goes through here, so tests can
// answer them. Message boxes are titled with the program's title.
class DialogHost
{
public:
    virtual ~DialogHost() = default;

    // A notice or a refusal (information icon, OK).
    virtual void information(const QString &text) = 0;
    // A confirmation before something is destroyed: true for OK.
    [[nodiscard]] virtual bool questionOkCancel(const QString &text) = 0;
    // An optional follow-up: true for Yes.
    [[nodiscard]] virtual bool questionYesNo(const QString &text) = 0;
    // Something failed that the user must know of (critical-stop icon, OK).
    virtual void critical(const QString &text) = 0;

    // The About box, modal.
    virtual void showAbout() = 0;
    // The mail set-up dialog over the form; true when the user accepted it.
    [[nodiscard]] virtual bool editMailSetup(MailSetupForm &form) = 0;
};

} // namespace corvel
