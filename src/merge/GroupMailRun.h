#pragma once

#include "merge/GenerationOutcome.h"
#include "merge/ListUnsubscribe.h"
#include "merge/MailMember.h"
#include "merge/RunJournal.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace corvel {

class GenerationView;
class MailGenerator;
class MergePrompter;
class OlNamespace;
class PromptPlan;

// One group mail run, the same in the window and in corvelctl: take the run lock, open the
// journal, settle an interrupted run (continue or start over), generate, and hand back the
// account. What to ask and where to show it differ, and are the caller's Decisions.
class GroupMailRun
{
public:
    enum class Interrupted
    {
        Continue,
        StartOver,
        Cancel
    };

    class Decisions
    {
    public:
        virtual ~Decisions() = default;
        // Another run holds the lock, or a member's file cannot be read.
        virtual void cannotStart(const QString &reason) = 0;
        // The journal cannot be read: true sets it aside (as asidePath) and starts over.
        virtual bool startOverUnreadable(const QString &reason, const QString &asidePath) = 0;
        virtual Interrupted interrupted(const RunJournal &journal) = 0;
        // Starting over failed.
        virtual void failed(const QString &reason) = 0;
        // Where the run shows its progress; null ends it before anything is queued.
        virtual GenerationView *openView() = 0;
        virtual MergePrompter &prompter() = 0;
        // The generator while it runs (to cancel it), then null.
        virtual void generating(MailGenerator *) {}
    };

    struct Request
    {
        QString runsDirectory;
        RunJournal::Key key;
        const PromptPlan *prompts = nullptr; // may be null
        // Plans without queueing; a journal is read to tell an interrupted run, never changed.
        bool dryRun = false;
        ListUnsubscribe unsubscribe{};
        qint64 notBeforeMs = 0; // the copies go no earlier (ms since the epoch); 0: at once
        // The copies are saved in this folder as files for review: no journal, nothing queued.
        QString saveTo = {};
    };

    GroupMailRun(OlNamespace &session, Decisions &decisions);

    // The account of the run; none when it did not run (refused, failed or cancelled, as the
    // Decisions were told or chose). The lock and the journal are let go before it returns.
    [[nodiscard]] std::optional<GenerationOutcome> run(const Request &request,
                                                       const std::vector<MailMember> &members);

private:
    // The journal to run with (null for a dry run starting over), or none to stop.
    [[nodiscard]] std::optional<std::unique_ptr<RunJournal>> openJournal(const Request &request);
    // Continues or starts over an interrupted run; false to stop.
    [[nodiscard]] bool settleInterrupted(RunJournal &journal, const Request &request);

    OlNamespace &m_session;
    Decisions &m_decisions;
};

} // namespace corvel
