#pragma once

#include "merge/GenerationOutcome.h"
#include "merge/MailType.h"
#include "merge/MailWizard.h"

#include <QString>

#include <memory>

namespace corvel {

class BusyIndicator;
class ListUnsubscribe;
struct MemberSelection;
class OlNamespace;
class DialogHost;
class DialogPrompter;
class GeneratorWindow;
class MailGenerator;
class StatusPanels;
class Workspace;

// Create Mail: whom to mail from the tree's selection, the letter and the addressing from
// the wizard, the interrupted run's question, then the run in the generator window with
// its account at the end. Every dialog goes through the DialogHost.
class GroupMailCommand
{
public:
    struct Services
    {
        Workspace *workspace = nullptr;
        DialogHost *dialogs = nullptr;
        StatusPanels *panels = nullptr; // may be null
        BusyIndicator *busy = nullptr;  // may be null
        QString runsDirectory;          // where run journals live
    };

    explicit GroupMailCommand(Services services);
    ~GroupMailCommand();

    void doBtnDoMail();

    // The wizard's last answer, as the main window keeps it between runs.
    [[nodiscard]] MailType grpMailType() const { return m_grpMailType; }
    [[nodiscard]] const QString &grpMailEntryId() const { return m_grpMailEntryId; }
    [[nodiscard]] bool isRunning() const { return m_generator != nullptr; }
    // The account of the last run.
    [[nodiscard]] const GenerationOutcome &lastOutcome() const { return m_lastOutcome; }

    // The program is closing: a run stops after the member in hand (its journal keeps what
    // was queued), no prompt is shown any more and the last run's account is closed (an
    // account left open would keep the program running).
    void stop();

    static QString howToContinue()
    {
        return QStringLiteral("by Create Mail with the same letter and addressing");
    }

private:
    class RunDecisions;

    // The wizard's choices carried out, and the run's account shown.
    void runChosen(OlNamespace &session, const MemberSelection &selection,
                   const MailWizard::Result &result, const ListUnsubscribe &unsubscribe);

    Services m_services;
    MailType m_grpMailType = MailType::None;
    QString m_grpMailEntryId;
    GenerationOutcome m_lastOutcome;
    MailGenerator *m_generator = nullptr;
    DialogPrompter *m_prompter = nullptr;
    // The last run's window while it shows the account.
    std::unique_ptr<GeneratorWindow> m_accountWindow;
    bool m_stopped = false;
};

} // namespace corvel
