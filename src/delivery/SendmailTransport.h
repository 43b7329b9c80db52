#pragma once

#include "message/MailTransport.h"

#include <QStringList>

namespace corvel {

// Hands each message to a sendmail-compatible program: the command (no shell), "-f" and the
// sender, "--" and the recipients, the message on its standard input. Exit status 0 is
// accepted, 75 (EX_TEMPFAIL) temporary, anything else permanent; a program that dies after it
// was given the message leaves the outcome unknown.
class SendmailTransport : public MailTransport
{
public:
    explicit SendmailTransport(QStringList command, int timeoutMs = 300000);

    [[nodiscard]] LineEnds lineEnds() const override { return LineEnds::Lf; }
    [[nodiscard]] SendOutcome send(const MailEnvelope &envelope,
                                   const QByteArray &message) override;
    void close() override {}

private:
    QStringList m_command;
    int m_timeoutMs;
};

} // namespace corvel
