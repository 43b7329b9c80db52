#include "groups/AddressListFile.h"

#include "support/AtomicFile.h"
#include "support/CsvReader.h"
#include "support/DataFile.h"
#include "support/PercentMeter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString quoted(QString value)
{
    return u'"' + value.replace(u"\""_s, u"\"\""_s) + u'"';
}

// A value that reads back as it is without quotes.
bool safeBare(const QString &value)
{
    for (const QChar c : value) {
        if (c == u'"' || c == u',' || c == u'\r' || c == u'\n')
            return false;
    }
    return value == value.trimmed();
}

// A name without a comma but with a space is turned at its last space: "John Smith"
// becomes "Smith, John". A double quote in it says it was not meant as first and last.
QString surnameFirst(const QString &name)
{
    if (name.contains(u',') || name.contains(u'"') || !name.contains(u' '))
        return name;
    const qsizetype space = name.lastIndexOf(u' ');
    return name.mid(space + 1) + u", "_s + name.left(space);
}

// Where each line starts, counted as CsvReader counts lines (CR LF, LF or a lone CR).
std::vector<qsizetype> lineStarts(QStringView text)
{
    std::vector<qsizetype> starts{0, 0};
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        if (text[i] == u'\r' || text[i] == u'\n')
            starts.push_back(i + 1);
    }
    return starts;
}

// The file a write of `path` is to replace: the path itself, or the end of the links it
// leads through (canonical when that exists, else the path the last link names).
Result<QString> writeTarget(const QString &path)
{
    QString target = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            return target;
        if (info.exists())
            return info.canonicalFilePath();
        target = info.symLinkTarget();
    }
    return Result<QString>::failure(u"%1 leads through too many links"_s.arg(path));
}

QString notRegular(const QString &path, mode_t mode)
{
    const QString what = S_ISDIR(mode)                    ? u"a folder"_s
                         : S_ISCHR(mode) || S_ISBLK(mode) ? u"a device"_s
                         : S_ISFIFO(mode)                 ? u"a pipe"_s
                         : S_ISSOCK(mode)                 ? u"a socket"_s
                                                          : u"not a regular file"_s;
    return u"%1 is %2, not a file a list can be written to"_s.arg(path, what);
}

} // namespace

QByteArray AddressListFile::format(const std::vector<Entry> &entries, StatusPanels *progress,
                                   int last)
{
    PercentMeter meter(progress, entries.size(), 0, last);
    QString text;
    text.reserve(static_cast<qsizetype>(entries.size()) * 48);
    for (const Entry &entry : entries) {
        meter.step();
        if (safeBare(entry.address) && safeBare(entry.name) && !entry.address.isEmpty())
            text += entry.address + u',' + entry.name + u"\r\n"_s;
        else
            text += quoted(entry.address) + u',' + quoted(entry.name) + u"\r\n"_s;
    }
    return text.toUtf8();
}

Status AddressListFile::write(const QString &path, const std::vector<Entry> &entries,
                              StatusPanels *progress)
{
    const Result<QString> target = writeTarget(path);
    if (!target.ok())
        return Status::failure(target.error());
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(*target).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return Status::failure(notRegular(path, st.st_mode));
    // The writing itself is the last tenth of the bar.
    return AtomicFile::write(*target, format(entries, progress, 90), 0644, [progress] {
        if (progress)
            progress->showPercent(StatusPanels::CountPanel, 100);
    });
}

Result<std::vector<AddressListFile::Entry>> AddressListFile::parse(const QByteArray &bytes)
{
    using R = Result<std::vector<Entry>>;
    const QString text = CsvReader::decode(bytes);
    const auto records = CsvReader::parse(text);
    if (!records.ok())
        return R::failure(records.error());
    const std::vector<qsizetype> starts = lineStarts(text);
    std::vector<Entry> entries;
    entries.reserve(records->size());
    for (const CsvReader::Record &record : *records) {
        const QString address = record.cells.value(0).trimmed();
        const QString name = record.cells.value(1).trimmed();
        if (address.isEmpty() && name.isEmpty() && record.cells.size() <= 2)
            continue;
        // Files written by older versions quote every value, and theirs are first-last names.
        const QStringView from = QStringView(text).sliced(starts[size_t(record.line)]);
        const bool quotedLine = from.trimmed().startsWith(u'"');
        entries.push_back({address, quotedLine ? surnameFirst(name) : name, record.line});
    }
    return entries;
}

Result<std::vector<AddressListFile::Entry>>
AddressListFile::read(const QString &path,
                      const std::function<void(qint64 done, qint64 size)> &onRead)
{
    const Result<QByteArray> bytes = DataFile::read(path, MaxBytes, onRead);
    if (!bytes.ok())
        return Result<std::vector<Entry>>::failure(bytes.error());
    return parse(*bytes);
}

} // namespace corvel
