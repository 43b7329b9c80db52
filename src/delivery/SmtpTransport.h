#pragma once

#include "delivery/SmtpConnection.h"
#include "delivery/TransportSettings.h"
#include "message/MailTransport.h"
#include "support/Result.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvel {

// How long an SMTP client waits for each step.
struct SmtpTimeouts
{
    int connectMs = 30 * 1000;
    int commandMs = 5 * 60 * 1000;
    int finalReplyMs = 10 * 60 * 1000; // as long as servers may take after the data
    int afterStopMs = 30 * 1000;
};

// Sends over SMTP on one connection kept for consecutive messages. Where the server offers
// PIPELINING, a message costs two round trips: MAIL, every RCPT and DATA in one write, then
// the dot-stuffed message and its end mark in another; and one when the next message is
// expected (expectNext): its MAIL, RCPT and DATA go in the write of this one's data, and their
// replies are read after this one's (the server acts on them only once this message is
// answered, and no data of the next leaves before its turn). Every recipient is tried and each
// refusal kept with the server's reply. A reply before the message's end decides between
// temporary and permanent; no reply after its end leaves the outcome unknown, and the
// connection is dropped. (A general-purpose client library answered each command in lock step,
// four round trips per message; it was slower than the target and than our peers: see
// bench/README.md.)
class SmtpTransport : public MailTransport
{
public:
    // `stopRequested` is polled while waiting; a message whose end has gone is still given time
    // to be answered.
    explicit SmtpTransport(TransportSettings settings, std::function<bool()> stopRequested = {},
                           SmtpTimeouts timeouts = SmtpTimeouts());
    ~SmtpTransport() override;

    [[nodiscard]] LineEnds lineEnds() const override { return LineEnds::Crlf; }
    [[nodiscard]] SendOutcome send(const MailEnvelope &envelope,
                                   const QByteArray &message) override;
    void close() override;
    void expectNext(const MailEnvelope &envelope, const QByteArray &message) override;

    // The message as it goes after DATA: lines starting with "." doubled, the end mark added.
    [[nodiscard]] static QByteArray dataBlock(const QByteArray &message);

private:
    // A message whose commands are made ahead of its turn.
    struct Early
    {
        MailEnvelope envelope;
        QByteArray message;
        QByteArray block;                 // dataBlock(message)
        std::vector<QByteArray> commands; // MAIL, each RCPT, DATA
        [[nodiscard]] bool carries(const MailEnvelope &other, const QByteArray &bytes) const;
    };

    [[nodiscard]] Early early(const MailEnvelope &envelope, const QByteArray &message) const;
    // Ends the connection without a word: the server may be waiting for a message's data.
    void drop();
    // Refuses settings that cannot work and runs the password command once.
    [[nodiscard]] Status readyToOpen();
    // Connects, greets, switches to TLS and logs in.
    [[nodiscard]] Status open();
    [[nodiscard]] Status logIn(const QString &server, const QStringList &ehloLines);
    [[nodiscard]] SendOutcome transaction(const MailEnvelope &envelope, const QByteArray &message,
                                          const std::optional<Early> &next, bool &nothingAnswered);
    // The replies to MAIL, each RCPT and DATA in their order (ending early when MAIL is refused
    // without pipelining); none when the connection failed, with nothingAnswered set when not
    // even the first reply came.
    [[nodiscard]] std::optional<std::vector<SmtpConnection::Reply>>
    envelopeReplies(const std::vector<QByteArray> &commands, bool sentEarly, bool &nothingAnswered);
    // Closes: the message is deferred.
    [[nodiscard]] SendOutcome lost(const QString &what);
    // Leaves the transaction without the message and returns `result`.
    [[nodiscard]] SendOutcome abandon(int dataCode, SendOutcome result);
    // Sends the message after DATA was answered 354, and the next one's envelope with it.
    [[nodiscard]] SendOutcome sendData(const QByteArray &block, const std::optional<Early> &next,
                                       std::vector<RecipientRefusal> refused);
    [[nodiscard]] SmtpConnection::Reply reply(int timeoutMs, bool patient = false);

    TransportSettings m_settings;
    std::function<bool()> m_stopRequested;
    SmtpTimeouts m_timeouts;
    std::unique_ptr<SmtpConnection> m_connection;
    QByteArray m_password;
    bool m_havePassword = false;
    bool m_pipelining = false;
    bool m_size = false;
    std::optional<Early> m_expected; // the message after the one being sent
    std::optional<Early> m_written;  // commands on the wire, replies not yet read
};

} // namespace corvel
