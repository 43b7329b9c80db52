#pragma once

#include <QString>

#include <vector>

namespace corvel {

// The program's help set: HTML pages in one folder, with a contents page, the pages that
// context numbers open, and a word search over the pages' text.
class HelpIndex
{
public:
    struct Topic
    {
        QString file;  // name inside the folder
        QString title; // from the page's <title>
        QString text;  // the page without markup, for searching
    };
    struct Match
    {
        QString file;
        QString title;
        QString excerpt; // text around the first word found
    };

    static constexpr int StandardMailGroups = 1004;
    static constexpr int DynamicMailGroups = 1005;

    explicit HelpIndex(QString directory);

    // Reads every page; false when the folder holds none.
    bool load();
    [[nodiscard]] const QString &directory() const { return m_directory; }
    [[nodiscard]] const std::vector<Topic> &topics() const { return m_topics; }
    [[nodiscard]] static QString contentsPage();
    [[nodiscard]] static QString helpOnHelpPage();
    // Empty for a context the help set does not know.
    [[nodiscard]] static QString pageForContext(int context);

    // Pages holding every word of the query (letter case ignored), those with a word in
    // their title first, then by how often the words occur.
    [[nodiscard]] std::vector<Match> search(const QString &query) const;

    // The text of an HTML page without its markup, entities decoded.
    [[nodiscard]] static QString plainText(const QString &html);

private:
    QString m_directory;
    std::vector<Topic> m_topics;
};

} // namespace corvel
