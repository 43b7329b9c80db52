#include "delivery/SmtpTransport.h"

#include "delivery/ExternalCommand.h"
#include "secrets/Keyring.h"
#include "secrets/PasswordSource.h"

#include <QSysInfo>

#include <chrono>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString greetingName()
{
    const QString host = QSysInfo::machineHostName();
    // A name the server can take: letters, digits, dots and hyphens only.
    QString name;
    for (const QChar c : host) {
        if (c.isLetterOrNumber() || c == u'.' || c == u'-')
            name += c;
    }
    return name.isEmpty() ? u"localhost"_s : name;
}

bool offers(const QStringList &capabilities, const QString &keyword)
{
    for (const QString &line : capabilities) {
        if (line.section(u' ', 0, 0).compare(keyword, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString mechanisms(const QStringList &capabilities)
{
    for (const QString &line : capabilities) {
        if (line.section(u' ', 0, 0).compare(u"AUTH"_s, Qt::CaseInsensitive) == 0)
            return line.section(u' ', 1).toUpper();
    }
    return {};
}

QByteArray joined(const std::vector<QByteArray> &commands)
{
    QByteArray group;
    for (const QByteArray &command : commands)
        group += command;
    return group;
}

SendOutcome::Kind kindOf(int code)
{
    return code < 400   ? SendOutcome::Kind::Accepted
           : code < 500 ? SendOutcome::Kind::Deferred
                        : SendOutcome::Kind::Failed;
}

struct RecipientTally
{
    std::vector<RecipientRefusal> refused;
    int accepted = 0;
    bool anyTemporary = false;
};

// The RCPT replies follow the one to MAIL; those missing were never asked for.
RecipientTally tallyRecipients(const std::vector<QString> &recipients,
                               const std::vector<SmtpConnection::Reply> &replies)
{
    RecipientTally tally;
    for (size_t i = 0; i < recipients.size() && i + 1 < replies.size(); ++i) {
        const SmtpConnection::Reply &r = replies[i + 1];
        if (r.code >= 400) {
            tally.refused.push_back({recipients[i], r.text, r.code < 500});
            tally.anyTemporary = tally.anyTemporary || r.code < 500;
        } else {
            ++tally.accepted;
        }
    }
    return tally;
}

} // namespace

SmtpTransport::SmtpTransport(TransportSettings settings, std::function<bool()> stopRequested,
                             SmtpTimeouts timeouts)
    : m_settings(std::move(settings))
    , m_stopRequested(std::move(stopRequested))
    , m_timeouts(timeouts)
{
}

SmtpTransport::~SmtpTransport()
{
    close();
}

QByteArray SmtpTransport::dataBlock(const QByteArray &message)
{
    QByteArray out;
    out.reserve(message.size() + 64);
    qsizetype start = 0;
    while (start < message.size()) {
        qsizetype end = message.indexOf('\n', start);
        end = end < 0 ? message.size() : end + 1;
        if (message[start] == '.')
            out += '.';
        out.append(message.constData() + start, end - start);
        start = end;
    }
    if (!out.isEmpty() && !out.endsWith("\r\n"))
        out += "\r\n";
    out += ".\r\n";
    return out;
}

SmtpConnection::Reply SmtpTransport::reply(int timeoutMs, bool patient)
{
    // A stop abandons a wait, except for the answer to a whole message: that one gets a while.
    auto stopSeen = std::chrono::steady_clock::time_point{};
    return m_connection->readReply(timeoutMs, [&] {
        if (!m_stopRequested || !m_stopRequested())
            return true;
        if (!patient)
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (stopSeen == std::chrono::steady_clock::time_point{})
            stopSeen = now;
        return now - stopSeen < std::chrono::milliseconds(m_timeouts.afterStopMs);
    });
}

Status SmtpTransport::readyToOpen()
{
    const auto fail = [](const QString &reason) { return Status::failure(reason); };
    if (!m_settings.problem.isEmpty())
        return fail(m_settings.problem);
    const bool encrypted = m_settings.security != TransportSettings::Security::None;
    const bool login = !m_settings.user.isEmpty();
    if (login && !encrypted && !TransportSettings::isLoopbackHost(m_settings.host))
        return fail(u"The password would cross the network unencrypted to %1: set Security to "
                    "starttls or tls (settings section \"Transport\")."_s.arg(m_settings.host));
    if (!login || m_havePassword)
        return {};
    PasswordSource source;
    source.owner = u"the mail server %1"_s.arg(m_settings.host);
    if (m_settings.passwordInKeyring)
        source.keyringKey = Keyring::transportKey();
    else if (!m_settings.passwordCommand.isEmpty())
        source.command = ExternalCommand::split(m_settings.passwordCommand);
    else
        return fail(u"No password command is set for %1 (settings section \"Transport\", key "
                    "\"PasswordCommand\", or \"PasswordStore\" keyring)."_s.arg(m_settings.user));
    const Result<QString> password = source.read();
    if (!password.ok())
        return fail(password.error());
    const QByteArray line = password->toUtf8();
    m_password = line;
    m_havePassword = true;
    return {};
}

Status SmtpTransport::open()
{
    if (const Status ready = readyToOpen(); !ready.ok())
        return ready;
    m_connection = std::make_unique<SmtpConnection>();
    SmtpConnection &c = *m_connection;
    const auto fail = [](const QString &reason) { return Status::failure(reason); };
    const QString server = u"%1 port %2"_s.arg(m_settings.host).arg(m_settings.effectivePort());
    if (!c.connectTo(m_settings.host, m_settings.effectivePort(), m_timeouts.connectMs))
        return fail(c.error());
    if (m_settings.security == TransportSettings::Security::Tls &&
        !c.startTls(m_settings.host, m_timeouts.connectMs, m_settings.caFile))
        return fail(c.error());
    SmtpConnection::Reply r = reply(m_timeouts.commandMs);
    if (r.code != 220)
        return fail(u"The server %1 did not greet: %2"_s.arg(server, r.code ? r.text : c.error()));
    const QByteArray ehlo = "EHLO " + greetingName().toLatin1() + "\r\n";
    if (!c.write(ehlo) || (r = reply(m_timeouts.commandMs)).code != 250)
        return fail(
            u"The server %1 refused the greeting: %2"_s.arg(server, r.code ? r.text : c.error()));
    if (m_settings.security == TransportSettings::Security::StartTls) {
        if (!offers(r.lines, u"STARTTLS"_s))
            return fail(u"The server %1 does not offer STARTTLS."_s.arg(server));
        if (!c.write("STARTTLS\r\n") || (r = reply(m_timeouts.commandMs)).code != 220)
            return fail(
                u"The server %1 refused STARTTLS: %2"_s.arg(server, r.code ? r.text : c.error()));
        if (!c.startTls(m_settings.host, m_timeouts.connectMs, m_settings.caFile))
            return fail(c.error());
        // What was offered before encryption no longer counts.
        if (!c.write(ehlo) || (r = reply(m_timeouts.commandMs)).code != 250)
            return fail(u"The server %1 refused the greeting: %2"_s.arg(
                server, r.code ? r.text : c.error()));
    }
    m_pipelining = offers(r.lines, u"PIPELINING"_s);
    m_size = offers(r.lines, u"SIZE"_s);
    return m_settings.user.isEmpty() ? Status() : logIn(server, r.lines);
}

Status SmtpTransport::logIn(const QString &server, const QStringList &ehloLines)
{
    SmtpConnection &c = *m_connection;
    const auto fail = [](const QString &reason) { return Status::failure(reason); };
    const QString offered = mechanisms(ehloLines);
    const QByteArray user = m_settings.user.toUtf8();
    SmtpConnection::Reply r;
    if (offered.contains(u"PLAIN"_s)) {
        const QByteArray token = ('\0' + user + '\0' + m_password).toBase64();
        if (!c.write("AUTH PLAIN " + token + "\r\n"))
            return fail(c.error());
        r = reply(m_timeouts.commandMs);
    } else if (offered.contains(u"LOGIN"_s)) {
        if (!c.write("AUTH LOGIN\r\n") || (r = reply(m_timeouts.commandMs)).code != 334 ||
            !c.write(user.toBase64() + "\r\n") || (r = reply(m_timeouts.commandMs)).code != 334 ||
            !c.write(m_password.toBase64() + "\r\n"))
            return fail(
                u"The server %1 refused the log-in: %2"_s.arg(server, r.code ? r.text : c.error()));
        r = reply(m_timeouts.commandMs);
    } else {
        return fail(
            u"The server %1 offers no log-in this program knows (PLAIN, LOGIN)."_s.arg(server));
    }
    if (r.code != 235)
        return fail(u"The server %1 refused the log-in of %2: %3"_s.arg(
            server, m_settings.user, r.code ? r.text : c.error()));
    return {};
}

void SmtpTransport::expectNext(const MailEnvelope &envelope, const QByteArray &message)
{
    m_expected = early(envelope, message);
}

bool SmtpTransport::Early::carries(const MailEnvelope &other, const QByteArray &bytes) const
{
    return envelope.from == other.from && envelope.recipients == other.recipients &&
           message == bytes;
}

SmtpTransport::Early SmtpTransport::early(const MailEnvelope &envelope,
                                          const QByteArray &message) const
{
    Early e{envelope, message, dataBlock(message), {}};
    QByteArray mail = "MAIL FROM:<" + envelope.from.toUtf8() + '>';
    if (m_size)
        mail += " SIZE=" + QByteArray::number(e.block.size());
    mail += "\r\n";
    e.commands.push_back(mail);
    for (const QString &recipient : envelope.recipients)
        e.commands.push_back("RCPT TO:<" + recipient.toUtf8() + ">\r\n");
    e.commands.push_back("DATA\r\n");
    return e;
}

SendOutcome SmtpTransport::send(const MailEnvelope &envelope, const QByteArray &message)
{
    // A hint for the message after this one, good for this send only.
    std::optional<Early> next = std::exchange(m_expected, std::nullopt);
    // Commands sent early for another message: the server may be waiting for its data, and
    // only a dropped connection ends that without taking a message.
    if (m_written && !m_written->carries(envelope, message))
        drop();
    // A connection that died while idle is found only by using it: one more try on a new one
    // when nothing at all was answered for this message.
    for (int attempt = 0;; ++attempt) {
        if (!m_connection || !m_connection->isOpen()) {
            if (const Status opened = open(); !opened.ok()) {
                close();
                return {SendOutcome::Kind::Unavailable, opened.error(), {}};
            }
        }
        bool nothingAnswered = false;
        SendOutcome outcome = transaction(envelope, message, next, nothingAnswered);
        if (!nothingAnswered || attempt > 0)
            return outcome;
        close();
    }
}

SendOutcome SmtpTransport::transaction(const MailEnvelope &envelope, const QByteArray &message,
                                       const std::optional<Early> &next, bool &nothingAnswered)
{
    // Sent already with the data of the message before, or to be sent now.
    const bool sentEarly = m_written.has_value();
    const Early self =
        sentEarly ? *std::exchange(m_written, std::nullopt) : early(envelope, message);
    const std::optional<std::vector<SmtpConnection::Reply>> replies =
        envelopeReplies(self.commands, sentEarly, nothingAnswered);
    if (!replies)
        return lost(u"the envelope"_s);

    const RecipientTally tally = tallyRecipients(envelope.recipients, *replies);
    const SmtpConnection::Reply &mailReply = replies->front();
    const bool dataReached = replies->size() == self.commands.size();
    const int dataCode = dataReached ? replies->back().code : 0;

    if (mailReply.code >= 400)
        return abandon(dataCode, {kindOf(mailReply.code), mailReply.text, tally.refused});
    if (tally.accepted == 0) {
        QStringList texts;
        for (const RecipientRefusal &refusal : tally.refused)
            texts << refusal.address + u": "_s + refusal.reply;
        return abandon(
            dataCode, {tally.anyTemporary ? SendOutcome::Kind::Deferred : SendOutcome::Kind::Failed,
                       u"Every recipient was refused: "_s + texts.join(u"; "_s), tally.refused});
    }
    if (dataCode != 354)
        return abandon(dataCode, {kindOf(dataCode >= 400 ? dataCode : 451), replies->back().text,
                                  tally.refused});
    return sendData(self.block, next, tally.refused);
}

std::optional<std::vector<SmtpConnection::Reply>>
SmtpTransport::envelopeReplies(const std::vector<QByteArray> &commands, bool sentEarly,
                               bool &nothingAnswered)
{
    SmtpConnection &c = *m_connection;
    std::vector<SmtpConnection::Reply> replies;
    if (m_pipelining) {
        if (!sentEarly && !c.write(joined(commands))) {
            nothingAnswered = true;
            return std::nullopt;
        }
        for (size_t i = 0; i < commands.size(); ++i) {
            SmtpConnection::Reply r = reply(m_timeouts.commandMs);
            if (r.code == 0) {
                nothingAnswered = i == 0;
                return std::nullopt;
            }
            replies.push_back(std::move(r));
        }
    } else {
        for (size_t i = 0; i < commands.size(); ++i) {
            SmtpConnection::Reply r;
            if (!c.write(commands[i]) || (r = reply(m_timeouts.commandMs)).code == 0) {
                nothingAnswered = i == 0;
                return std::nullopt;
            }
            const bool mailRefused = i == 0 && r.code >= 400;
            replies.push_back(std::move(r));
            if (mailRefused)
                break;
        }
    }
    return replies;
}

SendOutcome SmtpTransport::lost(const QString &what)
{
    SendOutcome outcome{SendOutcome::Kind::Deferred,
                        u"The connection was lost before the server answered %1: %2"_s.arg(
                            what, m_connection->error()),
                        {}};
    close();
    return outcome;
}

SendOutcome SmtpTransport::abandon(int dataCode, SendOutcome result)
{
    SmtpConnection &c = *m_connection;
    // Out of the transaction, so that the connection serves the next message.
    if (dataCode == 354 && !c.write(".\r\n"))
        close();
    else if (dataCode == 354 && reply(m_timeouts.commandMs).code == 0)
        close();
    if (c.isOpen() && (!c.write("RSET\r\n") || reply(m_timeouts.commandMs).code != 250))
        close();
    return result;
}

SendOutcome SmtpTransport::sendData(const QByteArray &block, const std::optional<Early> &next,
                                    std::vector<RecipientRefusal> refused)
{
    SmtpConnection &c = *m_connection;
    SendOutcome outcome;
    outcome.refused = std::move(refused);
    if (!dataLeaving()) {
        // Nothing of the message went: leave the server before it could take any.
        close();
        return {SendOutcome::Kind::Unavailable, u"The progress of delivery cannot be recorded."_s,
                outcome.refused};
    }
    // The next message's envelope rides along; its replies follow this one's.
    const bool ahead = m_pipelining && next;
    if (!c.write(ahead ? block + joined(next->commands) : block))
        return lost(u"the message"_s);
    if (ahead)
        m_written = next;
    // From here on the server may have taken it: no answer means the outcome is unknown.
    const SmtpConnection::Reply final = reply(m_timeouts.finalReplyMs, true);
    if (final.code == 0) {
        outcome.kind = SendOutcome::Kind::Unknown;
        outcome.reply = u"No answer from the server after the whole message was sent (%1): it "
                        "may have been delivered."_s.arg(c.error());
        close();
        return outcome;
    }
    outcome.kind = kindOf(final.code);
    outcome.reply = final.text;
    return outcome;
}

void SmtpTransport::drop()
{
    if (m_connection)
        m_connection->close();
    m_written.reset();
}

void SmtpTransport::close()
{
    if (m_written) {
        drop();
        return;
    }
    if (m_connection && m_connection->isOpen()) {
        // A polite end; its answer does not matter.
        if (m_connection->write("QUIT\r\n"))
            (void)m_connection->readReply(2000);
        m_connection->close();
    }
}

} // namespace corvel
