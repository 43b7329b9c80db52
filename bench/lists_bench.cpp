// The tree side of listing a contact folder: loadContacts from the in-memory session into a
// fresh tree, including the deferred sort (the display order is looked at), against adding
// the same rows to a tree directly. Item reading is the session's and not measured here.

#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"
#include "folders/ColumnSets.h"
#include "folders/ItemLists.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"
#include "tree/TreeList.h"

#include <benchmark/benchmark.h>

#include <array>
#include <map>
#include <memory>
#include <random>

using namespace corvel;

namespace {

// Counts what a status bar would be asked to draw.
class CountingPanels : public StatusPanels
{
public:
    int captions = 0;
    int percents = 0;
    void updateCaption(int, const QString &) override { ++captions; }
    void showPercent(int, int) override { ++percents; }
};

struct Session
{
    std::shared_ptr<MemoryNamespace> session = std::make_shared<MemoryNamespace>();
    std::shared_ptr<MemoryFolder> contacts;
};

// Seeded names in random order, so the sort has real work; "Surname, Given" repeats.
Session &sessionOf(int count)
{
    static std::map<int, std::unique_ptr<Session>> cache;
    auto &slot = cache[count];
    if (slot)
        return *slot;
    slot = std::make_unique<Session>();
    auto store = slot->session->addStore(QStringLiteral("Personal Folders"));
    slot->contacts = store->addFolder(QStringLiteral("Contacts"), QStringLiteral("IPM.Contact"));
    static const std::array<const char *, 20> surnames = {
        "Abbott", "Baker",  "Carter", "Dalton", "Ellison", "Fischer", "Garcia",
        "Hansen", "Ibarra", "Jensen", "Larsen", "Moreau",  "Petrov",  "Quinn",
        "Rossi",  "Tanaka", "Vargas", "Walker", "Young",   "Zimmer"};
    static const std::array<const char *, 10> given = {"Ann", "Bob", "Cy",  "Dee", "Eve",
                                                       "Fay", "Gus", "Hal", "Ida", "Jo"};
    std::mt19937 random(42);
    for (int i = 0; i < count; ++i) {
        const QString surname = QString::fromLatin1(surnames[random() % surnames.size()]);
        const QString first = QString::fromLatin1(given[random() % given.size()]);
        const QString number = QString::number(random() % 100000);
        slot->contacts->addContact(surname + QStringLiteral(", ") + first + number,
                                   first.toLower() + number + QStringLiteral("@example.org"),
                                   i % 3 ? QStringLiteral("Work") : QString());
    }
    return *slot;
}

ColumnSets standardSets()
{
    ColumnSets sets;
    sets.readClassDefaults(QStringLiteral("IPM.Contact\n FileAs;Contact Name;180\n"
                                          " Email1Address;eMail Address;200\n"
                                          " Categories;Categories;150\n"));
    return sets;
}

NodeHandle addFolderNode(TreeList &tree, const MemoryFolder &folder)
{
    const NodeHandle store = tree.addNode(QStringLiteral("Personal Folders"));
    const NodeHandle node = tree.addNode(QStringLiteral("Contacts"), store);
    setNodeKind(tree, node, NodeKind::ContactFolder);
    tree.setValue(node, NodeValueName::EntryId(), folder.EntryID());
    tree.setValue(node, NodeValueName::StoreId(), folder.StoreID());
    return node;
}

void BM_LoadContacts(benchmark::State &state)
{
    Session &s = sessionOf(static_cast<int>(state.range(0)));
    CountingPanels panels;
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TreeList>();
        ColumnSets sets = standardSets();
        const NodeHandle node = addFolderNode(*tree, *s.contacts);
        ItemLists lists(*tree, *s.session, sets, &panels);
        state.ResumeTiming();

        const Status listed = lists.loadContacts(node);
        benchmark::DoNotOptimize(tree->displayOrder());

        state.PauseTiming();
        if (!listed.ok() || tree->descendantCount(node) != state.range(0))
            state.SkipWithError("listing failed");
        tree.reset();
        state.ResumeTiming();
    }
    state.counters["percent_draws"] =
        benchmark::Counter(panels.percents, benchmark::Counter::kAvgIterations);
}

// The deferred sort alone: the display order looked at after a listing.
void BM_SortAfterLoad(benchmark::State &state)
{
    Session &s = sessionOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TreeList>();
        ColumnSets sets = standardSets();
        const NodeHandle node = addFolderNode(*tree, *s.contacts);
        ItemLists lists(*tree, *s.session, sets);
        if (!lists.loadContacts(node).ok())
            state.SkipWithError("listing failed");
        state.ResumeTiming();

        benchmark::DoNotOptimize(tree->displayOrder());

        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
}

// Listing a listed folder again: the old rows go first.
void BM_RelistContacts(benchmark::State &state)
{
    Session &s = sessionOf(static_cast<int>(state.range(0)));
    TreeList tree;
    ColumnSets sets = standardSets();
    const NodeHandle node = addFolderNode(tree, *s.contacts);
    ItemLists lists(tree, *s.session, sets);
    if (!lists.loadContacts(node).ok())
        state.SkipWithError("listing failed");
    for (auto _ : state) {
        const Status listed = lists.loadContacts(node);
        benchmark::DoNotOptimize(tree.displayOrder());
        benchmark::DoNotOptimize(listed.ok());
    }
}

// The same rows added to the tree by hand: the floor loadContacts is measured against.
void BM_AddRowsDirectly(benchmark::State &state)
{
    Session &s = sessionOf(static_cast<int>(state.range(0)));
    const QString fileAs = QStringLiteral("FileAs");
    const QString email = QStringLiteral("Email1Address");
    const QString categories = QStringLiteral("Categories");
    const QString entryId = NodeValueName::EntryId();
    const QString type = NodeValueName::olType();
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TreeList>();
        const NodeHandle node = addFolderNode(*tree, *s.contacts);
        state.ResumeTiming();

        tree->suspendDrawing();
        for (const auto &item : s.contacts->items()) {
            const NodeHandle row = tree->addNode(QString(), node);
            tree->setValue(row, entryId, item->EntryID());
            setNodeKind(*tree, row, NodeKind::ContactRow);
            tree->setValue(row, fileAs, item->FileAs());
            tree->setValue(row, email, item->Email1Address());
            tree->setValue(row, categories, item->Categories());
        }
        tree->setChildOrder(node, ChildOrder::ByValue, fileAs);
        tree->refresh();
        benchmark::DoNotOptimize(tree->displayOrder());

        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_LoadContacts)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortAfterLoad)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RelistContacts)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddRowsDirectly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
