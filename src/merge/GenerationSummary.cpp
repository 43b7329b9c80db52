#include "merge/GenerationSummary.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

void appendFailures(QStringList &lines, const GenerationOutcome &outcome)
{
    lines.append(u"members failed: %1"_s.arg(outcome.failures.size()));
    for (const auto &failure : outcome.failures)
        lines.append(u"  "_s + GenerationSummary::failureLine(failure));
}

void appendAlreadyMailed(QStringList &lines, const GenerationOutcome &outcome)
{
    if (outcome.skippedAlreadyMailed > 0)
        lines.append(u"members skipped as already mailed in this run: %1"_s.arg(
            outcome.skippedAlreadyMailed));
}

// Enough names to check by; the count says how many there are in all.
constexpr std::size_t kEmptyPromptedNamed = 20;

void appendEmptyPrompted(QStringList &lines, const GenerationOutcome &outcome)
{
    const std::vector<GenerationOutcome::EmptyPrompted> &members = outcome.emptyPrompted;
    if (members.empty())
        return;
    lines.append(u"members mailed with an empty prompted value: %1"_s.arg(members.size()));
    for (std::size_t i = 0; i < members.size() && i < kEmptyPromptedNamed; ++i)
        lines.append(u"  %1 <%2>: %3"_s.arg(members[i].name, members[i].address,
                                            members[i].prompts.join(u", "_s)));
    if (members.size() > kEmptyPromptedNamed)
        lines.append(u"  and %1 more"_s.arg(members.size() - kEmptyPromptedNamed));
}

} // namespace

QString GenerationSummary::failureLine(const GenerationOutcome::Failure &failure)
{
    return u"%1 <%2>: %3"_s.arg(failure.name, failure.address, failure.reason);
}

QString GenerationSummary::heading(const GenerationOutcome &outcome)
{
    if (!outcome.stopReason.isEmpty())
        return u"The run stopped before its end."_s;
    if (outcome.cancelled)
        return u"The run was cancelled."_s;
    if (!outcome.failures.empty())
        return u"The run ended; some members failed."_s;
    return u"The run ended."_s;
}

QStringList GenerationSummary::lines(const GenerationOutcome &outcome, const QString &howToContinue)
{
    QStringList lines;
    lines.append(u"members processed: %1"_s.arg(outcome.processed));
    lines.append(
        outcome.savedTo.isEmpty()
            ? u"messages queued: %1"_s.arg(outcome.messagesQueued)
            : u"messages saved in %1: %2"_s.arg(outcome.savedTo).arg(outcome.messagesQueued));
    lines.append(u"members skipped for want of an address: %1"_s.arg(outcome.skippedNoAddress));
    appendAlreadyMailed(lines, outcome);
    if (outcome.skippedAlreadyQueued > 0)
        lines.append(
            u"members queued by the interrupted run: %1"_s.arg(outcome.skippedAlreadyQueued));
    appendEmptyPrompted(lines, outcome);
    appendFailures(lines, outcome);
    if (outcome.cancelled)
        lines.append(u"the run was cancelled; it can be continued "_s + howToContinue);
    if (!outcome.stopReason.isEmpty())
        lines.append(u"the run stopped: %1"_s.arg(outcome.stopReason));
    return lines;
}

QStringList GenerationSummary::planLines(const GenerationOutcome &outcome)
{
    QStringList lines;
    lines.append(u"messages that would be queued: %1"_s.arg(outcome.planned.size()));
    for (const auto &message : outcome.planned) {
        QStringList fields{u"To: "_s + message.to};
        if (!message.cc.isEmpty())
            fields.append(u"CC: "_s + message.cc);
        if (!message.bcc.isEmpty())
            fields.append(u"BCC: "_s + message.bcc);
        lines.append(fields.join(u'\t'));
    }
    if (!outcome.planned.empty() && !outcome.firstFilledBody.isNull())
        lines.append(u"first message body:\n"_s + outcome.firstFilledBody);
    lines.append(u"members skipped for want of an address: %1"_s.arg(outcome.skippedNoAddress));
    appendAlreadyMailed(lines, outcome);
    appendFailures(lines, outcome);
    return lines;
}

} // namespace corvel
