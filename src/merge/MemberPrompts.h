#pragma once

#include "merge/MergePrompter.h"

#include <QString>
#include <QStringList>

#include <map>

namespace corvel {

class PromptPlan;

// The prompted values of one member's copy: the plan's where it has one, else asked, and
// each name once however often the letter uses it. Once the user stops the run nothing more
// is asked.
class MemberPrompts
{
public:
    // plan may be null (everything is asked); request names the member and its place.
    MemberPrompts(const PromptPlan *plan, MergePrompter &prompter, PromptRequest request);

    [[nodiscard]] QString valueOf(const QString &promptName);
    [[nodiscard]] bool stopRun() const { return m_stopRun; }
    // The prompts whose value for this member is empty, in order of first use.
    [[nodiscard]] const QStringList &emptied() const { return m_emptied; }

private:
    const PromptPlan *m_plan;
    MergePrompter &m_prompter;
    PromptRequest m_request;
    std::map<QString, QString> m_values; // by PromptPlan::keyOf
    QStringList m_emptied;
    bool m_stopRun = false;
};

} // namespace corvel
