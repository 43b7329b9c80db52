#include "merge/GroupMailRun.h"

#include "merge/MailGenerator.h"
#include "merge/MemberAttachments.h"
#include "merge/RunLock.h"

namespace corvel {

GroupMailRun::GroupMailRun(OlNamespace &session, Decisions &decisions)
    : m_session(session)
    , m_decisions(decisions)
{
}

std::optional<GenerationOutcome> GroupMailRun::run(const Request &request,
                                                   const std::vector<MailMember> &members)
{
    if (request.prompts)
        if (Status files = MemberAttachments::check(*request.prompts, members); !files.ok()) {
            m_decisions.cannotStart(files.error());
            return std::nullopt;
        }
    // One run at a time, here or in the other program: another run's journal is not an
    // interrupted one. A dry run takes the lock as well, to tell an interrupted run as a real
    // run would.
    auto lock = RunLock::take(request.runsDirectory);
    if (!lock.ok()) {
        m_decisions.cannotStart(lock.error());
        return std::nullopt;
    }
    std::optional<std::unique_ptr<RunJournal>> journal =
        request.saveTo.isEmpty() ? openJournal(request) : std::unique_ptr<RunJournal>();
    if (!journal)
        return std::nullopt;
    if (*journal && (*journal)->isInterrupted() && !settleInterrupted(**journal, request))
        return std::nullopt;

    GenerationView *view = m_decisions.openView();
    if (!view)
        return std::nullopt;
    MailGenerator generator(m_session, *view, m_decisions.prompter());
    m_decisions.generating(&generator);
    GenerationOutcome outcome = generator.execute(
        {request.key.type, request.key.letterEntryId, request.dryRun, request.prompts,
         request.unsubscribe, request.notBeforeMs, request.saveTo},
        members, journal->get());
    m_decisions.generating(nullptr);
    return outcome;
}

std::optional<std::unique_ptr<RunJournal>> GroupMailRun::openJournal(const Request &request)
{
    auto opened = RunJournal::open(request.runsDirectory, request.key);
    if (opened.ok())
        return std::move(*opened);
    const QString aside =
        RunJournal::damagedPath(RunJournal::pathOf(request.runsDirectory, request.key));
    if (!m_decisions.startOverUnreadable(opened.error(), aside))
        return std::nullopt;
    // A dry run leaves the unreadable journal where it is and plans for everyone.
    if (request.dryRun)
        return std::unique_ptr<RunJournal>();
    opened = RunJournal::openAfresh(request.runsDirectory, request.key);
    if (!opened.ok()) {
        m_decisions.failed(opened.error());
        return std::nullopt;
    }
    return std::move(*opened);
}

bool GroupMailRun::settleInterrupted(RunJournal &journal, const Request &request)
{
    switch (m_decisions.interrupted(journal)) {
    case Interrupted::Continue:
        return true;
    case Interrupted::StartOver:
        // The generator reads no journal in a dry run: there is nothing to forget.
        if (request.dryRun)
            return true;
        if (Status forgotten = journal.restart(); !forgotten.ok()) {
            m_decisions.failed(forgotten.error());
            return false;
        }
        return true;
    case Interrupted::Cancel:
        break;
    }
    return false;
}

} // namespace corvel
