#pragma once

#include "tree/NodeKinds.h"

#include <QStringView>

namespace corvel {

class ToolStates;

// Which node-dependent commands the selected node allows: the rules behind the main
// window's setButtonStates.
class ButtonStateRules
{
public:
    struct Selection
    {
        bool sessionReady = false;
        int selectedCount = 0;           // nodes selected in the tree
        bool nodeHasDescendants = false; // the node at selIndex is not empty
    };

    // Disables every node-dependent tool, then enables those the node kind allows.
    // Leaves the bar's layout alone while no session is open.
    static void setButtonStates(ToolStates &tools, NodeKind kind, const Selection &selection);

    // While a long job reads the session, what would change the tree or the session waits:
    // the tools that do not depend on the node are disabled too (setButtonStates, told the
    // session is not ready, disables the others).
    static void setJobRunning(ToolStates &tools, bool running);
    // Help, About, the web links and Exit, which touch neither.
    [[nodiscard]] static bool availableDuringJob(QStringView tool);
};

} // namespace corvel
