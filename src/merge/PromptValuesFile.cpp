#include "merge/PromptValuesFile.h"

#include "merge/PromptPlan.h"
#include "support/CsvReader.h"
#include "support/DataFile.h"

#include <map>

using namespace Qt::StringLiterals;

namespace corvel {

Result<PromptValues> PromptValuesFile::read(const QString &path)
{
    Result<QByteArray> bytes = DataFile::read(path, MaxBytes);
    if (!bytes.ok())
        return Result<PromptValues>::failure(bytes.error());
    Result<PromptValues> values = parse(CsvReader::decode(*bytes));
    if (!values.ok())
        return Result<PromptValues>::failure(u"%1: %2"_s.arg(path, values.error()));
    return values;
}

Result<PromptValues> PromptValuesFile::parse(QStringView text)
{
    using Failed = Result<PromptValues>;
    Result<std::vector<CsvReader::Record>> records = CsvReader::parse(text);
    if (!records.ok())
        return Failed::failure(records.error());
    if (records->empty())
        return Failed::failure(u"the file holds no heading"_s);
    PromptValues values;
    const CsvReader::Record &heading = records->front();
    for (qsizetype i = 1; i < heading.cells.size(); ++i) {
        const QString prompt = heading.cells[i].trimmed();
        if (prompt.isEmpty())
            return Failed::failure(
                u"line %1: column %2 of the heading names no prompt"_s.arg(heading.line)
                    .arg(i + 1));
        for (const QString &earlier : values.prompts)
            if (PromptPlan::keyOf(earlier) == PromptPlan::keyOf(prompt))
                return Failed::failure(
                    u"line %1: the prompt \"%2\" has two columns"_s.arg(heading.line).arg(prompt));
        values.prompts.append(prompt);
    }
    if (values.prompts.isEmpty())
        return Failed::failure(
            u"line %1: the heading names no prompt after the address column"_s.arg(heading.line));

    std::map<QString, qsizetype> lineOf; // member key -> the line of its row
    for (std::size_t r = 1; r < records->size(); ++r) {
        const CsvReader::Record &record = (*records)[r];
        PromptValues::Row row{record.cells.front().trimmed(), record.cells.mid(1), record.line};
        if (row.address.isEmpty())
            return Failed::failure(u"line %1: the first cell holds no address"_s.arg(row.line));
        if (row.values.size() > values.prompts.size())
            return Failed::failure(u"line %1: %2 cells, the heading names %3"_s.arg(row.line)
                                       .arg(record.cells.size())
                                       .arg(values.prompts.size() + 1));
        const auto [at, added] = lineOf.emplace(PromptPlan::memberKey(row.address), row.line);
        if (!added)
            return Failed::failure(u"line %1: %2 has a row on line %3 already"_s.arg(row.line)
                                       .arg(row.address)
                                       .arg(at->second));
        while (row.values.size() < values.prompts.size())
            row.values.append(QString());
        values.rows.push_back(std::move(row));
    }
    return values;
}

} // namespace corvel
