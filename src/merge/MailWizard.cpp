#include "merge/MailWizard.h"

#include "merge/MemberAttachments.h"
#include "merge/MergeFields.h"
#include "merge/PromptValuesFile.h"

#include <QDateTime>
#include <QSet>

#include <algorithm>
#include <set>

namespace corvel {

QString MailWizard::mailTypeText(MailType type)
{
    switch (type) {
    case MailType::Personal:
        return QStringLiteral("&Personalize each message");
    case MailType::To:
        return QStringLiteral("All recipients in \"&To\" address");
    case MailType::CC:
        return QStringLiteral("All recipients in \"&CC\" address");
    case MailType::BCC:
        return QStringLiteral("All recipients in \"&BCC\" address");
    case MailType::None:
        break;
    }
    return {};
}

QString MailWizard::membersSummary(qint64 count, const QString &groupCaption)
{
    return QString::number(count) + QStringLiteral(" Members of ") + groupCaption;
}

QString MailWizard::promptChoiceText(PromptPlan::Choice choice)
{
    switch (choice) {
    case PromptPlan::Choice::Ask:
        return QStringLiteral("Ask for each member");
    case PromptPlan::Choice::OneValue:
        return QStringLiteral("One value for everyone");
    case PromptPlan::Choice::Table:
        return QStringLiteral("A table");
    }
    return {};
}

MailWizard::MailWizard(std::vector<Letter> letters)
    : m_letters(std::move(letters))
{
}

MailWizard::MailWizard(std::vector<Letter> letters, QString draftsCaption, QString membersSummary)
    : m_letters(std::move(letters))
    , m_draftsCaption(std::move(draftsCaption))
    , m_membersSummary(std::move(membersSummary))
{
}

Status MailWizard::sendTest(const QString &address) const
{
    if (!m_testSender || !canPreview())
        return Status::failure(QStringLiteral("Choose a letter and its addressing first."));
    return m_testSender(wizardProcess(), address.trimmed());
}

QStringList MailWizard::preview() const
{
    return canPreview() ? m_previewSource(wizardProcess()) : QStringList();
}

void MailWizard::setMembers(const std::vector<MailMember> &members,
                            ContactValueSource contactValues)
{
    m_contactValues = std::move(contactValues);
    m_tableMembers.clear();
    std::set<QString> seen;
    for (const MailMember &member : members)
        if (!member.address.isEmpty() && seen.insert(PromptPlan::memberKey(member.address)).second)
            m_tableMembers.push_back(member);
}

bool MailWizard::hasPromptStep() const
{
    return m_mailType == MailType::Personal && !m_promptNames.isEmpty();
}

void MailWizard::fillFromContacts(const QString &promptName)
{
    const QString key = PromptPlan::keyOf(promptName);
    if (m_filledFromContacts.contains(key))
        return;
    m_filledFromContacts.append(key);
    for (const MailMember &member : m_tableMembers) {
        if (m_prompts.cell(member.address, promptName))
            continue;
        std::optional<QString> value;
        if (m_contactValues)
            value = m_contactValues(member, promptName);
        m_prompts.setCell(member.address, promptName, value.value_or(QString()));
    }
}

void MailWizard::setPromptChoice(const QString &promptName, PromptPlan::Choice choice)
{
    if (choice == PromptPlan::Choice::Table)
        fillFromContacts(promptName);
    m_prompts.setChoice(promptName, choice);
}

void MailWizard::setPromptValue(const QString &promptName, const QString &value)
{
    m_prompts.setValue(promptName, value);
}

QString MailWizard::promptCell(int row, const QString &promptName) const
{
    if (row < 0 || row >= static_cast<int>(m_tableMembers.size()))
        return {};
    return m_prompts.cell(m_tableMembers[static_cast<std::size_t>(row)].address, promptName)
        .value_or(QString());
}

void MailWizard::setPromptCell(int row, const QString &promptName, const QString &value)
{
    if (row >= 0 && row < static_cast<int>(m_tableMembers.size()))
        m_prompts.setCell(m_tableMembers[static_cast<std::size_t>(row)].address, promptName, value);
}

Status MailWizard::cmdLoadValues_Click()
{
    const QString path = m_chooseValuesFile ? m_chooseValuesFile() : QString();
    return path.isEmpty() ? Status() : loadPromptValues(path);
}

Status MailWizard::loadPromptValues(const QString &path)
{
    const corvel::Result<PromptValues> values = PromptValuesFile::read(path);
    if (!values.ok())
        return Status::failure(values.error());
    takeAttachments(*values);
    for (const QString &prompt : values->prompts) {
        for (const QString &name : m_promptNames) {
            if (PromptPlan::keyOf(name) != PromptPlan::keyOf(prompt))
                continue;
            setPromptChoice(name, PromptPlan::Choice::Table);
            const qsizetype column = values->prompts.indexOf(prompt);
            // Only the members mailed: a row for anyone else would fill nothing.
            for (const PromptValues::Row &row : values->rows)
                if (m_prompts.cell(row.address, name))
                    m_prompts.setCell(row.address, name, row.values.value(column));
        }
    }
    return {};
}

void MailWizard::takeAttachments(const PromptValues &values)
{
    const QString name = MemberAttachments::columnName();
    const auto found =
        std::find_if(values.prompts.cbegin(), values.prompts.cend(), [&](const QString &prompt) {
            return PromptPlan::keyOf(prompt) == PromptPlan::keyOf(name);
        });
    if (found == values.prompts.cend())
        return;
    const qsizetype column = found - values.prompts.cbegin();
    m_prompts.setChoice(name, PromptPlan::Choice::Table);
    QSet<QString> mailed;
    for (const MailMember &member : m_tableMembers)
        mailed.insert(PromptPlan::memberKey(member.address));
    for (const PromptValues::Row &row : values.rows)
        if (mailed.contains(PromptPlan::memberKey(row.address)))
            m_prompts.setCell(row.address, name, row.values.value(column));
}

bool MailWizard::hasAttachmentColumn() const
{
    return m_prompts.choice(MemberAttachments::columnName()) == PromptPlan::Choice::Table;
}

QStringList MailWizard::emptyValueLines() const
{
    return hasPromptStep() ? m_prompts.emptyValueLines(m_promptNames, m_tableMembers)
                           : QStringList();
}

QString MailWizard::addressingNote() const
{
    const bool unmerged =
        m_mailType == MailType::To || m_mailType == MailType::CC || m_mailType == MailType::BCC;
    return unmerged && m_letterHasFields ? MergeFields::unmergedNote() : QString();
}

MailWizard::ButtonStates MailWizard::wizardDoStep() const
{
    const bool next =
        (m_currentStep == 0 && m_currentRow >= 1) || (m_currentStep == 1 && hasPromptStep());
    return {m_currentStep >= 1, next,
            m_currentStep >= 1 && m_currentRow >= 1 && sendAtProblem().isEmpty()};
}

corvel::Result<qint64> MailWizard::sendTimeOf(const QString &text, qint64 nowMs)
{
    if (text.isEmpty())
        return qint64(0);
    const QDateTime at = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!at.isValid())
        return corvel::Result<qint64>::failure(
            QStringLiteral("Send at wants a local date and time as \"YYYY-MM-DD HH:MM\", not "
                           "\"%1\".")
                .arg(text));
    const qint64 ms = at.toMSecsSinceEpoch();
    return ms > nowMs ? ms : qint64(0);
}

QString MailWizard::sendAtProblem() const
{
    const corvel::Result<qint64> at = sendTimeOf(m_sendAt, QDateTime::currentMSecsSinceEpoch());
    return at.ok() ? QString() : at.error();
}

bool MailWizard::cmdSaveCopies_Click()
{
    if (!canPreview() || !m_chooseSaveFolder)
        return false;
    m_saveTo = m_chooseSaveFolder();
    return !m_saveTo.isEmpty();
}

void MailWizard::tlDrafts_Click(int row)
{
    if (row < 0 || row > static_cast<int>(m_letters.size()))
        return;
    m_currentRow = row;
    m_letterSummary = row > 0 ? m_letters[static_cast<std::size_t>(row - 1)].subject : QString();
    const QString body = row > 0 && m_letterBody
                             ? m_letterBody(m_letters[static_cast<std::size_t>(row - 1)].entryId)
                             : QString();
    m_letterHasFields = MergeFields::hasFields(body);
    m_promptNames = MergeFields::promptNames(body);
}

void MailWizard::optMailType_Click(int index)
{
    if (index >= 0 && index <= 3)
        m_mailType = static_cast<MailType>(index);
}

void MailWizard::cmdNext_Click()
{
    // Next is only offered where there is a next page; a stray call must not pass.
    if (wizardDoStep().next)
        ++m_currentStep;
}

void MailWizard::cmdBack_Click()
{
    if (m_currentStep > 0)
        --m_currentStep;
}

MailWizard::Result MailWizard::wizardProcess() const
{
    Result result;
    result.grpMailType = m_mailType;
    // Prompts of a page not shown are asked, as they always were.
    if (hasPromptStep())
        result.prompts = m_prompts;
    if (m_currentRow >= 1)
        result.grpMailEntryId = m_letters[static_cast<std::size_t>(m_currentRow - 1)].entryId;
    result.saveTo = m_saveTo;
    if (const corvel::Result<qint64> at = sendTimeOf(m_sendAt, QDateTime::currentMSecsSinceEpoch());
        at.ok() && m_saveTo.isEmpty())
        result.notBeforeMs = *at;
    return result;
}

} // namespace corvel
