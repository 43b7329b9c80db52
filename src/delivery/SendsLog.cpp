#include "delivery/SendsLog.h"

#include "support/AtomicFile.h"
#include "support/FileSync.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

constexpr QByteArrayView Header = "#corvel-sends 1";
// Old lines cost a little at every read; rewriting costs two fsyncs. Rewrite when they pile up.
constexpr int DroppedWorthRewriting = 500;

bool allDigits(QByteArrayView field)
{
    return !field.isEmpty() && field.size() <= 18 &&
           std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool allNul(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == '\0'; });
}

QByteArray lineOf(const RateLimits::Send &send)
{
    QByteArray line = QByteArray::number(send.atMs) + " 1";
    if (send.recipients != 1)
        line += ' ' + QByteArray::number(send.recipients);
    return line + '\n';
}

} // namespace

SendsLog::SendsLog(QString folderDirectory)
    : m_directory(std::move(folderDirectory))
{
}

SendsLog::~SendsLog()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString SendsLog::fileName()
{
    return u"corvel-outbox.sends"_s;
}

QString SendsLog::path() const
{
    return m_directory + u'/' + fileName();
}

Status SendsLog::load(qint64 nowMs, qint64 memoryMs)
{
    m_sent.clear();
    m_sends.clear();
    m_dropped = 0;
    m_cutShort = false;
    m_readable = false;
    QFile file(path());
    if (!file.exists()) {
        m_readable = true;
        return {};
    }
    const auto unreadable = [&](const QString &why) {
        return Status::failure(
            u"The record of messages sent %1 cannot be read (%2); it is left as it is, and "
            "nothing is sent while a rate limit is set and it is not mended or removed."_s.arg(
                path(), why));
    };
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    // A day of sends at any sane limit is far below this; more is not our file.
    if (file.size() > 64 * 1024 * 1024)
        return unreadable(u"it is too large"_s);
    const QByteArray bytes = file.readAll();
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() == 1 && Header.startsWith(lines.front())) {
        // Made, and its first line never (wholly) written.
        m_cutShort = true;
        m_readable = true;
        return {};
    }
    if (lines.front() != Header)
        return unreadable(u"its first line is not \"%1\""_s.arg(QString::fromLatin1(Header)));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const bool last = i + 1 == lines.size();
        if (line.isEmpty() && last)
            continue;
        if (last || allNul(line)) {
            // Without its line end, or never written: the write was cut short by a crash.
            m_cutShort = true;
            continue;
        }
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2 || fields.size() > 3 ||
            !std::all_of(fields.begin(), fields.end(), allDigits))
            return unreadable(u"line %1 is not a time and a count"_s.arg(i + 1));
        const qint64 at = fields[0].toLongLong();
        const int count = fields[1].toInt();
        const qint64 recipients = fields.size() == 3 ? fields[2].toLongLong() : count;
        if (count > 1000 || recipients > 1'000'000)
            return unreadable(u"line %1 counts too many messages"_s.arg(i + 1));
        if (at <= nowMs - memoryMs) {
            ++m_dropped;
            continue;
        }
        m_sent.insert(m_sent.end(), size_t(count), at);
        m_sends.push_back({at, int(recipients)});
    }
    std::sort(m_sent.begin(), m_sent.end());
    std::sort(m_sends.begin(), m_sends.end());
    m_readable = true;
    return {};
}

QByteArray SendsLog::serialized() const
{
    QByteArray bytes = Header.toByteArray() + '\n';
    for (const RateLimits::Send &send : m_sends)
        bytes += lineOf(send);
    return bytes;
}

Status SendsLog::compact()
{
    if (!m_readable)
        return Status::failure(u"The record of messages sent %1 was not read."_s.arg(path()));
    if (!m_cutShort && m_dropped < std::max<qsizetype>(DroppedWorthRewriting, m_sent.size()))
        return {};
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    const Status written = AtomicFile::write(path(), serialized(), 0600);
    if (!written.ok())
        return Status::failure(
            u"The record of messages sent cannot be written: %1"_s.arg(written.error()));
    m_dropped = 0;
    m_cutShort = false;
    return {};
}

Status SendsLog::record(qint64 atMs, int recipients)
{
    const auto failed = [this](const QString &why) {
        return Status::failure(
            u"The record of messages sent %1 cannot be written: %2"_s.arg(path(), why));
    };
    if (!m_readable)
        return failed(u"it was not read"_s);
    if (m_fd < 0) {
        // A last line cut short would run into the next one: write the file afresh first.
        if (m_cutShort) {
            if (Status rewritten = compact(); !rewritten.ok())
                return rewritten;
        }
        const bool made = !QFile::exists(path());
        m_fd = ::open(QFile::encodeName(path()).constData(),
                      O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return failed(qt_error_string(errno));
        m_created = made;
        if (made) {
            const QByteArray header = Header.toByteArray() + '\n';
            if (const int error = FileSync::writeAll(m_fd, header); error != 0)
                return failed(qt_error_string(error));
        }
    }
    const RateLimits::Send send{atMs, recipients};
    if (const int error = FileSync::writeAll(m_fd, lineOf(send)); error != 0)
        return failed(qt_error_string(error));
    m_sent.insert(std::upper_bound(m_sent.begin(), m_sent.end(), atMs), atMs);
    m_sends.insert(
        std::upper_bound(m_sends.begin(), m_sends.end(), atMs,
                         [](qint64 at, const RateLimits::Send &s) { return at < s.atMs; }),
        send);
    return {};
}

Status SendsLog::sync()
{
    if (m_fd < 0)
        return {};
    bool ok = ::fdatasync(m_fd) == 0;
    if (ok && m_created) {
        // A new file lasts only once its name does.
        if (const int error = FileSync::syncDirectory(m_directory); error != 0) {
            errno = error;
            ok = false;
        }
        m_created = !ok;
    }
    if (!ok)
        return Status::failure(u"The record of messages sent %1 cannot be made durable: %2"_s.arg(
            path(), qt_error_string(errno)));
    return {};
}

} // namespace corvel
