#include "merge/MailWizard.h"

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

QStringList MailWizard::preview() const
{
    return canPreview() ? m_previewSource(WizardProcess()) : QStringList();
}

MailWizard::ButtonStates MailWizard::WizardDoStep() const
{
    return {m_currentStep >= 1, m_currentStep < 1 && m_currentRow >= 1, m_currentStep == 1};
}

void MailWizard::tlDrafts_Click(int row)
{
    if (row < 0 || row > static_cast<int>(m_letters.size()))
        return;
    m_currentRow = row;
    m_letterSummary = row > 0 ? m_letters[static_cast<std::size_t>(row - 1)].subject : QString();
}

void MailWizard::optMailType_Click(int index)
{
    if (index >= 0 && index <= 3)
        m_mailType = static_cast<MailType>(index);
}

void MailWizard::cmdNext_Click()
{
    // Next is only offered with a letter chosen; a stray call must not pass without one.
    if (m_currentStep < 1 && m_currentRow >= 1)
        ++m_currentStep;
}

void MailWizard::cmdBack_Click()
{
    if (m_currentStep > 0)
        --m_currentStep;
}

MailWizard::Result MailWizard::WizardProcess() const
{
    Result result;
    result.grpMailType = m_mailType;
    if (m_currentRow >= 1)
        result.grpMailEntryId = m_letters[static_cast<std::size_t>(m_currentRow - 1)].entryId;
    return result;
}

} // namespace corvel
