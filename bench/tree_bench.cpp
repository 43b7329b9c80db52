// Costs of the tree-list core on one large group: building, finding, copying, saving,
// loading, removing and index lookups. Run with ->Arg(10000)->Arg(100000) so the growth
// between the two sizes can be compared with n log n.

#include "support/AtomicFile.h"
#include "tree/TreeBranchFile.h"
#include "tree/TreeList.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <array>
#include <map>
#include <memory>
#include <random>
#include <vector>

using namespace corvel;

namespace {

// The values a group member row carries in the group file.
const QString &olTypeName()
{
    static const QString name = QStringLiteral("olType");
    return name;
}
const QString &fileAsName()
{
    static const QString name = QStringLiteral("FileAs");
    return name;
}
const QString &emailName()
{
    static const QString name = QStringLiteral("Email1Address");
    return name;
}
constexpr int MemberType = 37;

struct Rows
{
    std::vector<QString> fileAs;
    std::vector<QString> email;
};

// Generated once per size and seeded, so every run sorts the same names; duplicates of
// "Surname, Given" are intended, as real lists have them.
const Rows &rowsOf(int count)
{
    static std::map<int, Rows> cache;
    auto it = cache.find(count);
    if (it != cache.end())
        return it->second;

    static const std::array<const char *, 40> surnames = {
        "Abbott",  "Baker",      "Carter",   "Dalton",   "Ellison", "Fischer",  "Garcia",
        "Hansen",  "Ibarra",     "Jensen",   "Kowalski", "Larsen",  "Moreau",   "Nakamura",
        "O'Neill", "Petrov",     "Quinn",    "Rossi",    "Schmidt", "Tanaka",   "Underwood",
        "Vasquez", "Weber",      "Xu",       "Yilmaz",   "Zimmer",  "van Dijk", "de la Cruz",
        "Müller",  "Østergaard", "Łukasik",  "Ångström", "Brown",   "Chen",     "Dubois",
        "Evans",   "Fontaine",   "Gonzalez", "Horvat",   "Ivanova"};
    static const std::array<const char *, 30> givens = {
        "Anna",    "Ben",   "Chloé", "David", "Elena",  "Farid", "Grace",  "Hugo",
        "Ines",    "Jonas", "Kira",  "Liam",  "Maya",   "Noah",  "Olga",   "Pavel",
        "Quentin", "Rosa",  "Sven",  "Tara",  "Umar",   "Vera",  "Willem", "Xenia",
        "Yusuf",   "Zoë",   "Aiko",  "Bruno", "Carmen", "Dmitri"};
    std::mt19937 random(20240611u + static_cast<unsigned>(count));
    std::uniform_int_distribution<size_t> surname(0, surnames.size() - 1);
    std::uniform_int_distribution<size_t> given(0, givens.size() - 1);
    std::uniform_int_distribution<int> suffix(0, 99);

    Rows rows;
    rows.fileAs.reserve(static_cast<size_t>(count));
    rows.email.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        // A suffix on the surname widens the spread, so the sort sees many distinct keys.
        const QString last =
            QString::fromUtf8(surnames[surname(random)]) + QString::number(suffix(random));
        const QString first = QString::fromUtf8(givens[given(random)]);
        rows.fileAs.push_back(last + QStringLiteral(", ") + first);
        // Unique per row: a find for one address can only match that row.
        rows.email.push_back(QStringLiteral("member%1@example.org").arg(i));
    }
    return cache.emplace(count, std::move(rows)).first->second;
}

struct Group
{
    std::unique_ptr<TreeList> tree = std::make_unique<TreeList>();
    NodeHandle group;
    NodeHandle last; // the row added last
};

void addMembers(Group &g, const Rows &rows)
{
    for (size_t i = 0; i < rows.fileAs.size(); ++i) {
        const NodeHandle row = g.tree->addNode(rows.fileAs[i], g.group);
        g.tree->setValue(row, olTypeName(), NodeValue(MemberType));
        g.tree->setValue(row, fileAsName(), NodeValue(rows.fileAs[i]));
        g.tree->setValue(row, emailName(), NodeValue(rows.email[i]));
        g.last = row;
    }
}

Group makeGroupNode()
{
    Group g;
    g.group = g.tree->addNode(QStringLiteral("Sales team"));
    g.tree->setChildOrder(g.group, ChildOrder::ByValue, fileAsName());
    return g;
}

// A group already sorted and indexed, as it is once shown.
Group makeGroup(int count)
{
    Group g = makeGroupNode();
    addMembers(g, rowsOf(count));
    benchmark::DoNotOptimize(g.tree->indexOf(g.last));
    return g;
}

// Destroys outside the timed region: freeing 100,000 rows is not what is measured.
template<typename T>
void discardUntimed(benchmark::State &state, T &value)
{
    state.PauseTiming();
    value = T();
    state.ResumeTiming();
}

void setRows(benchmark::State &state)
{
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// --- Building ------------------------------------------------------------------------------

void BM_Add(benchmark::State &state)
{
    const Rows &rows = rowsOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        Group g = makeGroupNode();
        state.ResumeTiming();
        addMembers(g, rows);
        // Looking at the order is what pays for the deferred sort.
        benchmark::DoNotOptimize(g.tree->indexOf(g.last));
        discardUntimed(state, g);
    }
    setRows(state);
}

// --- Finding -------------------------------------------------------------------------------

void BM_Find(benchmark::State &state)
{
    Group g = makeGroup(static_cast<int>(state.range(0)));
    const NodeHandle lastShown = g.tree->at(g.tree->count() - 1);
    const NodeValue wanted = g.tree->value(lastShown, emailName());
    for (auto _ : state) {
        const NodeHandle found = g.tree->findByValue(wanted, emailName());
        if (found != lastShown)
            state.SkipWithError("findByValue did not return the last row");
        benchmark::DoNotOptimize(found);
    }
    setRows(state);
}

// --- Branches ------------------------------------------------------------------------------

void BM_CopyBranch(benchmark::State &state)
{
    Group g = makeGroup(static_cast<int>(state.range(0)));
    TreeBranch branch;
    for (auto _ : state) {
        branch = g.tree->copyBranch(g.group);
        benchmark::DoNotOptimize(branch.size());
        discardUntimed(state, branch);
    }
    setRows(state);
}

void BM_InsertBranch(benchmark::State &state)
{
    const Group source = makeGroup(static_cast<int>(state.range(0)));
    const TreeBranch branch = source.tree->copyBranch(source.group);
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TreeList>();
        state.ResumeTiming();
        const NodeHandle top = tree->insertBranch(branch);
        // The inserted group sorts its rows when first looked at; that belongs to inserting.
        benchmark::DoNotOptimize(tree->indexOf(tree->children(top).back()));
        discardUntimed(state, tree);
    }
    setRows(state);
}

// --- Saving and loading --------------------------------------------------------------------

void BM_EncodeWrite(benchmark::State &state)
{
    Group g = makeGroup(static_cast<int>(state.range(0)));
    const TreeBranch branch = g.tree->copyBranch(g.group);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("groups.dat"));
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray record = TreeBranchFile::encode(branch);
        // Includes fsync of the file and its folder: that is what saving costs.
        const Status written = AtomicFile::write(path, record);
        if (!written.ok())
            state.SkipWithError(written.error().toStdString().c_str());
        bytes = record.size();
    }
    state.counters["file_bytes"] = static_cast<double>(bytes);
    setRows(state);
}

void BM_EncodeTree(benchmark::State &state)
{
    Group g = makeGroup(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QByteArray record = TreeBranchFile::encode(*g.tree, g.group);
        benchmark::DoNotOptimize(record.size());
        discardUntimed(state, record);
    }
    setRows(state);
}

void BM_ReadInsert(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("groups.dat"));
    {
        Group g = makeGroup(static_cast<int>(state.range(0)));
        const Status written =
            AtomicFile::write(path, TreeBranchFile::encode(g.tree->copyBranch(g.group)));
        if (!written.ok()) {
            state.SkipWithError(written.error().toStdString().c_str());
            return;
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TreeList>();
        state.ResumeTiming();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("cannot open the saved group file");
            break;
        }
        Result<TreeBranch> branch = TreeBranchFile::read(file);
        if (!branch) {
            state.SkipWithError(branch.error().toStdString().c_str());
            break;
        }
        const NodeHandle top = tree->insertBranch(*branch);
        benchmark::DoNotOptimize(tree->indexOf(tree->children(top).back()));
        state.PauseTiming();
        branch = TreeBranch();
        tree.reset();
        state.ResumeTiming();
    }
    setRows(state);
}

// --- Removing ------------------------------------------------------------------------------

void BM_RemoveEach(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Group g = makeGroup(count);
        const std::vector<NodeHandle> rows = g.tree->children(g.group);
        state.ResumeTiming();
        for (const NodeHandle row : rows)
            g.tree->remove(row);
        if (g.tree->count() != 1)
            state.SkipWithError("rows left after removing each");
        discardUntimed(state, g);
    }
    setRows(state);
}

void BM_RemoveDescendants(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Group g = makeGroup(count);
        state.ResumeTiming();
        g.tree->removeDescendants(g.group);
        if (g.tree->count() != 1)
            state.SkipWithError("rows left after removing the descendants");
        discardUntimed(state, g);
    }
    setRows(state);
}

// --- Index lookups -------------------------------------------------------------------------

// One structural change that leaves the group's sort intact (a sibling group comes and
// goes), then every row's index: one O(n) rebuild, then O(1) per lookup.
void BM_IndexLoop(benchmark::State &state)
{
    Group g = makeGroup(static_cast<int>(state.range(0)));
    const std::vector<NodeHandle> rows = g.tree->children(g.group);
    NodeHandle spare;
    for (auto _ : state) {
        if (spare) {
            g.tree->remove(spare);
            spare = {};
        } else {
            spare = g.tree->addNode(QStringLiteral("Spare group"));
        }
        qint64 sum = 0;
        for (const NodeHandle row : rows)
            sum += g.tree->indexOf(row);
        benchmark::DoNotOptimize(sum);
    }
    setRows(state);
}

// One member renamed, so the group re-sorts before the indices are rebuilt.
void BM_IndexLoopAfterRename(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    Group g = makeGroup(count);
    const std::vector<NodeHandle> rows = g.tree->children(g.group);
    const Rows &names = rowsOf(count);
    size_t turn = 0;
    for (auto _ : state) {
        const NodeHandle row = rows[turn % rows.size()];
        g.tree->setValue(row, fileAsName(), NodeValue(names.fileAs[(turn * 7919) % rows.size()]));
        ++turn;
        qint64 sum = 0;
        for (const NodeHandle r : rows)
            sum += g.tree->indexOf(r);
        benchmark::DoNotOptimize(sum);
    }
    setRows(state);
}

} // namespace

#define CORVEL_TREE_BENCH(name)                                                                    \
    BENCHMARK(name)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)

CORVEL_TREE_BENCH(BM_Add);
CORVEL_TREE_BENCH(BM_Find);
CORVEL_TREE_BENCH(BM_CopyBranch);
CORVEL_TREE_BENCH(BM_InsertBranch);
CORVEL_TREE_BENCH(BM_EncodeWrite);
CORVEL_TREE_BENCH(BM_EncodeTree);
CORVEL_TREE_BENCH(BM_ReadInsert);
CORVEL_TREE_BENCH(BM_RemoveEach);
CORVEL_TREE_BENCH(BM_RemoveDescendants);
CORVEL_TREE_BENCH(BM_IndexLoop);
CORVEL_TREE_BENCH(BM_IndexLoopAfterRename);

BENCHMARK_MAIN();
