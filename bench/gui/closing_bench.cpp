// The real window over a local store whose contact folder of 100,000 cards is listed: the
// time to close it (groups and column sets saved, everything torn down as main() does) and
// the time from New Message to a drawn letter window, with a few hundred letters in Drafts.
// Offscreen; the store, settings and data files live in a temporary folder.

#include "GuiBench.h"
#include "gui/AppRunner.h"
#include "gui/LetterWindow.h"
#include "gui/frmMain.h"
#include "merge/NewLetter.h"
#include "session/OutlookSession.h"
#include "support/CRegSettings.h"
#include "workspace/Workspace.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

constexpr int contacts = 100000;
constexpr int drafts = 300;

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

AppRunner::Options optionsIn(const QString &root)
{
    AppRunner::Options options = corvel::bench::runnerOptionsIn(root);
    options.select = u"Personal Folders/Contacts"_s;
    options.load = true;
    return options;
}

// A store of `contacts` cards and `drafts` letters, made once for the whole run, or kept
// in CORVEL_BENCH_DIR between runs (making it takes minutes on a busy disk).
const AppRunner::Options &fixture()
{
    static QTemporaryDir temporary;
    static const QString root = qEnvironmentVariable("CORVEL_BENCH_DIR", temporary.path());
    static const AppRunner::Options options = [] {
        const QString store = root + u"/store"_s;
        if (QFile::exists(root + u"/made"_s))
            return optionsIn(root);
        QDir().mkpath(store + u"/Contacts"_s);
        writeFile(store + u"/Contacts/.folderclass"_s, "IPM.Contact\n");
        for (const QString &folder : {u"Drafts"_s, u"Outbox"_s, u"Sent Items"_s})
            for (const QString &part : {u"cur"_s, u"new"_s, u"tmp"_s})
                QDir().mkpath(store + u'/' + folder + u'/' + part);
        for (int i = 0; i < contacts; ++i)
            writeFile(u"%1/Contacts/%2.vcf"_s.arg(store).arg(i),
                      u"BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:Given %1 Name\r\n"
                      "N:Name %1;Given;;;\r\nEMAIL:person%1@example.invalid\r\n"
                      "CATEGORIES:Board\r\nEND:VCARD\r\n"_s.arg(i)
                          .toUtf8());
        AppRunner::Options made = optionsIn(root);
        CRegSettings settings(made.configRoot);
        (void)settings.saveSetting(u"Stores"_s, u"Personal Folders"_s, store);
        Workspace::Options paths;
        paths.appPath = made.appPath;
        paths.shippedDir = made.shippedDir;
        paths.configRoot = made.configRoot;
        paths.dataRoot = made.dataRoot;
        Workspace workspace(paths);
        (void)workspace.open();
        for (int i = 0; i < drafts; ++i)
            (void)NewLetter::create(
                *workspace.application(), workspace.draftsFolder(),
                {u"Letter %1"_s.arg(i), u"a@example.invalid"_s, {}, u"Hello"_s, {}});
        writeFile(root + u"/made"_s, {});
        return made;
    }();
    return options;
}

std::unique_ptr<AppRunner> listedWindow(benchmark::State &state)
{
    auto runner = std::make_unique<AppRunner>(fixture());
    if (!runner->start())
        state.SkipWithError("the window did not start");
    runner->window()->show();
    QApplication::processEvents();
    if (runner->workspace()->tree().count() < contacts)
        state.SkipWithError("the contacts were not listed");
    return runner;
}

// The close, the event loop's last turn, then the runner and what it holds: freed whole
// (argument 0) or as main() ends it, the workspace's memory left to the process's end (1).
void BM_CloseListedWindow(benchmark::State &state)
{
    double saving = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<AppRunner> runner = listedWindow(state);
        if (state.range(0) == 1)
            runner->leaveMemoryAtExit();
        state.ResumeTiming();
        QElapsedTimer timer;
        timer.start();
        runner->window()->close();
        QApplication::processEvents();
        saving += double(timer.nsecsElapsed()) / 1e6;
        runner.reset();
    }
    state.counters["close_and_save_ms"] =
        benchmark::Counter(saving, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CloseListedWindow)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// New Message with the folder listed: the letter saved in Drafts, its window built, shown and
// drawn once.
void BM_NewLetterWindow(benchmark::State &state)
{
    std::unique_ptr<AppRunner> runner = listedWindow(state);
    for (auto _ : state) {
        runner->window()->aBar_Click(u"btnNewMsg"_s);
        auto *letter = qobject_cast<LetterWindow *>(QApplication::activeWindow());
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *open = qobject_cast<LetterWindow *>(top); open && open->isVisible())
                letter = open;
        if (!letter) {
            state.SkipWithError("no letter window opened");
            break;
        }
        benchmark::DoNotOptimize(letter->grab().toImage().constBits());
        state.PauseTiming();
        letter->close();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_NewLetterWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return corvel::bench::runWidgetBenchmarks(argc, argv);
}
