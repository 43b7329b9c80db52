#include "session/DeliveryAgent.h"
#include "session/LocalApplication.h"
#include "session/LocalMailbox.h"
#include "session/LocalMessageItem.h"
#include "session/LocalStoreTree.h"
#include "session/OutboxQueue.h"
#include "support/CRegSettings.h"

#include <gtest/gtest.h>

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
    {
        m_process.setProgram(u"/usr/bin/python3"_s);
        m_process.setArguments({Tools + u"/smtp_test_server.py"_s, recordDir});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return;
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < 15000)
            m_process.waitForReadyRead(200);
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("PORT "))
            m_port = line.mid(5).toInt();
    }
    ~SmtpServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] std::vector<QJsonObject> received() const
    {
        std::vector<QJsonObject> result;
        QDir dir(m_records);
        for (const QString &name : dir.entryList({u"*.json"_s}, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                result.push_back(QJsonDocument::fromJson(file.readAll()).object());
        }
        return result;
    }

private:
    QString m_records;
    QProcess m_process;
    int m_port = 0;
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
            [this] { return settings->GetSetting(u"Transport"_s, u"From"_s, {}); });
        agent = std::make_unique<DeliveryAgent>(
            mailbox, [this] { return TransportSettings::read(*settings); }, RetryPolicy{50, 200});
    }
    void set(const QString &key, const QString &value)
    {
        ASSERT_TRUE(settings->SaveSetting(u"Transport"_s, key, value));
    }
    void useServer()
    {
        if (!haveServer())
            GTEST_SKIP() << "python3-aiosmtpd is not installed";
        ASSERT_TRUE(QDir().mkpath(tmp.path() + u"/received"_s));
        server = std::make_unique<SmtpServer>(tmp.path() + u"/received"_s);
        ASSERT_GT(server->port(), 0);
        set(u"Kind"_s, u"smtp"_s);
        set(u"Host"_s, u"127.0.0.1"_s);
        set(u"Port"_s, QString::number(server->port()));
        set(u"Security"_s, u"none"_s);
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
    static std::map<QString, DeliveryReport::Message> bySubject(const DeliveryReport &report)
    {
        std::map<QString, DeliveryReport::Message> result;
        for (const auto &m : report.messages)
            result[m.subject] = m;
        return result;
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
        EXPECT_EQ(r.value(u"connection"_s).toInt(),
                  received.front().value(u"connection"_s).toInt());
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
    EXPECT_TRUE(files(u"Outbox"_s).isEmpty());
    const QStringList sent = files(u"Sent Items"_s);
    ASSERT_EQ(sent.size(), 12);
    for (const QString &name : sent)
        EXPECT_TRUE(name.endsWith(u":2,S"_s)) << name.toStdString();
    EXPECT_FALSE(QFile::exists(store + u"/Outbox/corvel-outbox.sending"_s));
}

TEST_F(DeliveryTest, FailuresAreKeptAndNothingGoesTwice)
{
    useServer();
    queue(u"First"_s, u"bob@example.org"_s);
    queue(u"Partly"_s, u"refuse-me@example.org; carol@example.org"_s);
    queue(u"Busy [defer]"_s, u"bob@example.org"_s);
    queue(u"Bad [reject]"_s, u"bob@example.org"_s);
    queue(u"Lost [drop]"_s, u"bob@example.org"_s);
    queue(u"Last"_s, u"bob@example.org"_s);
    queue(u"Nobody"_s, u"refuse-a@example.org; refuse-b@example.org"_s);

    const DeliveryReport report = agent->deliverNow();
    EXPECT_FALSE(report.complete());
    auto outcome = bySubject(report);
    using O = DeliveryReport::Outcome;
    EXPECT_EQ(outcome[u"First"_s].outcome, O::Delivered);
    EXPECT_EQ(outcome[u"Partly"_s].outcome, O::Delivered);
    ASSERT_EQ(outcome[u"Partly"_s].refused.size(), 1u);
    EXPECT_EQ(outcome[u"Partly"_s].refused[0].address, u"refuse-me@example.org"_s);
    EXPECT_TRUE(outcome[u"Partly"_s].refused[0].reply.startsWith(u"550"_s));
    EXPECT_EQ(outcome[u"Busy [defer]"_s].outcome, O::Deferred);
    EXPECT_TRUE(outcome[u"Busy [defer]"_s].reason.startsWith(u"451"_s));
    EXPECT_EQ(outcome[u"Bad [reject]"_s].outcome, O::Failed);
    EXPECT_TRUE(outcome[u"Bad [reject]"_s].reason.contains(u"554"_s));
    EXPECT_EQ(outcome[u"Lost [drop]"_s].outcome, O::Held);
    EXPECT_EQ(outcome[u"Last"_s].outcome, O::Delivered);
    EXPECT_EQ(outcome[u"Nobody"_s].outcome, O::Failed);

    auto received = server->received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1].value(u"rcpt_tos"_s).toArray(), QJsonArray{u"carol@example.org"_s});
    // The drop cost the connection; the queue went on over a new one.
    EXPECT_NE(received[2].value(u"connection"_s).toInt(),
              received[0].value(u"connection"_s).toInt());

    auto waiting = outbox();
    ASSERT_EQ(waiting.size(), 4u);
    EXPECT_EQ(waiting[u"Busy [defer]"_s].state, u"deferred"_s);
    EXPECT_EQ(waiting[u"Busy [defer]"_s].attempts, 1);
    EXPECT_EQ(waiting[u"Bad [reject]"_s].state, u"failed"_s);
    EXPECT_EQ(waiting[u"Lost [drop]"_s].state, u"held"_s);
    EXPECT_EQ(waiting[u"Nobody"_s].state, u"failed"_s);
    EXPECT_EQ(waiting[u"Nobody"_s].refused.size(), 2u);
    QFile refusals(store + u"/Sent Items/corvel-refused.log"_s);
    ASSERT_TRUE(refusals.open(QIODevice::ReadOnly));
    EXPECT_TRUE(refusals.readAll().contains("refuse-me@example.org"));

    // Again: only the deferred one is tried, and it waits longer each time.
    const DeliveryReport again = agent->deliverNow();
    ASSERT_EQ(again.messages.size(), 1u);
    EXPECT_EQ(again.messages[0].subject, u"Busy [defer]"_s);
    EXPECT_EQ(server->received().size(), 3u);
    waiting = outbox();
    EXPECT_EQ(waiting[u"Busy [defer]"_s].attempts, 2);

    // The user's word lets a held message go again.
    ASSERT_TRUE(OutboxQueue(*mailbox).release(waiting[u"Lost [drop]"_s].unique).ok());
    EXPECT_EQ(outbox()[u"Lost [drop]"_s].state, u"queued"_s);
}

TEST_F(DeliveryTest, ARecipientPutOffIsTriedAgainAloneUntilReached)
{
    useServer();
    queue(u"Put off"_s, u"once-later-dan@example.org; erin@example.org"_s);

    const DeliveryReport first = agent->deliverNow();
    ASSERT_EQ(first.messages.size(), 1u);
    EXPECT_EQ(first.messages[0].outcome, DeliveryReport::Outcome::Deferred);
    EXPECT_FALSE(first.complete());
    auto waiting = outbox();
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(waiting[u"Put off"_s].state, u"deferred"_s);
    EXPECT_TRUE(files(u"Sent Items"_s).isEmpty());

    // The next pass sends to the one put off, and to nobody else a second time.
    const DeliveryReport second = agent->deliverNow();
    ASSERT_EQ(second.messages.size(), 1u);
    EXPECT_EQ(second.messages[0].outcome, DeliveryReport::Outcome::Delivered);
    const auto received = server->received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].value(u"rcpt_tos"_s).toArray(), QJsonArray{u"erin@example.org"_s});
    EXPECT_EQ(received[1].value(u"rcpt_tos"_s).toArray(),
              QJsonArray{u"once-later-dan@example.org"_s});
    EXPECT_TRUE(outbox().empty());
    EXPECT_EQ(files(u"Sent Items"_s).size(), 1);
}

TEST_F(DeliveryTest, MessagesOtherProgramsQueueAreDeliveredAfterTheSameChecks)
{
    useServer();
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile file(store + u"/Outbox/new/"_s + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(u"1700000001.other.host"_s, "To: Bob <bob@example.org>\nBcc: eve@example.org\n"
                                      "Subject: From elsewhere\n\nNo From header here.\n");
    write(u"1700000002.other.host"_s,
          "From: x@example.org\nTo: =?utf-8?q?Bob=0D=0ABcc:_mallory@example.org?= "
          "<bob@example.org>\nSubject: Sneaky\n\nx\n");
    write(u"1700000003.other.host"_s, "From: x@example.org\nTo: bob@example.org\n"
                                      "Subject: Bare\rBcc: mallory@example.org\n\nx\n");
    const DeliveryReport report = agent->deliverNow();
    auto outcome = bySubject(report);
    EXPECT_EQ(outcome[u"From elsewhere"_s].outcome, DeliveryReport::Outcome::Delivered);
    EXPECT_EQ(outcome[u"Sneaky"_s].outcome, DeliveryReport::Outcome::Failed);
    const auto received = server->received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].value(u"rcpt_tos"_s).toArray(),
              (QJsonArray{u"bob@example.org"_s, u"eve@example.org"_s}));
    const QString data = received[0].value(u"data"_s).toString();
    EXPECT_TRUE(data.contains(u"From: Ann Lee <ann@example.org>"_s));
    EXPECT_FALSE(data.contains(u"eve@"_s));
    EXPECT_FALSE(data.contains(u"mallory"_s));
    EXPECT_EQ(files(u"Outbox"_s, u"new"_s).size(), 2);
}

TEST_F(DeliveryTest, ABatchInterruptedMidwayIsHeldNotResent)
{
    useServer();
    queue(u"One"_s, u"bob@example.org"_s);
    queue(u"Two"_s, u"bob@example.org"_s);
    const QString first = outbox()[u"One"_s].unique;
    QFile sending(store + u"/Outbox/corvel-outbox.sending"_s);
    ASSERT_TRUE(sending.open(QIODevice::WriteOnly));
    sending.write(first.toUtf8() + '\n');
    sending.close();
    EXPECT_EQ(outbox()[u"One"_s].state, u"sending"_s);

    const DeliveryReport report = agent->deliverNow();
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].subject, u"Two"_s);
    EXPECT_EQ(server->received().size(), 1u);
    EXPECT_EQ(outbox()[u"One"_s].state, u"held"_s);
}

TEST_F(DeliveryTest, WithoutATransportMessagesWaitAndTheReportSaysSo)
{
    queue(u"Waiting"_s, u"bob@example.org"_s);
    const DeliveryReport report = agent->deliverNow();
    EXPECT_FALSE(report.complete());
    EXPECT_EQ(report.waiting, 1);
    ASSERT_EQ(report.problems.size(), 1);
    EXPECT_TRUE(report.problems[0].startsWith(u"Messages wait in the Outbox"_s));
    EXPECT_EQ(files(u"Outbox"_s).size(), 1);

    // A password never crosses the network unencrypted; nothing is tried, nothing counted.
    set(u"Kind"_s, u"smtp"_s);
    set(u"Host"_s, u"mail.example.org"_s);
    set(u"Security"_s, u"none"_s);
    set(u"User"_s, u"ann"_s);
    set(u"PasswordCommand"_s, u"echo secret"_s);
    const DeliveryReport refused = agent->deliverNow();
    ASSERT_EQ(refused.problems.size(), 1);
    EXPECT_TRUE(refused.problems[0].contains(u"unencrypted"_s));
    EXPECT_EQ(outbox()[u"Waiting"_s].state, u"queued"_s);
    EXPECT_EQ(outbox()[u"Waiting"_s].attempts, 0);
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

    auto outcome = bySubject(agent->deliverNow());
    EXPECT_EQ(outcome[u"Fine"_s].outcome, DeliveryReport::Outcome::Delivered);
    EXPECT_EQ(outcome[u"Later"_s].outcome, DeliveryReport::Outcome::Deferred);
    EXPECT_EQ(outcome[u"Wrong"_s].outcome, DeliveryReport::Outcome::Failed);
    EXPECT_TRUE(outcome[u"Wrong"_s].reason.contains(u"unknown user"_s));

    QFile args(records + u"/1.args"_s);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(args.readAll()).split(u'\n', Qt::SkipEmptyParts),
              (QStringList{u"-oi"_s, u"-f"_s, u"ann@example.org"_s, u"--"_s, u"bob@example.org"_s,
                           u"dave@example.org"_s}));
    QFile message(records + u"/1.msg"_s);
    ASSERT_TRUE(message.open(QIODevice::ReadOnly));
    const QByteArray bytes = message.readAll();
    EXPECT_FALSE(bytes.contains("dave@"));
    EXPECT_FALSE(bytes.contains('\r'));
    EXPECT_EQ(outbox()[u"Later"_s].state, u"deferred"_s);
}

TEST_F(DeliveryTest, TheSessionsAgentDeliversWhatIsSentAndStopsWithTheSession)
{
    useServer();
    {
        LocalApplication app({{u"Personal Folders"_s, store}}, {}, settings.get());
        const auto item = app.CreateItem(0);
        item->setSubject(u"In the background"_s);
        item->setTo(u"bob@example.org"_s);
        item->Send();
        QElapsedTimer timer;
        timer.start();
        while (files(u"Sent Items"_s).isEmpty() && timer.elapsed() < 15000)
            QThread::msleep(20);
    }
    EXPECT_EQ(files(u"Sent Items"_s).size(), 1);
    EXPECT_EQ(server->received().size(), 1u);
}

} // namespace
} // namespace corvel
