#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace corvel {

// The user's settings: sections of text values in a per-user INI file at
// <configRoot>/<Company>/<appName>.conf (configRoot defaults to $XDG_CONFIG_HOME).
// No operation throws or shows anything: reads fall back to the caller's default,
// writes and deletes answer false and leave the file as it was.
class CRegSettings
{
public:
    // An empty configRoot means the user's configuration folder.
    explicit CRegSettings(QString configRoot = {});

    [[nodiscard]] QString Company() const { return m_company; }
    void setCompany(const QString &company); // "" restores "Tessary"; blanks are trimmed
    [[nodiscard]] QString appName() const { return m_appName; }
    void setAppName(const QString &name); // "" restores the product name; blanks are trimmed

    // Key "*" is the section's unnamed value.
    [[nodiscard]] QString GetSetting(const QString &section, const QString &key,
                                     const QString &defaultValue) const;
    [[nodiscard]] bool SaveSetting(const QString &section, const QString &key,
                                   const QString &setting);
    // An empty key removes the whole section.
    [[nodiscard]] bool DeleteSetting(const QString &section, const QString &key);

    // Every key of a section with its value, in the order the file holds them.
    [[nodiscard]] QList<std::pair<QString, QString>> GetAllSettings(const QString &section) const;

    [[nodiscard]] QString filePath() const;

private:
    QString m_configRoot;
    QString m_company;
    QString m_appName;
};

} // namespace corvel
