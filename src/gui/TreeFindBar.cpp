#include "gui/TreeFindBar.h"

#include "gui/TreeListView.h"
#include "support/StatusPanels.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace corvel {

TreeFindBar::TreeFindBar(TreeListView &view, StatusPanels &status, QWidget *parent)
    : QWidget(parent)
    , m_view(view)
    , m_status(status)
    , m_edit(new QLineEdit(this))
{
    setObjectName(u"findBar"_s);
    m_edit->setObjectName(u"txtFind"_s);
    m_edit->setClearButtonEnabled(true);
    m_edit->setPlaceholderText(u"Type part of a name or address"_s);
    m_edit->installEventFilter(this);
    auto *label = new QLabel(u"&Find:"_s, this);
    label->setBuddy(m_edit);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(label);
    layout->addWidget(m_edit, 1);
    hide();

    m_view.setRowFilter(&m_finder);
    connect(m_edit, &QLineEdit::textEdited, this, &TreeFindBar::onTextChanged);
    connect(&m_view, &TreeListView::findTyped, this, [this](const QString &text) { start(text); });
    connect(&m_view, &TreeListView::Click, this, &TreeFindBar::onTreeClick);
}

TreeFindBar::~TreeFindBar()
{
    m_view.setRowFilter(nullptr);
}

bool TreeFindBar::start(const QString &typed)
{
    const TreeList &tree = m_view.tree();
    const NodeHandle owner = RowFinder::ownerFor(tree, tree.current());
    if (!owner)
        return false;
    // The keys of a listing found in before are kept until its rows change.
    if (owner != m_finder.owner())
        m_finder.prepare(tree, owner);
    else
        m_finder.refresh(tree);
    show();
    m_edit->setFocus();
    if (!typed.isEmpty()) {
        m_edit->insert(typed);
        onTextChanged(m_edit->text());
    } else {
        m_edit->selectAll();
        m_status.updateCaption(StatusPanels::CountPanel, m_finder.countText());
    }
    return true;
}

bool TreeFindBar::cancel()
{
    if (!isVisible())
        return false;
    m_edit->clear();
    m_finder.setText({});
    m_status.updateCaption(StatusPanels::CountPanel, m_finder.countText());
    hide();
    m_view.rowFilterChanged();
    m_view.setFocus();
    return true;
}

void TreeFindBar::onTextChanged(const QString &text)
{
    // The listing found in went away (its group deleted, say): find in the one shown now.
    if (!m_finder.owner()) {
        const TreeList &tree = m_view.tree();
        m_finder.prepare(tree, RowFinder::ownerFor(tree, tree.current()));
    }
    m_finder.setText(text);
    m_finder.deselectHidden(m_view.tree());
    m_view.rowFilterChanged();
    m_status.updateCaption(StatusPanels::CountPanel, m_finder.countText());
}

void TreeFindBar::onTreeClick()
{
    if (!isVisible())
        return;
    // A click elsewhere leaves the listing being found in: its rows come back.
    const TreeList &tree = m_view.tree();
    if (RowFinder::ownerFor(tree, tree.current()) != m_finder.owner()) {
        cancel();
        return;
    }
    m_status.updateCaption(StatusPanels::CountPanel, m_finder.countText());
}

bool TreeFindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_edit || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    // The keys that move through rows go on to the tree, which keeps the focus from there.
    auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_view.setFocus();
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            QApplication::sendEvent(&m_view, event);
        return true;
    default:
        return false;
    }
}

} // namespace corvel
