#pragma once

#include "presentation/CommandTable.h"
#include "presentation/ToolStates.h"

#include <QHash>
#include <QObject>
#include <QPoint>

#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;
class QToolBar;

namespace corvel {

// The main window's command bar over Qt's menus and toolbars, built from the command
// table: the menu bar, the toolbar "Small Toolbar" and the drop-down and right-click
// bands. Each band holds its own actions; the tool states they show come from one
// ToolStates, so a tool looks the same everywhere it stands.
class CommandBar : public QObject
{
    Q_OBJECT
public:
    CommandBar(const CommandTable &table, ToolStates &states, QMainWindow *window);
    ~CommandBar() override;

    [[nodiscard]] QMenuBar *menuBar() const { return m_menuBar; }
    // nullptr for a band that is not a menu.
    [[nodiscard]] QMenu *menu(const QString &band) const;
    // The actions standing for the tool, one per band it stands in.
    [[nodiscard]] QList<QAction *> actions(const QString &tool) const;

    // Shows a band at a point on the screen (the tree's right-click menu).
    void popUp(const QString &band, const QPoint &globalPos);
    // Fires the tool whose shortcut the key is, when it is enabled; true when it did.
    bool offerKey(int key, Qt::KeyboardModifiers modifiers);
    // Applies pending visibility changes to the toolbar's layout.
    void recalcLayout();

Q_SIGNALS:
    // A tool was picked in any band (aBar_Click).
    void clicked(const QString &tool);

private:
    QAction *makeAction(const BandDef &band, const BandEntry &entry, QWidget *owner);
    void showState(const QString &tool, const ToolStates::State &state);
    QMenu *buildMenu(const BandDef &band);

    const CommandTable &m_table;
    ToolStates &m_states;
    QMainWindow *m_window;
    QMenuBar *m_menuBar = nullptr;
    QToolBar *m_toolBar = nullptr;
    QHash<QString, QMenu *> m_menus;            // by folded band name
    QHash<QString, QList<QAction *>> m_actions; // by folded tool name
};

} // namespace corvel
