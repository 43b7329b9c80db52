#include "secrets/PasswordSource.h"

#include "secrets/Keyring.h"

#include <QDeadlineTimer>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr int CommandSeconds = 60; // long enough to type a passphrase into an agent

} // namespace

Result<QString> PasswordSource::read(const std::atomic<bool> *cancelled) const
{
    if (!keyringKey.isEmpty())
        return Keyring().read(keyringKey, cancelled);
    if (command.isEmpty())
        return QString();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(command.first(), command.mid(1));
    if (!process.waitForStarted(CommandSeconds * 1000))
        return Result<QString>::failure(
            u"The password command failed for %1: %2"_s.arg(owner, process.errorString()));
    process.closeWriteChannel();
    QDeadlineTimer deadline(CommandSeconds * 1000);
    while (!process.waitForFinished(100)) {
        const bool stop = cancelled && cancelled->load();
        if (!stop && !deadline.hasExpired() && process.state() != QProcess::NotRunning)
            continue;
        process.kill();
        process.waitForFinished();
        return Result<QString>::failure(
            stop ? u"The password command for %1 was stopped."_s.arg(owner)
                 : u"The password command for %1 did not end within %2 s."_s.arg(owner).arg(
                       CommandSeconds));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return Result<QString>::failure(
            u"The password command failed for %1 (exit status %2)."_s.arg(owner).arg(
                process.exitCode()));
    QByteArray output = process.readAllStandardOutput();
    if (const qsizetype end = output.indexOf('\n'); end >= 0)
        output.truncate(end);
    if (output.endsWith('\r'))
        output.chop(1);
    return QString::fromUtf8(output);
}

} // namespace corvel
