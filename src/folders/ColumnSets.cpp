#include "folders/ColumnSets.h"

#include "support/FieldStrings.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QStringList linesOf(const QString &text)
{
    QStringList lines = text.split(u'\n');
    for (QString &line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return lines;
}

const QLatin1Char ColumnDlm('~');

// One column field of the file: that part of every column, joined by "~".
QString joined(const std::vector<ColumnSet::Column> &columns, QString ColumnSet::Column::*part)
{
    QString text;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            text += ColumnDlm;
        text += columns[i].*part;
    }
    return text;
}

} // namespace

int ColumnSets::add(const ColumnSet &record)
{
    m_records.push_back(record);
    return count();
}

int ColumnSets::findColumnSet(const QString &key) const
{
    for (size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].key == key)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

int ColumnSets::copyColumnSet(int n)
{
    if (n < 1 || n > count())
        return 0;
    const ColumnSet copy = record(n);
    return add(copy);
}

ColumnSet ColumnSets::parseLine(const QString &line)
{
    const QList<QStringView> fields = QStringView(line).split(ListSeparator);
    const auto field = [&fields](qsizetype n) {
        return n < fields.size() ? fields[n] : QStringView();
    };
    ColumnSet record;
    record.key = field(0).toString();
    record.displayName = field(1).toString();
    record.reserved = field(2).toString();
    // An empty field holds no entries; the longest of the three lists gives the columns, so
    // a line is written back as it was read unless its lists differ in length.
    const auto entries = [&field](qsizetype n) {
        return field(n).isEmpty() ? QList<QStringView>() : field(n).split(ColumnDlm);
    };
    const QList<QStringView> properties = entries(3);
    const QList<QStringView> headings = entries(4);
    const QList<QStringView> widths = entries(5);
    const qsizetype count = std::max({properties.size(), headings.size(), widths.size()});
    record.columns.reserve(static_cast<size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        record.columns.push_back({properties.value(i).toString(), headings.value(i).toString(),
                                  widths.value(i).toString()});
    }
    return record;
}

void ColumnSets::readFolderSettings(const QString &text)
{
    for (const QString &line : linesOf(text)) {
        if (!line.isEmpty())
            add(parseLine(line));
    }
}

Status ColumnSets::checkFolderSettings(const QString &text)
{
    if (text.isEmpty())
        return Status::failure(u"the file is empty"_s);
    if (!text.endsWith(u'\n'))
        return Status::failure(u"the last line is cut short"_s);
    const QStringList lines = linesOf(text);
    // The text ends with a line break, so the last element is the empty rest after it.
    for (qsizetype n = 0; n + 1 < lines.size(); ++n) {
        const QString &line = lines[n];
        if (line.isEmpty())
            continue;
        const bool control = std::any_of(line.cbegin(), line.cend(),
                                         [](QChar c) { return c.unicode() < 0x20 && c != u'\t'; });
        if (control)
            return Status::failure(u"line %1 holds control characters"_s.arg(n + 1));
    }
    return {};
}

QString ColumnSets::formatLine(const ColumnSet &record)
{
    const QString &dlm = ListSeparator;
    return record.key + dlm + record.displayName + dlm + record.reserved + dlm +
           joined(record.columns, &ColumnSet::Column::property) + dlm +
           joined(record.columns, &ColumnSet::Column::heading) + dlm +
           joined(record.columns, &ColumnSet::Column::width);
}

void ColumnSets::readClassDefaults(const QString &text)
{
    int current = 0;
    const QString dlm = u";"_s;
    for (const QString &line : linesOf(text)) {
        if (line.isEmpty())
            continue;
        if (line.startsWith(u"IPM."_s)) {
            current = findColumnSet(line);
            if (current > 0) {
                this->record(current).columns.clear();
            } else {
                ColumnSet record;
                record.key = line;
                record.displayName = line;
                current = add(record);
            }
            continue;
        }
        if (current == 0)
            continue;
        const QString column = line.mid(1);
        QString width = DS_GetField(column, dlm, 3);
        bool isNumber = false;
        width.trimmed().toInt(&isNumber);
        if (!isNumber)
            width = u"150"_s;
        record(current).columns.push_back(
            {DS_GetField(column, dlm, 1), DS_GetField(column, dlm, 2), width});
    }
}

} // namespace corvel
