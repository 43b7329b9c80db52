#include "merge/PersonalCopy.h"

#include "merge/MemberAttachments.h"
#include "merge/MemberPrompts.h"
#include "merge/MergeFields.h"
#include "merge/PromptPlan.h"
#include "session/OutlookSession.h"

using namespace Qt::StringLiterals;

namespace corvel {

PersonalCopy::PersonalCopy(std::shared_ptr<OlItem> letter, const PromptPlan *plan,
                           ListUnsubscribe unsubscribe)
    : m_letter(std::move(letter))
    , m_plan(plan)
    , m_unsubscribe(std::move(unsubscribe))
{
}

const QString &PersonalCopy::body()
{
    if (!m_body)
        m_body = m_letter->Body();
    return *m_body;
}

OlSendBatch::CopyChanges PersonalCopy::forSeveral() const
{
    OlSendBatch::CopyChanges changes;
    changes.headers = m_unsubscribe.headersFor(QString());
    return changes;
}

Result<PersonalCopy::Made> PersonalCopy::forMember(const MailMember &member,
                                                   MergePrompter &prompter, qint64 position,
                                                   qint64 total)
{
    if (!m_html)
        m_html = m_letter->HTMLBody();
    Made made;
    MemberPrompts prompts(m_plan, prompter, {{}, {}, member, position, total});
    const auto valueOf = [&prompts](const QString &name) { return prompts.valueOf(name); };
    if (MergeFields::hasFields(body())) {
        Result<QString> filled = MergeFields::fillMergeFields(body(), valueOf);
        if (!filled.ok())
            return Result<Made>::failure(filled.error());
        made.changes.body = *filled;
    }
    if (m_html->contains(u"&lt;&lt;"_s) && !prompts.stopRun()) {
        Result<QString> filled = MergeFields::fillHtmlMergeFields(*m_html, valueOf);
        if (!filled.ok())
            return Result<Made>::failure(filled.error());
        made.changes.htmlBody = *filled;
    }
    made.stopRun = prompts.stopRun();
    made.emptied = prompts.emptied();
    if (m_plan)
        made.changes.attachments = MemberAttachments::of(*m_plan, member.address);
    made.changes.headers = m_unsubscribe.headersFor(member.address);
    return made;
}

} // namespace corvel
