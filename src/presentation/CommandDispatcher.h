#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

#include <functional>

namespace corvel {

// Runs the command of a tool by its name, compared without regard to letter case.
class CommandDispatcher
{
public:
    using Command = std::function<void()>;

    void add(const QString &tool, Command command);
    [[nodiscard]] bool has(QStringView tool) const;
    // False when no command has that name (menu titles, for one): nothing runs.
    bool dispatch(QStringView tool) const;

private:
    QHash<QString, Command> m_commands; // by folded name
};

} // namespace corvel
