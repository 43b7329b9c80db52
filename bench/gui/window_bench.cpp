// The main window: start-up to a drawn window over a local store of 1,000 folders, and
// listing 100,000 contacts through the window's command against the lists' own time.
// Offscreen; the window's lock, settings and data files live in a temporary folder.

#include "GuiBench.h"
#include "fakes/MemoryApplication.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryNamespace.h"
#include "fakes/ScriptedDialogHost.h"
#include "folders/ItemLists.h"
#include "gui/AppRunner.h"
#include "gui/frmMain.h"
#include "support/CRegSettings.h"
#include "workspace/Workspace.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

#include <sys/resource.h>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

// A store of `folders` contact folders: ten top folders of a hundred sub-folders each.
QString makeStore(const QString &root, int folders)
{
    const QString store = root + u"/store"_s;
    for (int i = 0; i < folders; ++i) {
        const QString dir = u"%1/Contacts %2/Folder %3"_s.arg(store).arg(i / 100).arg(i % 100);
        QDir().mkpath(dir);
        QFile marker(dir + u"/.folderclass"_s);
        (void)marker.open(QIODevice::WriteOnly);
        marker.write("IPM.Contact\n");
    }
    for (int top = 0; top < (folders + 99) / 100; ++top) {
        QFile marker(u"%1/Contacts %2/.folderclass"_s.arg(store).arg(top));
        (void)marker.open(QIODevice::WriteOnly);
        marker.write("IPM.Contact\n");
    }
    return store;
}

void BM_StartupToDrawnWindow(benchmark::State &state)
{
    QTemporaryDir root;
    const QString store = makeStore(root.path(), static_cast<int>(state.range(0)));
    const AppRunner::Options options = corvel::bench::runnerOptionsIn(root.path());
    CRegSettings settings(options.configRoot);
    (void)settings.saveSetting(u"Stores"_s, u"Personal Folders"_s, store);
    int nodes = 0;
    for (auto _ : state) {
        ScriptedDialogHost dialogs;
        AppRunner runner(options, &dialogs);
        if (!runner.start())
            state.SkipWithError("the window did not start");
        const QImage drawn = runner.window()->grab().toImage();
        benchmark::DoNotOptimize(drawn.constBits());
        nodes = runner.workspace()->tree().count();
        state.PauseTiming();
        runner.window()->close();
        state.ResumeTiming();
    }
    state.counters["nodes"] = nodes;
}
BENCHMARK(BM_StartupToDrawnWindow)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

std::shared_ptr<MemoryNamespace> contactsSession(int contacts)
{
    auto session = std::make_shared<MemoryNamespace>();
    auto store = session->addStore(u"Personal Folders"_s);
    auto folder = store->addFolder(u"Contacts"_s, u"IPM.Contact"_s);
    for (int i = 0; i < contacts; ++i)
        folder->addContact(u"Name %1, Given"_s.arg(i, 6, 10, QLatin1Char('0')),
                           u"person%1@example.invalid"_s.arg(i));
    store->addFolder(u"Drafts"_s);
    return session;
}

// The lists' own loadContacts on a workspace tree, without a window.
void BM_LoadContactsCore(benchmark::State &state)
{
    const auto session = contactsSession(static_cast<int>(state.range(0)));
    QTemporaryDir root;
    const AppRunner::Options paths = corvel::bench::runnerOptionsIn(root.path());
    for (auto _ : state) {
        state.PauseTiming();
        Workspace::Options options;
        options.appPath = paths.appPath;
        options.shippedDir = paths.shippedDir;
        options.configRoot = paths.configRoot;
        auto workspace = std::make_unique<Workspace>(
            options, [&](CRegSettings &) { return std::make_shared<MemoryApplication>(session); });
        (void)workspace->open();
        const NodeHandle folder = workspace->tree().findByCaption(u"Contacts"_s);
        ItemLists lists(workspace->tree(), *workspace->session(), workspace->groups().columnSets());
        state.ResumeTiming();
        if (!lists.loadContacts(folder).ok())
            state.SkipWithError("listing failed");
        state.PauseTiming();
        workspace.reset(); // tearing down is not part of listing
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadContactsCore)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same, then the display order asked for once: the tree sorts the new rows only when
// their order is first looked at, which any view of them does.
void BM_LoadContactsCoreSorted(benchmark::State &state)
{
    const auto session = contactsSession(static_cast<int>(state.range(0)));
    QTemporaryDir root;
    const AppRunner::Options paths = corvel::bench::runnerOptionsIn(root.path());
    for (auto _ : state) {
        state.PauseTiming();
        Workspace::Options options;
        options.appPath = paths.appPath;
        options.shippedDir = paths.shippedDir;
        options.configRoot = paths.configRoot;
        auto workspace = std::make_unique<Workspace>(
            options, [&](CRegSettings &) { return std::make_shared<MemoryApplication>(session); });
        (void)workspace->open();
        const NodeHandle folder = workspace->tree().findByCaption(u"Contacts"_s);
        ItemLists lists(workspace->tree(), *workspace->session(), workspace->groups().columnSets());
        state.ResumeTiming();
        if (!lists.loadContacts(folder).ok())
            state.SkipWithError("listing failed");
        benchmark::DoNotOptimize(workspace->tree().indexOf(workspace->tree().current()));
        state.PauseTiming();
        workspace.reset(); // tearing down is not part of listing
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadContactsCoreSorted)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same through the window's command: the hourglass, progress in the status bar, and the
// view drawn after.
void BM_LoadContactsWindow(benchmark::State &state)
{
    const auto session = contactsSession(static_cast<int>(state.range(0)));
    QTemporaryDir root;
    AppRunner::Options options = corvel::bench::runnerOptionsIn(root.path());
    options.factory = [&](CRegSettings &) { return std::make_shared<MemoryApplication>(session); };
    for (auto _ : state) {
        state.PauseTiming();
        ScriptedDialogHost dialogs;
        auto runner = std::make_unique<AppRunner>(options, &dialogs);
        if (!runner->start() || !runner->window()->selectPath(u"Personal Folders/Contacts"_s))
            state.SkipWithError("the window did not start");
        state.ResumeTiming();
        runner->window()->aBar_Click(u"btnLoadContacts"_s);
        while (runner->window()->isJobRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        runner->window()->repaint();
        state.PauseTiming();
        runner->window()->close();
        runner.reset(); // neither is closing, which writes the files
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadContactsWindow)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A vCard folder of the disk (CORVEL_VDIR, default /tmp/perfanchor/vdir100k; its parent is
// the store "perf") listed through the window's command and drawn. Its counter is the
// process's peak resident size, so run it alone (--benchmark_filter=VCardFolder).
void BM_LoadVCardFolderWindowPeak(benchmark::State &state)
{
    const QString vdir = qEnvironmentVariable("CORVEL_VDIR", u"/tmp/perfanchor/vdir100k"_s);
    if (!QFileInfo(vdir).isDir()) {
        state.SkipWithError("no vCard folder (CORVEL_VDIR)");
        return;
    }
    QTemporaryDir root;
    const AppRunner::Options options = corvel::bench::runnerOptionsIn(root.path());
    CRegSettings settings(options.configRoot);
    const QFileInfo folder(vdir);
    (void)settings.saveSetting(u"Stores"_s, u"perf"_s, folder.absolutePath());
    for (auto _ : state) {
        ScriptedDialogHost dialogs;
        AppRunner runner(options, &dialogs);
        if (!runner.start() || !runner.window()->selectPath(u"perf/"_s + folder.fileName())) {
            state.SkipWithError("the window did not start");
            return;
        }
        runner.window()->aBar_Click(u"btnLoadContacts"_s);
        runner.window()->repaint();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        state.counters["peakMB"] = double(usage.ru_maxrss) / 1024;
        state.counters["rows"] = runner.workspace()->tree().count();
        state.PauseTiming();
        runner.window()->close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadVCardFolderWindowPeak)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return corvel::bench::runWidgetBenchmarks(argc, argv);
}
