#pragma once

#include "merge/GenerationOutcome.h"

#include <QString>
#include <QStringList>

namespace corvel {

// The account of a run in lines of text, the same in the generator window and on the
// terminal: what was processed and queued, who was skipped or failed and why, how it ended.
class GenerationSummary
{
public:
    // howToContinue ends the line of a cancelled run, e.g. "with --resume".
    [[nodiscard]] static QStringList lines(const GenerationOutcome &outcome,
                                           const QString &howToContinue);
    // What a dry run would make: every message's recipients and the first filled body.
    [[nodiscard]] static QStringList planLines(const GenerationOutcome &outcome);
    // "Ann <ann@example.org>: the reason", one failed member.
    [[nodiscard]] static QString failureLine(const GenerationOutcome::Failure &failure);
    // One line for a heading: whether the run went through, was cancelled or stopped.
    [[nodiscard]] static QString heading(const GenerationOutcome &outcome);
};

} // namespace corvel
