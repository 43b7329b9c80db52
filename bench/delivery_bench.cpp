// Delivery of queued personalised messages from the Outbox to an SMTP server on loopback.
// Usage: delivery_bench --port PORT [--count 10000] [--work DIR] [--draft FILE]
//                       [--recipients TSV] [--batch 100]
// The messages are queued first (copies of the draft, the merge field filled, one recipient
// each, as group mail makes them), then one pass of the delivery agent is timed. Prints one
// line: tool=corvel ... msg_s=... ; exits 1 unless every message was delivered and filed.
#include "delivery/DeliveryAgent.h"
#include "delivery/OutboxDelivery.h"
#include "delivery/SmtpTransport.h"
#include "session/LocalMailbox.h"
#include "session/LocalMessageItem.h"
#include "session/LocalStoreTree.h"
#include "support/CRegSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

struct Recipient
{
    QString first;
    QString full;
    QString address;
};

std::vector<Recipient> recipients(const QString &tsv, int count)
{
    std::vector<Recipient> result;
    QFile file(tsv);
    if (!tsv.isEmpty() && file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd() && int(result.size()) < count) {
            const QStringList f = QString::fromUtf8(file.readLine()).trimmed().split(u'\t');
            if (f.size() >= 5)
                result.push_back({f[1], f[3], f[4]});
        }
    }
    for (int i = int(result.size()); i < count; ++i)
        result.push_back({u"Member%1"_s.arg(i), u"Member %1 Example"_s.arg(i),
                          u"member%1@example.org"_s.arg(i)});
    return result;
}

struct Options
{
    int port = 0;
    int count = 0;
    QString work;
    QString draft;
    QString tsv;
    int batch = 0;
    // For profiling one phase: --queue-only leaves the Outbox full; --reuse delivers it.
    bool queueOnly = false;
    bool reuse = false;
};

Options parseOptions(const QCoreApplication &app)
{
    const QStringList args = app.arguments();
    const auto option = [&](const QString &name, const QString &fallback) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    Options o;
    o.port = option(u"--port"_s, u"0"_s).toInt();
    o.count = option(u"--count"_s, u"10000"_s).toInt();
    o.work = option(u"--work"_s, u"/tmp/corvel-delivery-bench"_s);
    // By default the sample letter, for a build folder inside the source tree.
    o.draft = option(u"--draft"_s, app.applicationDirPath() +
                                       u"/../../tests/data/store/Drafts/cur/"
                                       "1700000000.M000100P100Q00000001.sample:2,D"_s);
    o.tsv = option(u"--recipients"_s, {});
    o.batch = option(u"--batch"_s, u"100"_s).toInt();
    o.queueOnly = args.contains(u"--queue-only"_s);
    o.reuse = args.contains(u"--reuse"_s);
    return o;
}

// The store's folders and, unless reused, a fresh copy of the draft; false when it cannot go.
bool prepareStore(const Options &o, const QString &store, const QString &letterPath)
{
    if (!o.reuse)
        QDir(o.work).removeRecursively();
    for (const QString &folder : {u"Drafts"_s, u"Outbox"_s})
        for (const QString &part : {u"cur"_s, u"new"_s, u"tmp"_s})
            QDir().mkpath(store + u'/' + folder + u'/' + part);
    if (!o.reuse && !QFile::copy(o.draft, letterPath)) {
        std::fprintf(stderr, "cannot copy the draft %s\n", qPrintable(o.draft));
        return false;
    }
    return true;
}

void saveTransport(CRegSettings &settings, int port)
{
    const auto save = [&](const QString &key, const QString &value) {
        (void)settings.saveSetting(u"Transport"_s, key, value);
    };
    save(u"From"_s, u"Vorstand <vorstand@verein.example>"_s);
    save(u"Kind"_s, u"smtp"_s);
    save(u"Host"_s, u"127.0.0.1"_s);
    save(u"Port"_s, QString::number(port));
    save(u"Security"_s, u"none"_s);
}

// Queue: what group mail does for each member.
void queueMessages(const std::shared_ptr<LocalMailbox> &mailbox, const QString &letterPath,
                   const std::vector<Recipient> &members)
{
    LocalMessageItem letter(mailbox, letterPath, {});
    const QString body = letter.Body();
    for (const Recipient &r : members) {
        const auto copy = letter.Copy();
        QString text = body;
        copy->setBody(text.replace(u"<<Prompt=First Name>>"_s, r.first));
        copy->setTo(u"\"%1\" <%2>"_s.arg(r.full, r.address));
        copy->Send();
    }
}

qint64 queuedBytes(const QString &outbox, const QStringList &queued)
{
    qint64 bytes = 0;
    for (const QString &name : queued)
        bytes += QFileInfo(outbox + name).size();
    return bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Options o = parseOptions(app);
    if (o.port <= 0) {
        std::fprintf(stderr, "usage: delivery_bench --port PORT [--count N] [--work DIR]\n");
        return 2;
    }

    const QString store = o.work + u"/store"_s;
    const QString letterPath = store + u"/Drafts/cur/letter:2,D"_s;
    if (!prepareStore(o, store, letterPath))
        return 2;

    CRegSettings settings(o.work + u"/config"_s);
    saveTransport(settings, o.port);

    auto tree = std::make_shared<LocalStoreTree>(LocalStore{u"Bench"_s, store});
    auto mailbox =
        std::make_shared<LocalMailbox>(std::vector<std::shared_ptr<LocalStoreTree>>{tree}, [&] {
            return settings.getSetting(u"Transport"_s, u"From"_s, {});
        });

    QElapsedTimer timer;
    timer.start();
    queueMessages(mailbox, letterPath,
                  o.reuse ? std::vector<Recipient>{} : recipients(o.tsv, o.count));
    const double queueSeconds = double(timer.nsecsElapsed()) / 1e9;
    const QStringList queued = QDir(store + u"/Outbox/cur"_s).entryList(QDir::Files);
    const qint64 bytes = queuedBytes(store + u"/Outbox/cur/"_s, queued);
    const qsizetype queuedCount = std::max<qsizetype>(1, queued.size());

    if (o.queueOnly) {
        std::printf("tool=corvel mode=queue messages=%d seconds=%.3f msg_s=%.1f\n", o.count,
                    queueSeconds, o.count / queueSeconds);
        return 0;
    }

    // Deliver: one pass, one connection.
    SmtpTransport transport(TransportSettings::read(settings));
    OutboxDelivery::Options options;
    options.batchSize = o.batch;
    OutboxDelivery delivery(*mailbox, &transport, {}, options);
    timer.restart();
    const DeliveryReport report = delivery.run();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;

    int delivered = 0;
    for (const auto &m : report.messages)
        delivered += m.outcome == DeliveryReport::Outcome::Delivered ? 1 : 0;
    const int filed = int(QDir(store + u"/Sent Items/cur"_s).entryList(QDir::Files).size());
    std::printf("tool=corvel mode=outbox messages=%d seconds=%.4f msg_s=%.1f avg_bytes=%lld "
                "filed=%d problems=%d\n",
                delivered, seconds, delivered / seconds, (long long)(bytes / queuedCount), filed,
                int(report.problems.size()));
    for (const QString &problem : report.problems)
        std::fprintf(stderr, "%s\n", qPrintable(problem));
    return delivered == o.count && filed == o.count ? 0 : 1;
}
