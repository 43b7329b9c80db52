// The group operations at 100,000 contacts: copy into an empty group (whole, and the part a
// window does on its event loop), a dynamic load from a listed folder, address list export and
// import, and deleting every member at once.
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryNamespace.h"
#include "groups/AddressListFile.h"
#include "groups/ContactCopy.h"
#include "groups/GroupEditor.h"
#include "groups/GroupStore.h"
#include "tree/NodeKinds.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace corvel;

namespace {

// A store with a listed contact folder of n rows (distinct addresses, every third row in
// category "Board") and an empty Standard and Dynamic Mail Group.
struct Fixture
{
    QTemporaryDir dir;
    GroupStore store{dir.path(), QString()};
    TreeList tree;
    NodeHandle folder, group, dynamic;
    std::vector<NodeHandle> rows;

    explicit Fixture(int n)
    {
        (void)store.addGroupRoots(tree, {});
        const NodeHandle storeNode = tree.addNode(QStringLiteral("Personal Folders"));
        folder = tree.addNode(QStringLiteral("Contacts"), storeNode);
        setNodeKind(tree, folder, NodeKind::ContactFolderListed);
        tree.setValue(folder, NodeValueName::EntryId(), QStringLiteral("FOLDER"));
        tree.setChildOrder(folder, ChildOrder::ByValue, NodeValueName::FileAs());
        rows.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const NodeHandle row = tree.addNode(QString(), folder);
            setNodeKind(tree, row, NodeKind::ContactRow);
            tree.setValue(row, NodeValueName::EntryId(),
                          QStringLiteral("%1").arg(i, 48, 16, QLatin1Char('0')));
            tree.setValue(row, NodeValueName::FileAs(), QStringLiteral("Name%1, Given").arg(i));
            tree.setValue(row, NodeValueName::Email1Address(),
                          QStringLiteral("person%1@example.org").arg(i));
            tree.setValue(row, NodeValueName::Categories(),
                          i % 3 == 0 ? QStringLiteral("Board, Golf") : QStringLiteral("Golf"));
            rows.push_back(row);
        }
        GroupEditor editor(tree, store);
        group = editor.addStandardGroup(findNodeOfKind(tree, NodeKind::StandardRoot),
                                        QStringLiteral("Everybody"));
        dynamic = editor.addDynamicGroup(findNodeOfKind(tree, NodeKind::DynamicRoot),
                                         {QStringLiteral("Board"), QStringLiteral("b*"),
                                          QStringLiteral("FOLDER"), QStringLiteral("S"),
                                          QStringLiteral("Contacts")});
        (void)tree.displayOrder();
    }
};

void BM_CopyContactsIntoEmptyGroup(benchmark::State &state)
{
    Fixture f(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        GroupEditor editor(f.tree, f.store);
        benchmark::DoNotOptimize(editor.copyContacts(f.group, f.rows));
        (void)f.tree.displayOrder(); // shown sorted
        state.PauseTiming();
        f.tree.removeDescendants(f.group);
        state.ResumeTiming();
    }
}

// The parts of that copy a window does on its event loop: taking the selected contacts'
// texts from the tree, and attaching the members a worker made.
void BM_CopyContactsOnTheEventLoop(benchmark::State &state)
{
    Fixture f(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ContactCopy::Plan plan = ContactCopy::plan(f.tree, f.group, f.rows);
        state.PauseTiming();
        ContactCopy::Built built = ContactCopy::build(std::move(plan), nullptr);
        state.ResumeTiming();
        benchmark::DoNotOptimize(ContactCopy::apply(f.tree, f.store, f.group, std::move(built)));
        (void)f.tree.displayOrder();
        state.PauseTiming();
        f.tree.removeDescendants(f.group);
        state.ResumeTiming();
    }
}

void BM_LoadDynamicGroupFromListedFolder(benchmark::State &state)
{
    Fixture f(static_cast<int>(state.range(0)));
    // The session only confirms the folder exists; its rows are read from the tree.
    const auto session = std::make_shared<MemoryNamespace>();
    const auto contacts =
        session->addStore(QStringLiteral("Personal Folders"))
            ->addFolder(QStringLiteral("Contacts"), QStringLiteral("IPM.Contact"));
    f.tree.setValue(f.folder, NodeValueName::EntryId(), contacts->EntryID());
    f.tree.setValue(f.dynamic, NodeValueName::EntryIds(), contacts->EntryID());
    f.tree.setValue(f.dynamic, NodeValueName::StoreIds(), contacts->StoreID());
    for (auto _ : state) {
        GroupEditor editor(f.tree, f.store, session.get());
        if (!editor.loadDynamicGroup(f.dynamic, QStringLiteral("now")).ok())
            state.SkipWithError("folder not available");
        (void)f.tree.displayOrder();
    }
    state.counters["members"] = f.tree.childCount(f.dynamic);
}

void BM_ExportAddressList(benchmark::State &state)
{
    Fixture f(static_cast<int>(state.range(0)));
    GroupEditor editor(f.tree, f.store);
    (void)editor.copyContacts(f.group, f.rows);
    const QString path = f.dir.filePath(QStringLiteral("list.txt"));
    for (auto _ : state) {
        const Status written = AddressListFile::write(path, editor.entriesOf(f.group));
        if (!written.ok())
            state.SkipWithError("write failed");
    }
}

void BM_ImportAddressList(benchmark::State &state)
{
    Fixture f(static_cast<int>(state.range(0)));
    GroupEditor editor(f.tree, f.store);
    (void)editor.copyContacts(f.group, f.rows);
    const QString path = f.dir.filePath(QStringLiteral("list.txt"));
    (void)AddressListFile::write(path, editor.entriesOf(f.group));
    f.tree.removeDescendants(f.group);
    for (auto _ : state) {
        const auto entries = AddressListFile::read(path);
        editor.addEntries(f.group, *entries);
        (void)f.tree.displayOrder();
        state.PauseTiming();
        f.tree.removeDescendants(f.group);
        state.ResumeTiming();
    }
}

void BM_DeleteSelectedMembers(benchmark::State &state)
{
    Fixture f(static_cast<int>(state.range(0)));
    GroupEditor editor(f.tree, f.store);
    for (auto _ : state) {
        state.PauseTiming();
        (void)editor.copyContacts(f.group, f.rows);
        for (const NodeHandle m : f.tree.children(f.group))
            f.tree.setSelected(m, true);
        (void)f.tree.displayOrder();
        state.ResumeTiming();
        editor.removeNodes(f.tree.selectedNodes());
        (void)f.tree.displayOrder();
    }
}

} // namespace

BENCHMARK(BM_CopyContactsIntoEmptyGroup)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyContactsOnTheEventLoop)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDynamicGroupFromListedFolder)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportAddressList)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportAddressList)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteSelectedMembers)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
