#pragma once

#include "support/Result.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace corvel {

// Prompted values from a CSV file: the first column is the member's address, the heading
// names the prompts of the others. The one reader of such files, for corvelctl's --values
// and the wizard's table alike.
struct PromptValues
{
    struct Row
    {
        QString address;
        QStringList values; // one per prompt; cells the row lacks are empty
        qsizetype line = 0;
    };
    QStringList prompts;
    std::vector<Row> rows;
};

class PromptValuesFile
{
public:
    // A values file is a table of members, not a store: far larger ones are a mistake.
    static constexpr qint64 MaxBytes = qint64(64) << 20;

    // Fails with the file's name and, for a bad record, its line: a heading without prompts or
    // with a prompt twice, a row without an address, with more cells than the heading or for
    // an address that has a row already.
    [[nodiscard]] static Result<PromptValues> read(const QString &path);
    [[nodiscard]] static Result<PromptValues> parse(QStringView text);
};

} // namespace corvel
