#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

#include <functional>

namespace corvel {

class CommandTable;

// The enabled, visible and checked states of the command bar's tools, one set per tool
// whatever the number of bands it stands in. Headless, so the rules that change them can
// be tested without widgets; the bar listens and shows every change in each band.
class ToolStates
{
public:
    struct State
    {
        bool enabled = true;
        bool visible = true;
        bool checked = false;
    };
    using Listener = std::function<void(const QString &tool, const State &state)>;

    explicit ToolStates(const CommandTable &table);

    // Names match without regard to letter case; an unknown tool reads as disabled and hidden.
    [[nodiscard]] State state(QStringView tool) const;
    [[nodiscard]] bool isEnabled(QStringView tool) const { return state(tool).enabled; }
    [[nodiscard]] bool isVisible(QStringView tool) const { return state(tool).visible; }
    [[nodiscard]] bool isChecked(QStringView tool) const { return state(tool).checked; }
    void setEnabled(QStringView tool, bool enabled);
    void setVisible(QStringView tool, bool visible);
    void setChecked(QStringView tool, bool checked);

    // Told of every change, with the tool's name as the table spells it.
    void setListener(Listener listener) { m_listener = std::move(listener); }
    // Counts layout recalculations asked for, so callers can tell whether one happened.
    void recalcLayout() { ++m_layoutRecalcs; }
    [[nodiscard]] int layoutRecalcs() const { return m_layoutRecalcs; }

private:
    void change(QStringView tool, const std::function<void(State &)> &edit);

    struct Entry
    {
        QString name;
        State state;
    };
    QHash<QString, Entry> m_states; // by folded name
    Listener m_listener;
    int m_layoutRecalcs = 0;
};

} // namespace corvel
