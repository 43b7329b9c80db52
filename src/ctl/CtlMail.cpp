#include "ctl/CtlContext.h"
#include "ctl/CtlTable.h"
#include "delivery/DeliveryAgent.h"
#include "delivery/LocalDelivery.h"
#include "delivery/OutboxQueue.h"
#include "session/LocalApplication.h"
#include "session/LocalMailbox.h"
#include "session/LocalStoreTree.h"
#include "session/StoreRegistry.h"
#include "support/CRegSettings.h"
#include "workspace/Workspace.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// The mail side of a run: the user's settings and the local session over the registered
// stores, opened as the window opens them (without building the tree).
struct MailRun
{
    CRegSettings settings;
    std::unique_ptr<LocalApplication> application;
    std::shared_ptr<LocalNamespace> session;
    std::unique_ptr<LocalDelivery> delivery;

    explicit MailRun(const UserPaths &user)
        : settings(user.configHome)
    {
        settings.setCompany(u"Tessary"_s);
        settings.setAppName(u"Corvel"_s);
        StoreRegistry registry(settings, user.dataHome, user.cacheHome);
        application = std::make_unique<LocalApplication>(
            registry.stores(), LocalNamespace::AccountLookup{}, &settings);
        session = std::static_pointer_cast<LocalNamespace>(application->GetNamespace(u"MAPI"_s));
        delivery = std::make_unique<LocalDelivery>(*session, &settings);
    }
};

QJsonArray refusedJson(const std::vector<RecipientRefusal> &refused)
{
    QJsonArray array;
    for (const RecipientRefusal &r : refused)
        array.append(QJsonObject{{u"address"_s, r.address}, {u"reply"_s, r.reply}});
    return array;
}

QJsonArray recipientsJson(const std::vector<OutboxState::Recipient> &recipients)
{
    QJsonArray array;
    for (const OutboxState::Recipient &r : recipients)
        array.append(QJsonObject{{u"address"_s, r.address},
                                 {u"outcome"_s, OutboxState::outcomeName(r.outcome)},
                                 {u"reply"_s, r.reply}});
    return array;
}

QString clockTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(u"HH:mm:ss"_s);
}

} // namespace

int runDrafts(const CtlContext &context)
{
    if (!context.args.isEmpty())
        return ExitUsage;
    Workspace::Options options;
    options.appPath = context.appPath;
    options.shippedDir = context.shippedDir;
    Workspace workspace(options);
    (void)workspace.open();
    if (!workspace.isSessionOpen()) {
        printError(u"corvelctl: the mail session cannot be opened"_s);
        return ExitFailed;
    }
    try {
        // The folder New Message saves in and `mail --letter` looks in.
        const std::shared_ptr<OlFolder> folder = workspace.draftsFolder();
        if (!folder) {
            printError(u"corvelctl: no store has a Drafts folder."_s);
            return ExitFailed;
        }
        CtlTable table(context.json);
        int unreadable = 0;
        for (const auto &item : folder->Items()) {
            QString subject;
            try {
                subject = item->Subject();
            } catch (const OutlookError &error) {
                printError(u"corvelctl: %1"_s.arg(error.message()));
                ++unreadable;
                continue;
            }
            table.add({{u"EntryId"_s, item->EntryID()}, {u"Subject"_s, subject}},
                      {item->EntryID(), subject});
        }
        table.print();
        return unreadable == 0 ? ExitOk : ExitFailed;
    } catch (const OutlookError &error) {
        printError(u"corvelctl: %1"_s.arg(error.message()));
        return ExitFailed;
    }
}

int runOutbox(const CtlContext &context)
{
    const bool release = context.args.size() == 2 && context.args[0] == u"--release"_s;
    if (!release && !context.args.isEmpty())
        return ExitUsage;
    try {
        MailRun run(context.user);
        const OutboxQueue queue(*run.session->mailbox());
        if (release) {
            if (Status done = queue.release(context.args[1]); !done.ok()) {
                printError(u"corvelctl: %1"_s.arg(done.error()));
                return ExitFailed;
            }
            return ExitOk;
        }
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const OutboxQueue::RateHold hold =
            queue.rateHold(TransportSettings::read(run.settings).limits, now);
        if (!hold.problem.isEmpty())
            printError(u"corvelctl: %1"_s.arg(hold.problem));
        CtlTable table(context.json);
        bool heldBack = false;
        for (const OutboxQueue::Message &m : queue.messages()) {
            qint64 nextMs =
                m.state == u"deferred"_s || m.state == u"scheduled"_s ? m.nextAttemptMs : 0;
            if (m.state == u"queued"_s || m.state == u"deferred"_s) {
                // A message due now waits for the rate limit as well.
                heldBack = heldBack || (hold.untilMs > 0 && nextMs <= hold.untilMs);
                nextMs = std::max(nextMs, hold.untilMs);
            }
            const QString next =
                nextMs > 0 ? QDateTime::fromMSecsSinceEpoch(nextMs).toUTC().toString(Qt::ISODate)
                           : QString();
            QStringList refused;
            for (const RecipientRefusal &r : m.refused)
                refused << r.address;
            table.add({{u"Key"_s, m.unique},
                       {u"Subject"_s, m.subject},
                       {u"State"_s, m.state},
                       {u"Reason"_s, m.reason},
                       {u"Attempts"_s, m.attempts},
                       {u"NextAttempt"_s, next},
                       {u"Refused"_s, refusedJson(m.refused)},
                       {u"Recipients"_s, recipientsJson(m.recipients)}},
                      {m.state, m.unique, m.subject, m.reason, refused.join(u", "_s)});
        }
        table.print();
        if (heldBack && !context.json)
            printOut(
                u"next message may go at %1 (%2)\n"_s.arg(clockTime(hold.untilMs), hold.limit));
        return ExitOk;
    } catch (const OutlookError &error) {
        printError(u"corvelctl: %1"_s.arg(error.message()));
        return ExitFailed;
    }
}

int runDeliver(const CtlContext &context)
{
    if (!context.args.isEmpty())
        return ExitUsage;
    try {
        MailRun run(context.user);
        const DeliveryReport report = run.delivery->agent().deliverNow();
        CtlTable table(context.json);
        for (const DeliveryReport::Message &m : report.messages) {
            const QString outcome = DeliveryReport::outcomeName(m.outcome);
            table.add({{u"Key"_s, m.unique},
                       {u"Subject"_s, m.subject},
                       {u"Outcome"_s, outcome},
                       {u"Reason"_s, m.reason},
                       {u"Refused"_s, refusedJson(m.refused)}},
                      {outcome, m.unique, m.subject, m.reason});
            if (!context.json) {
                for (const RecipientRefusal &r : m.refused)
                    table.add({}, {u"refused"_s, r.address, r.reply});
            }
        }
        table.print();
        for (const QString &problem : report.problems)
            printError(u"corvelctl: %1"_s.arg(problem));
        if (report.limitedUntilMs > 0)
            printError(u"corvelctl: %1 left waiting; the next message may go at %2 (%3)."_s
                           .arg(report.waiting)
                           .arg(clockTime(report.limitedUntilMs), report.limit));
        if (report.held + report.failed + report.deferred > 0)
            printError(u"corvelctl: left in the Outbox: %1 held, %2 failed, %3 deferred (see "
                       "corvelctl outbox)."_s.arg(report.held)
                           .arg(report.failed)
                           .arg(report.deferred));
        return report.complete() ? ExitOk : ExitFailed;
    } catch (const OutlookError &error) {
        printError(u"corvelctl: %1"_s.arg(error.message()));
        return ExitFailed;
    }
}

} // namespace corvel
