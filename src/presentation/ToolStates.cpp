#include "presentation/ToolStates.h"

#include "presentation/CommandTable.h"

namespace corvel {

ToolStates::ToolStates(const CommandTable &table)
{
    for (const ToolDef &def : table.tools()) {
        State state;
        state.visible = def.initiallyVisible;
        m_states.insert(def.name.toCaseFolded(), {def.name, state});
    }
}

ToolStates::State ToolStates::state(QStringView tool) const
{
    const auto found = m_states.constFind(tool.toString().toCaseFolded());
    if (found == m_states.cend())
        return {false, false, false};
    return found->state;
}

void ToolStates::change(QStringView tool, const std::function<void(State &)> &edit)
{
    const auto found = m_states.find(tool.toString().toCaseFolded());
    if (found == m_states.end())
        return;
    const State before = found->state;
    edit(found->state);
    const State &after = found->state;
    if (m_listener && (before.enabled != after.enabled || before.visible != after.visible ||
                       before.checked != after.checked))
        m_listener(found->name, after);
}

void ToolStates::setEnabled(QStringView tool, bool enabled)
{
    change(tool, [enabled](State &state) { state.enabled = enabled; });
}

void ToolStates::setVisible(QStringView tool, bool visible)
{
    change(tool, [visible](State &state) { state.visible = visible; });
}

void ToolStates::setChecked(QStringView tool, bool checked)
{
    change(tool, [checked](State &state) { state.checked = checked; });
}

} // namespace corvel
