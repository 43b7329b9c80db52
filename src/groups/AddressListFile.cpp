#include "groups/AddressListFile.h"

#include "support/AtomicFile.h"
#include "support/FieldStrings.h"

#include <QFile>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString quoted(QString value)
{
    return u'"' + value.replace(u"\""_s, u"\"\""_s) + u'"';
}

// Reads a quoted value starting at `pos` (on its opening quote), two quotes standing for
// one; leaves `pos` after the closing quote.
QString readQuoted(QStringView line, qsizetype &pos)
{
    QString value;
    ++pos;
    while (pos < line.size()) {
        const QChar c = line[pos];
        if (c == u'"') {
            if (pos + 1 < line.size() && line[pos + 1] == u'"') {
                value += u'"';
                pos += 2;
                continue;
            }
            ++pos;
            return value;
        }
        value += c;
        ++pos;
    }
    return value;
}

// A name without a comma but with a space is turned at its last space: "John Smith"
// becomes "Smith, John".
QString surnameFirst(const QString &name)
{
    if (name.contains(u',') || !name.contains(u' '))
        return name;
    const qsizetype space = name.lastIndexOf(u' ');
    return name.mid(space + 1) + u", "_s + name.left(space);
}

} // namespace

QByteArray AddressListFile::format(const std::vector<Entry> &entries)
{
    QString text;
    text.reserve(static_cast<qsizetype>(entries.size()) * 48);
    for (const Entry &entry : entries)
        text += quoted(entry.address) + u',' + quoted(entry.name) + u"\r\n"_s;
    return text.toUtf8();
}

Status AddressListFile::write(const QString &path, const std::vector<Entry> &entries)
{
    const QString error = AtomicFile::write(path, format(entries), 0644);
    if (!error.isEmpty())
        return Status::failure(error);
    return {};
}

std::optional<AddressListFile::Entry> AddressListFile::parseLine(QStringView line)
{
    if (line.trimmed().isEmpty())
        return std::nullopt;
    if (line.front() != u'"') {
        const QString text = line.toString();
        return Entry{DS_GetField(text, u","_s, 1).trimmed(),
                     DS_GetField(text, u","_s, 2).trimmed()};
    }
    qsizetype pos = 0;
    const QString address = readQuoted(line, pos).trimmed();
    // The name follows the next comma, quoted or not; the address alone gives no name.
    const qsizetype comma = line.indexOf(u',', pos);
    QString name;
    if (comma >= 0) {
        pos = comma + 1;
        while (pos < line.size() && line[pos] == u' ')
            ++pos;
        if (pos < line.size() && line[pos] == u'"') {
            name = readQuoted(line, pos);
        } else {
            const qsizetype end = line.indexOf(u',', pos);
            name = line.mid(pos, end < 0 ? -1 : end - pos).toString();
        }
    }
    return Entry{address, surnameFirst(name.trimmed())};
}

QString AddressListFile::decode(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(view);
}

std::vector<AddressListFile::Entry> AddressListFile::parse(const QByteArray &bytes)
{
    std::vector<Entry> entries;
    const QString text = decode(bytes);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        QStringView line = QStringView(text).sliced(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (auto entry = parseLine(line))
            entries.push_back(std::move(*entry));
        start = end + 1;
    }
    return entries;
}

Result<std::vector<AddressListFile::Entry>> AddressListFile::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<std::vector<Entry>>::failure(file.errorString());
    // An address list is small; one that is not is no address list.
    constexpr qint64 limit = qint64(1) << 30;
    if (file.size() > limit)
        return Result<std::vector<Entry>>::failure(u"the file is too large"_s);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Result<std::vector<Entry>>::failure(file.errorString());
    return parse(bytes);
}

} // namespace corvel
