// Saving and reading back the group file with one Standard Mail Group of N members, the way
// shutdown and start-up do it (atomic replace with fsync and backup; whole-file read).
#include "groups/GroupStore.h"
#include "tree/NodeKinds.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

using namespace corvel;

namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

void fillGroup(TreeList &tree, GroupStore &store, int members)
{
    const NodeHandle root = findNodeOfKind(tree, NodeKind::StandardRoot);
    const NodeHandle group = tree.addNode(s("Everybody"), root);
    setNodeKind(tree, group, NodeKind::StandardGroup);
    store.setupGroupGrid(tree, group);
    tree.setChildOrder(group, ChildOrder::ByValue, NodeValueName::FileAs());
    std::mt19937 random(20240601);
    const char *surnames[] = {"Lee", "Baker", "Ørsted", "Nguyen", "Smith", "García", "Okafor"};
    for (int i = 0; i < members; ++i) {
        const NodeHandle row = tree.addNode(QString(), group);
        const QString surname = QString::fromUtf8(surnames[random() % 7]);
        const QString given = QStringLiteral("Given%1").arg(random() % 100000);
        setNodeKind(tree, row, NodeKind::CopiedMember);
        tree.setValue(row, NodeValueName::EntryId(),
                      QStringLiteral("%1").arg(i, 48, 16, QLatin1Char('0')).toUpper());
        tree.setValue(row, NodeValueName::FileAs(), surname + QStringLiteral(", ") + given);
        tree.setValue(row, NodeValueName::Email1Address(),
                      given.toLower() + QStringLiteral("@example.org"));
    }
    (void)tree.displayOrder(); // a tree on screen is sorted already
}

void BM_SaveGroupFile(benchmark::State &state)
{
    QTemporaryDir dir;
    GroupStore store(dir.path(), QString());
    TreeList tree;
    (void)store.addGroupRoots(tree, {});
    fillGroup(tree, store, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const Status saved = store.saveGroupFile(tree);
        if (!saved.ok())
            state.SkipWithError(saved.error().toUtf8().constData());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ReadGroupFile(benchmark::State &state)
{
    QTemporaryDir dir;
    {
        GroupStore store(dir.path(), QString());
        TreeList tree;
        (void)store.addGroupRoots(tree, {});
        fillGroup(tree, store, static_cast<int>(state.range(0)));
        (void)store.saveGroupFile(tree);
    }
    for (auto _ : state) {
        GroupStore store(dir.path(), QString());
        auto tree = std::make_unique<TreeList>();
        const Status read = store.addGroupRoots(*tree, {});
        if (!read.ok())
            state.SkipWithError(read.error().toUtf8().constData());
        benchmark::DoNotOptimize(tree->displayOrder().size());
        state.PauseTiming(); // the tree's teardown is not part of reading
        tree.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_SaveGroupFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadGroupFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
