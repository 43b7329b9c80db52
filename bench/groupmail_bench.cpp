// Generating and durably queueing group mail into a real Outbox: 10,000 personalised copies
// without prompts (with the run journal), and BCC to 10,000 members (100 messages), queued in
// batches; then, in the same run for comparison, 10,000 personalised copies queued one Send
// (two fsyncs) each, as before batches.
#include "delivery/LocalDelivery.h"
#include "merge/DraftsFolder.h"
#include "merge/GenerationView.h"
#include "merge/MailGenerator.h"
#include "merge/MergePrompter.h"
#include "merge/NewLetter.h"
#include "merge/RunJournal.h"
#include "session/LocalApplication.h"
#include "session/LocalNamespace.h"
#include "session/OlSendBatch.h"
#include "support/CRegSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

// Measures the longest stretch of work between two chances for the window to see Cancel.
class QuietView : public GenerationView
{
public:
    void show() override { m_since.start(); }
    void setStatus(const QString &) override {}
    void setPercent(int) override {}
    void letEventsRun() override { longestPauseMs = std::max(longestPauseMs, m_since.restart()); }
    void critical(const QString &text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }

    qint64 longestPauseMs = 0;

private:
    QElapsedTimer m_since;
};

class NoPrompts : public MergePrompter
{
public:
    PromptReply askName(const PromptRequest &) override { return {}; }
};

// The same session without its batched Outbox: every copy is queued by its own Send.
class ItemByItemSession : public OlNamespace
{
public:
    explicit ItemByItemSession(std::shared_ptr<OlNamespace> inner)
        : m_inner(std::move(inner))
    {
    }
    QString CurrentUser() override { return m_inner->CurrentUser(); }
    std::vector<std::shared_ptr<OlFolder>> Folders() override { return m_inner->Folders(); }
    std::shared_ptr<OlFolder> GetFolderFromID(const QString &entryId,
                                              const QString &storeId) override
    {
        return m_inner->GetFolderFromID(entryId, storeId);
    }
    std::shared_ptr<OlItem> GetItemFromID(const QString &entryId) override
    {
        return m_inner->GetItemFromID(entryId);
    }

private:
    std::shared_ptr<OlNamespace> m_inner;
};

std::vector<MailMember> members(int count)
{
    std::vector<MailMember> list;
    for (int i = 0; i < count; ++i)
        list.push_back({u"Member %1"_s.arg(i), u"member%1@example.org"_s.arg(i)});
    return list;
}

double run(const QString &root, MailType type, int count, qint64 &messages, qint64 &longestPauseMs,
           bool itemByItem = false)
{
    const QString store = root + u"/store-%1-%2"_s.arg(static_cast<int>(type)).arg(itemByItem);
    for (const QString &folder : {u"Drafts"_s, u"Outbox"_s})
        for (const QString &part : {u"cur"_s, u"new"_s, u"tmp"_s})
            QDir().mkpath(store + u'/' + folder + u'/' + part);
    CRegSettings settings(root + u"/config"_s);
    (void)settings.saveSetting(u"Transport"_s, u"From"_s, u"Bench <bench@example.org>"_s);
    LocalApplication application({{u"Bench"_s, store}}, {}, &settings);
    std::shared_ptr<OlNamespace> session = application.GetNamespace(u"MAPI"_s);
    // Its passes over the Outbox compete for the machine, as in the window.
    LocalDelivery delivery(*std::static_pointer_cast<LocalNamespace>(session), &settings);
    if (itemByItem)
        session = std::make_shared<ItemByItemSession>(session);
    auto letter = NewLetter::create(
        application, DraftsFolder::choose(*application.GetNamespace(u"MAPI"_s), {}),
        {u"Bench letter"_s, {}, {}, u"Dear member,\n\nthe spring meeting is on Friday.\n"_s, {}});
    auto journal = RunJournal::open(root + u"/runs"_s, {letter->EntryID(), u"bench"_s, type});
    QuietView view;
    NoPrompts prompts;
    MailGenerator generator(*session, view, prompts);
    const auto list = members(count);
    QElapsedTimer timer;
    timer.start();
    const auto outcome = generator.execute({type, letter->EntryID(), false}, list, journal->get());
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    messages = outcome.messagesQueued;
    longestPauseMs = view.longestPauseMs;
    if (!outcome.succeeded())
        std::fprintf(stderr, "run failed: %lld failures\n",
                     static_cast<long long>(outcome.failures.size()));
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    // One part alone (personal, bcc or single) is easier to profile.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto wanted = [&only](const QString &part) { return only.isEmpty() || only == part; };
    qint64 messages = 0;
    qint64 pause = 0;
    if (wanted(u"personal"_s)) {
        const double personal = run(root.path(), MailType::Personal, 10000, messages, pause);
        std::printf("personal: %lld messages in %.2f s, %.0f msg/s; longest pause %lld ms\n",
                    static_cast<long long>(messages), personal, double(messages) / personal,
                    static_cast<long long>(pause));
    }
    if (wanted(u"bcc"_s)) {
        const double bcc = run(root.path(), MailType::BCC, 10000, messages, pause);
        std::printf("bcc to 10,000: %lld messages in %.0f ms; longest pause %lld ms\n",
                    static_cast<long long>(messages), bcc * 1000, static_cast<long long>(pause));
    }
    if (wanted(u"single"_s)) {
        const double single = run(root.path(), MailType::Personal, 10000, messages, pause, true);
        std::printf("personal, one Send each: %lld messages in %.2f s, %.0f msg/s\n",
                    static_cast<long long>(messages), single, double(messages) / single);
    }
    return 0;
}
