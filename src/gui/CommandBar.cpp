#include "gui/CommandBar.h"

#include <QAction>
#include <QFile>
#include <QIcon>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

// The pictures live in this static library: its resources must be registered by hand.
static void initToolPictures()
{
    Q_INIT_RESOURCE(tools);
}

namespace corvel {

namespace {

QString folded(const QString &name)
{
    return name.toCaseFolded();
}

QIcon toolIcon(const QString &tool)
{
    const QString path = u":/tools/%1.svg"_s.arg(tool);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

} // namespace

CommandBar::CommandBar(const CommandTable &table, ToolStates &states, QMainWindow *window)
    : QObject(window)
    , m_table(table)
    , m_states(states)
    , m_window(window)
{
    initToolPictures();
    // Sub-bands first, so that the bands opening them can refer to them.
    for (const BandDef &band : m_table.bands()) {
        if (band.kind == BandKind::Popup)
            m_menus.insert(folded(band.name), new QMenu(band.caption, window));
    }
    for (const BandDef &band : m_table.bands()) {
        switch (band.kind) {
        case BandKind::Popup:
            buildMenu(band);
            break;
        case BandKind::MenuBar:
            m_menuBar = new QMenuBar(window);
            m_menuBar->setObjectName(band.name);
            for (const BandEntry &entry : band.entries)
                m_menuBar->addAction(makeAction(band, entry, m_menuBar));
            window->setMenuBar(m_menuBar);
            break;
        case BandKind::Toolbar:
            m_toolBar = new QToolBar(band.caption, window);
            m_toolBar->setObjectName(band.name);
            m_toolBar->setIconSize(QSize(16, 16));
            m_toolBar->setMovable(false);
            m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
            for (const BandEntry &entry : band.entries) {
                if (entry.beginsGroup)
                    m_toolBar->addSeparator();
                QAction *action = makeAction(band, entry, m_toolBar);
                m_toolBar->addAction(action);
                if (action->menu()) {
                    if (auto *button =
                            qobject_cast<QToolButton *>(m_toolBar->widgetForAction(action)))
                        button->setPopupMode(QToolButton::InstantPopup);
                }
            }
            window->addToolBar(Qt::TopToolBarArea, m_toolBar);
            break;
        }
    }
    m_states.setListener(
        [this](const QString &tool, const ToolStates::State &state) { showState(tool, state); });
    for (const ToolDef &def : m_table.tools())
        showState(def.name, m_states.state(def.name));
}

CommandBar::~CommandBar()
{
    m_states.setListener({});
}

QMenu *CommandBar::buildMenu(const BandDef &band)
{
    QMenu *menu = m_menus.value(folded(band.name));
    menu->setObjectName(band.name);
    menu->setToolTipsVisible(true);
    for (const BandEntry &entry : band.entries) {
        if (entry.beginsGroup)
            menu->addSeparator();
        menu->addAction(makeAction(band, entry, menu));
    }
    return menu;
}

QAction *CommandBar::makeAction(const BandDef &band, const BandEntry &entry, QWidget *owner)
{
    const ToolDef *def = m_table.tool(entry.tool);
    auto *action = new QAction(owner);
    action->setObjectName(entry.tool);
    QString text = m_table.captionIn(band, entry);
    if (def && !def->shortcut.isEmpty() && band.kind == BandKind::Popup)
        text += u'\t' + QKeySequence(def->shortcut).toString(QKeySequence::NativeText);
    action->setText(text);
    if (def) {
        action->setToolTip(def->description.isEmpty() ? QString(text).remove(u'&')
                                                      : def->description);
        action->setStatusTip(def->description);
        action->setCheckable(def->checkable);
        if (band.kind != BandKind::MenuBar)
            action->setIcon(toolIcon(def->name));
        if (!def->subBand.isEmpty()) {
            if (QMenu *sub = m_menus.value(folded(def->subBand)))
                action->setMenu(sub);
        }
    }
    // A checkable action flips itself before it reports; the tool's state flips only
    // through its command, so the shown state is put back first.
    connect(action, &QAction::triggered, this, [this, action, name = entry.tool] {
        if (action->isCheckable())
            action->setChecked(m_states.isChecked(name));
        Q_EMIT clicked(name);
    });
    m_actions[folded(entry.tool)].append(action);
    return action;
}

QMenu *CommandBar::menu(const QString &band) const
{
    return m_menus.value(folded(band));
}

QList<QAction *> CommandBar::actions(const QString &tool) const
{
    return m_actions.value(folded(tool));
}

void CommandBar::showState(const QString &tool, const ToolStates::State &state)
{
    for (QAction *action : m_actions.value(folded(tool))) {
        action->setEnabled(state.enabled);
        action->setVisible(state.visible);
        if (action->isCheckable())
            action->setChecked(state.checked);
    }
}

void CommandBar::popUp(const QString &band, const QPoint &globalPos)
{
    if (QMenu *shown = menu(band))
        shown->popup(globalPos);
}

bool CommandBar::offerKey(int key, Qt::KeyboardModifiers modifiers)
{
    const QKeySequence pressed(QKeyCombination(modifiers & ~Qt::KeypadModifier, Qt::Key(key)));
    for (const ToolDef &def : m_table.tools()) {
        if (def.shortcut.isEmpty() || QKeySequence(def.shortcut) != pressed)
            continue;
        if (!m_states.isEnabled(def.name))
            return false;
        Q_EMIT clicked(def.name);
        return true;
    }
    return false;
}

void CommandBar::recalcLayout()
{
    if (m_toolBar)
        m_toolBar->updateGeometry();
    if (m_menuBar)
        m_menuBar->updateGeometry();
}

} // namespace corvel
