#include "merge/MergeFields.h"

#include "merge/PromptPlan.h"
#include "message/LetterHtml.h"

#include <QRegularExpression>

#include <QStringList>

#include <algorithm>

namespace corvel {

namespace {

const QString kOpen = QStringLiteral("<<");
const QString kClose = QStringLiteral(">>");
const QString kPrompt = QStringLiteral("Prompt=");

// A prompted value may refill itself with fields forever; no letter needs this many.
constexpr int kMaxReplacements = 100000;

bool holdsLineBreakOrNul(const QString &value)
{
    for (const QChar c : value)
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    return false;
}

} // namespace

QStringList MergeFields::promptNames(const QString &text)
{
    QStringList names;
    for (const Span &span : fieldSpans(text)) {
        if (!span.prompted)
            continue;
        const qsizetype nameStart = span.start + 2 + kPrompt.size();
        const QString promptName = text.mid(nameStart, span.start + span.length - 2 - nameStart);
        const bool known = std::any_of(names.cbegin(), names.cend(), [&](const QString &name) {
            return PromptPlan::keyOf(name) == PromptPlan::keyOf(promptName);
        });
        if (!known)
            names.append(promptName);
    }
    return names;
}

QList<MergeFields::Span> MergeFields::fieldSpans(const QString &text)
{
    QList<Span> spans;
    qsizetype from = 0;
    while (true) {
        const qsizetype open = text.indexOf(kOpen, from);
        if (open < 0)
            break;
        const qsizetype close = text.indexOf(kClose, open);
        if (close < 0)
            break;
        const bool prompted =
            QStringView(text).mid(open + 2).startsWith(kPrompt, Qt::CaseInsensitive) &&
            open + 2 + kPrompt.size() <= close;
        spans.append({open, close + 2 - open, prompted});
        from = close + 2;
    }
    return spans;
}

QString MergeFields::promptNameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("A prompt field needs a name.");
    if (holdsLineBreakOrNul(name))
        return QStringLiteral("A prompt field's name cannot hold a line break.");
    if (name.contains(kOpen) || name.contains(kClose) || name.endsWith(u'>'))
        return QStringLiteral("A prompt field's name cannot hold \"<<\" or \">>\", nor end "
                              "with \">\": \"%1\"")
            .arg(name);
    return {};
}

corvel::Result<QString> MergeFields::fillMergeFields(const QString &text,
                                                     const PromptValue &valueOf)
{
    QString filled = text;
    for (int replacements = 0;; ++replacements) {
        const qsizetype open = filled.indexOf(kOpen);
        if (open < 0)
            break;
        const qsizetype close = filled.indexOf(kClose, open);
        if (close < 0)
            break;
        if (replacements == kMaxReplacements)
            return corvel::Result<QString>::failure(
                QStringLiteral("The merge fields of the letter never end: a prompted value "
                               "keeps adding fields."));
        const QString name = filled.mid(open + 2, close - open - 2);
        QString value;
        if (name.startsWith(kPrompt, Qt::CaseInsensitive)) {
            const QString promptName = name.mid(kPrompt.size());
            value = valueOf(promptName);
            // The dialog takes one line; a value from elsewhere with a line break or NUL is
            // refused rather than trusted to stay inside the body.
            if (holdsLineBreakOrNul(value))
                return corvel::Result<QString>::failure(
                    QStringLiteral("The value for \"%1\" holds a line break or NUL character.")
                        .arg(promptName));
        }
        filled.replace(open, close + 2 - open, value);
    }
    return filled;
}

corvel::Result<QString> MergeFields::fillHtmlMergeFields(const QString &html,
                                                         const PromptValue &valueOf)
{
    static const QString open = QStringLiteral("&lt;&lt;");
    static const QString close = QStringLiteral("&gt;&gt;");
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString filled;
    qsizetype from = 0;
    while (true) {
        const qsizetype start = html.indexOf(open, from);
        const qsizetype end = start < 0 ? -1 : html.indexOf(close, start);
        if (end < 0)
            break;
        filled += QStringView(html).mid(from, start - from);
        const QString name = LetterHtml::decoded(
            html.mid(start + open.size(), end - start - open.size()).remove(tag));
        if (name.startsWith(kPrompt, Qt::CaseInsensitive)) {
            const QString promptName = name.mid(kPrompt.size());
            const QString value = valueOf(promptName);
            if (holdsLineBreakOrNul(value))
                return corvel::Result<QString>::failure(
                    QStringLiteral("The value for \"%1\" holds a line break or NUL character.")
                        .arg(promptName));
            filled += value.toHtmlEscaped();
        }
        from = end + close.size();
    }
    filled += QStringView(html).mid(from);
    return filled;
}

} // namespace corvel
