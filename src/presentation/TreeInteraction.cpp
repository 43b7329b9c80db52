#include "presentation/TreeInteraction.h"

#include "groups/MailGroups.h"
#include "presentation/CommandHost.h"
#include "presentation/DialogHost.h"
#include "presentation/TreeSurface.h"
#include "support/FieldStrings.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvel {

namespace {

// Mouse coordinates are kept as 16-bit numbers; keep far points at the edge of that range
// instead of letting them wrap round to the other side.
qint16 toShort(int value)
{
    return static_cast<qint16>(std::clamp<int>(value, std::numeric_limits<qint16>::min(),
                                               std::numeric_limits<qint16>::max()));
}

constexpr Qt::KeyboardModifiers ShiftKeys =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

// Nodes that are items the user can open: contacts, messages and group members.
bool isEditable(NodeKind kind)
{
    switch (kind) {
    case NodeKind::DynamicMember:
    case NodeKind::ContactRow:
    case NodeKind::MessageRow:
    case NodeKind::CopiedMember:
    case NodeKind::TypedMember:
        return true;
    default:
        return false;
    }
}

bool isRenamable(NodeKind kind)
{
    return kind == NodeKind::StandardGroup || kind == NodeKind::DynamicGroup;
}

} // namespace

TreeInteraction::TreeInteraction(const Context &context)
    : m_tree(context.tree)
    , m_surface(context.surface)
    , m_commands(context.commands)
    , m_status(context.status)
    , m_dialogs(context.dialogs)
{
}

QString TreeInteraction::dropOnGroupOnlyMessage()
{
    return QStringLiteral("You may only Drag/Drop on to a Standard Mail Group");
}

QString TreeInteraction::dropContactsOnlyMessage()
{
    return QStringLiteral("You may only drag/drop Contact to a Standard Mail Group");
}

// --- Selection -------------------------------------------------------------------------------

void TreeInteraction::clearTreeMultiSelection()
{
    m_tree.suspendDrawing();
    const NodeHandle current = m_tree.current();
    if (current) {
        m_tree.clearSelection();
        m_tree.setSelected(current, true);
    } else if (m_tree.selectedCount() >= 2) {
        m_tree.clearSelection();
    }
    m_tree.refresh();
}

void TreeInteraction::clickHandling()
{
    m_selIndex = m_tree.indexOf(m_tree.current());
    m_status.updateCaption(StatusPanels::CountPanel, QString());
    m_status.updateCaption(StatusPanels::ActivityPanel, QString());
    if (m_selIndex < 0)
        return;

    const NodeHandle node = m_tree.at(m_selIndex);
    if (m_tree.selectedCount() > 1) {
        // Only contacts, messages and group entries stay selected together. Any other node
        // in the selection counts, not only the first in display order.
        bool mixed = nodeKind(m_tree, node) < NodeKind::ContactRow;
        for (const NodeHandle selected : m_tree.selectedNodes()) {
            if (mixed)
                break;
            mixed = nodeKind(m_tree, selected) < NodeKind::ContactRow;
        }
        if (mixed)
            clearTreeMultiSelection();
        if (m_tree.selectedCount() > 1) {
            m_commands.setToolEnabled(QStringLiteral("btnEditItem"), false);
            return;
        }
        // One node is left: it gets the tools and the summary of a single selection.
    }

    const NodeKind kind = nodeKind(m_tree, node);
    m_commands.setButtonStates(kind);
    const QString count = QString::number(m_tree.descendantCount(node)) + QStringLiteral(" Items");
    switch (kind) {
    case NodeKind::ContactFolderListed:
    case NodeKind::MessageFolderListed:
    case NodeKind::StandardGroup:
        m_status.updateCaption(StatusPanels::CountPanel, count);
        break;
    case NodeKind::DynamicGroup:
        m_status.updateCaption(StatusPanels::CountPanel, count);
        m_status.updateCaption(StatusPanels::ActivityPanel, dynamicGroupSummary(node));
        break;
    default:
        break;
    }
}

QString TreeInteraction::dynamicGroupSummary(NodeHandle group) const
{
    const QString entryIds = m_tree.value(group, NodeValueName::EntryIds()).toString();
    const QString folderNames = m_tree.value(group, NodeValueName::FolderNames()).toString();
    QStringList pieces;
    const int count = DS_CountFields(entryIds, ListSeparator);
    for (int i = 1; i <= count; ++i) {
        const QString entryId = DS_GetField(entryIds, ListSeparator, i);
        // An empty id would match every node that has none.
        const NodeHandle folder =
            entryId.isEmpty() ? NodeHandle{}
                              : m_tree.findByValue(NodeValue(entryId), NodeValueName::EntryId());
        if (folder)
            pieces << QStringLiteral("[") + m_tree.caption(folder) + QStringLiteral("]");
        else
            pieces << QStringLiteral("[ ") + DS_GetField(folderNames, ListSeparator, i) +
                          QStringLiteral(" ]");
    }
    return QStringLiteral("Selected from: ") + pieces.join(QStringLiteral(", ")) +
           QStringLiteral(" With Category(s)= ") +
           m_tree.value(group, NodeValueName::InCats()).toString();
}

void TreeInteraction::tlMain_Click()
{
    clickHandling();
}

void TreeInteraction::tlMain_PictureClick()
{
    clickHandling();
}

void TreeInteraction::tlMain_PlusMinusClick()
{
    clickHandling();
}

void TreeInteraction::tlMain_GridCellClick()
{
    const int current = m_tree.indexOf(m_tree.current());
    if (current != -1)
        m_selIndex = current;
}

void TreeInteraction::escape()
{
    clearTreeMultiSelection();
    clickHandling();
}

// --- Keys and double-click ---------------------------------------------------------------------

NodeKind TreeInteraction::currentKind() const
{
    const NodeHandle current = m_tree.current();
    // No node is no kind: the Store value 0 opens nothing and renames nothing.
    return current ? nodeKind(m_tree, current) : NodeKind::Store;
}

void TreeInteraction::tlMain_DblClick()
{
    // A double-click on a folder, store or root only expands it (the view does that).
    if (isEditable(currentKind()))
        m_commands.runCommand(QStringLiteral("btnEditItem"));
}

void TreeInteraction::tlMain_KeyDown(int key, Qt::KeyboardModifiers shift)
{
    const Qt::KeyboardModifiers held = shift & ShiftKeys;
    if (key == Qt::Key_F2 && held == Qt::NoModifier) {
        if (isRenamable(currentKind()))
            m_commands.runCommand(QStringLiteral("btnChgName"));
    } else if (key == Qt::Key_Delete && held == Qt::NoModifier) {
        if (m_commands.isToolEnabled(QStringLiteral("btnDelete")))
            m_commands.runCommand(QStringLiteral("btnDelete"));
    } else if (key == Qt::Key_C && held == Qt::AltModifier) {
        if (m_commands.isToolEnabled(QStringLiteral("btnCopy")))
            m_commands.runCommand(QStringLiteral("btnCopy"));
    }
}

// --- Mouse ---------------------------------------------------------------------------------------

void TreeInteraction::tlMain_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    m_pressX = toShort(x);
    m_pressY = toShort(y);
}

void TreeInteraction::tlMain_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers, int x,
                                       int y)
{
    const bool moved =
        std::abs(m_pressX - x) > DragThreshold || std::abs(m_pressY - y) > DragThreshold;
    if (!moved || m_pressX <= 0 || m_pressY <= 0 || !(buttons & Qt::LeftButton))
        return;
    m_pressX = 0; // one press starts at most one drag
    m_pressY = 0;
    if (m_tree.indexOf(m_tree.current()) >= 0)
        m_surface.DragBegin();
}

void TreeInteraction::tlMain_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x,
                                     int y)
{
    if ((shift & ShiftKeys) == Qt::NoModifier)
        m_selIndex = m_surface.NodeAt(x, y);
    const NodeHandle current = m_tree.current();
    if (m_tree.indexOf(current) == -1)
        return;
    if (button == Qt::RightButton) {
        if (m_tree.selectedCount() > 1) {
            m_commands.setToolEnabled(QStringLiteral("btnEditItem"), false);
            const NodeHandle pointed = m_tree.at(m_selIndex);
            // Pointing at no node leaves the current node where it is.
            if (pointed && pointed != current) {
                m_tree.setSelected(current, false);
                m_tree.setCurrent(pointed);
                m_tree.setSelected(pointed, true);
                m_tree.refresh();
            }
        }
        m_surface.PopupMenu();
    }
    m_surface.restorePointer();
}

// --- Drag and drop ------------------------------------------------------------------------------

void TreeInteraction::tlMain_DragOver(int x, int y, int state)
{
    m_surface.DragOver(x, y, state);
}

void TreeInteraction::refuseDrop(const QString &message)
{
    // The pointer is back to normal before the message asks for the user's attention.
    m_surface.restorePointer();
    m_dialogs.information(message);
    clearTreeMultiSelection();
}

void TreeInteraction::tlMain_DragDrop(int x, int y)
{
    m_surface.showBusyPointer();
    m_surface.DragEnd(x, y);
    const int target = m_surface.NodeAt(x, y);
    if (target < 0) {
        m_surface.restorePointer();
        return;
    }
    if (nodeKind(m_tree, m_tree.at(target)) != NodeKind::StandardGroup) {
        refuseDrop(dropOnGroupOnlyMessage());
        return;
    }
    for (const NodeHandle node : m_tree.selectedNodes()) {
        const NodeKind kind = nodeKind(m_tree, node);
        if (kind != NodeKind::ContactRow && kind != NodeKind::MessageRow) {
            refuseDrop(dropContactsOnlyMessage());
            return;
        }
    }
    m_commands.copyToGroup(*MailGroups::idOf(m_tree, m_tree.at(target)));
    m_surface.restorePointer();
}

} // namespace corvel
