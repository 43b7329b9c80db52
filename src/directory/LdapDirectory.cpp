#include "directory/LdapDirectory.h"

#include "directory/LdapCardWriter.h"
#include "directory/LdapConnection.h"

#include <QRegularExpression>

#include <algorithm>
#include <csignal>
#include <ctime>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// An attribute description as RFC 4512 allows one: a name or a numeric OID.
bool isAttributeName(const QString &name)
{
    static const QRegularExpression valid(u"^([A-Za-z][A-Za-z0-9-]*|[0-9]+(\\.[0-9]+)*)$"_s);
    return valid.match(name).hasMatch();
}

// The client library writes to its socket without asking to be spared SIGPIPE, and a server
// that stalls has its socket shut when the time runs out: the next write would end the whole
// program. SIGPIPE is held back in this thread while it talks to the server, so the write
// fails instead, and a SIGPIPE raised meanwhile is taken before it is let through again.
class SigpipeHeld
{
public:
    SigpipeHeld()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_before);
    }
    ~SigpipeHeld()
    {
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1 && sigismember(&m_before, SIGPIPE) != 1) {
            const timespec now{};
            (void)sigtimedwait(&m_pipe, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &m_before, nullptr);
    }
    SigpipeHeld(const SigpipeHeld &) = delete;
    SigpipeHeld &operator=(const SigpipeHeld &) = delete;

private:
    sigset_t m_pipe{};
    sigset_t m_before{};
};

} // namespace

Result<std::vector<DirectoryCard>> LdapDirectory::fetchAll(const LdapConnectOptions &options)
{
    const SigpipeHeld sigpipeHeld; // outlives the connection, whose end writes too
    using Cards = Result<std::vector<DirectoryCard>>;
    Result<LdapLocation> location = LdapLocation::parse(options.url);
    if (!location)
        return Cards::failure(location.error());
    if (!isAttributeName(options.categoriesAttribute))
        return Cards::failure(
            u"\"%1\" is not an attribute name for categories"_s.arg(options.categoriesAttribute));
    Result<LdapConnection> connection = LdapConnection::open(*location, options);
    if (!connection)
        return Cards::failure(connection.error());
    const LdapCardWriter writer(options.categoriesAttribute);
    std::vector<DirectoryCard> cards;
    std::size_t entries = 0;
    const Status searched =
        connection->search(*location, writer.attributes(), [&](LdapEntry &&entry) {
            if (++entries > options.maxEntries)
                return Status::failure(
                    u"the directory holds more than %1 entries"_s.arg(options.maxEntries));
            if (std::optional<DirectoryCard> card = writer.write(entry))
                cards.push_back(std::move(*card));
            return Status();
        });
    if (!searched)
        return Cards::failure(searched.error());
    std::sort(cards.begin(), cards.end(),
              [](const DirectoryCard &a, const DirectoryCard &b) { return a.uid < b.uid; });
    return cards;
}

} // namespace corvel
