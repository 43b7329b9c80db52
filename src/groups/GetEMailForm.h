#pragma once

#include <QString>

namespace corvel {

// The rules of the name-and-address prompt (frmGetEmail). The display name is shown split
// into last and first name at its first comma; the answer joins them again, then "\\" and
// the address. Name and address are checked where the member is stored (GroupEditor).
class GetEMailForm
{
public:
    GetEMailForm(const QString &displayName, QString address, QString caption);

    [[nodiscard]] const QString &caption() const { return m_caption; }
    [[nodiscard]] const QString &firstName() const { return m_firstName; }
    [[nodiscard]] const QString &lastName() const { return m_lastName; }
    [[nodiscard]] const QString &email() const { return m_email; }
    void setFirstName(const QString &text) { m_firstName = text; }
    void setLastName(const QString &text) { m_lastName = text; }
    void setEmail(const QString &text) { m_email = text; }

    [[nodiscard]] bool okEnabled() const;
    // "Last, First" when both are given, else whichever is; refused while OK is disabled.
    void accept();
    // Empty until OK: the display name, "\\", the address.
    [[nodiscard]] const QString &answer() const { return m_answer; }

    // The separator of the answer's two parts.
    [[nodiscard]] static QString separator();

private:
    QString m_caption;
    QString m_firstName;
    QString m_lastName;
    QString m_email;
    QString m_answer;
};

} // namespace corvel
