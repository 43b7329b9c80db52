#include "merge/MailPreview.h"

#include "merge/GenerationSummary.h"
#include "merge/GenerationView.h"
#include "merge/MailGenerator.h"
#include "merge/MergePrompter.h"

namespace corvel {

namespace {

class SilentView : public GenerationView
{
public:
    void show() override {}
    void setStatus(const QString &) override {}
    void setPercent(int) override {}
    void letEventsRun() override {}
    void critical(const QString &text) override { problem = text; }

    QString problem;
};

class PlaceholderPrompter : public MergePrompter
{
public:
    PromptReply askName(const PromptRequest &request) override
    {
        return {u'[' + request.promptName + u']'};
    }
};

} // namespace

MailPreview::MailPreview(OlNamespace &session, std::vector<MailMember> members)
    : m_session(session)
    , m_members(std::move(members))
{
}

QStringList MailPreview::lines(MailType type, const QString &letterEntryId,
                               const PromptPlan *prompts) const
{
    SilentView view;
    PlaceholderPrompter prompter;
    MailGenerator generator(m_session, view, prompter);
    const GenerationOutcome outcome =
        generator.execute({type, letterEntryId, true, prompts, {}}, m_members);
    if (!outcome.letterLoaded)
        return {view.problem};
    return GenerationSummary::planLines(outcome);
}

} // namespace corvel
