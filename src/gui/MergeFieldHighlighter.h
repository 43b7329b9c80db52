#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace corvel {

// Marks the merge fields of a letter's body as the generator will find them: prompted
// fields ("<<Prompt=name>>") in one colour, fields it removes in another. A field spans
// lines only in the generator; here each line is marked on its own.
class MergeFieldHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    explicit MergeFieldHighlighter(QTextDocument *document);

    [[nodiscard]] static QTextCharFormat promptFormat();
    [[nodiscard]] static QTextCharFormat fieldFormat();

protected:
    void highlightBlock(const QString &text) override;
};

} // namespace corvel
