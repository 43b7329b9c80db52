#include "merge/RunJournal.h"

#include "support/FileSync.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Version 1 had one pending message at a time; version 2 has batches, and a "run" line where
// a later process continues the journal.
const QByteArray kHeader = "corvel-run 2\n";
const QByteArray kHeaderVersion1 = "corvel-run 1\n";
// A journal is a few lines per message; anything much larger is not one of ours.
constexpr qint64 kMaxJournalBytes = qint64(1) << 30;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray keyLine(const RunJournal::Key &key)
{
    return "key " + key.letterEntryId.toUtf8().toPercentEncoding() + ' ' +
           key.recipientsKey.toUtf8().toPercentEncoding() + ' ' +
           QByteArray::number(static_cast<int>(key.type)) + '\n';
}

QStringList recipientsOf(const QByteArray &field)
{
    QStringList recipients;
    for (const QByteArray &part : field.split(' '))
        if (!part.isEmpty())
            recipients.append(QString::fromUtf8(QByteArray::fromPercentEncoding(part)));
    return recipients;
}

} // namespace

RunJournal::RunJournal(QString path, Key key)
    : m_path(std::move(path))
    , m_key(std::move(key))
{
}

RunJournal::~RunJournal()
{
    if (m_fd < 0)
        return;
    // A run stopped midway keeps its journal: its last "queued" line is made durable here.
    if (m_unsynced)
        (void)::fdatasync(m_fd);
    ::close(m_fd);
}

QString RunJournal::directoryIn(const QString &dataFolder)
{
    return dataFolder + u"/runs"_s;
}

QString RunJournal::pathOf(const QString &directory, const Key &key)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(keyLine(key));
    return QDir(directory).filePath(QString::fromLatin1(hash.result().toHex().left(32)) +
                                    u".run"_s);
}

corvel::Result<std::unique_ptr<RunJournal>> RunJournal::open(const QString &directory,
                                                             const Key &key)
{
    std::unique_ptr<RunJournal> journal(new RunJournal(pathOf(directory, key), key));
    if (Status loaded = journal->load(); !loaded.ok())
        return corvel::Result<std::unique_ptr<RunJournal>>::failure(loaded.error());
    return journal;
}

corvel::Result<std::unique_ptr<RunJournal>> RunJournal::openAfresh(const QString &directory,
                                                                   const Key &key)
{
    using Opened = corvel::Result<std::unique_ptr<RunJournal>>;
    const QString path = pathOf(directory, key);
    std::unique_ptr<RunJournal> journal(new RunJournal(path, key));
    if (journal->load().ok()) {
        if (Status forgotten = journal->restart(); !forgotten.ok())
            return Opened::failure(forgotten.error());
        return journal;
    }
    // Renamed over an older damaged copy of the same run: only the latest is worth a look.
    const QString aside = damagedPath(path);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0)
        return Opened::failure(
            u"The run journal %1 cannot be moved aside: %2"_s.arg(path, systemError()));
    (void)FileSync::syncDirectory(directory);
    return std::unique_ptr<RunJournal>(new RunJournal(path, key));
}

Status RunJournal::load()
{
    QFile file(m_path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return Status::failure(
            u"The run journal %1 cannot be read: %2"_s.arg(m_path, file.errorString()));
    if (file.size() > kMaxJournalBytes)
        return Status::failure(u"The run journal %1 is too large."_s.arg(m_path));
    const QByteArray bytes = file.readAll();
    // An older journal continued by this version goes on in this version's lines after "run".
    int version = bytes.startsWith(kHeaderVersion1) ? 1 : 2;
    if ((version == 2 && !bytes.startsWith(kHeader)) ||
        !bytes.mid(kHeader.size()).startsWith(keyLine(m_key)))
        return Status::failure(u"The run journal %1 is not one Corvel can read."_s.arg(m_path));
    QStringList pending;
    const QList<QByteArray> lines = bytes.split('\n');
    // The last line may be torn by a crash mid-write: only whole lines count.
    for (qsizetype i = 2; i + 1 < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        if (line.startsWith("pending ")) {
            if (version == 1) {
                for (const QString &r : pending)
                    m_uncertain.insert(r);
                pending.clear();
            }
            pending += recipientsOf(line.mid(8));
        } else if (line == "run") {
            // The process before this line died with these messages in hand.
            for (const QString &r : pending)
                m_uncertain.insert(r);
            pending.clear();
            version = 2;
        } else if (line == "queued") {
            for (const QString &r : pending)
                m_queued.insert(r);
            pending.clear();
        } else if (line == "abandoned") {
            pending.clear();
        }
    }
    for (const QString &r : pending)
        m_uncertain.insert(r);
    for (const QString &r : std::as_const(m_queued))
        m_uncertain.remove(r);
    m_interrupted = true;
    return {};
}

Status RunJournal::openForAppend()
{
    if (m_fd >= 0)
        return {};
    const QString directory = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(directory))
        return Status::failure(u"The folder %1 for run journals cannot be made."_s.arg(directory));
    // Journals name the recipients: the folder is the user's alone, as the other data is.
    (void)QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner);
    const bool fresh = !QFileInfo::exists(m_path);
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC,
                  0600);
    if (m_fd < 0)
        return Status::failure(
            u"The run journal %1 cannot be written: %2"_s.arg(m_path, systemError()));
    if (!fresh)
        return append("run\n");
    if (Status written = append(kHeader + keyLine(m_key)); !written.ok())
        return written;
    // The journal's name must survive a crash too.
    (void)FileSync::syncDirectory(directory);
    return {};
}

Status RunJournal::append(const QByteArray &line, bool sync)
{
    if (const int error = FileSync::writeAll(m_fd, line); error != 0) {
        errno = error;
        return Status::failure(
            u"The run journal %1 cannot be written: %2"_s.arg(m_path, systemError()));
    }
    m_unsynced = !sync;
    if (sync && ::fdatasync(m_fd) != 0)
        return Status::failure(
            u"The run journal %1 cannot be synced: %2"_s.arg(m_path, systemError()));
    return {};
}

Status RunJournal::restart()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (QFileInfo::exists(m_path) && !QFile::remove(m_path))
        return Status::failure(u"The run journal %1 cannot be removed."_s.arg(m_path));
    m_interrupted = false;
    m_queued.clear();
    m_uncertain.clear();
    return {};
}

Status RunJournal::beginBatch(const std::vector<QStringList> &messages)
{
    if (Status opened = openForAppend(); !opened.ok())
        return opened;
    QByteArray lines;
    for (const QStringList &recipients : messages) {
        lines += "pending";
        for (const QString &r : recipients)
            lines += ' ' + normalized(r).toUtf8().toPercentEncoding();
        lines += '\n';
    }
    return append(lines);
}

Status RunJournal::queuedPending()
{
    return append("queued\n", false);
}

Status RunJournal::abandonPending()
{
    return append("abandoned\n");
}

Status RunJournal::finish()
{
    return restart();
}

} // namespace corvel
