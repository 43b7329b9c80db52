#include "delivery/SendmailTransport.h"

#include "delivery/ExternalCommand.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr int ExitTemporaryFailure = 75;

QString firstLines(const QByteArray &text)
{
    return QString::fromUtf8(text).trimmed().left(500);
}

} // namespace

SendmailTransport::SendmailTransport(QStringList command, int timeoutMs)
    : m_command(std::move(command))
    , m_timeoutMs(timeoutMs)
{
}

SendOutcome SendmailTransport::send(const MailEnvelope &envelope, const QByteArray &message)
{
    QStringList command = m_command;
    command << u"-f"_s << envelope.from << u"--"_s;
    for (const QString &recipient : envelope.recipients)
        command << recipient;
    if (!dataLeaving())
        return {
            SendOutcome::Kind::Unavailable, u"The progress of delivery cannot be recorded."_s, {}};
    const ExternalCommand::Outcome ran = ExternalCommand::run(command, message, m_timeoutMs);
    if (!ran.started)
        return {SendOutcome::Kind::Unavailable, ran.problem, {}};
    if (!ran.finished)
        return {SendOutcome::Kind::Unknown,
                u"%1 The message may have been sent: check before releasing it."_s.arg(ran.problem),
                {}};
    const QString said = firstLines(ran.errors);
    if (ran.exitCode == 0)
        return {SendOutcome::Kind::Accepted, said, {}};
    const QString reply = u"%1 exited with status %2%3"_s.arg(m_command.first())
                              .arg(ran.exitCode)
                              .arg(said.isEmpty() ? QString() : u": "_s + said);
    if (ran.exitCode == ExitTemporaryFailure)
        return {SendOutcome::Kind::Deferred, reply, {}};
    return {SendOutcome::Kind::Failed, reply, {}};
}

} // namespace corvel
