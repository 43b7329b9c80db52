#include "gui/TreeInteractionBinding.h"

#include "gui/TreeListView.h"
#include "presentation/TreeInteraction.h"

namespace corvel {

void bindTreeInteraction(TreeListView &view, TreeInteraction &interaction)
{
    TreeInteraction *handlers = &interaction;
    QObject::connect(&view, &TreeListView::Click, &view, [handlers] { handlers->tlMain_Click(); });
    QObject::connect(&view, &TreeListView::PictureClick, &view,
                     [handlers] { handlers->tlMain_PictureClick(); });
    QObject::connect(&view, &TreeListView::PlusMinusClick, &view,
                     [handlers](int) { handlers->tlMain_PlusMinusClick(); });
    QObject::connect(&view, &TreeListView::GridCellClick, &view,
                     [handlers](int, int) { handlers->tlMain_GridCellClick(); });
    QObject::connect(&view, &TreeListView::DblClick, &view,
                     [handlers] { handlers->tlMain_DblClick(); });
    QObject::connect(&view, &TreeListView::KeyDown, &view,
                     [handlers](int key, Qt::KeyboardModifiers modifiers) {
                         handlers->tlMain_KeyDown(key, modifiers);
                     });
    QObject::connect(&view, &TreeListView::MouseDown, &view,
                     [handlers](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x,
                                int y) { handlers->tlMain_MouseDown(button, modifiers, x, y); });
    QObject::connect(&view, &TreeListView::MouseMove, &view,
                     [handlers](Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x,
                                int y) { handlers->tlMain_MouseMove(buttons, modifiers, x, y); });
    QObject::connect(&view, &TreeListView::MouseUp, &view,
                     [handlers](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x,
                                int y) { handlers->tlMain_MouseUp(button, modifiers, x, y); });
    QObject::connect(
        &view, &TreeListView::DragOverEvent, &view,
        [handlers](int x, int y, int state) { handlers->tlMain_DragOver(x, y, state); });
    QObject::connect(&view, &TreeListView::DragDrop, &view,
                     [handlers](int x, int y) { handlers->tlMain_DragDrop(x, y); });
}

} // namespace corvel
