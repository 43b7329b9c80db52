#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace corvel {

struct MailEnvelope
{
    QString from;
    std::vector<QString> recipients;
};

struct RecipientRefusal
{
    QString address;
    QString reply;
    bool temporary = false;
};

// What became of one message handed to a transport.
struct SendOutcome
{
    enum class Kind
    {
        Accepted,   // the server took it (perhaps not for every recipient: see refused)
        Deferred,   // temporary failure, or the connection lost before the server answered
        Failed,     // permanent refusal
        Unknown,    // no answer after the whole message went: it may have been taken
        Unavailable // nothing happened to this message: no connection, refused log-in, a
                    // transport that cannot run; the rest of the queue waits as well
    };
    Kind kind = Kind::Deferred;
    QString reply;
    std::vector<RecipientRefusal> refused;
};

// Hands messages to a mail server or program; one connection is kept for consecutive sends.
class MailTransport
{
public:
    enum class LineEnds
    {
        Crlf,
        Lf
    };

    virtual ~MailTransport() = default;
    [[nodiscard]] virtual LineEnds lineEnds() const = 0;
    [[nodiscard]] virtual SendOutcome send(const MailEnvelope &envelope,
                                           const QByteArray &message) = 0;
    // Ends the connection politely, if there is one.
    virtual void close() = 0;
    // The message the send after the next will most likely carry. A transport may start on it
    // early, with the next message's data (its envelope only: never any of its data); a send
    // of another message then costs a new connection.
    virtual void expectNext(const MailEnvelope &envelope, const QByteArray &message)
    {
        (void)envelope;
        (void)message;
    }

    // Asked just before a message's data leaves, from when its outcome may be unknown;
    // answering false abandons the message before anything of it is taken (Unavailable).
    void setDataListener(std::function<bool()> listener) { m_dataLeaving = std::move(listener); }

protected:
    [[nodiscard]] bool dataLeaving() const { return !m_dataLeaving || m_dataLeaving(); }

private:
    std::function<bool()> m_dataLeaving;
};

} // namespace corvel
