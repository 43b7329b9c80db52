#pragma once

#include "presentation/DialogHost.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace corvel {

class LetterWindow;
class OlItem;

// Message boxes and dialogs on the screen, each owned by the active window.
class QtDialogHost : public DialogHost
{
public:
    // Sends a test message over a transport; empty when none is available yet.
    using TestSender = std::function<QString(const MailSetupForm &)>;

    // The session's item of an entry id; throws OutlookError when there is none.
    using ItemLookup = std::function<std::shared_ptr<OlItem>(const QString &entryId)>;

    explicit QtDialogHost(QString appTitle, TestSender testSender = {});

    void setItemLookup(ItemLookup lookup) { m_itemLookup = std::move(lookup); }
    // Tests drive the widget file dialog, the same on every desktop.
    void setNativeFileDialogs(bool native) { m_nativeFileDialogs = native; }

    void information(const QString &text) override;
    [[nodiscard]] bool questionOkCancel(const QString &text) override;
    [[nodiscard]] bool questionYesNo(const QString &text) override;
    void critical(const QString &text) override;
    [[nodiscard]] UnsavedChanges askUnsavedChanges(const QString &text) override;
    void showAbout() override;
    // Shown in the About box, so the user can find their groups.
    void setDataFolder(const QString &folder) { m_dataFolder = folder; }
    [[nodiscard]] bool editMailSetup(MailSetupForm &form) override;
    [[nodiscard]] bool askName(GetNameForm &form) override;
    [[nodiscard]] bool askEMail(GetEMailForm &form) override;
    [[nodiscard]] bool askCopyTarget(CopyToForm &form) override;
    [[nodiscard]] bool askDynamicGroup(DynGrpForm &form) override;
    [[nodiscard]] bool askPublishTarget(PublishTargetForm &form) override;
    [[nodiscard]] QString chooseFile(const FileDialogRequest &request) override;
    [[nodiscard]] bool runMailWizard(MailWizard &wizard) override;
    [[nodiscard]] InterruptedRun askInterruptedRun(const QString &text) override;
    [[nodiscard]] std::unique_ptr<GeneratorWindow> openGenerator() override;
    void showContact(const QString &entryId) override;
    // Opens the message in a letter window, or brings forward the one that has it open.
    void showMessage(const QString &entryId) override;
    [[nodiscard]] bool closeLetters(bool ask, QStringList &problems) override;
    [[nodiscard]] QList<LetterWindow *> openLetters() const;

private:
    [[nodiscard]] static QWidget *owner();

    QString m_appTitle;
    QString m_dataFolder;
    TestSender m_testSender;
    ItemLookup m_itemLookup;
    bool m_nativeFileDialogs = true;
    QList<QPointer<LetterWindow>> m_letters;
};

} // namespace corvel
