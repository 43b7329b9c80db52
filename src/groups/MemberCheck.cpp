#include "groups/MemberCheck.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029;
}

bool hasControl(const QString &text)
{
    return std::any_of(text.begin(), text.end(), isControl);
}

// A character of an atom (RFC 5322 atext; RFC 6532 adds every letter outside ASCII).
bool isAtomChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0x80)
        return !c.isSpace();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
           QStringView(u"!#$%&'*+-/=?^_`{|}~").contains(c);
}

// Atoms joined by single dots.
bool isDotAtom(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QStringView atom : text.tokenize(u'.')) {
        if (atom.isEmpty() || !std::all_of(atom.begin(), atom.end(), isAtomChar))
            return false;
    }
    return true;
}

bool isDomainLiteral(QStringView text)
{
    if (text.size() < 3 || !text.startsWith(u'[') || !text.endsWith(u']'))
        return false;
    const QStringView inner = text.sliced(1, text.size() - 2);
    return std::all_of(inner.begin(), inner.end(), [](QChar c) {
        return c.unicode() > 0x20 && c.unicode() < 0x7F && c != u'[' && c != u']' && c != u'\\';
    });
}

Result<QString> refused(const QString &reason)
{
    return Result<QString>::failure(reason);
}

} // namespace

Result<QString> MemberCheck::address(const QString &text)
{
    if (hasControl(text))
        return refused(u"the address holds a line break or another control character"_s);
    const QString address = text.trimmed();
    if (address.isEmpty())
        return refused(u"there is no address"_s);
    if (address.contains(u"=?"_s) && address.contains(u"?="_s))
        return refused(u"encoded words (=?…?=) are not accepted in an address"_s);
    if (address.contains(u'<') || address.contains(u'>'))
        return refused(u"give the address alone (local@domain), without a name or <>"_s);
    if (address.contains(u',') || address.contains(u';'))
        return refused(u"the address holds more than one address"_s);
    if (address.contains(u'"'))
        return refused(u"quoted local parts are not accepted"_s);
    const qsizetype at = address.lastIndexOf(u'@');
    if (at < 0)
        return refused(u"the address has no @ (local@domain)"_s);
    if (address.indexOf(u'@') != at)
        return refused(u"the address holds more than one @"_s);
    if (std::any_of(address.begin(), address.end(), [](QChar c) { return c.isSpace(); }))
        return refused(u"the address holds a space"_s);
    if (!isDotAtom(QStringView(address).left(at)))
        return refused(u"the part before @ is no valid local part"_s);
    const QStringView domain = QStringView(address).sliced(at + 1);
    if (!isDotAtom(domain) && !isDomainLiteral(domain))
        return refused(u"the part after @ is no valid domain"_s);
    return address;
}

Result<QString> MemberCheck::name(const QString &text)
{
    if (hasControl(text))
        return refused(u"the name holds a line break or another control character"_s);
    return text.trimmed();
}

} // namespace corvel
