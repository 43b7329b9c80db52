#include "tree/FindText.h"

namespace corvel {

namespace {

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

} // namespace

QString FindText::fold(QStringView text)
{
    // Most keys are plain ASCII: decomposing them changes nothing, so skip the tables.
    if (isAscii(text))
        return text.toString().toCaseFolded();
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString bare;
    bare.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
            category != QChar::Mark_Enclosing)
            bare.append(c);
    }
    return bare.toCaseFolded();
}

} // namespace corvel
