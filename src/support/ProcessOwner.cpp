#include "support/ProcessOwner.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace corvel {

ProcessOwner ProcessOwner::current()
{
    return {qint64(::getpid()), currentBootId()};
}

QByteArray ProcessOwner::currentBootId()
{
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().trimmed();
}

bool ProcessOwner::processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QByteArray ProcessOwner::text() const
{
    return "pid=" + QByteArray::number(pid) + " boot=" + bootId;
}

ProcessOwner ProcessOwner::fromText(const QByteArray &text)
{
    ProcessOwner owner;
    for (const QByteArray &field : text.trimmed().split(' ')) {
        if (field.startsWith("pid="))
            owner.pid = field.mid(4).toLongLong();
        else if (field.startsWith("boot="))
            owner.bootId = field.mid(5);
    }
    return owner;
}

} // namespace corvel
