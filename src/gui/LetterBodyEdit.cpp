#include "gui/LetterBodyEdit.h"

#include "message/LetterHtml.h"

#include <QMimeData>
#include <QTextCursor>
#include <QTextList>

namespace corvel {

LetterBodyEdit::LetterBodyEdit(QWidget *parent)
    : QTextEdit(parent)
{
    setAcceptRichText(true);
}

void LetterBodyEdit::insertFromMimeData(const QMimeData *source)
{
    if (source->hasHtml())
        textCursor().insertHtml(LetterHtml::sanitized(source->html()));
    else if (source->hasText())
        textCursor().insertText(source->text());
}

void LetterBodyEdit::toggleBold()
{
    QTextCharFormat format;
    format.setFontWeight(fontWeight() >= QFont::DemiBold ? QFont::Normal : QFont::Bold);
    mergeCurrentCharFormat(format);
}

void LetterBodyEdit::toggleItalic()
{
    QTextCharFormat format;
    format.setFontItalic(!fontItalic());
    mergeCurrentCharFormat(format);
}

void LetterBodyEdit::toggleUnderline()
{
    QTextCharFormat format;
    format.setFontUnderline(!fontUnderline());
    mergeCurrentCharFormat(format);
}

void LetterBodyEdit::toggleList(bool numbered)
{
    QTextCursor cursor = textCursor();
    const QTextListFormat::Style style =
        numbered ? QTextListFormat::ListDecimal : QTextListFormat::ListDisc;
    if (QTextList *list = cursor.currentList(); list && list->format().style() == style) {
        // Out of the list: each paragraph back to plain.
        for (int i = list->count() - 1; i >= 0; --i)
            list->removeItem(i);
        QTextBlockFormat block = cursor.blockFormat();
        block.setIndent(0);
        cursor.setBlockFormat(block);
        return;
    }
    cursor.createList(style);
}

void LetterBodyEdit::makeLink(const QString &address)
{
    QTextCursor cursor = textCursor();
    QTextCharFormat format;
    format.setAnchor(true);
    format.setAnchorHref(address);
    format.setFontUnderline(true);
    if (!cursor.hasSelection())
        cursor.insertText(address, format);
    else
        cursor.mergeCharFormat(format);
}

void LetterBodyEdit::setPointSize(int points)
{
    QTextCharFormat format;
    format.setFontPointSize(points > 0 ? points : document()->defaultFont().pointSizeF());
    mergeCurrentCharFormat(format);
}

} // namespace corvel
