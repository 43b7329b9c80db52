#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace corvel {

// Comma-separated records as RFC 4180 has them, read whole: a quoted cell may hold commas,
// line breaks and doubled quotes; a record ends at CR LF, LF or a lone CR. Blank lines hold no
// record. Lenient where files in the wild are: a quote inside an unquoted cell is kept, text
// after a closing quote joins the cell, and blanks before an opening quote are dropped.
class CsvReader
{
public:
    struct Record
    {
        QStringList cells;
        qsizetype line = 0; // where the record starts, from 1
    };

    // Fails only on a quoted cell that is never closed, naming the line it opened on.
    [[nodiscard]] static Result<std::vector<Record>> parse(QStringView text);
    // A text file's bytes as text: a UTF-8 byte order mark is dropped, and a file that is not
    // UTF-8 is read as Latin-1, as older address lists are.
    [[nodiscard]] static QString decode(const QByteArray &bytes);
};

} // namespace corvel
