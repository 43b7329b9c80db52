#pragma once

#include "groups/GroupId.h"
#include "tree/NodeKinds.h"

#include <QString>

namespace corvel {

// The command side of the main window as the tree's handlers use it: tool states by tool
// name (without regard to case) and the operations behind the tools.
class CommandHost
{
public:
    virtual ~CommandHost() = default;

    // Enables and shows the tools for the kind of the one selected node.
    virtual void setButtonStates(NodeKind kind) = 0;
    [[nodiscard]] virtual bool isToolEnabled(const QString &tool) const = 0;
    virtual void setToolEnabled(const QString &tool, bool enabled) = 0;
    // Runs the tool's operation as picking it would, whatever its enabled state.
    virtual void runCommand(const QString &tool) = 0;
    // Copies the selected nodes into that Standard Mail Group; restores the pointer when
    // done.
    virtual void copyToGroup(GroupId group) = 0;
};

} // namespace corvel
