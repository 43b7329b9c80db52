#include "groups/GetEMailForm.h"

#include "support/FieldStrings.h"

using namespace Qt::StringLiterals;

namespace corvel {

QString GetEMailForm::separator()
{
    return u"\\\\"_s;
}

GetEMailForm::GetEMailForm(const QString &displayName, QString address, QString caption)
    : m_caption(std::move(caption))
    , m_email(std::move(address))
{
    const qsizetype comma = displayName.indexOf(u',');
    if (comma < 0) {
        m_firstName = displayName;
    } else {
        m_lastName = displayName.left(comma);
        m_firstName = DS_GetField(displayName, u","_s, 2).trimmed();
    }
}

bool GetEMailForm::okEnabled() const
{
    return (!m_firstName.isEmpty() || !m_lastName.isEmpty()) && !m_email.isEmpty();
}

void GetEMailForm::accept()
{
    if (!okEnabled())
        return;
    const QString name = !m_lastName.isEmpty() && !m_firstName.isEmpty()
                             ? m_lastName + u", "_s + m_firstName
                             : m_lastName + m_firstName;
    m_answer = name + separator() + m_email;
}

} // namespace corvel
