#include "gui/MergeFieldHighlighter.h"

#include "merge/MergeFields.h"

#include <QColor>

namespace corvel {

MergeFieldHighlighter::MergeFieldHighlighter(QTextDocument *document)
    : QSyntaxHighlighter(document)
{
}

QTextCharFormat MergeFieldHighlighter::promptFormat()
{
    QTextCharFormat format;
    format.setForeground(QColor(0x00, 0x00, 0x80));
    format.setBackground(QColor(0xff, 0xf2, 0xb3));
    format.setFontWeight(QFont::Bold);
    return format;
}

QTextCharFormat MergeFieldHighlighter::fieldFormat()
{
    QTextCharFormat format;
    format.setForeground(QColor(0x80, 0x00, 0x00));
    format.setBackground(QColor(0xe6, 0xe6, 0xe6));
    return format;
}

void MergeFieldHighlighter::highlightBlock(const QString &text)
{
    for (const MergeFields::Span &span : MergeFields::fieldSpans(text))
        setFormat(int(span.start), int(span.length),
                  span.prompted ? promptFormat() : fieldFormat());
}

} // namespace corvel
