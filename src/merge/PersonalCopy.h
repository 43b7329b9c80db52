#pragma once

#include "merge/ListUnsubscribe.h"
#include "merge/MailMember.h"
#include "session/OlSendBatch.h"
#include "support/Result.h"

#include <QStringList>

#include <memory>
#include <optional>

namespace corvel {

class MergePrompter;
class OlItem;
class PromptPlan;

// What a copy of a letter holds beside the letter: for one member, both forms of its text with
// the merge fields filled (the values HTML-escaped in the HTML), the member's own files and the
// unsubscribe headers naming the member; for a copy to several, the unsubscribe headers.
class PersonalCopy
{
public:
    // `plan` may be null (every prompt is asked).
    PersonalCopy(std::shared_ptr<OlItem> letter, const PromptPlan *plan,
                 ListUnsubscribe unsubscribe);

    struct Made
    {
        OlSendBatch::CopyChanges changes;
        QStringList emptied;  // prompts answered with an empty value
        bool stopRun = false; // the user ended the run while asked: no copy
    };
    // The member's copy, the member at `position` of `total`; fails with the reason its copy
    // cannot be made. Throws OutlookError when the letter cannot be read.
    [[nodiscard]] Result<Made> forMember(const MailMember &member, MergePrompter &prompter,
                                         qint64 position, qint64 total);
    [[nodiscard]] OlSendBatch::CopyChanges forSeveral() const;
    // The letter's text, read once.
    [[nodiscard]] const QString &body();

private:
    std::shared_ptr<OlItem> m_letter;
    const PromptPlan *m_plan;
    ListUnsubscribe m_unsubscribe;
    std::optional<QString> m_body;
    std::optional<QString> m_html;
};

} // namespace corvel
