#pragma once

#include "support/Result.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace corvel {

// Fills the merge fields of a letter's body: "<<name>>" is removed, "<<Prompt=name>>" is
// replaced with the value given for that name; "<<" without a later ">>" stays as it is.
class MergeFields
{
public:
    static QString promptCaption(const QString &promptName)
    {
        return QStringLiteral("Enter value for ") + promptName;
    }
    // The names of the prompted fields in order of first appearance, for asking up front; a
    // name used again in another letter case is the same prompt.
    [[nodiscard]] static QStringList promptNames(const QString &text);
    // Where the fields stand, as fillMergeFields finds them: each "<<" with the first ">>"
    // after it, both included; a "<<" without a later ">>" is no field.
    struct Span
    {
        qsizetype start = 0;
        qsizetype length = 0;
        bool prompted = false; // "<<Prompt=name>>", asked for each member

        friend bool operator==(const Span &, const Span &) = default;
    };
    [[nodiscard]] static QList<Span> fieldSpans(const QString &text);
    // Why a name cannot be a prompt field's ("<<", ">>", a closing ">", a line break or NUL
    // would change where the field ends); empty when it can.
    [[nodiscard]] static QString promptNameProblem(const QString &name);
    [[nodiscard]] static QString promptField(const QString &name)
    {
        return QStringLiteral("<<Prompt=") + name + QStringLiteral(">>");
    }
    [[nodiscard]] static bool hasFields(const QString &text)
    {
        return text.contains(QStringLiteral("<<"), Qt::CaseInsensitive);
    }

    // valueOf answers a prompt by its name. Fails when a prompted value holds CR, LF or NUL
    // (the member's copy is then not made), or when prompted values keep adding fields
    // without end.
    using PromptValue = std::function<QString(const QString &promptName)>;
    [[nodiscard]] static corvel::Result<QString> fillMergeFields(const QString &text,
                                                                 const PromptValue &valueOf);
    // The same for a letter's HTML text, where the fields stand escaped ("&lt;&lt;name&gt;&gt;",
    // markup inside them ignored): each value is HTML-escaped, so it shows as typed, and the
    // text is read once (a value adds no field).
    [[nodiscard]] static corvel::Result<QString> fillHtmlMergeFields(const QString &html,
                                                                     const PromptValue &valueOf);
    // Said where letters go out unmerged (To, CC and BCC copies) and hold merge fields.
    [[nodiscard]] static QString unmergedNote()
    {
        return QStringLiteral("The letter's merge fields go out as typed in To, CC and BCC mail");
    }
};

} // namespace corvel
