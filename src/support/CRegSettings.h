#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <utility>

namespace corvel {

struct CRegSettingsCache;

// The user's settings: sections of text values in a per-user INI file at
// <configRoot>/<company>/<appName>.conf.
// No operation throws or shows anything: reads fall back to the caller's default,
// writes and deletes answer false and leave the file as it was.
//
// A file that exists but cannot be read, or holds lines that cannot be understood, is never
// replaced: reads use what could be read, writes are refused, and problem() says why.
class CRegSettings
{
public:
    // configRoot is the user's configuration folder ($XDG_CONFIG_HOME), found by the caller.
    explicit CRegSettings(QString configRoot);
    ~CRegSettings();
    CRegSettings(const CRegSettings &) = default;
    CRegSettings &operator=(const CRegSettings &) = default;

    [[nodiscard]] QString company() const { return m_company; }
    void setCompany(const QString &company); // "" restores "Tessary"; blanks are trimmed
    [[nodiscard]] QString appName() const { return m_appName; }
    void setAppName(const QString &name); // "" restores the product name; blanks are trimmed

    // Key "*" is the section's unnamed value.
    [[nodiscard]] QString getSetting(const QString &section, const QString &key,
                                     const QString &defaultValue) const;
    [[nodiscard]] bool saveSetting(const QString &section, const QString &key,
                                   const QString &setting);
    // An empty key removes the whole section.
    [[nodiscard]] bool deleteSetting(const QString &section, const QString &key);

    // Every key of a section with its value, in the order the file holds them.
    [[nodiscard]] QList<std::pair<QString, QString>> allSettings(const QString &section) const;

    [[nodiscard]] QString filePath() const;

    // Why the file cannot be used whole (which line is damaged, or why it cannot be read at
    // all); empty when it reads whole or does not exist yet.
    [[nodiscard]] QString problem() const;
    // True when the file exists but nothing at all could be read from it.
    [[nodiscard]] bool unreadable() const;

private:
    QString m_configRoot;
    QString m_company;
    QString m_appName;
    // Shared by copies: they read the same file.
    std::shared_ptr<CRegSettingsCache> m_cache;
};

} // namespace corvel
