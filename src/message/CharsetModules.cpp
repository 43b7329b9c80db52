#include "message/CharsetModules.h"

#include <QByteArray>
#include <QSet>

#include <mutex>
#include <vector>

#include <iconv.h>

namespace corvel {

namespace {

constexpr int MaxKept = 48;
constexpr qsizetype MaxSeen = 1024;
constexpr qsizetype MaxNameLength = 40;

bool nameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':';
}

// The charset name that starts at `from`, up to the first character no name holds.
QByteArray nameAt(QByteArrayView text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size() && end - from < MaxNameLength && nameChar(text[end]))
        ++end;
    return text.sliced(from, end - from).toByteArray().toLower();
}

} // namespace

void CharsetModules::keepFor(QByteArrayView message)
{
    static std::mutex mutex;
    static QSet<QByteArray> seen; // kept, or not a charset the C library knows
    // Never closed, never destroyed: holding them open to the end is the point.
    static auto *kept = new std::vector<iconv_t>;
    QSet<QByteArray> named;
    // Encoded words: =?charset?q?...?= or =?charset*language?...
    for (qsizetype at = message.indexOf("=?"); at >= 0; at = message.indexOf("=?", at + 2))
        named.insert(nameAt(message, at + 2));
    for (qsizetype at = 0;;) {
        at = QByteArrayView(message).indexOf("harset=", at);
        if (at < 0)
            break;
        at += 7;
        if (at < message.size() && message[at] == '"')
            ++at;
        named.insert(nameAt(message, at));
    }
    named.remove({});
    named.remove("utf-8"); // built in, no module
    named.remove("us-ascii");
    if (named.isEmpty())
        return;
    std::lock_guard lock(mutex);
    for (const QByteArray &name : std::as_const(named)) {
        if (int(kept->size()) >= MaxKept || seen.size() >= MaxSeen || seen.contains(name))
            continue;
        seen.insert(name);
        if (const iconv_t converter = iconv_open("UTF-8", name.constData());
            converter != iconv_t(-1))
            kept->push_back(converter);
    }
}

} // namespace corvel
