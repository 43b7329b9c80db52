#include "gui/TreeListView.h"
#include "tree/NodeKinds.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

using namespace corvel;

namespace {

// Personal Folders > Contacts (listed, three columns, N rows), Standard Mail Groups > Board.
struct Fixture
{
    TreeList tree;
    NodeHandle store, contacts, groups, board;
    std::vector<NodeHandle> rows;

    explicit Fixture(int rowCount = 5)
    {
        store = tree.addNode(QStringLiteral("Personal Folders"));
        tree.setPicture(store, picPersonalFolders);
        contacts = tree.addNode(QStringLiteral("Contacts"), store);
        tree.setPicture(contacts, picContactFolder);
        setNodeKind(tree, contacts, NodeKind::ContactFolderListed);
        ColumnLayout layout;
        layout.setColumnCount(3);
        layout.columns[1] = {100, NodeValueName::FileAs(), QStringLiteral("Name")};
        layout.columns[2] = {150, NodeValueName::Email1Address(), QStringLiteral("E-mail")};
        tree.setColumnLayout(contacts, layout);
        for (int i = 0; i < rowCount; ++i) {
            const NodeHandle row = tree.addNode(QString(), contacts);
            setNodeKind(tree, row, NodeKind::ContactRow);
            tree.setValue(row, NodeValueName::FileAs(), QStringLiteral("Row %1").arg(i));
            rows.push_back(row);
        }
        groups = tree.addNode(QStringLiteral("Standard Mail Groups"));
        board = tree.addNode(QStringLiteral("Board"), groups);
        tree.setPicture(board, picStandardGroup);
        tree.setExpanded(store, true);
        tree.setExpanded(contacts, true);
        tree.setExpanded(groups, true);
    }
};

QPoint centreOf(const TreeListView &view, NodeHandle node)
{
    const QRect rect = view.visualRect(node);
    return {200, rect.center().y()};
}

void showView(TreeListView &view, int width, int height)
{
    view.resize(width, height);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

// The fixture's tree in a view of that size, on screen.
struct Shown : Fixture
{
    Shown(int width, int height, int rowCount = 5)
        : Fixture(rowCount)
    {
        showView(view, width, height);
    }
    TreeListView view{tree};
};

void click(TreeListView &view, QPoint pos, Qt::KeyboardModifiers modifiers = {},
           Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(view.viewport(), button, modifiers, pos);
}

} // namespace

class TreeListViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rowsFollowExpansionAndHeadings()
    {
        Fixture f;
        TreeListView view(f.tree);
        // store, contacts, heading, 5 rows, groups, board
        QCOMPARE(view.shownRowCount(), 10);

        f.tree.setExpanded(f.contacts, false);
        f.tree.refresh();
        QCOMPARE(view.shownRowCount(), 4);
        QVERIFY(view.visualRect(f.rows[0]).isEmpty());

        // An empty node with a layout still shows its headings once expanded.
        f.tree.removeDescendants(f.contacts);
        f.tree.setExpanded(f.contacts, true);
        f.tree.refresh();
        QCOMPARE(view.shownRowCount(), 5);

        // An operation that changes an expansion without asking for a redraw is still seen.
        f.tree.setExpanded(f.contacts, false);
        QCOMPARE(view.shownRowCount(), 4);
    }

    void nodeAtPoint()
    {
        Shown f(400, 400);
        const int h = f.view.rowHeight();
        QCOMPARE(f.view.NodeAt(10, h / 2), f.tree.indexOf(f.store));
        QCOMPARE(f.view.NodeAt(10, h + h / 2), f.tree.indexOf(f.contacts));
        QCOMPARE(f.view.NodeAt(10, 2 * h + h / 2), -1); // the heading row
        QCOMPARE(f.view.NodeAt(300, 3 * h + 1), f.tree.indexOf(f.rows[0]));
        QCOMPARE(f.view.NodeAt(10, 9 * h + 1), f.tree.indexOf(f.board));
        QCOMPARE(f.view.NodeAt(10, 10 * h + 1), -1); // below the last row

        f.view.verticalScrollBar()->setRange(0, 10 * h);
        f.view.verticalScrollBar()->setValue(h);
        QCOMPARE(f.view.NodeAt(10, h / 2), f.tree.indexOf(f.contacts));
    }

    void headingEdgeDragWritesTheWidthBack()
    {
        Shown f(600, 400);
        QSignalSpy resized(&f.view, &TreeListView::columnResized);

        const int edge = f.view.headingEdgeX(f.contacts, 1);
        QVERIFY(edge > 0);
        const int y = 2 * f.view.rowHeight() + f.view.rowHeight() / 2;
        QTest::mousePress(f.view.viewport(), Qt::LeftButton, {}, QPoint(edge, y));
        QTest::mouseMove(f.view.viewport(), QPoint(edge + 40, y));
        QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, {}, QPoint(edge + 40, y));

        QCOMPARE(f.tree.columnLayout(f.contacts).columns[1].width, 140);
        QCOMPARE(f.tree.columnLayout(f.contacts).columns[2].width, 150);
        QCOMPARE(f.view.headingEdgeX(f.contacts, 1), edge + 40);
        QVERIFY(!resized.isEmpty());
        // Resizing selects nothing.
        QCOMPARE(f.tree.selectedCount(), 0);

        // Never narrower than a sliver, so the edge can still be grabbed.
        QTest::mousePress(f.view.viewport(), Qt::LeftButton, {}, QPoint(edge + 40, y));
        QTest::mouseMove(f.view.viewport(), QPoint(0, y));
        QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, {}, QPoint(0, y));
        QVERIFY(f.tree.columnLayout(f.contacts).columns[1].width >= 8);
    }

    void selectionLivesInTheTree_data()
    {
        QTest::addColumn<QList<int>>("clicks"); // row numbers of the contacts clicked
        QTest::addColumn<QList<int>>("modifiers");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("current");

        const int none = Qt::NoModifier;
        const int ctrl = Qt::ControlModifier;
        const int shift = Qt::ShiftModifier;
        QTest::newRow("plain") << QList<int>{1, 3} << QList<int>{none, none} << QList<int>{3} << 3;
        QTest::newRow("ctrl adds")
            << QList<int>{1, 3} << QList<int>{none, ctrl} << QList<int>{1, 3} << 3;
        QTest::newRow("ctrl toggles off")
            << QList<int>{1, 3, 1} << QList<int>{none, ctrl, ctrl} << QList<int>{3} << 1;
        QTest::newRow("shift range")
            << QList<int>{1, 4} << QList<int>{none, shift} << QList<int>{1, 2, 3, 4} << 4;
        QTest::newRow("shift range upwards")
            << QList<int>{3, 0} << QList<int>{none, shift} << QList<int>{0, 1, 2, 3} << 0;
    }

    void selectionLivesInTheTree()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(QList<int>, modifiers);
        QFETCH(QList<int>, selected);
        QFETCH(int, current);

        Shown f(600, 400);
        for (int i = 0; i < clicks.size(); ++i)
            click(f.view, centreOf(f.view, f.rows[static_cast<size_t>(clicks[i])]),
                  Qt::KeyboardModifiers(modifiers[i]));

        QList<int> actual;
        for (size_t r = 0; r < f.rows.size(); ++r) {
            if (f.tree.isSelected(f.rows[r]))
                actual << static_cast<int>(r);
        }
        QCOMPARE(actual, selected);
        QCOMPARE(f.tree.selectedCount(), selected.size());
        QCOMPARE(f.tree.current(), f.rows[static_cast<size_t>(current)]);
    }

    void pressInsideASelectionKeepsItForADrag()
    {
        Shown f(600, 400);
        click(f.view, centreOf(f.view, f.rows[0]));
        click(f.view, centreOf(f.view, f.rows[2]), Qt::ControlModifier);

        // Pressed: the selection stays, so that a drag takes all of it.
        QTest::mousePress(f.view.viewport(), Qt::LeftButton, {}, centreOf(f.view, f.rows[0]));
        QCOMPARE(f.tree.selectedCount(), 2);
        QCOMPARE(f.tree.current(), f.rows[0]);
        // Released without a drag: a plain click, which selects that node alone.
        QTest::mouseRelease(f.view.viewport(), Qt::LeftButton, {}, centreOf(f.view, f.rows[0]));
        QCOMPARE(f.tree.selectedCount(), 1);
        QVERIFY(f.tree.isSelected(f.rows[0]));

        // A right press on an unselected node makes it the selection, so the band is for it.
        QSignalSpy clicked(&f.view, &TreeListView::Click);
        click(f.view, centreOf(f.view, f.rows[3]), {}, Qt::RightButton);
        QCOMPARE(f.tree.current(), f.rows[3]);
        QCOMPARE(f.tree.selectedCount(), 1);
        QCOMPARE(clicked.count(), 1);
    }

    void expanderAndCellEvents()
    {
        Shown f(600, 400);
        QSignalSpy plusMinus(&f.view, &TreeListView::PlusMinusClick);
        QSignalSpy cell(&f.view, &TreeListView::GridCellClick);
        QSignalSpy picture(&f.view, &TreeListView::PictureClick);
        QSignalSpy clicked(&f.view, &TreeListView::Click);
        QSignalSpy down(&f.view, &TreeListView::MouseDown);
        QSignalSpy up(&f.view, &TreeListView::MouseUp);

        const QPoint box = f.view.expanderRect(f.contacts).center();
        QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, box);
        QCOMPARE(plusMinus.count(), 1);
        QCOMPARE(plusMinus.first().first().toInt(), f.tree.indexOf(f.contacts));
        QVERIFY(!f.tree.isExpanded(f.contacts));
        QCOMPARE(f.view.shownRowCount(), 4);
        // The box opens and closes the node and selects nothing.
        QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, box);
        QVERIFY(f.tree.isExpanded(f.contacts));
        QCOMPARE(plusMinus.count(), 2);
        QVERIFY(clicked.isEmpty());
        QCOMPARE(f.tree.selectedCount(), 0);
        QVERIFY(f.view.expanderRect(f.rows[0]).isEmpty());

        const QPoint onEmail(f.view.headingEdgeX(f.contacts, 1) + 20,
                             centreOf(f.view, f.rows[1]).y());
        click(f.view, onEmail);
        QCOMPARE(cell.count(), 1);
        QCOMPARE(cell.first().at(0).toInt(), f.tree.indexOf(f.rows[1]));
        QCOMPARE(cell.first().at(1).toInt(), 2);
        QCOMPARE(clicked.count(), 1);
        QVERIFY(picture.isEmpty());

        QCOMPARE(down.last().at(2).toInt(), onEmail.x());
        QCOMPARE(up.last().at(3).toInt(), onEmail.y());
    }

    void keyboardMovesTheCurrentNode()
    {
        Shown f(600, 400);
        click(f.view, centreOf(f.view, f.contacts));
        QSignalSpy keys(&f.view, &TreeListView::KeyDown);

        QTest::keyClick(&f.view, Qt::Key_Down); // over the heading row to the first contact
        QCOMPARE(f.tree.current(), f.rows[0]);
        QTest::keyClick(&f.view, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&f.view, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(f.tree.selectedCount(), 3);
        QTest::keyClick(&f.view, Qt::Key_Up);
        QCOMPARE(f.tree.current(), f.rows[1]);
        QCOMPARE(f.tree.selectedCount(), 1);
        QTest::keyClick(&f.view, Qt::Key_Left); // to the parent
        QCOMPARE(f.tree.current(), f.contacts);
        QTest::keyClick(&f.view, Qt::Key_Left); // collapses it
        QVERIFY(!f.tree.isExpanded(f.contacts));
        QTest::keyClick(&f.view, Qt::Key_F2);
        QCOMPARE(keys.last().at(0).toInt(), int(Qt::Key_F2));
    }

    void refreshScrollsToANewCurrentNode()
    {
        Shown f(400, 200, 500);
        f.tree.setExpanded(f.store, false);
        f.tree.refresh();

        // An operation makes a deep row current: its parents open and it comes into sight.
        f.tree.setCurrent(f.rows[400]);
        f.tree.refresh();
        QVERIFY(f.tree.isExpanded(f.store));
        const QRect rect = f.view.visualRect(f.rows[400]);
        QVERIFY(!rect.isEmpty());
        QVERIFY(f.view.viewport()->rect().contains(rect));

        // The user picks a row and closes its folder: a later redraw leaves the folder closed.
        f.view.scrollTo(f.rows[1]);
        click(f.view, centreOf(f.view, f.rows[1]));
        f.view.scrollTo(f.contacts);
        QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {},
                          f.view.expanderRect(f.contacts).center());
        QVERIFY(!f.tree.isExpanded(f.contacts));
        QCOMPARE(f.tree.current(), f.rows[1]);
        f.tree.refresh();
        QVERIFY(!f.tree.isExpanded(f.contacts));
    }

    void dragOverHighlightsTheNodeUnderThePointer()
    {
        Shown f(400, 200, 200);

        const QPoint board = centreOf(f.view, f.rows[3]);
        f.view.DragOver(board.x(), board.y(), TreeSurface::DragEnter);
        QCOMPARE(f.view.dropHighlight(), f.rows[3]);

        // Near the bottom edge the rows scroll under the pointer.
        const int before = f.view.verticalScrollBar()->value();
        f.view.DragOver(100, f.view.viewport()->height() - 4, TreeSurface::DragOverState);
        QTRY_VERIFY(f.view.verticalScrollBar()->value() > before);

        f.view.DragOver(0, 0, TreeSurface::DragLeave);
        QVERIFY(f.view.dropHighlight().isNull());
        const int stopped = f.view.verticalScrollBar()->value();
        QTest::qWait(200);
        QCOMPARE(f.view.verticalScrollBar()->value(), stopped);
    }

    void paintsRemovedNodesWhileSuspended()
    {
        Shown f(400, 300, 50);
        f.tree.suspendDrawing();
        f.tree.removeDescendants(f.contacts);
        // Still showing the old rows: their handles are stale and are passed over.
        QCOMPARE(f.view.shownRowCount(), 55);
        QVERIFY(!f.view.grab().isNull());
        QCOMPARE(f.view.NodeAt(10, 4 * f.view.rowHeight()), -1);
        f.tree.refresh();
        QCOMPARE(f.view.shownRowCount(), 5);
    }

    void hundredThousandRowsScrollToTheEnd()
    {
        Shown f(400, 300, 100000);
        QCOMPARE(f.view.shownRowCount(), 100005);
        f.view.verticalScrollBar()->setValue(f.view.verticalScrollBar()->maximum());
        const int y = f.view.viewport()->height() - f.view.rowHeight() / 2;
        QCOMPARE(f.view.NodeAt(10, y), f.tree.indexOf(f.board));
        f.view.scrollTo(f.rows[50000]);
        QCOMPARE(f.view.NodeAt(300, f.view.visualRect(f.rows[50000]).center().y()),
                 f.tree.indexOf(f.rows[50000]));
    }
};

QTEST_MAIN(TreeListViewTest)
#include "TreeListViewTest.moc"
