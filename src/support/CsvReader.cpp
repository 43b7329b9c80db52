#include "support/CsvReader.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Steps over one line end (CR LF, LF or CR) at i, counting the line.
bool skipLineEnd(QStringView text, qsizetype &i, qsizetype &line)
{
    if (text[i] == u'\r') {
        if (i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
    } else if (text[i] != u'\n') {
        return false;
    }
    ++i;
    ++line;
    return true;
}

} // namespace

Result<std::vector<CsvReader::Record>> CsvReader::parse(QStringView text)
{
    std::vector<Record> records;
    Record record;
    QString cell;
    bool cellBegun = false;   // the cell has had a quote or a character
    bool cellQuoted = false;  // the cell has had a quoted part
    bool recordBegun = false; // the record has had a cell, a quote or a character
    qsizetype line = 1;
    record.line = line;
    auto endRecord = [&] {
        record.cells.append(cell);
        if (recordBegun)
            records.push_back(std::move(record));
        record = {};
        record.line = line;
        cell.clear();
        cellBegun = cellQuoted = recordBegun = false;
    };
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u'"' && (!cellBegun || (!cellQuoted && cell.trimmed().isEmpty()))) {
            const qsizetype opened = line;
            cellBegun = cellQuoted = recordBegun = true;
            cell.clear();
            for (++i;; ++i) {
                if (i >= text.size())
                    return Result<std::vector<Record>>::failure(
                        u"line %1: a quoted cell is never closed"_s.arg(opened));
                if (text[i] == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                    cell += u'"';
                    ++i;
                } else if (text[i] == u'"') {
                    ++i;
                    break;
                } else {
                    const bool lineEnds =
                        text[i] == u'\n' ||
                        (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'));
                    line += lineEnds ? 1 : 0;
                    cell += text[i];
                }
            }
        } else if (c == u',') {
            record.cells.append(cell);
            cell.clear();
            cellBegun = cellQuoted = false;
            recordBegun = true;
            ++i;
        } else if (skipLineEnd(text, i, line)) {
            endRecord();
        } else {
            cell += c;
            cellBegun = recordBegun = true;
            ++i;
        }
    }
    if (recordBegun)
        endRecord();
    return records;
}

QString CsvReader::decode(const QByteArray &bytes)
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

} // namespace corvel
