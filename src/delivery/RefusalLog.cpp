#include "delivery/RefusalLog.h"

#include "support/FileSync.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Only appended to; a huge one is not ours to read.
constexpr qint64 MaxLogBytes = qint64(64) << 20;

} // namespace

QString RefusalLog::path(const QString &sentDirectory)
{
    return sentDirectory + u"/corvel-refused.log"_s;
}

Status RefusalLog::append(const QString &sentDirectory, const QString &unique,
                          const std::vector<RecipientRefusal> &refused, qint64 atMs)
{
    if (refused.empty())
        return {};
    QByteArray lines;
    for (const RecipientRefusal &refusal : refused)
        lines += QJsonDocument(QJsonObject{{u"message"_s, unique},
                                           {u"address"_s, refusal.address},
                                           {u"reply"_s, refusal.reply},
                                           {u"time"_s, double(atMs)}})
                     .toJson(QJsonDocument::Compact) +
                 '\n';
    const int fd = ::open(QFile::encodeName(path(sentDirectory)).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const bool ok = fd >= 0 && FileSync::writeAll(fd, lines) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok ? Status() : Status::failure(u"The refused recipients cannot be recorded."_s);
}

void RefusalLog::read(const QString &sentDirectory, const QSet<QString> &wanted,
                      QHash<QString, std::vector<RecipientRefusal>> &refusals)
{
    QFile log(path(sentDirectory));
    if (log.size() > MaxLogBytes || !log.open(QIODevice::ReadOnly))
        return;
    while (!log.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(log.readLine()).object();
        const QString unique = line.value(u"message"_s).toString();
        if (wanted.contains(unique))
            refusals[unique].push_back(
                {line.value(u"address"_s).toString(), line.value(u"reply"_s).toString(), false});
    }
}

} // namespace corvel
