#pragma once

#include "outlook/MailTransport.h"
#include "outlook/TransportSettings.h"

#include <functional>

namespace corvel {

// Sends over SMTP with libcurl, one easy handle (so one connection) for consecutive messages.
// Every recipient is tried; the server's reply to each refused one is read from the protocol
// trace. A reply before the message's end decides between temporary and permanent; no reply
// after its end leaves the outcome unknown, and the connection is dropped.
class SmtpTransport : public MailTransport
{
public:
    // `stopRequested` is polled while a message is under way; a message whose end has gone
    // is still given time to be answered.
    explicit SmtpTransport(TransportSettings settings, std::function<bool()> stopRequested = {});
    ~SmtpTransport() override;
    SmtpTransport(const SmtpTransport &) = delete;
    SmtpTransport &operator=(const SmtpTransport &) = delete;

    [[nodiscard]] LineEnds lineEnds() const override { return LineEnds::Crlf; }
    [[nodiscard]] SendOutcome send(const MailEnvelope &envelope,
                                   const QByteArray &message) override;
    void close() override;

    struct Exchange; // what one send has seen of the protocol

private:
    [[nodiscard]] QString prepare();

    TransportSettings m_settings;
    std::function<bool()> m_stopRequested;
    void *m_curl = nullptr;
    QByteArray m_url;
    QByteArray m_user;
    QByteArray m_password;
    bool m_prepared = false;
    bool m_fresh = false; // the next send opens a new connection
};

} // namespace corvel
