// The generator window during a run of 10,000 personalised copies into a real Outbox
// (a local store in a temporary folder): the run time, and how long the event loop waited
// at most between two turns, read from a zero-interval timer that fires on every turn.
// Then a second run is cancelled by a click after one second: how soon the click was seen
// and how soon the run stopped after it. Offscreen.

#include "gui/frmDoMsg.h"
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
    QString GetName(const QString &, const QString &, const QString &, const QString &) override
    {
        return {};
    }
};

std::vector<MailMember> members(int count)
{
    std::vector<MailMember> list;
    for (int i = 0; i < count; ++i)
        list.push_back({u"Member %1"_s.arg(i), u"member%1@example.org"_s.arg(i)});
    return list;
}

// The longest wait between two turns of the event loop while it runs.
class TurnGaps
{
public:
    TurnGaps()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last >= 0)
                m_longest = std::max(m_longest, now - m_last);
            m_last = now;
            ++m_turns;
        });
        m_clock.start();
        m_timer.start();
    }
    [[nodiscard]] double longestMs() const { return static_cast<double>(m_longest) / 1e6; }
    [[nodiscard]] qint64 turns() const { return m_turns; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    qint64 m_longest = 0;
    qint64 m_turns = 0;
};

struct Store
{
    explicit Store(const QString &path)
    {
        for (const QString &folder : {u"Drafts"_s, u"Outbox"_s})
            for (const QString &part : {u"cur"_s, u"new"_s, u"tmp"_s})
                QDir().mkpath(path + u'/' + folder + u'/' + part);
        (void)settings.SaveSetting(u"Transport"_s, u"From"_s, u"Bench <bench@example.org>"_s);
        application =
            std::make_unique<LocalApplication>(std::vector<LocalStore>{{u"Bench"_s, path}},
                                               LocalNamespace::AccountLookup{}, &settings);
        session = application->GetNamespace(u"MAPI"_s);
        letter = NewLetter::create(*application, u"Bench letter"_s, {},
                                   u"Dear member,\n\nthe spring meeting is on Friday.\n"_s);
    }
    CRegSettings settings;
    std::unique_ptr<LocalApplication> application;
    std::shared_ptr<OlNamespace> session;
    std::shared_ptr<OlItem> letter;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir root;
    qputenv("XDG_CONFIG_HOME", (root.path() + u"/config"_s).toUtf8());
    const int count = 10000;
    const auto list = members(count);
    NoPrompts prompts;

    {
        Store store(root.path() + u"/store-1"_s);
        auto journal = RunJournal::open(root.path() + u"/runs"_s,
                                        {store.letter->EntryID(), u"bench"_s, MailType::Personal});
        frmDoMsg window(u"Corvel"_s);
        MailGenerator generator(*store.session, window, prompts);
        window.setCancelHandler([&generator] { generator.btnCancel_Click(); });
        TurnGaps gaps;
        QElapsedTimer timer;
        timer.start();
        const auto outcome = generator.Execute({MailType::Personal, store.letter->EntryID(), false},
                                               list, journal->get());
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        std::printf("run of %d: %lld queued in %.2f s (%.0f msg/s); longest gap between event "
                    "loop turns %.1f ms over %lld turns\n",
                    count, static_cast<long long>(outcome.messagesQueued), seconds,
                    double(outcome.messagesQueued) / seconds, gaps.longestMs(),
                    static_cast<long long>(gaps.turns()));
    }

    {
        Store store(root.path() + u"/store-2"_s);
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
            generator.Execute({MailType::Personal, store.letter->EntryID(), false}, list, nullptr);
        const double stoppedMs = static_cast<double>(sinceClick.nsecsElapsed()) / 1e6;
        std::printf("cancel after 1 s: seen %.1f ms after the click, run returned %.1f ms after "
                    "it, %lld of %d processed\n",
                    static_cast<double>(seenAfterNs) / 1e6, stoppedMs,
                    static_cast<long long>(outcome.processed), count);
    }
    return 0;
}
