// Scrolling the main tree over a listed folder of 100,000 contacts: each paint of the view at
// 100 scroll positions spread over the whole list, on the offscreen platform. Also the cost
// of listing the rows again after the tree changes (once per refresh, not per paint), and
// of a keystroke in the find field until the narrowed rows are painted.

#include "GuiBench.h"
#include "gui/TreeFindBar.h"
#include "gui/TreeListView.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>
#include <ctime>

using namespace corvel;

namespace {

struct ListedFolder
{
    TreeList tree;
    NodeHandle folder;

    explicit ListedFolder(int rows)
    {
        const NodeHandle store = tree.addNode(QStringLiteral("Personal Folders"));
        tree.setPicture(store, picPersonalFolders);
        folder = tree.addNode(QStringLiteral("Contacts"), store);
        tree.setPicture(folder, picContactFolder);
        setNodeKind(tree, folder, NodeKind::ContactFolderListed);
        ColumnLayout layout;
        layout.setColumnCount(4);
        layout.columns[1] = {150, NodeValueName::FileAs(), QStringLiteral("Full Name")};
        layout.columns[2] = {190, NodeValueName::Email1Address(), QStringLiteral("E-mail")};
        layout.columns[3] = {110, NodeValueName::Categories(), QStringLiteral("Categories")};
        tree.setColumnLayout(folder, layout);
        tree.setChildOrder(folder, ChildOrder::ByValue, NodeValueName::FileAs());
        for (int i = 0; i < rows; ++i) {
            const NodeHandle row = tree.addNode(QString(), folder);
            setNodeKind(tree, row, NodeKind::ContactRow);
            tree.setValue(row, NodeValueName::FileAs(),
                          QStringLiteral("Contact %1, Person").arg(i, 6, 10, QLatin1Char('0')));
            tree.setValue(row, NodeValueName::Email1Address(),
                          QStringLiteral("person%1@example.org").arg(i));
            tree.setValue(row, NodeValueName::Categories(),
                          i % 3 ? QStringLiteral("Board") : QStringLiteral("Press; Friends"));
        }
        tree.setExpanded(store, true);
        tree.setExpanded(folder, true);
        tree.setCurrent(tree.at(5000));
        tree.setSelected(tree.at(5000), true);
    }
};

void BM_PaintAtScrollPositions(benchmark::State &state)
{
    ListedFolder data(static_cast<int>(state.range(0)));
    TreeListView view(data.tree);
    view.resize(800, 600);
    view.show();
    QApplication::processEvents();
    QImage target(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QScrollBar *bar = view.verticalScrollBar();
    constexpr int Positions = 100;
    // The window has been drawn once before anyone scrolls it: fonts and pictures are ready.
    view.viewport()->render(&target);

    double worst = 0;
    double total = 0;
    qint64 paints = 0;
    for (auto _ : state) {
        for (int p = 0; p < Positions; ++p) {
            bar->setValue(
                static_cast<int>(static_cast<qint64>(bar->maximum()) * p / (Positions - 1)));
            QElapsedTimer timer;
            timer.start();
            view.viewport()->render(&target);
            const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            worst = std::max(worst, ms);
            total += ms;
            ++paints;
        }
    }
    state.counters["mean_paint_ms"] = total / static_cast<double>(std::max<qint64>(1, paints));
    state.counters["worst_paint_ms"] = worst;
    state.counters["rows"] = static_cast<double>(view.shownRowCount());
}
BENCHMARK(BM_PaintAtScrollPositions)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Listing the shown rows again, as after a refresh that changed the tree.
void BM_RowsAfterRefresh(benchmark::State &state)
{
    ListedFolder data(static_cast<int>(state.range(0)));
    TreeListView view(data.tree);
    view.resize(800, 600);
    for (auto _ : state) {
        data.tree.refresh();
        benchmark::DoNotOptimize(view.shownRowCount());
    }
}
BENCHMARK(BM_RowsAfterRefresh)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

struct NoStatus : StatusPanels
{
    void updateCaption(int, const QString &) override {}
    void showPercent(int, int) override {}
};

// Milliseconds of this thread's processor time: on a shared machine the wall clock also
// counts the time other programs held the cores.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct KeyTime
{
    double wallMs = 0;
    double cpuMs = 0;
};

KeyTime typeAndPaint(QWidget &target, QWidget &viewport, QImage &image, int key,
                     const QString &text)
{
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = threadCpuMs();
    const int code = text.isEmpty() ? key : text.toUpper().front().unicode();
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QApplication::sendEvent(&target, &press);
    viewport.render(&image);
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6, threadCpuMs() - cpuStart};
}

// A keystroke in the find field until the narrowed rows are painted: "person9999" typed and
// taken back one key at a time (from every row shown to one and back). The first key, typed
// in the tree, also folds every row's columns once; it is counted apart.
void BM_FindKeystrokeToPaint(benchmark::State &state)
{
    ListedFolder data(static_cast<int>(state.range(0)));
    TreeListView view(data.tree);
    NoStatus status;
    TreeFindBar bar(view, status);
    view.resize(800, 600);
    view.show();
    QApplication::processEvents();
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    view.viewport()->render(&image);
    auto *field = bar.findChild<QLineEdit *>();
    const QString typed = QStringLiteral("person9999");

    KeyTime first;
    KeyTime worst;
    KeyTime total;
    qint64 keys = 0;
    for (auto _ : state) {
        bar.cancel();
        const KeyTime key = typeAndPaint(view, *view.viewport(), image, Qt::Key_P, typed.left(1));
        first = {std::max(first.wallMs, key.wallMs), std::max(first.cpuMs, key.cpuMs)};
        const auto count = [&](KeyTime ms) {
            worst = {std::max(worst.wallMs, ms.wallMs), std::max(worst.cpuMs, ms.cpuMs)};
            total = {total.wallMs + ms.wallMs, total.cpuMs + ms.cpuMs};
            ++keys;
        };
        for (qsizetype i = 1; i < typed.size(); ++i)
            count(typeAndPaint(*field, *view.viewport(), image, Qt::Key_unknown, typed.mid(i, 1)));
        for (qsizetype i = 0; i < typed.size(); ++i)
            count(typeAndPaint(*field, *view.viewport(), image, Qt::Key_Backspace, QString()));
    }
    const auto perKey = static_cast<double>(std::max<qint64>(1, keys));
    state.counters["first_key_ms"] = first.wallMs;
    state.counters["first_key_cpu_ms"] = first.cpuMs;
    state.counters["mean_key_ms"] = total.wallMs / perKey;
    state.counters["mean_key_cpu_ms"] = total.cpuMs / perKey;
    state.counters["worst_key_ms"] = worst.wallMs;
    state.counters["worst_key_cpu_ms"] = worst.cpuMs;
}
BENCHMARK(BM_FindKeystrokeToPaint)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    return corvel::bench::runWidgetBenchmarks(argc, argv);
}
