#include "message/MailAddressList.h"

#include "message/GMimeRuntime.h"

#include <gmime/gmime.h>

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

bool hasBreak(const QString &text)
{
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            return true;
    }
    return false;
}

// Looks inside every RFC 2047 word at its octets, whatever the charset: a decoder working on
// C strings would hide a NUL, and some would pass a CR or LF on.
bool encodedWordHidesBreak(const QByteArray &text)
{
    static const QRegularExpression word(u"=\\?[^?\\s]+\\?([qQbB])\\?([^?\\s]*)\\?="_s);
    QRegularExpressionMatchIterator it = word.globalMatch(QString::fromLatin1(text));
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QByteArray payload = match.captured(2).toLatin1();
        QByteArray octets;
        if (match.captured(1).compare(u"b"_s, Qt::CaseInsensitive) == 0) {
            octets = QByteArray::fromBase64(payload);
        } else {
            for (qsizetype i = 0; i < payload.size(); ++i) {
                if (payload[i] == '=' && i + 2 < payload.size()) {
                    octets += QByteArray::fromHex(payload.mid(i + 1, 2));
                    i += 2;
                } else {
                    octets += payload[i];
                }
            }
        }
        if (octets.contains('\0') || octets.contains('\r') || octets.contains('\n'))
            return true;
    }
    return false;
}

QString decodedHeaderText(const QByteArray &utf8)
{
    char *decoded = g_mime_utils_header_decode_text(nullptr, utf8.constData());
    QString text = QString::fromUtf8(decoded ? decoded : "");
    g_free(decoded);
    return text;
}

bool validAddress(const QString &address)
{
    if (address.size() > 254)
        return false;
    const qsizetype at = address.lastIndexOf(u'@');
    if (at <= 0 || at == address.size() - 1 || address.size() - at - 1 > 253)
        return false;
    const QString domain = address.mid(at + 1);
    if (domain.startsWith(u'.') || domain.endsWith(u'.') || domain.contains(u".."_s))
        return false;
    for (const QChar c : address) {
        if (c.unicode() <= 0x20 || c.unicode() == 0x7f || c.isSpace())
            return false;
        if (QStringView(u"<>()[],;:\"\\").contains(c))
            return false;
    }
    return true;
}

// Splits on ';' and ',' outside quotes, angle brackets and comments: a name may hold either.
QStringList splitList(const QString &text)
{
    QStringList pieces;
    QString current;
    bool quoted = false;
    int angle = 0;
    int comment = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            current += c;
            if (c == u'\\' && i + 1 < text.size())
                current += text[++i];
            else if (c == u'"')
                quoted = false;
            continue;
        }
        if (c == u'"')
            quoted = true;
        else if (c == u'<')
            ++angle;
        else if (c == u'>' && angle > 0)
            --angle;
        else if (c == u'(')
            ++comment;
        else if (c == u')' && comment > 0)
            --comment;
        else if ((c == u';' || c == u',') && angle == 0 && comment == 0) {
            pieces << current;
            current.clear();
            continue;
        }
        current += c;
    }
    pieces << current;
    return pieces;
}

struct Collected
{
    std::vector<MailAddress> addresses;
    QString problem;
};

void collect(InternetAddressList *list, Collected &out, bool allowGroups, int depth = 0)
{
    const int count = internet_address_list_length(list);
    for (int i = 0; i < count && out.problem.isEmpty(); ++i) {
        InternetAddress *ia = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(ia)) {
            // Typed lists have no groups: a stray ':' would hide part of the text as a name.
            if (!allowGroups)
                out.problem = u"A group of addresses cannot be used here."_s;
            else if (depth == 0)
                collect(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(ia)), out,
                        allowGroups, 1);
            continue;
        }
        const char *rawName = internet_address_get_name(ia);
        const QString name = QString::fromUtf8(rawName ? rawName : "").trimmed();
        const char *rawAddr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia));
        const QString address = QString::fromUtf8(rawAddr ? rawAddr : "");
        if (hasBreak(name) || hasBreak(address) ||
            encodedWordHidesBreak(QByteArray(rawName ? rawName : ""))) {
            out.problem = u"The address \"%1\" holds a line break or a NUL character."_s.arg(
                address.simplified());
        } else if (!validAddress(address)) {
            out.problem = u"\"%1\" is not a valid mail address."_s.arg(address);
        } else {
            out.addresses.push_back({name, address});
        }
    }
}

} // namespace

Status MailAddressList::checkHeaderText(const QString &text, const QString &what)
{
    GMimeRuntime::ensureStarted();
    const QByteArray utf8 = text.toUtf8();
    if (hasBreak(text) || encodedWordHidesBreak(utf8) || hasBreak(decodedHeaderText(utf8)))
        return Status::failure(u"The %1 holds a line break or a NUL character."_s.arg(what));
    return {};
}

Status MailAddressList::checkRawHeaderValue(const QByteArray &raw, const QString &what)
{
    // Folding (a line break followed by a blank) is the only break a value may hold.
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\0')
            return Status::failure(u"The %1 header holds a NUL character."_s.arg(what));
        if (c == '\r' && (i + 1 >= raw.size() || raw[i + 1] != '\n'))
            return Status::failure(u"The %1 header holds a bare carriage return."_s.arg(what));
        if (c == '\n' && i + 1 < raw.size() && raw[i + 1] != ' ' && raw[i + 1] != '\t')
            return Status::failure(u"The %1 header holds a line break."_s.arg(what));
    }
    if (encodedWordHidesBreak(raw))
        return Status::failure(u"The %1 header holds an encoded line break or NUL."_s.arg(what));
    return {};
}

Result<MailAddressList> MailAddressList::parse(const QString &text)
{
    GMimeRuntime::ensureStarted();
    if (hasBreak(text) || encodedWordHidesBreak(text.toUtf8()))
        return Result<MailAddressList>::failure(
            u"The address list holds a line break or a NUL character."_s);
    MailAddressList result;
    for (const QString &piece : splitList(text)) {
        const QString trimmed = piece.trimmed();
        if (trimmed.isEmpty())
            continue;
        InternetAddressList *list =
            internet_address_list_parse(nullptr, trimmed.toUtf8().constData());
        Collected collected;
        if (list) {
            collect(list, collected, false);
            g_object_unref(list);
        }
        if (!collected.problem.isEmpty())
            return Result<MailAddressList>::failure(collected.problem);
        // Anything that does not read as exactly one mailbox is a typing error, not a list.
        if (collected.addresses.size() != 1)
            return Result<MailAddressList>::failure(
                u"\"%1\" is not a valid mail address."_s.arg(trimmed));
        result.m_addresses.push_back(std::move(collected.addresses.front()));
    }
    return result;
}

Result<MailAddressList> MailAddressList::parseHeader(const QByteArray &rawValue)
{
    GMimeRuntime::ensureStarted();
    // Unfold: a folded value continues after CR LF and blanks.
    QByteArray unfolded = rawValue;
    unfolded.replace('\r', "").replace('\n', "");
    if (unfolded.contains('\0') || encodedWordHidesBreak(unfolded))
        return Result<MailAddressList>::failure(u"An address header holds a NUL character."_s);
    MailAddressList result;
    if (unfolded.trimmed().isEmpty())
        return result;
    InternetAddressList *list = internet_address_list_parse(nullptr, unfolded.constData());
    if (!list)
        return Result<MailAddressList>::failure(
            u"The addresses \"%1\" cannot be read."_s.arg(QString::fromUtf8(unfolded)));
    Collected collected;
    collect(list, collected, true);
    g_object_unref(list);
    if (!collected.problem.isEmpty())
        return Result<MailAddressList>::failure(collected.problem);
    result.m_addresses = std::move(collected.addresses);
    return result;
}

QString MailAddressList::display() const
{
    QStringList parts;
    for (const MailAddress &a : m_addresses) {
        if (a.name.isEmpty()) {
            parts << a.address;
            continue;
        }
        InternetAddress *ia = internet_address_mailbox_new(a.name.toUtf8().constData(),
                                                           a.address.toUtf8().constData());
        char *text = internet_address_to_string(ia, nullptr, FALSE);
        parts << QString::fromUtf8(text);
        g_free(text);
        g_object_unref(ia);
    }
    return parts.join(u"; "_s);
}

QString MailAddressList::mailbox(const QString &name, const QString &address)
{
    const QString shownName = name.trimmed();
    if (shownName.isEmpty() || shownName.compare(address, Qt::CaseInsensitive) == 0 ||
        !checkHeaderText(shownName, u"name"_s).ok())
        return address;
    MailAddressList one;
    one.m_addresses.push_back({shownName, address});
    return one.display();
}

void MailAddressList::appendTo(_InternetAddressList *list) const
{
    // Gathered apart first: a list of a message encodes its whole header again on every
    // change, which would make a long list quadratic.
    InternetAddressList *gathered = internet_address_list_new();
    for (const MailAddress &a : m_addresses) {
        InternetAddress *ia = internet_address_mailbox_new(a.name.toUtf8().constData(),
                                                           a.address.toUtf8().constData());
        internet_address_list_add(gathered, ia);
        g_object_unref(ia);
    }
    internet_address_list_append(list, gathered);
    g_object_unref(gathered);
}

} // namespace corvel
