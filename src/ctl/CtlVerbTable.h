#pragma once

#include "ctl/CtlContext.h"

#include <QString>

#include <functional>
#include <vector>

namespace corvel {

// One verb of corvelctl: its name, how it is called, what it does and what runs it.
struct CtlVerb
{
    QString name;
    QString synopsis;    // "members GROUP"; lines of a long one are broken with '\n'
    QString description; // for --help; lines broken with '\n'
    std::function<int(const CtlContext &)> handler;
    // The handler prints its own usage errors (the group verbs do); otherwise an ExitUsage
    // from it is answered with "usage: corvelctl " and the synopsis.
    bool printsOwnUsage = false;
};

// Every verb, in the order --help lists them.
[[nodiscard]] const std::vector<CtlVerb> &ctlVerbs();
// The verb of that name; null when there is none.
[[nodiscard]] const CtlVerb *findCtlVerb(const QString &name);
// The whole of --help: options, then each verb's synopsis and description.
[[nodiscard]] QString ctlHelpText();
// Runs the verb, printing its usage when it was called wrongly.
[[nodiscard]] int runCtlVerb(const CtlVerb &verb, const CtlContext &context);

} // namespace corvel
