#include "folders/ColumnSets.h"

#include "support/FieldStrings.h"

#include <QStringList>

#include <algorithm>

namespace corvel {

namespace {

QStringList linesOf(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

QString appended(const QString &list, const QString &value)
{
    const QString dlm = QStringLiteral("~");
    return DS_PutField(list, dlm, DS_CountFields(list, dlm) + 1, value);
}

} // namespace

int ColumnSets::add(const ColumnSet &record)
{
    m_records.push_back(record);
    return count();
}

int ColumnSets::FindColumnSet(const QString &key) const
{
    for (size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].field(ColumnSet::Key) == key)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

int ColumnSets::CopyColumnSet(int n)
{
    if (n < 1 || n > count())
        return 0;
    const ColumnSet copy = record(n);
    return add(copy);
}

void ColumnSets::readFolderSettings(const QString &text)
{
    const QString dlm = QStringLiteral("^");
    for (const QString &line : linesOf(text)) {
        if (line.isEmpty())
            continue;
        ColumnSet record;
        for (int f = 1; f <= 6; ++f)
            record.field(f) = DS_GetField(line, dlm, f);
        add(record);
    }
}

QString ColumnSets::checkFolderSettings(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("the file is empty");
    if (!text.endsWith(QLatin1Char('\n')))
        return QStringLiteral("the last line is cut short");
    const QStringList lines = linesOf(text);
    // The text ends with a line break, so the last element is the empty rest after it.
    for (qsizetype n = 0; n + 1 < lines.size(); ++n) {
        const QString &line = lines[n];
        if (line.isEmpty())
            continue;
        const bool control = std::any_of(line.cbegin(), line.cend(), [](QChar c) {
            return c.unicode() < 0x20 && c != QLatin1Char('\t');
        });
        if (control)
            return QStringLiteral("line %1 holds control characters").arg(n + 1);
    }
    return {};
}

QString ColumnSets::formatLine(const ColumnSet &record)
{
    QString line = record.field(1);
    for (int f = 2; f <= 6; ++f)
        line += QLatin1Char('^') + record.field(f);
    return line;
}

void ColumnSets::readClassDefaults(const QString &text)
{
    int current = 0;
    const QString dlm = QStringLiteral(";");
    for (const QString &line : linesOf(text)) {
        if (line.isEmpty())
            continue;
        if (line.startsWith(QStringLiteral("IPM."))) {
            current = FindColumnSet(line);
            if (current > 0) {
                ColumnSet &record = this->record(current);
                record.field(ColumnSet::Properties).clear();
                record.field(ColumnSet::Headings).clear();
                record.field(ColumnSet::Widths).clear();
            } else {
                ColumnSet record;
                record.field(ColumnSet::Key) = line;
                record.field(ColumnSet::DisplayName) = line;
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
            width = QStringLiteral("150");
        ColumnSet &record = this->record(current);
        record.field(ColumnSet::Properties) =
            appended(record.field(ColumnSet::Properties), DS_GetField(column, dlm, 1));
        record.field(ColumnSet::Headings) =
            appended(record.field(ColumnSet::Headings), DS_GetField(column, dlm, 2));
        record.field(ColumnSet::Widths) = appended(record.field(ColumnSet::Widths), width);
    }
}

} // namespace corvel
