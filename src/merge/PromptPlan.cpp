#include "merge/PromptPlan.h"

#include "merge/PromptValuesFile.h"

using namespace Qt::StringLiterals;

namespace corvel {

void PromptPlan::setChoice(const QString &promptName, Choice choice)
{
    m_prompts[keyOf(promptName)].choice = choice;
}

PromptPlan::Choice PromptPlan::choice(const QString &promptName) const
{
    const auto found = m_prompts.find(keyOf(promptName));
    return found == m_prompts.end() ? Choice::Ask : found->second.choice;
}

void PromptPlan::setValue(const QString &promptName, const QString &value)
{
    m_prompts[keyOf(promptName)].value = value;
}

QString PromptPlan::value(const QString &promptName) const
{
    const auto found = m_prompts.find(keyOf(promptName));
    return found == m_prompts.end() ? QString() : found->second.value.value_or(QString());
}

void PromptPlan::setCell(const QString &memberAddress, const QString &promptName,
                         const QString &value)
{
    m_cells[memberKey(memberAddress)][keyOf(promptName)] = value;
}

std::optional<QString> PromptPlan::cell(const QString &memberAddress,
                                        const QString &promptName) const
{
    const auto row = m_cells.find(memberKey(memberAddress));
    if (row == m_cells.end())
        return std::nullopt;
    const auto found = row->second.find(keyOf(promptName));
    if (found == row->second.end())
        return std::nullopt;
    return found->second;
}

void PromptPlan::addTable(const PromptValues &values)
{
    for (const QString &prompt : values.prompts)
        setChoice(prompt, Choice::Table);
    for (const PromptValues::Row &row : values.rows)
        for (qsizetype i = 0; i < values.prompts.size(); ++i)
            setCell(row.address, values.prompts[i], row.values.value(i));
}

std::optional<QString> PromptPlan::answer(const QString &promptName,
                                          const QString &memberAddress) const
{
    const auto found = m_prompts.find(keyOf(promptName));
    if (found == m_prompts.end())
        return std::nullopt;
    switch (found->second.choice) {
    case Choice::Ask:
        return std::nullopt;
    case Choice::OneValue:
        return found->second.value.value_or(QString());
    case Choice::Table:
        if (std::optional<QString> value = cell(memberAddress, promptName))
            return value;
        return found->second.value;
    }
    return std::nullopt;
}

QStringList PromptPlan::emptyValueLines(const QStringList &promptNames,
                                        const std::vector<MailMember> &members) const
{
    QStringList lines;
    for (const QString &prompt : promptNames) {
        qint64 empty = 0;
        for (const MailMember &member : members) {
            if (member.address.isEmpty())
                continue;
            const std::optional<QString> value = answer(prompt, member.address);
            if (value && value->isEmpty())
                ++empty;
        }
        if (empty == 1)
            lines.append(u"1 member has an empty %1"_s.arg(prompt));
        else if (empty > 1)
            lines.append(u"%1 members have an empty %2"_s.arg(empty).arg(prompt));
    }
    return lines;
}

} // namespace corvel
