#pragma once

#include <QTextEdit>

namespace corvel {

// The letter's body: rich text whose formatting is kept to what a letter may carry, pasted
// HTML included (LetterHtml's rule), and commands to apply it.
class LetterBodyEdit : public QTextEdit
{
    Q_OBJECT

public:
    explicit LetterBodyEdit(QWidget *parent = nullptr);

    void toggleBold();
    void toggleItalic();
    void toggleUnderline();
    // A bulleted or numbered list for the paragraphs selected, or back to paragraphs.
    void toggleList(bool numbered);
    // The selection (or the address itself) made a link to `address`.
    void makeLink(const QString &address);
    // 0: the usual size.
    void setPointSize(int points);

protected:
    void insertFromMimeData(const QMimeData *source) override;
};

} // namespace corvel
