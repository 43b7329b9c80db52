// Reading a directory of N entries whole (paged) and writing each as a card, from a real
// slapd started here, side by side in one run with `ldapsearch` paging through the same
// entries to /dev/null (the server's own time to answer). Target: 10,000 entries under 1 s.
//
// CORVEL_ENTRIES   entries in the directory (default 10000)
// CORVEL_RUNS      rounds, alternating the contenders (default 5); medians are printed.

#include "BenchTiming.h"
#include "common/SlapdServer.h"
#include "directory/LdapDirectory.h"

#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

using bench::median;
using bench::seconds;

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariable(name).toInt(&ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace

int main()
{
    const int entries = envInt("CORVEL_ENTRIES", 10000);
    const int runs = envInt("CORVEL_RUNS", 5);
    const test::SlapdServer server(test::SlapdServer::people(entries));
    if (!server.port()) {
        std::fprintf(stderr, "ldap_bench: slapd did not start (scripts/install-deps)\n");
        return 1;
    }
    const QString url = u"ldap://127.0.0.1:%1/dc=example,dc=org"_s.arg(server.port());
    std::vector<double> ours, peer;
    const std::clock_t cpuStart = std::clock();
    for (int run = 0; run < runs; ++run) {
        size_t cards = 0;
        ours.push_back(seconds([&] {
            LdapConnectOptions options;
            options.url = url;
            const auto fetched = LdapDirectory::fetchAll(options);
            cards = fetched ? fetched->size() : 0;
        }));
        if (cards != size_t(entries)) {
            std::fprintf(stderr, "ldap_bench: %zu cards of %d entries\n", cards, entries);
            return 1;
        }
        peer.push_back(seconds([&] {
            QProcess search;
            search.setStandardOutputFile(QProcess::nullDevice());
            search.start(u"ldapsearch"_s,
                         {u"-x"_s, u"-H"_s, url.section(u'/', 0, 2), u"-b"_s,
                          u"dc=example,dc=org"_s, u"-E"_s, u"pr=1000/noprompt"_s, u"(mail=*)"_s});
            search.waitForFinished(-1);
        }));
    }
    // The processor time of this process is the client's own share: slapd runs apart.
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC / runs;
    const double medianOurs = median(ours);
    std::printf("ldap_bench: %d entries fetched and converted: %.3f s (median of %d; client "
                "CPU %.3f s; ldapsearch alone %.3f s); under 1 s: %s\n",
                entries, medianOurs, runs, cpu, median(peer), medianOurs < 1.0 ? "yes" : "no");
    return medianOurs < 1.0 ? 0 : 1;
}
