// The generator window during a run of 10,000 personalised copies into a real Outbox
// (a local store in a temporary folder): the run time, and how long the event loop waited
// between two turns, read from a zero-interval timer that fires on every turn. The same run
// over the in-memory session gives the window's own share. Then a run is cancelled by a
// click after one second: how soon the click was seen and the run stopped. Offscreen.

#include "delivery/LocalDelivery.h"
#include "fakes/MemoryFolder.h"
#include "fakes/MemoryItem.h"
#include "fakes/MemoryNamespace.h"
#include "gui/frmDoMsg.h"
#include "merge/DraftsFolder.h"
#include "merge/MailGenerator.h"
#include "merge/MergePrompter.h"
#include "merge/NewLetter.h"
#include "merge/RunJournal.h"
#include "session/LocalApplication.h"
#include "support/CRegSettings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

class NoPrompts : public MergePrompter
{
public:
    PromptReply askName(const PromptRequest &) override { return {}; }
};

std::vector<MailMember> members(int count)
{
    std::vector<MailMember> list;
    for (int i = 0; i < count; ++i)
        list.push_back({u"Member %1"_s.arg(i), u"member%1@example.org"_s.arg(i)});
    return list;
}

// The waits between two turns of the event loop while it runs.
class TurnGaps
{
public:
    TurnGaps()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last >= 0)
                m_gaps.push_back(now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    [[nodiscard]] QString report()
    {
        if (m_gaps.empty())
            return u"no turns"_s;
        std::sort(m_gaps.begin(), m_gaps.end());
        const auto ms = [](qint64 ns) { return static_cast<double>(ns) / 1e6; };
        const auto over = std::count_if(m_gaps.begin(), m_gaps.end(),
                                        [](qint64 gap) { return gap >= 100'000'000; });
        return u"longest gap between event-loop turns %1 ms, 99th percentile %2 ms, %3 of %4 "
               "gaps at 100 ms or more"_s.arg(ms(m_gaps.back()), 0, 'f', 1)
                   .arg(ms(m_gaps[m_gaps.size() * 99 / 100]), 0, 'f', 2)
                   .arg(over)
                   .arg(m_gaps.size());
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    std::vector<qint64> m_gaps;
};

struct Store
{
    Store(const QString &path, const QString &configRoot)
        : settings(configRoot)
    {
        for (const QString &folder : {u"Drafts"_s, u"Outbox"_s})
            for (const QString &part : {u"cur"_s, u"new"_s, u"tmp"_s})
                QDir().mkpath(path + u'/' + folder + u'/' + part);
        (void)settings.saveSetting(u"Transport"_s, u"From"_s, u"Bench <bench@example.org>"_s);
        application =
            std::make_unique<LocalApplication>(std::vector<LocalStore>{{u"Bench"_s, path}},
                                               LocalNamespace::AccountLookup{}, &settings);
        session = application->GetNamespace(u"MAPI"_s);
        // Its passes over the Outbox compete for the machine, as in the window.
        delivery = std::make_unique<LocalDelivery>(
            *std::static_pointer_cast<LocalNamespace>(session), &settings);
        letter = NewLetter::create(*application, DraftsFolder::choose(*session, {}),
                                   {u"Bench letter"_s,
                                    {},
                                    {},
                                    u"Dear member,\n\nthe spring meeting is on Friday.\n"_s,
                                    {}});
    }
    CRegSettings settings;
    std::unique_ptr<LocalApplication> application;
    std::shared_ptr<OlNamespace> session;
    std::unique_ptr<LocalDelivery> delivery;
    std::shared_ptr<OlItem> letter;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir root;
    const int count = 10000;
    const auto list = members(count);
    NoPrompts prompts;

    {
        Store store(root.path() + u"/store-1"_s, root.path() + u"/config"_s);
        auto journal = RunJournal::open(root.path() + u"/runs"_s,
                                        {store.letter->EntryID(), u"bench"_s, MailType::Personal});
        frmDoMsg window(u"Corvel"_s);
        MailGenerator generator(*store.session, window, prompts);
        window.setCancelHandler([&generator] { generator.btnCancel_Click(); });
        TurnGaps gaps;
        QElapsedTimer timer;
        timer.start();
        const auto outcome = generator.execute({MailType::Personal, store.letter->EntryID(), false},
                                               list, journal->get());
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        gaps.stop();
        std::printf("real Outbox, %d members: %lld queued in %.2f s (%.0f msg/s); %s\n", count,
                    static_cast<long long>(outcome.messagesQueued), seconds,
                    double(outcome.messagesQueued) / seconds, qPrintable(gaps.report()));
    }

    {
        // The window's own share: the in-memory session queues without touching the disk.
        auto session = std::make_shared<MemoryNamespace>();
        const auto letter = session->addStore(u"Bench"_s)
                                ->addFolder(u"Drafts"_s)
                                ->addMessage(u"Bench letter"_s, u"Dear member,\n"_s);
        frmDoMsg window(u"Corvel"_s);
        MailGenerator generator(*session, window, prompts);
        TurnGaps gaps;
        QElapsedTimer timer;
        timer.start();
        const auto outcome =
            generator.execute({MailType::Personal, letter->EntryID(), false}, list, nullptr);
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        gaps.stop();
        std::printf("in-memory session, %d members: %lld queued in %.3f s; %s\n", count,
                    static_cast<long long>(outcome.messagesQueued), seconds,
                    qPrintable(gaps.report()));
    }

    {
        Store store(root.path() + u"/store-2"_s, root.path() + u"/config"_s);
        frmDoMsg window(u"Corvel"_s);
        MailGenerator generator(*store.session, window, prompts);
        QElapsedTimer sinceClick;
        qint64 seenAfterNs = -1;
        window.setCancelHandler([&] {
            seenAfterNs = sinceClick.nsecsElapsed();
            generator.btnCancel_Click();
        });
        // The click is queued as a user's would be: it waits for the run to let events in.
        QTimer::singleShot(1000, &window, [&] {
            sinceClick.start();
            auto *cancel = window.findChild<QPushButton *>(u"btnCancel"_s);
            QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection);
        });
        const auto outcome =
            generator.execute({MailType::Personal, store.letter->EntryID(), false}, list, nullptr);
        const double stoppedMs = static_cast<double>(sinceClick.nsecsElapsed()) / 1e6;
        std::printf("cancel after 1 s: seen %.1f ms after the click, run returned %.1f ms after "
                    "it, %lld of %d processed\n",
                    static_cast<double>(seenAfterNs) / 1e6, stoppedMs,
                    static_cast<long long>(outcome.processed), count);
    }
    return 0;
}
