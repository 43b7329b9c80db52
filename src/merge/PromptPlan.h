#pragma once

#include "merge/MailMember.h"

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace corvel {

struct PromptValues;

// How the prompted fields of a run are answered: per prompt, asked for each member (as
// always), one value for everyone, or a table of one value per member. Prompt names match
// without regard to case, as the "Prompt=" before them does; members match by address.
class PromptPlan
{
public:
    enum class Choice
    {
        Ask,
        OneValue,
        Table,
    };

    [[nodiscard]] static QString keyOf(const QString &promptName)
    {
        return promptName.toCaseFolded();
    }
    [[nodiscard]] static QString memberKey(const QString &address)
    {
        return address.trimmed().toLower();
    }

    void setChoice(const QString &promptName, Choice choice);
    [[nodiscard]] Choice choice(const QString &promptName) const;
    void setValue(const QString &promptName, const QString &value);
    [[nodiscard]] QString value(const QString &promptName) const;
    void setCell(const QString &memberAddress, const QString &promptName, const QString &value);
    [[nodiscard]] std::optional<QString> cell(const QString &memberAddress,
                                              const QString &promptName) const;
    // The file's prompts become table prompts, its rows the members' cells.
    void addTable(const PromptValues &values);

    // The plan's value for the member, or nothing when it is to be asked. A table without
    // the member's cell falls back on the one value, when one was given.
    [[nodiscard]] std::optional<QString> answer(const QString &promptName,
                                                const QString &memberAddress) const;

    // "12 members have an empty First Name", for each prompt the plan answers with an empty
    // value for some members; members without an address get no copy and do not count.
    [[nodiscard]] QStringList emptyValueLines(const QStringList &promptNames,
                                              const std::vector<MailMember> &members) const;

private:
    struct Prompt
    {
        Choice choice = Choice::Ask;
        std::optional<QString> value;
    };
    std::map<QString, Prompt> m_prompts;                   // by keyOf
    std::map<QString, std::map<QString, QString>> m_cells; // memberKey -> keyOf -> value
};

} // namespace corvel
