#include "message/MaildirName.h"

#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>
#include <atomic>
#include <chrono>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// A host name may not carry the characters the file name gives a meaning to.
QString safeHost()
{
    QString host = QSysInfo::machineHostName();
    if (host.isEmpty())
        host = u"localhost"_s;
    host.replace(u'/', u"\\057"_s).replace(u':', u"\\072"_s);
    return host;
}

} // namespace

QString MaildirName::newUnique()
{
    static std::atomic<quint64> counter{0};
    static const QString host = safeHost();
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
    return u"%1.M%2P%3Q%4.%5"_s.arg(micros / 1000000)
        .arg(micros % 1000000, 6, 10, QLatin1Char('0'))
        .arg(::getpid())
        .arg(++counter, 8, 10, QLatin1Char('0'))
        .arg(host);
}

bool MaildirName::isOurs(const QString &fileName)
{
    static const QRegularExpression ours(
        u"^\\d+\\.M\\d{6}P\\d+Q\\d{8,}\\.%1$"_s.arg(QRegularExpression::escape(safeHost())));
    return ours.match(fileName).hasMatch();
}

QString MaildirName::uniqueOf(const QString &fileName)
{
    const qsizetype info = fileName.indexOf(u":2,"_s);
    if (info >= 0)
        return fileName.left(info);
    const qsizetype colon = fileName.indexOf(u':');
    return colon >= 0 ? fileName.left(colon) : fileName;
}

QString MaildirName::flagsOf(const QString &fileName)
{
    const qsizetype info = fileName.indexOf(u":2,"_s);
    return info >= 0 ? fileName.mid(info + 3) : QString();
}

QString MaildirName::withFlags(const QString &unique, const QString &flags)
{
    QString sorted = flags;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    return unique + u":2,"_s + sorted;
}

bool MaildirName::lessThan(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Compare by value: strip leading zeros, then length, then digits.
            qsizetype si = i;
            qsizetype sj = j;
            while (si + 1 < ei && a[si] == u'0')
                ++si;
            while (sj + 1 < ej && b[sj] == u'0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            if (const int c =
                    QStringView(a).sliced(si, ei - si).compare(QStringView(b).sliced(sj, ej - sj));
                c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return a.size() - i < b.size() - j;
    return a < b;
}

bool MaildirName::appendOrderKey(const QString &name, std::string &keys)
{
    // At most seven bytes a unit: a one-digit run takes two, four for its length and itself.
    const qsizetype size = name.size();
    const size_t before = keys.size();
    keys.resize(before + size_t(size) * 7);
    char *out = keys.data() + before;
    const auto putUnit = [&out](char16_t unit) {
        *out++ = char(unit >> 8);
        *out++ = char(unit & 0xff);
    };
    const auto isAsciiDigit = [](char16_t unit) { return unit >= u'0' && unit <= u'9'; };
    const QChar *units = name.constData();
    qsizetype i = 0;
    while (i < size) {
        const char16_t unit = units[i].unicode();
        if (!isAsciiDigit(unit)) {
            if (unit > 127 && units[i].isDigit()) {
                keys.resize(before);
                return false;
            }
            putUnit(unit);
            ++i;
            continue;
        }
        // A digit run meets other text as its first digit would; every digit shares that
        // first unit, since no text unit falls between '0' and '9'. Between runs the value
        // decides: the length without leading zeros, then the digits.
        qsizetype end = i;
        while (end < size && isAsciiDigit(units[end].unicode()))
            ++end;
        qsizetype start = i;
        while (start + 1 < end && units[start] == u'0')
            ++start;
        putUnit(u'0');
        const auto length = quint32(end - start);
        for (int shift = 24; shift >= 0; shift -= 8)
            *out++ = char((length >> shift) & 0xff);
        for (qsizetype d = start; d < end; ++d)
            *out++ = char(units[d].unicode());
        i = end;
    }
    keys.resize(size_t(out - keys.data()));
    return true;
}

} // namespace corvel
