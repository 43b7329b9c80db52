#include "delivery/ExternalCommand.h"

#include <QProcess>

using namespace Qt::StringLiterals;

namespace corvel {

QStringList ExternalCommand::split(const QString &commandLine)
{
    return QProcess::splitCommand(commandLine);
}

ExternalCommand::Outcome ExternalCommand::run(const QStringList &command, const QByteArray &input,
                                              int timeoutMs)
{
    Outcome outcome;
    if (command.isEmpty()) {
        outcome.problem = u"No command is set."_s;
        return outcome;
    }
    QProcess process;
    process.setProgram(command.first());
    process.setArguments(command.mid(1));
    process.start(QIODevice::ReadWrite);
    if (!process.waitForStarted(timeoutMs)) {
        outcome.problem = u"%1 cannot be started: %2"_s.arg(command.first(), process.errorString());
        return outcome;
    }
    outcome.started = true;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        outcome.problem = u"%1 did not finish in time."_s.arg(command.first());
    } else if (process.exitStatus() != QProcess::NormalExit) {
        outcome.problem = u"%1 stopped abnormally."_s.arg(command.first());
    } else {
        outcome.finished = true;
        outcome.exitCode = process.exitCode();
    }
    outcome.output = process.readAllStandardOutput();
    outcome.errors = process.readAllStandardError();
    return outcome;
}

} // namespace corvel
