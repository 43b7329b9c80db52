#include "common/NamedCases.h"
#include "delivery/DeliveryAgent.h"
#include "delivery/LocalDelivery.h"
#include "delivery/OutboxQueue.h"
#include "delivery/SmtpTransport.h"
#include "message/MaildirName.h"
#include "session/LocalApplication.h"
#include "session/LocalMailbox.h"
#include "session/LocalMessageItem.h"
#include "session/LocalSendBatch.h"
#include "session/LocalStoreTree.h"
#include "support/CRegSettings.h"
#include "support/ProcessOwner.h"

#include "common/PortServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <set>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

const QString Tools = QStringLiteral(CORVEL_TEST_DATA "/../tools");

// The scripted SMTP server of tests/tools on a free port of 127.0.0.1.
class SmtpServer
{
public:
    explicit SmtpServer(const QString &recordDir)
        : m_records(recordDir)
        , m_server(QStringList{Tools + u"/smtp_test_server.py"_s, recordDir})
    {
    }
    [[nodiscard]] int port() const { return m_server.port(); }
    // How the server answers from now on (see tests/tools/smtp_test_server.py).
    void script(const QByteArray &json) const
    {
        QFile file(m_records + u"/script.json"_s);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(json);
    }
    // How many accepted messages named each recipient.
    [[nodiscard]] std::map<QString, int> deliveries() const
    {
        std::map<QString, int> count;
        for (const QJsonObject &r : received())
            for (const QJsonValue &to : r.value(u"rcpt_tos"_s).toArray())
                ++count[to.toString()];
        return count;
    }
    // The connections the accepted messages came over.
    [[nodiscard]] std::set<int> connections() const
    {
        std::set<int> result;
        for (const QJsonObject &r : received())
            result.insert(r.value(u"connection"_s).toInt());
        return result;
    }
    [[nodiscard]] std::vector<QJsonObject> received() const
    {
        std::vector<QJsonObject> result;
        QDir dir(m_records);
        for (const QString &name : dir.entryList({u"[0-9]*.json"_s}, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                result.push_back(QJsonDocument::fromJson(file.readAll()).object());
        }
        return result;
    }

private:
    QString m_records;
    test::PortServer m_server;
};

bool haveServer()
{
    return QProcess::execute(u"/usr/bin/python3"_s, {u"-c"_s, u"import aiosmtpd"_s}) == 0;
}

class DeliveryTest : public ::testing::Test
{
protected:
    QTemporaryDir tmp;
    QString store;
    std::unique_ptr<CRegSettings> settings;
    std::shared_ptr<LocalMailbox> mailbox;
    std::unique_ptr<DeliveryAgent> agent;
    std::unique_ptr<SmtpServer> server;

    void SetUp() override
    {
        store = tmp.path() + u"/store"_s;
        for (const QString &folder : {u"Drafts"_s, u"Outbox"_s})
            for (const QString &part : {u"cur"_s, u"new"_s, u"tmp"_s})
                ASSERT_TRUE(QDir().mkpath(store + u'/' + folder + u'/' + part));
        settings = std::make_unique<CRegSettings>(tmp.path() + u"/config"_s);
        set(u"From"_s, u"Ann Lee <ann@example.org>"_s);
        auto tree = std::make_shared<LocalStoreTree>(LocalStore{u"Personal Folders"_s, store});
        mailbox = std::make_shared<LocalMailbox>(
            std::vector<std::shared_ptr<LocalStoreTree>>{tree},
            [this] { return settings->getSetting(u"Transport"_s, u"From"_s, {}); });
        agent = std::make_unique<DeliveryAgent>(
            mailbox, [this] { return TransportSettings::read(*settings); }, RetryPolicy{50, 200});
    }
    void set(const QString &key, const QString &value)
    {
        ASSERT_TRUE(settings->saveSetting(u"Transport"_s, key, value));
    }
    void set(std::initializer_list<std::pair<QString, QString>> values)
    {
        for (const auto &[key, value] : values)
            set(key, value);
    }
    // An agent whose clock reads `clock`.
    std::unique_ptr<DeliveryAgent> agentAt(const qint64 &clock, RetryPolicy retry = {})
    {
        return std::make_unique<DeliveryAgent>(
            mailbox, [this] { return TransportSettings::read(*settings); }, retry,
            DeliveryAgent::TransportFactory{}, [&clock] { return clock; });
    }
    void useServer()
    {
        startServer();
        pointTransportAtServer();
    }
    // Started before any thread of the test: a fork after them is not supported everywhere
    // (ThreadSanitizer refuses it).
    void startServer()
    {
        if (!haveServer())
            GTEST_SKIP() << "python3-aiosmtpd is not installed";
        ASSERT_TRUE(QDir().mkpath(tmp.path() + u"/received"_s));
        server = std::make_unique<SmtpServer>(tmp.path() + u"/received"_s);
        ASSERT_GT(server->port(), 0);
    }
    void pointTransportAtServer()
    {
        set({{u"Kind"_s, u"smtp"_s},
             {u"Host"_s, u"127.0.0.1"_s},
             {u"Port"_s, QString::number(server->port())},
             {u"Security"_s, u"none"_s}});
    }
    void queue(const QString &subject, const QString &to, const QString &cc = {},
               const QString &bcc = {})
    {
        const auto item = LocalMessageItem::create(mailbox);
        item->setSubject(subject);
        item->setBody(u"Hello,\nthis is "_s + subject + u".\n"_s);
        item->setTo(to);
        if (!cc.isEmpty())
            item->setCC(cc);
        if (!bcc.isEmpty())
            item->setBCC(bcc);
        item->Send();
    }
    QStringList files(const QString &folder, const QString &part = u"cur"_s) const
    {
        return QDir(store + u'/' + folder + u'/' + part).entryList(QDir::Files);
    }
    std::map<QString, OutboxQueue::Message> outbox() const
    {
        std::map<QString, OutboxQueue::Message> bySubject;
        for (auto &m : OutboxQueue(*mailbox).messages())
            bySubject[m.subject] = m;
        return bySubject;
    }
    // The batch list a pass leaves when it is killed: the header's fields, the messages of
    // `subjects`, then the journal (where "{Subject}" stands for that message's name).
    void writeBatch(const QByteArray &header, const QStringList &subjects, QByteArray journal)
    {
        const auto waiting = outbox();
        QByteArray batch = "#corvel-batch " + header + '\n';
        for (const QString &subject : subjects)
            batch += waiting.at(subject).unique.toUtf8() + '\n';
        for (const auto &[subject, message] : waiting)
            journal.replace("{" + subject.toUtf8() + "}", message.unique.toUtf8());
        write(store + u"/Outbox/corvel-outbox.sending"_s, batch + journal);
    }
    static std::map<QString, DeliveryReport::Message> bySubject(const DeliveryReport &report)
    {
        std::map<QString, DeliveryReport::Message> result;
        for (const auto &m : report.messages)
            result[m.subject] = m;
        return result;
    }
    // "subject: outcome" of each message of the report, in subject order.
    static QStringList outcomes(const DeliveryReport &report)
    {
        QStringList lines;
        for (const auto &[subject, m] : bySubject(report))
            lines << subject + u": "_s + DeliveryReport::outcomeName(m.outcome);
        return lines;
    }
    // "subject: state" of each message waiting in the Outbox, in subject order.
    QStringList states() const
    {
        QStringList lines;
        for (const auto &[subject, m] : outbox())
            lines << subject + u": "_s + m.state;
        return lines;
    }
    void write(const QString &path, const QByteArray &bytes) const
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }
};

TEST_F(DeliveryTest, DeliversInOrderOverOneConnectionAndFilesInSentItems)
{
    useServer();
    QStringList subjects;
    for (int i = 1; i <= 12; ++i) {
        subjects << u"Message %1"_s.arg(i, 2, 10, QLatin1Char('0'));
        queue(subjects.back(), u"Bob <bob@example.org>"_s, u"carol@example.org"_s,
              u"dave@example.org"_s);
    }
    const DeliveryReport report = agent->deliverNow();
    EXPECT_TRUE(report.complete()) << report.problems.join(u"; "_s).toStdString();
    ASSERT_EQ(report.messages.size(), 12u);

    const auto received = server->received();
    ASSERT_EQ(received.size(), 12u);
    QStringList order;
    for (const QJsonObject &r : received) {
        EXPECT_EQ(r.value(u"mail_from"_s).toString(), u"ann@example.org"_s);
        EXPECT_EQ(
            r.value(u"rcpt_tos"_s).toArray(),
            (QJsonArray{u"bob@example.org"_s, u"carol@example.org"_s, u"dave@example.org"_s}));
        const QString data = r.value(u"data"_s).toString();
        EXPECT_FALSE(data.contains(u"dave@"_s)) << "Bcc went out";
        EXPECT_FALSE(data.contains(QRegularExpression(u"[^\\r]\\n"_s))) << "bare LF";
        const qsizetype s = data.indexOf(u"Subject: "_s);
        order << data.mid(s + 9, 10);
    }
    EXPECT_EQ(order, subjects);
    EXPECT_EQ(server->connections().size(), 1u);
    EXPECT_TRUE(files(u"Outbox"_s).isEmpty());
    const QStringList sent = files(u"Sent Items"_s);
    ASSERT_EQ(sent.size(), 12);
    for (const QString &name : sent)
        EXPECT_TRUE(name.endsWith(u":2,S"_s)) << name.toStdString();
    EXPECT_FALSE(QFile::exists(store + u"/Outbox/corvel-outbox.sending"_s));
}

// Refusals and rejections per message are in PipelineTest, a release in DeliveryScriptTest;
// here, what a lost connection and a temporary failure leave for the next pass.
TEST_F(DeliveryTest, ADropCostsOnlyItsMessageAndOnlyTheDeferredIsTriedAgain)
{
    useServer();
    queue(u"First"_s, u"bob@example.org"_s);
    queue(u"Busy [defer]"_s, u"bob@example.org"_s);
    queue(u"Lost [drop]"_s, u"bob@example.org"_s);
    queue(u"Last"_s, u"bob@example.org"_s);

    const DeliveryReport report = agent->deliverNow();
    EXPECT_FALSE(report.complete());
    EXPECT_EQ(outcomes(report), (QStringList{u"Busy [defer]: deferred"_s, u"First: delivered"_s,
                                             u"Last: delivered"_s, u"Lost [drop]: held"_s}));
    const auto received = server->received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(server->connections().size(), 2u);
    EXPECT_EQ(states(), (QStringList{u"Busy [defer]: deferred"_s, u"Lost [drop]: held"_s}));
    EXPECT_EQ(outbox()[u"Busy [defer]"_s].attempts, 1);

    // Again: only the deferred one is tried, and it waits longer each time.
    const DeliveryReport again = agent->deliverNow();
    EXPECT_EQ(outcomes(again), QStringList{u"Busy [defer]: deferred"_s});
    EXPECT_EQ(server->received().size(), 2u);
    EXPECT_EQ(outbox()[u"Busy [defer]"_s].attempts, 2);
}

TEST_F(DeliveryTest, MessagesOtherProgramsQueueAreDeliveredAfterTheSameChecks)
{
    useServer();
    const QString foreign = store + u"/Outbox/new/17000000"_s;
    write(foreign + u"01.other.host"_s, "To: Bob <bob@example.org>\nBcc: eve@example.org\n"
                                        "Subject: From elsewhere\n\nNo From header here.\n");
    write(foreign + u"02.other.host"_s, "From: x@example.org\nTo: =?utf-8?q?Bob=0D=0ABcc:_"
                                        "mallory@example.org?= <bob@example.org>\nSubject: "
                                        "Sneaky\n\nx\n");
    EXPECT_EQ(outcomes(agent->deliverNow()),
              (QStringList{u"From elsewhere: delivered"_s, u"Sneaky: failed"_s}));
    const auto received = server->received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].value(u"rcpt_tos"_s).toArray(),
              (QJsonArray{u"bob@example.org"_s, u"eve@example.org"_s}));
    const QString data = received[0].value(u"data"_s).toString();
    EXPECT_TRUE(data.contains(u"From: Ann Lee <ann@example.org>"_s));
    EXPECT_FALSE(data.contains(u"eve@"_s));
    EXPECT_FALSE(data.contains(u"mallory"_s));
    EXPECT_EQ(files(u"Outbox"_s, u"new"_s).size(), 1);
}

// A pass killed midway leaves its batch list and journal: the next pass holds only the message
// whose data left without a reply read, takes the outcome recorded for another, and sends the
// ones never started. How each journal text is read is in OutboxStateTest.
TEST_F(DeliveryTest, AfterAnInterruptionOnlyAMessageWhoseDataLeftIsHeld)
{
    useServer();
    const QStringList subjects{u"Answered"_s, u"In flight"_s, u"Untouched"_s, u"Last"_s};
    for (const QString &subject : subjects)
        queue(subject, u"bob@example.org"_s);
    const auto writeBatchOf = [&](qint64 pid) {
        writeBatch("boot=" + ProcessOwner::currentBootId() + " pid=" + QByteArray::number(pid) +
                       " sync=100",
                   subjects,
                   "> {Answered}\n= {Answered}"
                   R"( {"state":"failed","reason":"554 5.6.0 no","recipients":[)"
                   R"({"address":"bob@example.org","outcome":"refused","reply":"554 5.6.0 no"}]})"
                   "\n> {In flight}\n");
    };
    // While the process that wrote it runs, the batch is in hand.
    writeBatchOf(QCoreApplication::applicationPid());
    EXPECT_EQ(outbox()[u"Untouched"_s].state, u"sending"_s);

    QProcess gone;
    gone.start(u"/bin/true"_s);
    ASSERT_TRUE(gone.waitForFinished(10000));
    writeBatchOf(gone.processId());

    EXPECT_EQ(outcomes(agent->deliverNow()),
              (QStringList{u"Last: delivered"_s, u"Untouched: delivered"_s}));
    EXPECT_EQ(server->received().size(), 2u);
    EXPECT_EQ(states(), (QStringList{u"Answered: failed"_s, u"In flight: held"_s}));
    EXPECT_FALSE(QFile::exists(store + u"/Outbox/corvel-outbox.sending"_s));
}

// A state file of an earlier version names the recipients still owed after a partial delivery.
TEST_F(DeliveryTest, RecordsOfTheEarlierFormatKeepWhoHadItAlready)
{
    useServer();
    queue(u"Partly"_s, u"bob@example.org; carol@example.org; refuse-me@example.org"_s);
    const QString unique = outbox()[u"Partly"_s].unique;
    write(
        store + u"/Outbox/corvel-outbox.state"_s,
        R"({"version":1,"messages":{")" + unique.toUtf8() +
            R"(":{"state":"queued","attempts":1,"next":0,"reason":"451",)"
            R"("refused":[{"address":"refuse-me@example.org","reply":"550 no","temporary":false}],)"
            R"("remaining":["carol@example.org"]}}})");

    const DeliveryReport report = agent->deliverNow();
    ASSERT_EQ(outcomes(report), QStringList{u"Partly: delivered"_s});
    ASSERT_EQ(report.messages[0].refused.size(), 1u);
    EXPECT_EQ(report.messages[0].refused[0].address, u"refuse-me@example.org"_s);
    EXPECT_EQ(server->deliveries(), (std::map<QString, int>{{u"carol@example.org"_s, 1}}));
}

TEST_F(DeliveryTest, WithoutATransportMessagesWaitAndTheReportSaysSo)
{
    queue(u"Waiting"_s, u"bob@example.org"_s);
    const DeliveryReport report = agent->deliverNow();
    EXPECT_EQ(std::tuple(report.complete(), report.waiting, report.problems.size()),
              std::tuple(false, 1, 1));
    EXPECT_TRUE(report.problems.value(0).startsWith(u"Messages wait in the Outbox"_s));
    EXPECT_EQ(files(u"Outbox"_s).size(), 1);

    // A password never crosses the network unencrypted; nothing is tried, nothing counted.
    set({{u"Kind"_s, u"smtp"_s},
         {u"Host"_s, u"mail.example.org"_s},
         {u"Security"_s, u"none"_s},
         {u"User"_s, u"ann"_s},
         {u"PasswordCommand"_s, u"echo secret"_s}});
    const DeliveryReport refused = agent->deliverNow();
    ASSERT_EQ(refused.problems.size(), 1);
    EXPECT_TRUE(refused.problems[0].contains(u"unencrypted"_s));
    EXPECT_EQ(states(), QStringList{u"Waiting: queued"_s});
    EXPECT_EQ(outbox()[u"Waiting"_s].attempts, 0);
}

TEST_F(DeliveryTest, EveryPassSweepsWhatAKilledWriterLeftInTheOutboxTmp)
{
    const auto plant = [&](qint64 ageSeconds) {
        const QString path = store + u"/Outbox/tmp/"_s + MaildirName::newUnique();
        write(path, "From: a@example.org\n\nhalf a mess");
        const time_t when = ::time(nullptr) - ageSeconds;
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        return path;
    };
    const QString stale = plant(37 * 3600);
    const QString fresh = plant(0);
    (void)agent->deliverNow();
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(fresh));
}

TEST_F(DeliveryTest, SendmailGetsTheEnvelopeAsArgumentsAndTheMessageWithoutBcc)
{
    const QString records = tmp.path() + u"/sendmail"_s;
    ASSERT_TRUE(QDir().mkpath(records));
    set(u"Kind"_s, u"sendmail"_s);
    set(u"SendmailCommand"_s, u"\"%1/fake_sendmail.sh\" \"%2\" -oi"_s.arg(Tools, records));
    queue(u"Fine"_s, u"bob@example.org"_s, {}, u"dave@example.org"_s);
    queue(u"Later"_s, u"later@example.org"_s);
    queue(u"Wrong"_s, u"bad@example.org"_s);

    const DeliveryReport report = agent->deliverNow();
    EXPECT_EQ(outcomes(report),
              (QStringList{u"Fine: delivered"_s, u"Later: deferred"_s, u"Wrong: failed"_s}));
    EXPECT_TRUE(bySubject(report)[u"Wrong"_s].reason.contains(u"unknown user"_s));
    EXPECT_EQ(QString::fromUtf8(read(records + u"/1.args"_s)).split(u'\n', Qt::SkipEmptyParts),
              (QStringList{u"-oi"_s, u"-f"_s, u"ann@example.org"_s, u"--"_s, u"bob@example.org"_s,
                           u"dave@example.org"_s}));
    const QByteArray bytes = read(records + u"/1.msg"_s);
    EXPECT_FALSE(bytes.contains("dave@"));
    EXPECT_FALSE(bytes.contains('\r'));
    EXPECT_EQ(outbox()[u"Later"_s].state, u"deferred"_s);
}

// Queued before a way of sending is set up, a message goes with the next one queued after.
TEST_F(DeliveryTest, TheSessionsDeliverySendsWhatIsSentAndStopsWithIt)
{
    startServer();
    {
        LocalApplication app({{u"Personal Folders"_s, store}}, {}, settings.get());
        LocalDelivery delivery(
            *std::static_pointer_cast<LocalNamespace>(app.GetNamespace(u"MAPI"_s)), settings.get());
        const auto send = [&app](const QString &subject) {
            const auto item = app.CreateItem(0);
            item->setSubject(subject);
            item->setTo(u"bob@example.org"_s);
            item->Send();
        };
        send(u"Waiting"_s);
        QThread::msleep(100);
        pointTransportAtServer();
        send(u"In the background"_s);
        QElapsedTimer timer;
        timer.start();
        while (files(u"Sent Items"_s).size() < 2 && timer.elapsed() < 15000)
            QThread::msleep(20);
    }
    EXPECT_EQ(files(u"Sent Items"_s).size(), 2);
    EXPECT_EQ(server->received().size(), 2u);
}

// A deferred message waits on the agent's clock, longer after each temporary failure, and is
// given up after Transport/MaxQueueDays with the last reply kept.
TEST_F(DeliveryTest, PutOffMessagesWaitTheirTurnAndAreGivenUpAfterMaxQueueDays)
{
    useServer();
    set(u"MaxQueueDays"_s, u"2"_s);
    qint64 clock = 1'700'000'000'000;
    agent = agentAt(clock, RetryPolicy{60'000, 240'000});
    queue(u"Busy"_s, u"later-x@example.org"_s);

    qint64 tried = clock;
    for (const qint64 delay : {60'000, 120'000, 240'000, 240'000}) {
        EXPECT_EQ(outcomes(agent->deliverDue()), QStringList{u"Busy: deferred"_s});
        EXPECT_EQ(outbox()[u"Busy"_s].nextAttemptMs, tried + delay);
        clock = tried + delay - 1;
        const DeliveryReport early = agent->deliverDue();
        EXPECT_EQ(std::tuple(early.messages.size(), early.waiting, early.deferred),
                  std::tuple(0u, 1, 1));
        clock = tried = tried + delay;
    }
    EXPECT_EQ(outbox()[u"Busy"_s].attempts, 4);

    clock += 2 * 24 * 60 * 60 * 1000;
    const DeliveryReport last = agent->deliverDue();
    EXPECT_EQ(outcomes(last), QStringList{u"Busy: failed"_s});
    EXPECT_EQ(states(), QStringList{u"Busy: failed"_s});
    const QString reason = outbox()[u"Busy"_s].reason;
    EXPECT_TRUE(reason.contains(u"2 days"_s) && reason.contains(u"451 4.2.1"_s))
        << reason.toStdString();
    EXPECT_EQ(last.failed, 1);
    EXPECT_TRUE(server->received().empty());
}

// With PIPELINING the next message's envelope goes with this one's data; a server without it
// gets the commands one by one. A further transaction for a message (recipients over the
// server's limit) does not fit what went early: it costs a new connection, never a message.
struct PipelineCase
{
    const char *name;
    const char *script;
    int connections;
};

CORVEL_PRINT_BY_NAME(PipelineCase)

class PipelineTest : public DeliveryTest, public ::testing::WithParamInterface<PipelineCase>
{
};

TEST_P(PipelineTest, EveryRecipientGetsItsMessageOnceAndEveryRefusalIsKept)
{
    const PipelineCase &c = GetParam();
    useServer();
    server->script(c.script);
    queue(u"One"_s, u"a@example.org"_s);
    queue(u"Partly"_s, u"refuse-1@example.org; b@example.org"_s);
    queue(u"Nobody"_s, u"refuse-2@example.org"_s);
    queue(u"Three"_s, u"c@example.org; d@example.org; e@example.org"_s);
    queue(u"Rejected [reject]"_s, u"f@example.org"_s);
    queue(u"Busy [defer]"_s, u"g@example.org"_s);
    queue(u"Last"_s, u"h@example.org"_s);

    const DeliveryReport report = agent->deliverNow();
    ASSERT_EQ(report.messages.size(), 7u);
    const std::map<QString, int> once{{u"a@example.org"_s, 1}, {u"b@example.org"_s, 1},
                                      {u"c@example.org"_s, 1}, {u"d@example.org"_s, 1},
                                      {u"e@example.org"_s, 1}, {u"h@example.org"_s, 1}};
    EXPECT_EQ(server->deliveries(), once);
    EXPECT_EQ(int(server->connections().size()), c.connections);

    auto outcome = bySubject(report);
    EXPECT_EQ(outcome[u"Partly"_s].outcome, DeliveryReport::Outcome::Delivered);
    ASSERT_EQ(outcome[u"Partly"_s].refused.size(), 1u);
    EXPECT_EQ(outcome[u"Partly"_s].refused[0].address, u"refuse-1@example.org"_s);
    EXPECT_EQ(states(), (QStringList{u"Busy [defer]: deferred"_s, u"Nobody: failed"_s,
                                     u"Rejected [reject]: failed"_s}));
    auto waiting = outbox();
    ASSERT_EQ(waiting[u"Nobody"_s].refused.size(), 1u);
    EXPECT_TRUE(waiting[u"Nobody"_s].refused[0].reply.startsWith(u"550"_s));
    EXPECT_TRUE(waiting[u"Rejected [reject]"_s].reason.contains(u"554"_s));
    EXPECT_TRUE(waiting[u"Busy [defer]"_s].reason.startsWith(u"451"_s));
}

INSTANTIATE_TEST_SUITE_P(
    , PipelineTest,
    ::testing::Values(PipelineCase{"Pipelining", "{}", 1},
                      PipelineCase{"NoPipelining", R"({"no_pipelining": true})", 1},
                      PipelineCase{"RecipientLimit", R"({"rcpt_limit": 2})", 2}),
    corvel::test::ByName());

// The limits count what went from the sends log beside the Outbox, so a new agent (as after a
// restart) keeps to them too; the pass ends with the time the next may go.
TEST_F(DeliveryTest, RateLimitsHoldAcrossAgentsAndSayWhenTheNextMayGo)
{
    useServer();
    set(u"MaxPerMinute"_s, u"3"_s);
    qint64 clock = 1'700'000'000'000;
    const qint64 start = clock;
    for (int i = 1; i <= 5; ++i)
        queue(u"Message %1"_s.arg(i), u"bob@example.org"_s);

    const DeliveryReport first = agentAt(clock)->deliverDue();
    EXPECT_EQ(std::tuple(first.messages.size(), first.waiting, first.problems, first.limitedUntilMs,
                         first.limit),
              std::tuple(3u, 2, QStringList(), start + 60'000, u"limit 3 per minute"_s));
    const OutboxQueue::RateHold hold =
        OutboxQueue(*mailbox).rateHold(TransportSettings::read(*settings).limits, clock);
    EXPECT_EQ(std::tuple(hold.untilMs, hold.problem), std::tuple(start + 60'000, QString()));

    clock = start + 59'999;
    const DeliveryReport early = agentAt(clock)->deliverNow(); // backoff ignored, never the limit
    EXPECT_EQ(std::tuple(early.messages.size(), early.waiting, server->received().size()),
              std::tuple(0u, 2, 3u));

    clock = start + 60'000;
    const DeliveryReport later = agentAt(clock)->deliverDue();
    EXPECT_EQ(std::tuple(later.messages.size(), later.limitedUntilMs, server->received().size()),
              std::tuple(2u, 0, 5u));
    EXPECT_TRUE(outbox().empty());
}

// A message queued to go later waits in every pass before its time, deliver-now ones too and
// those of a new agent (as after a restart): the time is kept beside the Outbox.
TEST_F(DeliveryTest, AScheduledMessageWaitsForItsTimeAcrossAgents)
{
    useServer();
    const qint64 at = QDateTime::currentMSecsSinceEpoch() + 3'600'000;
    QFile schedule(store + u"/Outbox/corvel-outbox.schedule"_s);
    {
        // An append a crash cut short must not run into the next one.
        ASSERT_TRUE(schedule.open(QIODevice::WriteOnly));
        schedule.write("#corvel-schedule 1\n1700000000.gone");
        schedule.close();
        LocalSendBatch batch(mailbox);
        batch.setNotBefore(at);
        const auto item = LocalMessageItem::create(mailbox);
        item->setSubject(u"Later"_s);
        item->setTo(u"bob@example.org"_s);
        batch.add(item);
        ASSERT_EQ(batch.commit().size(), 1u);
    }
    queue(u"Now"_s, u"cy@example.org"_s);
    qint64 clock = at - 1;
    const DeliveryReport early = agentAt(clock)->deliverNow();
    EXPECT_EQ(std::tuple(early.messages.size(), early.waiting, outbox()[u"Later"_s].state,
                         outbox()[u"Later"_s].nextAttemptMs),
              std::tuple(1u, 1, u"scheduled"_s, at));

    clock = at;
    EXPECT_EQ(outcomes(agentAt(clock)->deliverNow()), QStringList{u"Later: delivered"_s});
    EXPECT_EQ(server->deliveries()[u"bob@example.org"_s], 1);
    ASSERT_TRUE(schedule.open(QIODevice::ReadOnly));
    EXPECT_EQ(schedule.readAll(), "#corvel-schedule 1\n"); // a time past is dropped
}

TEST_F(DeliveryTest, WithALimitAndASendsLogThatCannotBeReadNothingGoes)
{
    useServer();
    set(u"MaxPerHour"_s, u"100"_s);
    queue(u"Waits"_s, u"bob@example.org"_s);
    const QString log = store + u"/Outbox/corvel-outbox.sends"_s;
    write(log, "#corvel-sends 1\nnot a time\n1700000000000 1\n");
    const DeliveryReport report = agent->deliverNow();
    EXPECT_EQ(std::tuple(report.messages.size(), report.waiting, server->received().size()),
              std::tuple(0u, 1, 0u)); // the log is left as it was: SendsLogTest
    EXPECT_TRUE(report.problems.join(u" "_s).contains(log));
    EXPECT_FALSE(OutboxQueue(*mailbox).rateHold({0, 100}, 0).problem.isEmpty());

    // Without a limit the record is not needed, and mail goes.
    set(u"MaxPerHour"_s, u""_s);
    EXPECT_EQ(agent->deliverNow().messages.size(), 1u);
}

// The scripted server's answers over one or more passes, with the user's release between two:
// per recipient, delivered once, refused for good with the reply, or still owed; never twice.
struct ScriptCase
{
    const char *name;
    const char *to;
    // "[release, ]script state | ...": the script (see tests/tools/smtp_test_server.py) of each
    // pass, and the state after it: "sent" (in Sent Items), else the Outbox state.
    const char *passes;
    const char *deliveredOnce; // addresses, "; "-separated
    const char *refused;       // for good
    bool stalls = false;
};

CORVEL_PRINT_BY_NAME(ScriptCase)

class DeliveryScriptTest : public DeliveryTest, public ::testing::WithParamInterface<ScriptCase>
{
};

TEST_P(DeliveryScriptTest, EachRecipientIsDeliveredOnceRefusedOrStillOwed)
{
    const ScriptCase &c = GetParam();
    useServer();
    if (c.stalls) {
        agent = std::make_unique<DeliveryAgent>(
            mailbox, [this] { return TransportSettings::read(*settings); }, RetryPolicy{50, 200},
            [](const TransportSettings &t, std::function<bool()> stop) {
                return Result<std::unique_ptr<MailTransport>>(std::make_unique<SmtpTransport>(
                    t, std::move(stop), SmtpTimeouts{10'000, 10'000, 1'500, 1'000}));
            });
    }
    queue(u"Case"_s, QString::fromUtf8(c.to));
    DeliveryReport report;
    const auto state = [this] {
        const auto waiting = outbox();
        if (waiting.empty())
            return files(u"Sent Items"_s).size() == 1 ? u"sent"_s : u"lost"_s;
        return waiting.size() == 1 ? waiting.begin()->second.state : u"duplicated"_s;
    };
    for (QString pass : QString::fromUtf8(c.passes).split(u" | "_s)) {
        if (pass.startsWith(u"release, "_s)) {
            pass.remove(0, 9);
            ASSERT_TRUE(OutboxQueue(*mailbox).release(outbox()[u"Case"_s].unique).ok());
        }
        const qsizetype space = pass.lastIndexOf(u' ');
        server->script(pass.left(space).toUtf8());
        report = agent->deliverNow();
        EXPECT_EQ(state(), pass.mid(space + 1)) << "after " << pass.toStdString();
    }

    std::map<QString, int> expected;
    for (const QString &address :
         QString::fromUtf8(c.deliveredOnce).split(u"; "_s, Qt::SkipEmptyParts))
        expected[address] = 1;
    EXPECT_EQ(server->deliveries(), expected);

    QStringList refused;
    const bool sent = state() == u"sent"_s;
    if (sent) {
        const QString log = store + u"/Sent Items/corvel-refused.log"_s;
        for (const QByteArray &line : QFile::exists(log) ? read(log).split('\n') : QByteArrayList())
            if (!line.isEmpty())
                refused << QJsonDocument::fromJson(line).object().value(u"address"_s).toString();
    } else {
        const auto queued = outbox(); // the loop below must not outlive it
        for (const RecipientRefusal &r : queued.at(u"Case"_s).refused) {
            refused << r.address;
            EXPECT_TRUE(r.reply.startsWith(u'5')) << r.reply.toStdString();
        }
    }
    EXPECT_EQ(refused.join(u"; "_s), QString::fromUtf8(c.refused));
    QStringList reported;
    for (const auto &m : report.messages)
        for (const RecipientRefusal &r : m.refused)
            reported << r.address;
    EXPECT_EQ(reported, refused) << "the last pass reports every refusal so far";
    EXPECT_EQ(report.complete(), refused.isEmpty() && sent);
}

const ScriptCase Scripts[] = {
    {"GreetingRefusedThenAccepted", "a@example.org",
     R"({"greeting": "421 4.3.2 busy"} queued | {} sent)", "a@example.org", ""},
    {"TheOnlyRecipientPutOffThenDeliveredIsNotLoggedAsRefused", "once-later1@example.org",
     "{} deferred | {} sent", "once-later1@example.org", ""},
    {"DroppedAfterTheDotThenReleased", "a@example.org",
     R"({"after_data": "drop"} held | release, {} sent)", "a@example.org", ""},
    {"StalledAfterTheDot", "a@example.org", R"({"after_data": "stall"} held)", "", "", true},
    {"PermanentRefusalKeptWhenALaterPassIsDeferredAfterTheData",
     "ok1@example.org; refuse1@example.org; once-later1@example.org",
     R"({} deferred | {"after_data": "451"} deferred | {} sent)",
     "ok1@example.org; once-later1@example.org", "refuse1@example.org"},
    {"ReleaseAfterAPartialDeliveryTriesOnlyTheRecipientsOwed",
     "ok1@example.org; once-later1@example.org",
     R"({} deferred | {"after_data": "drop"} held | release, {} sent)",
     "ok1@example.org; once-later1@example.org", ""},
};

INSTANTIATE_TEST_SUITE_P(Scripts, DeliveryScriptTest, ::testing::ValuesIn(Scripts),
                         corvel::test::ByName());

} // namespace
} // namespace corvel
