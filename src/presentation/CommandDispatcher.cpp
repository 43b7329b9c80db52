#include "presentation/CommandDispatcher.h"

namespace corvel {

void CommandDispatcher::add(const QString &tool, Command command)
{
    m_commands.insert(tool.toCaseFolded(), std::move(command));
}

bool CommandDispatcher::has(QStringView tool) const
{
    return m_commands.contains(tool.toString().toCaseFolded());
}

bool CommandDispatcher::dispatch(QStringView tool) const
{
    const auto found = m_commands.constFind(tool.toString().toCaseFolded());
    if (found == m_commands.cend() || !*found)
        return false;
    // A copy: the command may replace the table's entries while it runs.
    const Command command = *found;
    command();
    return true;
}

} // namespace corvel
