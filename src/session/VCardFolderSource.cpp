#include "session/VCardFolderSource.h"

#include "session/OrderedChunks.h"
#include "support/Result.h"
#include "vcard/VCardReader.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// No contact file is this large; a bigger one is a mistake that must not exhaust memory.
constexpr qsizetype MaxCardFileSize = 64 * 1024 * 1024;
// Below this, starting threads costs more than it saves.
constexpr size_t ParallelFrom = 256;
constexpr size_t FilesPerChunk = 128;
// Parsed chunks waiting for the reader: enough to keep every thread busy, no more.
constexpr size_t ChunksAheadPerThread = 2;

QString reason(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    [[nodiscard]] int get() const { return m_fd; }

private:
    int m_fd;
};

int openDirectory(const QString &directory)
{
    return ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The names of a directory's card files, sorted by their bytes, end to end in one block:
// 100,000 names cost a few allocations rather than 100,000, to make and to free.
class CardFileNames
{
public:
    // checkpoint, when set, is called every few thousand names (a large directory takes a
    // while to list) and may throw.
    CardFileNames(const QString &directory, const std::function<void()> &checkpoint)
    {
        constexpr size_t CheckEvery = 4096;
        const std::unique_ptr<DIR, int (*)(DIR *)> dir(
            ::opendir(QFile::encodeName(directory).constData()), &::closedir);
        if (!dir)
            throw cannotRead(directory, errno);
        errno = 0;
        while (const dirent *entry = ::readdir(dir.get())) {
            // Links are not followed (an item must stay inside its store); other kinds are no
            // cards. An unknown kind is settled when the file is opened.
            const bool candidate = entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN;
            if (candidate && VCardFolderSource::isCardFileName(QByteArrayView(entry->d_name))) {
                m_starts.push_back(quint32(m_bytes.size()));
                m_bytes.append(entry->d_name).append('\0');
                if (checkpoint && m_starts.size() % CheckEvery == 0)
                    checkpoint();
            }
            errno = 0;
        }
        if (errno != 0)
            throw cannotRead(directory, errno);
        if (checkpoint)
            checkpoint();
        sortNames();
    }

    [[nodiscard]] size_t size() const { return m_starts.size(); }
    [[nodiscard]] const char *operator[](size_t i) const
    {
        return m_bytes.constData() + m_starts[i];
    }

private:
    void sortNames()
    {
        // By the first eight bytes first, packed into one number: most pairs are then settled
        // without reaching into the block.
        const char *bytes = m_bytes.constData();
        std::vector<std::pair<quint64, quint32>> keyed;
        keyed.reserve(m_starts.size());
        for (const quint32 start : m_starts) {
            quint64 prefix = 0;
            for (int i = 0, end = 0; i < 8; ++i) {
                end = end || bytes[start + quint32(i)] == 0;
                prefix = prefix << 8 | (end ? 0 : quint8(bytes[start + quint32(i)]));
            }
            keyed.emplace_back(prefix, start);
        }
        std::sort(keyed.begin(), keyed.end(), [bytes](const auto &a, const auto &b) {
            if (a.first != b.first)
                return a.first < b.first;
            return std::strcmp(bytes + a.second, bytes + b.second) < 0;
        });
        for (size_t i = 0; i < keyed.size(); ++i)
            m_starts[i] = keyed[i].second;
    }

    static OutlookError cannotRead(const QString &directory, int error)
    {
        return OutlookError(
            u"The contact folder %1 cannot be read: %2"_s.arg(directory, reason(error)));
    }

    QByteArray m_bytes; // each name ended by a NUL
    std::vector<quint32> m_starts;
};

// The whole of a regular file of the directory, into buffer (reused from file to file).
Status readCardFile(int directoryFd, const char *name, std::vector<char> &buffer, qsizetype &length)
{
    // O_NONBLOCK: a FIFO named like a card must not block the listing.
    const FileDescriptor fd(
        ::openat(directoryFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return Status::failure(reason(errno));
    struct stat info
    {
    };
    if (::fstat(fd.get(), &info) != 0)
        return Status::failure(reason(errno));
    if (!S_ISREG(info.st_mode))
        return Status::failure(u"not a regular file"_s);
    if (info.st_size > MaxCardFileSize)
        return Status::failure(u"the file is too large"_s);
    // Trusting the size saves the read that would find the end; a file that grows meanwhile
    // is read up to the size it had (card files are replaced whole, by rename).
    const qsizetype expected = info.st_size;
    buffer.resize(size_t(std::max<qsizetype>(expected, 4096)));
    length = 0;
    for (;;) {
        if (expected > 0 && length >= expected)
            break;
        if (size_t(length) == buffer.size()) {
            if (length >= MaxCardFileSize)
                return Status::failure(u"the file is too large"_s);
            buffer.resize(std::min<size_t>(buffer.size() * 2, MaxCardFileSize));
        }
        const ssize_t n = ::read(fd.get(), buffer.data() + length, buffer.size() - size_t(length));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Status::failure(reason(errno));
        }
        if (n == 0)
            break;
        length += n;
    }
    return {};
}

// The card files of one folder, opened.
struct CardFiles
{
    QString folderDirectory;
    std::unique_ptr<FileDescriptor> directory;
    CardFileNames names;
};

// Parses chunks of card files on several threads, handing them out in file order.
class CardFileReader : public FolderItemReader
{
public:
    CardFileReader(CardFiles files, LocalItemSource::IdOf idOf,
                   std::shared_ptr<const LocalContactItem::Opener> opener, size_t threads)
        : m_files(std::move(files))
        , m_idOf(std::move(idOf))
        , m_opener(std::move(opener))
        , m_chunkCount((m_files.names.size() + FilesPerChunk - 1) / FilesPerChunk)
        , m_chunks(m_chunkCount, threads - 1, threads * ChunksAheadPerThread,
                   [this](size_t index, const std::atomic<bool> &stop) {
                       return makeChunk(index, stop);
                   })
    {
    }

    bool next(Chunk &chunk) override { return m_chunks.next(chunk); }
    [[nodiscard]] size_t expectedCount() const override { return m_files.names.size(); }
    [[nodiscard]] int percentRead() const override
    {
        return m_chunkCount == 0 ? 100 : int(m_chunks.handedOut() * 100 / m_chunkCount);
    }

private:
    Chunk makeChunk(size_t index, const std::atomic<bool> &stop) const
    {
        const CardFileNames &names = m_files.names;
        const size_t end = std::min(names.size(), (index + 1) * FilesPerChunk);
        Chunk items;
        items.reserve(end - index * FilesPerChunk);
        std::vector<char> buffer;
        for (size_t i = index * FilesPerChunk; i < end && !stop; ++i) {
            qsizetype length = 0;
            if (!readCardFile(m_files.directory->get(), names[i], buffer, length))
                continue; // one unreadable file hides only itself
            std::vector<VCardContact> contacts =
                VCardReader::read(QByteArrayView(buffer.data(), length));
            const QString key = QFile::decodeName(names[i]);
            for (size_t card = 0; card < contacts.size(); ++card) {
                items.push_back(std::make_shared<LocalContactItem>(
                    m_idOf(key, int(card) + 1), m_files.folderDirectory, key,
                    std::move(contacts[card]), m_opener));
            }
        }
        return items;
    }

    const CardFiles m_files;
    const LocalItemSource::IdOf m_idOf;
    const std::shared_ptr<const LocalContactItem::Opener> m_opener;
    const size_t m_chunkCount;
    OrderedChunks m_chunks; // last: its helpers use the members above
};

} // namespace

VCardFolderSource::VCardFolderSource(LocalContactItem::Opener opener, int workers)
    : m_opener(std::make_shared<const LocalContactItem::Opener>(
          opener ? std::move(opener) : LocalContactItem::desktopOpener()))
    , m_workers(workers > 0 ? workers : std::clamp(int(std::thread::hardware_concurrency()), 2, 4))
{
}

bool VCardFolderSource::isCardFileName(QByteArrayView name)
{
    constexpr QByteArrayView extension(".vcf");
    return name.size() > extension.size() && !name.startsWith('.') && !name.contains('/') &&
           name.last(extension.size()).compare(extension, Qt::CaseInsensitive) == 0;
}

std::vector<QString> VCardFolderSource::itemKeys(const QString &folderDirectory) const
{
    std::vector<QString> keys;
    const CardFileNames names(folderDirectory, {});
    keys.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        keys.push_back(QFile::decodeName(names[i]));
    return keys;
}

std::unique_ptr<FolderItemReader>
VCardFolderSource::reader(const QString &folderDirectory, IdOf idOf,
                          const std::function<void()> &checkpoint) const
{
    CardFileNames names(folderDirectory, checkpoint);
    auto directory = std::make_unique<FileDescriptor>(openDirectory(folderDirectory));
    if (directory->get() < 0) {
        throw OutlookError(
            u"The contact folder %1 cannot be read: %2"_s.arg(folderDirectory, reason(errno)));
    }
    const size_t threads = names.size() < ParallelFrom ? 1 : size_t(m_workers);
    return std::make_unique<CardFileReader>(
        CardFiles{folderDirectory, std::move(directory), std::move(names)}, std::move(idOf),
        m_opener, threads);
}

std::shared_ptr<OlItem> VCardFolderSource::readItem(const QString &folderDirectory,
                                                    const QString &key, int card,
                                                    const QString &entryId) const
{
    const auto gone = [] {
        return OutlookError(u"The contact cannot be found; it may have been deleted or moved."_s);
    };
    // Keys come from listings, but a name must never lead out of the folder.
    const QByteArray name = QFile::encodeName(key);
    if (!isCardFileName(name) || name.contains('\0') || card < 1)
        throw gone();
    const FileDescriptor directory(openDirectory(folderDirectory));
    if (directory.get() < 0)
        throw gone();
    std::vector<char> buffer;
    qsizetype length = 0;
    if (!readCardFile(directory.get(), name.constData(), buffer, length))
        throw gone();
    std::vector<VCardContact> contacts = VCardReader::read(QByteArrayView(buffer.data(), length));
    if (size_t(card) > contacts.size())
        throw gone();
    return std::make_shared<LocalContactItem>(entryId, folderDirectory, key,
                                              std::move(contacts[size_t(card) - 1]), m_opener);
}

} // namespace corvel
