// The longest stall of the main window's event loop over 100,000 contacts: Load Contacts,
// Refresh of the listed folder, the load of a dynamic group drawing on the folder, Verify
// Addresses of its members, Copy Contacts of every listed contact into an empty group and
// an address list of 100,000 lines loaded and saved, each in the real window offscreen, from
// the command until the rows are placed and drawn. A 5 ms timer measures the gaps between its
// ticks; "stall_ms" is the longest (target: under 100), "apply_stall_ms" the longest from the
// job's end on.

#include "GuiBench.h"
#include "fakes/MemoryApplication.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"
#include "fakes/ScriptedDialogHost.h"
#include "folders/ItemLists.h"
#include "groups/AddressListFile.h"
#include "groups/MailGroups.h"
#include "gui/AppRunner.h"
#include "gui/frmMain.h"
#include "support/CRegSettings.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<MemoryNamespace> contactsSession(int contacts)
{
    auto session = std::make_shared<MemoryNamespace>();
    auto store = session->addStore(u"Personal Folders"_s);
    auto folder = store->addFolder(u"Contacts"_s, u"IPM.Contact"_s);
    for (int i = 0; i < contacts; ++i)
        folder
            ->addContact(u"Name %1, Given"_s.arg((i * 7919) % contacts, 6, 10, QLatin1Char('0')),
                         u"person%1@example.invalid"_s.arg(i))
            ->setCategories(u"Golf"_s);
    store->addFolder(u"Drafts"_s);
    return session;
}

struct Stalls
{
    qint64 worst = 0;
    qint64 applying = 0; // from the job's end: its result applied, the rows drawn
};

// Runs the event loop from `command` until the window's job has ended and a further 100 ms
// have passed (the rows drawn); returns the longest gaps between ticks of a 5 ms timer.
Stalls longestStall(frmMain &window, const std::function<void()> &command)
{
    QElapsedTimer clock;
    qint64 last = 0;
    Stalls stalls;
    qint64 endedAt = -1;
    QEventLoop loop;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        stalls.worst = std::max(stalls.worst, now - last);
        if (endedAt < 0 && !window.isJobRunning())
            endedAt = now;
        // The gap in which the job ended holds the applying of its result.
        if (endedAt >= 0)
            stalls.applying = std::max(stalls.applying, now - last);
        last = now;
        if (endedAt >= 0 && now - endedAt > 100)
            loop.quit();
    });
    clock.start();
    ticks.start();
    command(); // a command that works on the event loop stalls it here
    loop.exec();
    return stalls;
}

struct Fixture
{
    explicit Fixture(int contacts)
        : session(contactsSession(contacts))
    {
        options.shippedDir = QCoreApplication::applicationDirPath();
        options.appPath = root.path() + u"/app"_s;
        options.configRoot = root.path() + u"/config"_s;
        options.dataRoot = root.path() + u"/data"_s;
        QDir().mkpath(options.appPath);
        options.factory = [this](CRegSettings &) {
            return std::make_shared<MemoryApplication>(session);
        };
    }
    std::unique_ptr<AppRunner> start(ScriptedDialogHost &dialogs) const
    {
        // Each repetition starts as the first did: without the groups the last one saved.
        QDir(options.appPath).removeRecursively();
        QDir().mkpath(options.appPath);
        auto runner = std::make_unique<AppRunner>(options, &dialogs);
        if (!runner->start() || !runner->window()->selectPath(u"Personal Folders/Contacts"_s))
            return nullptr;
        return runner;
    }

    std::shared_ptr<MemoryNamespace> session;
    QTemporaryDir root;
    AppRunner::Options options;
};

using Step = std::function<void(frmMain &, ScriptedDialogHost &)>;

// `prepare` runs untimed in a fresh window before the command.
void measure(benchmark::State &state, const Step &prepare, const Step &command)
{
    const Fixture fixture(static_cast<int>(state.range(0)));
    Stalls worst;
    for (auto _ : state) {
        state.PauseTiming();
        ScriptedDialogHost dialogs;
        auto runner = fixture.start(dialogs);
        if (!runner) {
            state.SkipWithError("the window did not start");
            break;
        }
        frmMain &window = *runner->window();
        if (prepare)
            prepare(window, dialogs);
        state.ResumeTiming();
        const Stalls stalls = longestStall(window, [&] { command(window, dialogs); });
        worst.worst = std::max(worst.worst, stalls.worst);
        worst.applying = std::max(worst.applying, stalls.applying);
        state.PauseTiming();
        window.close();
        runner.reset();
        state.ResumeTiming();
    }
    state.counters["stall_ms"] = static_cast<double>(worst.worst);
    state.counters["apply_stall_ms"] = static_cast<double>(worst.applying);
}

Step tool(const QString &name)
{
    return [name](frmMain &window, ScriptedDialogHost &) { window.aBar_Click(name); };
}

void listContacts(frmMain &window, ScriptedDialogHost &)
{
    (void)longestStall(window, [&] { window.aBar_Click(u"btnLoadContacts"_s); });
}

void BM_StallLoadContacts(benchmark::State &state)
{
    measure(state, {}, tool(u"btnLoadContacts"_s));
}
BENCHMARK(BM_StallLoadContacts)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StallRefresh(benchmark::State &state)
{
    measure(state, listContacts, tool(u"btnRefresh"_s));
}
BENCHMARK(BM_StallRefresh)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A dynamic group over the unlisted folder (every contact fits), loaded when `loaded`.
Step makeDynamicGroup(bool loaded)
{
    return [loaded](frmMain &window, ScriptedDialogHost &) {
        Workspace &workspace = window.workspace();
        MailGroups groups(workspace.tree(), workspace.groups(), workspace.session());
        const auto folder = groups.sourceFolder(u"Personal Folders/Contacts"_s);
        const auto made = groups.createDynamic(u"Golfers"_s, {{*folder}, u"Golf"_s, {}});
        if (loaded)
            (void)groups.load(*made, u"now"_s);
        (void)window.selectPath(u"Dynamic Mail Groups/Golfers"_s);
    };
}

void BM_StallDynamicLoad(benchmark::State &state)
{
    measure(state, makeDynamicGroup(false), tool(u"btnRefresh"_s));
}
BENCHMARK(BM_StallDynamicLoad)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StallVerify(benchmark::State &state)
{
    measure(state, makeDynamicGroup(true), tool(u"btnVerify"_s));
}
BENCHMARK(BM_StallVerify)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Verify when a member's name changed since: the group is sorted again and its file saved.
void BM_StallVerifyOneChanged(benchmark::State &state)
{
    const Step loaded = makeDynamicGroup(true);
    measure(
        state,
        [loaded](frmMain &window, ScriptedDialogHost &dialogs) {
            loaded(window, dialogs);
            TreeList &tree = window.workspace().tree();
            const NodeHandle member = tree.children(tree.current()).front();
            tree.setValue(member, NodeValueName::FileAs(), u"Zz, renamed"_s);
        },
        tool(u"btnVerify"_s));
}
BENCHMARK(BM_StallVerifyOneChanged)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// For comparison, a dynamic load done on the event loop, as the command did before.
void BM_StallDynamicLoadOnTheLoop(benchmark::State &state)
{
    measure(state, makeDynamicGroup(false), [](frmMain &window, ScriptedDialogHost &) {
        Workspace &workspace = window.workspace();
        MailGroups groups(workspace.tree(), workspace.groups(), workspace.session());
        (void)groups.load(*groups.find(u"Golfers"_s), u"now"_s);
        workspace.tree().refresh();
    });
}
BENCHMARK(BM_StallDynamicLoadOnTheLoop)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// For comparison, the same listing done on the event loop, as the command did before.
void BM_StallLoadContactsOnTheLoop(benchmark::State &state)
{
    measure(state, {}, [](frmMain &window, ScriptedDialogHost &) {
        Workspace &workspace = window.workspace();
        ItemLists lists(workspace.tree(), *workspace.session(), workspace.groups().columnSets());
        (void)lists.loadContacts(workspace.tree().findByCaption(u"Contacts"_s));
        workspace.tree().refresh();
    });
}
BENCHMARK(BM_StallLoadContactsOnTheLoop)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// An empty Standard Mail Group "Everybody", selected.
GroupId emptyGroup(frmMain &window)
{
    Workspace &workspace = window.workspace();
    MailGroups groups(workspace.tree(), workspace.groups(), workspace.session());
    const auto made = groups.createStandard(u"Everybody"_s);
    (void)window.selectPath(u"Standard Mail Groups/Everybody"_s);
    return *made;
}

QString listPath(const frmMain &window)
{
    return window.workspace().options().appPath + u"/list.txt"_s;
}

// The listed contacts, every one selected, and an empty group.
void contactsSelected(frmMain &window, ScriptedDialogHost &dialogs)
{
    listContacts(window, dialogs);
    (void)emptyGroup(window);
    TreeList &tree = window.workspace().tree();
    for (const NodeHandle row : tree.children(tree.findByCaption(u"Contacts"_s)))
        tree.setSelected(row, true);
}

GroupId everybody(frmMain &window)
{
    Workspace &workspace = window.workspace();
    return *MailGroups(workspace.tree(), workspace.groups()).find(u"Everybody"_s);
}

void BM_StallCopyContacts(benchmark::State &state)
{
    measure(state, contactsSelected,
            [](frmMain &window, ScriptedDialogHost &) { window.copyToGroup(everybody(window)); });
}
BENCHMARK(BM_StallCopyContacts)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// For comparison, the same copy done on the event loop, as the command did before.
void BM_StallCopyContactsOnTheLoop(benchmark::State &state)
{
    measure(state, contactsSelected, [](frmMain &window, ScriptedDialogHost &) {
        Workspace &workspace = window.workspace();
        MailGroups groups(workspace.tree(), workspace.groups(), workspace.session());
        (void)groups.copySelectedContacts(everybody(window));
        workspace.tree().refresh();
        (void)workspace.groups().saveGroupFile(workspace.tree());
    });
}
BENCHMARK(BM_StallCopyContactsOnTheLoop)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// An address list of `lines` people from `first` on, written where the list load reads it.
void writeList(const frmMain &window, int first, int lines)
{
    std::vector<AddressListFile::Entry> entries;
    for (int i = first; i < first + lines; ++i)
        entries.push_back({u"person%1@example.invalid"_s.arg(i), u"Name%1, Given"_s.arg(i)});
    (void)AddressListFile::write(listPath(window), entries);
}

void BM_StallLoadAddressList(benchmark::State &state)
{
    const int lines = static_cast<int>(state.range(0));
    const Step prepare = [lines](frmMain &window, ScriptedDialogHost &dialogs) {
        writeList(window, 0, lines);
        (void)emptyGroup(window);
        dialogs.queueFile(listPath(window));
    };
    measure(state, prepare, tool(u"btnLoadList"_s));
}
BENCHMARK(BM_StallLoadAddressList)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same list loaded into a group that holds as many other people already: the new
// members are merged into the group's order.
void BM_StallLoadAddressListIntoFullGroup(benchmark::State &state)
{
    const int lines = static_cast<int>(state.range(0));
    const Step prepare = [lines](frmMain &window, ScriptedDialogHost &dialogs) {
        writeList(window, lines, lines);
        Workspace &workspace = window.workspace();
        MailGroups groups(workspace.tree(), workspace.groups(), workspace.session());
        (void)groups.importList(emptyGroup(window), listPath(window));
        writeList(window, 0, lines);
        (void)window.selectPath(u"Standard Mail Groups/Everybody"_s);
        dialogs.queueFile(listPath(window));
    };
    measure(state, prepare, tool(u"btnLoadList"_s));
}
BENCHMARK(BM_StallLoadAddressListIntoFullGroup)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_StallSaveAddressList(benchmark::State &state)
{
    const Step prepare = [](frmMain &window, ScriptedDialogHost &dialogs) {
        Workspace &workspace = window.workspace();
        MailGroups groups(workspace.tree(), workspace.groups(), workspace.session());
        (void)groups.copyContacts(emptyGroup(window), u"Personal Folders/Contacts"_s, {});
        (void)window.selectPath(u"Standard Mail Groups/Everybody"_s);
        dialogs.queueFile(listPath(window));
    };
    measure(state, prepare, tool(u"btnSaveList"_s));
}
BENCHMARK(BM_StallSaveAddressList)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return corvel::bench::runWidgetBenchmarks(argc, argv);
}
