#include "outlook/SmtpTransport.h"

#include "outlook/ExternalCommand.h"

#include <QSysInfo>
#include <QUrl>

#include <curl/curl.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>

using namespace Qt::StringLiterals;

namespace corvel {

struct SmtpTransport::Exchange
{
    enum class Phase
    {
        Opening,
        Mail,
        Recipients,
        Data,
        Body
    };

    const QByteArray *message = nullptr;
    qsizetype offset = 0;
    bool bodyEnded = false; // the read callback gave everything: the end mark follows
    Phase phase = Phase::Opening;
    QByteArray pendingIn;
    QString reply; // the last complete reply, continuation lines joined
    std::deque<QString> askedRecipients;
    std::vector<RecipientRefusal> refused;
    int acceptedRecipients = 0;
    int negativeCode = 0; // first refusal of MAIL, DATA or the opening
    QString negativeReply;
    Phase negativePhase = Phase::Opening;
    bool finalSeen = false;
    int finalCode = 0;
    QString finalReply;
    std::function<bool()> stopRequested;
    std::chrono::steady_clock::time_point stopSeenAt{};

    void command(const QByteArray &line)
    {
        const QByteArray upper = line.trimmed().toUpper();
        if (upper.startsWith("MAIL FROM")) {
            phase = Phase::Mail;
        } else if (upper.startsWith("RCPT TO")) {
            phase = Phase::Recipients;
            const qsizetype open = line.indexOf('<');
            const qsizetype close = line.lastIndexOf('>');
            askedRecipients.push_back(open >= 0 && close > open
                                          ? QString::fromUtf8(line.mid(open + 1, close - open - 1))
                                          : QString::fromUtf8(line.mid(8).trimmed()));
        } else if (upper == "DATA") {
            phase = Phase::Data;
        } else if (!upper.isEmpty()) {
            phase = Phase::Opening;
        }
    }

    void replyLine(const QByteArray &rawLine)
    {
        QByteArray line = rawLine;
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.size() < 3)
            return;
        const bool last = line.size() == 3 || line[3] != '-';
        reply += (reply.isEmpty() ? QString() : u" "_s) + QString::fromUtf8(line).simplified();
        if (!last)
            return;
        const int code = line.left(3).toInt();
        const QString text = reply;
        reply.clear();
        if (bodyEnded) {
            finalSeen = true;
            finalCode = code;
            finalReply = text;
            return;
        }
        switch (phase) {
        case Phase::Recipients:
            if (!askedRecipients.empty()) {
                const QString address = askedRecipients.front();
                askedRecipients.pop_front();
                if (code >= 400)
                    refused.push_back({address, text, code < 500});
                else
                    ++acceptedRecipients;
            }
            return;
        case Phase::Data:
            if (code == 354) {
                phase = Phase::Body;
                return;
            }
            break;
        case Phase::Body:
            return;
        case Phase::Opening:
        case Phase::Mail:
            break;
        }
        if (code >= 400 && negativeCode == 0) {
            negativeCode = code;
            negativeReply = text;
            negativePhase = phase;
        }
    }

    void input(const char *data, size_t size)
    {
        pendingIn.append(data, qsizetype(size));
        qsizetype newline;
        while ((newline = pendingIn.indexOf('\n')) >= 0) {
            replyLine(pendingIn.left(newline + 1));
            pendingIn.remove(0, newline + 1);
        }
    }
};

namespace {

void ensureCurl()
{
    static std::once_flag started;
    std::call_once(started, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int onDebug(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    auto *exchange = static_cast<SmtpTransport::Exchange *>(user);
    if (type == CURLINFO_HEADER_OUT) {
        const QByteArray text(data, qsizetype(size));
        for (const QByteArray &line : text.split('\n')) {
            if (!line.trimmed().isEmpty())
                exchange->command(line);
        }
    } else if (type == CURLINFO_HEADER_IN) {
        exchange->input(data, size);
    }
    return 0;
}

size_t onRead(char *buffer, size_t size, size_t count, void *user)
{
    auto *exchange = static_cast<SmtpTransport::Exchange *>(user);
    const qsizetype left = exchange->message->size() - exchange->offset;
    const qsizetype n = std::min<qsizetype>(left, qsizetype(size * count));
    if (n > 0) {
        std::memcpy(buffer, exchange->message->constData() + exchange->offset, size_t(n));
        exchange->offset += n;
    }
    // From here on the end mark may be on its way: a lost answer is an unknown outcome.
    if (exchange->offset >= exchange->message->size())
        exchange->bodyEnded = true;
    exchange->phase = SmtpTransport::Exchange::Phase::Body;
    return size_t(n);
}

// A stop waits for the answer to a message already sent, but not for ever.
int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto *exchange = static_cast<SmtpTransport::Exchange *>(user);
    if (!exchange->stopRequested || !exchange->stopRequested())
        return 0;
    const auto now = std::chrono::steady_clock::now();
    if (exchange->stopSeenAt == std::chrono::steady_clock::time_point{})
        exchange->stopSeenAt = now;
    if (!exchange->bodyEnded)
        return 1;
    return now - exchange->stopSeenAt > std::chrono::seconds(30) ? 1 : 0;
}

QString curlReason(CURLcode code, const char *detail)
{
    const QString text = QString::fromUtf8(detail && *detail ? detail : curl_easy_strerror(code));
    return text.trimmed();
}

bool isConnectError(CURLcode code)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_USE_SSL_FAILED:
    case CURLE_LOGIN_DENIED:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_SSL_CACERT_BADFILE:
        return true;
    default:
        return false;
    }
}

} // namespace

SmtpTransport::SmtpTransport(TransportSettings settings, std::function<bool()> stopRequested)
    : m_settings(std::move(settings))
    , m_stopRequested(std::move(stopRequested))
{
}

SmtpTransport::~SmtpTransport()
{
    close();
}

QString SmtpTransport::prepare()
{
    if (m_prepared)
        return {};
    ensureCurl();
    if (!m_settings.problem.isEmpty())
        return m_settings.problem;
    const bool encrypted = m_settings.security != TransportSettings::Security::None;
    if (!m_settings.user.isEmpty() && !encrypted &&
        !TransportSettings::isLoopbackHost(m_settings.host))
        return u"The password would cross the network unencrypted to %1: set Security to "
               "starttls or tls (settings section \"Transport\")."_s.arg(m_settings.host);
    if (!m_settings.user.isEmpty()) {
        if (m_settings.passwordCommand.isEmpty())
            return u"No password command is set for %1 (settings section \"Transport\", key "
                   "\"PasswordCommand\")."_s.arg(m_settings.user);
        const ExternalCommand::Outcome ran =
            ExternalCommand::run(ExternalCommand::split(m_settings.passwordCommand), {}, 60000);
        if (!ran.finished || ran.exitCode != 0)
            return u"The password command failed%1"_s.arg(
                ran.problem.isEmpty() ? u"."_s : u": "_s + ran.problem);
        QByteArray line = ran.output;
        if (const qsizetype newline = line.indexOf('\n'); newline >= 0)
            line.truncate(newline);
        if (line.endsWith('\r'))
            line.chop(1);
        m_password = line;
        m_user = m_settings.user.toUtf8();
    }
    QUrl url;
    url.setScheme(m_settings.security == TransportSettings::Security::Tls ? u"smtps"_s : u"smtp"_s);
    url.setHost(m_settings.host);
    url.setPort(m_settings.effectivePort());
    // The path is the name the client greets the server with.
    QString self = QSysInfo::machineHostName();
    url.setPath(u"/"_s + (self.isEmpty() ? u"localhost"_s : self));
    m_url = url.toEncoded();
    m_prepared = true;
    return {};
}

SendOutcome SmtpTransport::send(const MailEnvelope &envelope, const QByteArray &message)
{
    if (const QString problem = prepare(); !problem.isEmpty())
        return {SendOutcome::Kind::Unavailable, problem, {}};
    if (!m_curl)
        m_curl = curl_easy_init();
    CURL *curl = static_cast<CURL *>(m_curl);
    if (!curl)
        return {SendOutcome::Kind::Unavailable, u"The mail library cannot be started."_s, {}};

    Exchange exchange;
    exchange.message = &message;
    exchange.stopRequested = m_stopRequested;
    const QByteArray from = '<' + envelope.from.toUtf8() + '>';
    curl_slist *recipients = nullptr;
    for (const QString &recipient : envelope.recipients)
        recipients = curl_slist_append(recipients, ('<' + recipient.toUtf8() + '>').constData());
    char errors[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, m_url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, 120L);
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     m_settings.security == TransportSettings::Security::StartTls
                         ? long(CURLUSESSL_ALL)
                         : long(CURLUSESSL_NONE));
    if (!m_user.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.constData());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT_ALLLOWFAILS, 1L);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    // The whole message in one buffer, so it leaves in large writes.
    curl_easy_setopt(curl, CURLOPT_UPLOAD_BUFFERSIZE,
                     long(std::clamp<qsizetype>(message.size() + 1024, 65536, 2 * 1024 * 1024)));
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, onRead);
    curl_easy_setopt(curl, CURLOPT_READDATA, &exchange);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &exchange);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &exchange);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errors);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, m_fresh ? 1L : 0L);
    m_fresh = false;

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(recipients);

    SendOutcome outcome;
    outcome.refused = exchange.refused;
    if (exchange.finalSeen) {
        outcome.reply = exchange.finalReply;
        outcome.kind = exchange.finalCode < 400   ? SendOutcome::Kind::Accepted
                       : exchange.finalCode < 500 ? SendOutcome::Kind::Deferred
                                                  : SendOutcome::Kind::Failed;
        if (outcome.kind == SendOutcome::Kind::Accepted && code != CURLE_OK)
            m_fresh = true; // the server answered, but the connection is in doubt
        return outcome;
    }
    if (code == CURLE_OK) {
        outcome.kind = SendOutcome::Kind::Accepted;
        return outcome;
    }
    m_fresh = true;
    const QString reason = curlReason(code, errors);
    if (exchange.bodyEnded) {
        outcome.kind = SendOutcome::Kind::Unknown;
        outcome.reply = u"No answer from the server after the whole message was sent (%1): it "
                        "may have been delivered."_s.arg(reason);
        return outcome;
    }
    if (exchange.phase == Exchange::Phase::Recipients || !exchange.refused.empty()) {
        if (exchange.acceptedRecipients == 0 && !exchange.refused.empty() &&
            exchange.askedRecipients.empty()) {
            bool temporary = false;
            QStringList replies;
            for (const auto &refusal : exchange.refused) {
                temporary = temporary || refusal.temporary;
                replies << refusal.address + u": "_s + refusal.reply;
            }
            outcome.kind = temporary ? SendOutcome::Kind::Deferred : SendOutcome::Kind::Failed;
            outcome.reply = u"Every recipient was refused: "_s + replies.join(u"; "_s);
            return outcome;
        }
    }
    if (exchange.negativeCode != 0) {
        outcome.reply = exchange.negativeReply;
        if (exchange.negativePhase == Exchange::Phase::Opening) {
            outcome.kind = SendOutcome::Kind::Unavailable;
            outcome.reply = u"The server %1 refused the session: %2"_s.arg(m_settings.host,
                                                                           exchange.negativeReply);
        } else {
            outcome.kind = exchange.negativeCode < 500 ? SendOutcome::Kind::Deferred
                                                       : SendOutcome::Kind::Failed;
        }
        return outcome;
    }
    if (exchange.phase == Exchange::Phase::Opening && isConnectError(code)) {
        outcome.kind = SendOutcome::Kind::Unavailable;
        outcome.reply = u"The server %1 port %2 cannot be used: %3"_s.arg(m_settings.host)
                            .arg(m_settings.effectivePort())
                            .arg(reason);
        return outcome;
    }
    if (exchange.phase == Exchange::Phase::Opening && code == CURLE_ABORTED_BY_CALLBACK) {
        outcome.kind = SendOutcome::Kind::Unavailable;
        outcome.reply = u"Delivery was stopped."_s;
        return outcome;
    }
    outcome.kind = SendOutcome::Kind::Deferred;
    outcome.reply = u"The connection was lost before the server answered: %1"_s.arg(reason);
    return outcome;
}

void SmtpTransport::close()
{
    if (m_curl) {
        // Cleaning up the handle ends its connection with QUIT.
        curl_easy_cleanup(static_cast<CURL *>(m_curl));
        m_curl = nullptr;
    }
}

} // namespace corvel
