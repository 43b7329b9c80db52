// Listing a vCard folder: Items() of the store's folder (every card read and parsed), side by
// side in one run with `cat` of the same files, and with khard once when asked. Then the
// window's read of the folder (ItemLists::readRows in a job) cancelled part way, as Escape or
// closing the window cancels it: how long the job takes to end once told.
//
// CORVEL_VDIR      the folder (default /tmp/perfanchor/vdir100k); its parent is the store.
// CORVEL_RUNS      rounds, alternating the contenders (default 5); medians are printed.
// CORVEL_KHARD     a khard configuration for that folder: runs `khard -c CONF list` once.

#include "BenchTiming.h"
#include "folders/ColumnSets.h"
#include "folders/ItemLists.h"
#include "session/LocalNamespace.h"
#include "session/VCardFolderSource.h"
#include "support/JobRunner.h"
#include "tree/NodeKinds.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

using bench::median;
using bench::seconds;

void runShell(const QString &command)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(u"/bin/sh"_s, {u"-c"_s, command});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        std::fprintf(stderr, "vcard_bench: failed: %s\n", qPrintable(command));
}

QString env(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

// Starts reading the folder's rows as the window does, cancels after `afterMs` and returns
// how long the job took to end.
double cancelledRead(OlNamespace &session, const OlFolder &folder, int afterMs)
{
    TreeList tree;
    ColumnSets columnSets;
    const NodeHandle node = tree.addNode(folder.Name());
    tree.setValue(node, NodeValueName::EntryId(), folder.EntryID());
    tree.setValue(node, NodeValueName::StoreId(), folder.StoreID());
    setNodeKind(tree, node, NodeKind::ContactFolder);
    const std::optional<ItemLists::Plan> plan =
        ItemLists(tree, session, columnSets).planContacts(node);
    JobRunner runner;
    runner.start([&](JobProgress &progress) -> JobRunner::Apply {
        (void)ItemLists::readRows(session, *plan, &progress);
        return {};
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
    return seconds([&] { runner.cancelAndWait(); });
}

} // namespace

int main(int argc, char **argv)
{
    const QCoreApplication app(argc, argv); // the job runner's timer
    const QString vdir =
        QFileInfo(env("CORVEL_VDIR", u"/tmp/perfanchor/vdir100k"_s)).canonicalFilePath();
    if (vdir.isEmpty() || !QFileInfo(vdir).isDir()) {
        std::printf("vcard_bench: no vCard folder (set CORVEL_VDIR); skipped\n");
        return 0;
    }
    const int runs = std::max(1, env("CORVEL_RUNS", u"5"_s).toInt());
    const QString folderName = QFileInfo(vdir).fileName();

    LocalNamespace session({{u"Bench"_s, QFileInfo(vdir).path()}});
    std::shared_ptr<OlFolder> folder;
    for (const auto &child : session.Folders().at(0)->Folders()) {
        if (child->Name() == folderName)
            folder = child;
    }
    if (!folder) {
        std::fprintf(stderr, "vcard_bench: %s is not a folder of its store\n", qPrintable(vdir));
        return 1;
    }
    const VCardFolderSource oneThread([](const QString &) {}, 1);
    const VCardFolderSource threaded([](const QString &) {});
    const auto plainId = [](const QString &key, int card) {
        return card > 1 ? key + u'-' + QString::number(card) : key;
    };

    const QString cat = u"find '%1' -name '*.vcf' -print0 | xargs -0 cat > /dev/null"_s.arg(vdir);
    runShell(cat); // warm the page cache for everyone
    size_t count = 0;
    std::vector<double> catTimes, itemsTimes, singleTimes, threadedTimes;
    for (int round = 0; round < runs; ++round) {
        catTimes.push_back(seconds([&] { runShell(cat); }));
        itemsTimes.push_back(seconds([&] { count = folder->Items().size(); }));
        threadedTimes.push_back(seconds([&] { (void)threaded.readItems(vdir, plainId).size(); }));
        singleTimes.push_back(seconds([&] { (void)oneThread.readItems(vdir, plainId).size(); }));
    }

    const double catMedian = median(catTimes);
    const double itemsMedian = median(itemsTimes);
    std::printf("vCard folder %s: %zu cards, %d rounds (medians; min-max)\n", qPrintable(vdir),
                count, runs);
    const auto row = [&](const char *what, const std::vector<double> &times) {
        std::printf("  %-34s %7.3f s  (%.3f-%.3f)  %8.0f cards/s  %.2f x cat\n", what,
                    median(times), *std::min_element(times.begin(), times.end()),
                    *std::max_element(times.begin(), times.end()), double(count) / median(times),
                    median(times) / catMedian);
    };
    row("cat of the same files", catTimes);
    row("Items() of the folder", itemsTimes);
    row("reader alone, threads", threadedTimes);
    row("reader alone, one thread", singleTimes);

    const QString khardConfig = qEnvironmentVariable("CORVEL_KHARD");
    if (!khardConfig.isEmpty()) {
        const double khard = seconds([&] { runShell(u"khard -c '%1' list"_s.arg(khardConfig)); });
        std::printf("  %-34s %7.3f s  (1 run)  Items() is %.1f x faster\n", "khard list", khard,
                    khard / itemsMedian);
    }

    std::vector<double> cancelTimes;
    for (int round = 0; round < runs; ++round)
        cancelTimes.push_back(cancelledRead(session, *folder, 200 + 150 * (round % 5)));
    std::printf("  %-34s %7.1f ms (%.1f-%.1f), cancelled 200-800 ms into the read\n",
                "the window's read, cancel to end", median(cancelTimes) * 1000,
                *std::min_element(cancelTimes.begin(), cancelTimes.end()) * 1000,
                *std::max_element(cancelTimes.begin(), cancelTimes.end()) * 1000);
    return itemsMedian <= 1.5 * catMedian ? 0 : 2;
}
