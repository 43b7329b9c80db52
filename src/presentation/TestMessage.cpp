#include "presentation/TestMessage.h"

#include "delivery/DeliveryAgent.h"
#include "delivery/TransportSettings.h"
#include "message/MailTransport.h"
#include "presentation/MailSetupForm.h"

#include <QDateTime>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace corvel {

TransportSettings TestMessage::settingsOf(const MailSetupForm &form)
{
    const MailSetupForm::Transport &transport = form.transport();
    TransportSettings settings;
    switch (transport.kind) {
    case MailSetupForm::TransportKind::None:
        settings.kind = TransportSettings::Kind::None;
        break;
    case MailSetupForm::TransportKind::Smtp:
        settings.kind = TransportSettings::Kind::Smtp;
        break;
    case MailSetupForm::TransportKind::Sendmail:
        settings.kind = TransportSettings::Kind::Sendmail;
        break;
    }
    switch (transport.security) {
    case MailSetupForm::Security::None:
        settings.security = TransportSettings::Security::None;
        break;
    case MailSetupForm::Security::StartTls:
        settings.security = TransportSettings::Security::StartTls;
        break;
    case MailSetupForm::Security::Tls:
        settings.security = TransportSettings::Security::Tls;
        break;
    }
    settings.host = transport.host.trimmed();
    settings.port = transport.port;
    settings.user = transport.user;
    settings.passwordCommand = transport.passwordCommand;
    settings.passwordInKeyring = transport.passwordInKeyring;
    settings.sendmailCommand = transport.sendmailCommand;
    return settings;
}

QByteArray TestMessage::compose(const QString &from, bool crlf)
{
    const QByteArray address = from.trimmed().toUtf8();
    const QByteArray end = crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    QByteArray message;
    message += "From: " + address + end;
    message += "To: " + address + end;
    message += "Subject: Corvel test message" + end;
    message += "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() + end;
    message += "Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) +
               "@corvel.invalid>" + end;
    message += "MIME-Version: 1.0" + end;
    message += "Content-Type: text/plain; charset=utf-8" + end;
    message += "Content-Transfer-Encoding: 8bit" + end;
    message += end;
    message += "Corvel sent this message to test your mail settings." + end;
    return message;
}

QString TestMessage::send(const MailSetupForm &form, TransportFactory factory)
{
    if (!form.canSendTest())
        return u"Set up sending and your address first."_s;
    if (!factory)
        factory = DeliveryAgent::makeTransport;
    const QString from = form.transport().from.trimmed();
    const Result<std::unique_ptr<MailTransport>> made = factory(settingsOf(form), {});
    if (!made.ok())
        return u"The test message cannot be sent: %1"_s.arg(made.error());
    MailTransport *transport = made->get();
    const SendOutcome outcome = transport->send(
        {from, {from}}, compose(from, transport->lineEnds() == MailTransport::LineEnds::Crlf));
    transport->close();
    const QString reply = outcome.reply.trimmed();
    switch (outcome.kind) {
    case SendOutcome::Kind::Accepted:
        if (!outcome.refused.empty())
            return u"The test message was refused for %1: %2"_s.arg(from,
                                                                    outcome.refused.front().reply);
        return u"The test message to %1 was accepted. Look for it in your inbox."_s.arg(from);
    case SendOutcome::Kind::Deferred:
        return u"The test message was not accepted for now: %1"_s.arg(reply);
    case SendOutcome::Kind::Failed:
        return u"The test message was refused: %1"_s.arg(reply);
    case SendOutcome::Kind::Unknown:
        return u"No answer came after the test message was sent; it may have been taken. %1"_s.arg(
            reply);
    case SendOutcome::Kind::Unavailable:
        return u"The test message cannot be sent: %1"_s.arg(reply);
    }
    return {};
}

} // namespace corvel
