#pragma once

#include "workspace/DialogHost.h"

#include <QString>

#include <functional>

class QWidget;

namespace corvel {

// Message boxes and dialogs on the screen, each owned by the active window.
class QtDialogHost : public DialogHost
{
public:
    // Sends a test message over a transport; empty when none is available yet.
    using TestSender = std::function<QString(const MailSetupForm &)>;

    explicit QtDialogHost(QString appTitle, TestSender testSender = {});

    void information(const QString &text) override;
    [[nodiscard]] bool questionOkCancel(const QString &text) override;
    [[nodiscard]] bool questionYesNo(const QString &text) override;
    void critical(const QString &text) override;
    void showAbout() override;
    [[nodiscard]] bool editMailSetup(MailSetupForm &form) override;
    [[nodiscard]] bool GetName(GetNameForm &form) override;
    [[nodiscard]] bool GetEMail(GetEMailForm &form) override;
    [[nodiscard]] bool FindCopyTo(CopyToForm &form) override;
    [[nodiscard]] bool FGetParms(DynGrpForm &form) override;
    [[nodiscard]] QString chooseFile(const FileDialogRequest &request) override;
    void showContact(const QString &entryId) override;
    void showMessage(const QString &entryId) override;

private:
    [[nodiscard]] static QWidget *owner();

    QString m_appTitle;
    TestSender m_testSender;
};

} // namespace corvel
