#include "presentation/HelpIndex.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace corvel {

HelpIndex::HelpIndex(QString directory)
    : m_directory(std::move(directory))
{
}

QString HelpIndex::contentsPage()
{
    return u"index.html"_s;
}

QString HelpIndex::helpOnHelpPage()
{
    return u"help-on-help.html"_s;
}

QString HelpIndex::pageForContext(int context)
{
    switch (context) {
    case StandardMailGroups:
        return u"standard-groups.html"_s;
    case DynamicMailGroups:
        return u"dynamic-groups.html"_s;
    default:
        return {};
    }
}

QString HelpIndex::plainText(const QString &html)
{
    static const QRegularExpression hidden(u"<(head|script|style)\\b.*?</\\1\\s*>"_s,
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tags(u"<[^>]*>"_s);
    static const QRegularExpression blanks(u"\\s+"_s);
    QString text = html;
    text.remove(hidden);
    text.replace(tags, u" "_s);
    text.replace(u"&nbsp;"_s, u" "_s)
        .replace(u"&lt;"_s, u"<"_s)
        .replace(u"&gt;"_s, u">"_s)
        .replace(u"&quot;"_s, u"\""_s)
        .replace(u"&#39;"_s, u"'"_s)
        .replace(u"&amp;"_s, u"&"_s);
    return text.replace(blanks, u" "_s).trimmed();
}

bool HelpIndex::load()
{
    m_topics.clear();
    static const QRegularExpression titleTag(u"<title>(.*?)</title>"_s,
                                             QRegularExpression::CaseInsensitiveOption |
                                                 QRegularExpression::DotMatchesEverythingOption);
    const QDir dir(m_directory);
    const QStringList files = dir.entryList({u"*.html"_s}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        QFile page(dir.filePath(file));
        if (!page.open(QIODevice::ReadOnly))
            continue;
        const QString html = QString::fromUtf8(page.readAll());
        const QRegularExpressionMatch title = titleTag.match(html);
        m_topics.push_back(
            {file, title.hasMatch() ? plainText(title.captured(1)) : file, plainText(html)});
    }
    return !m_topics.empty();
}

std::vector<HelpIndex::Match> HelpIndex::search(const QString &query) const
{
    const QStringList words = query.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    struct Scored
    {
        Match match;
        bool inTitle;
        qsizetype hits;
    };
    std::vector<Scored> scored;
    for (const Topic &topic : m_topics) {
        bool all = true;
        bool inTitle = false;
        qsizetype hits = 0;
        for (const QString &word : words) {
            const qsizetype count = topic.text.count(word, Qt::CaseInsensitive) +
                                    topic.title.count(word, Qt::CaseInsensitive);
            if (count == 0) {
                all = false;
                break;
            }
            hits += count;
            inTitle = inTitle || topic.title.contains(word, Qt::CaseInsensitive);
        }
        if (!all)
            continue;
        const qsizetype at = topic.text.indexOf(words.first(), 0, Qt::CaseInsensitive);
        QString excerpt;
        if (at >= 0) {
            const qsizetype from = std::max<qsizetype>(0, at - 40);
            excerpt = topic.text.mid(from, 120).trimmed();
            if (from > 0)
                excerpt.prepend(u"\u2026"_s);
            if (from + 120 < topic.text.size())
                excerpt.append(u"\u2026"_s);
        }
        scored.push_back({{topic.file, topic.title, excerpt}, inTitle, hits});
    }
    std::stable_sort(scored.begin(), scored.end(), [](const Scored &a, const Scored &b) {
        if (a.inTitle != b.inTitle)
            return a.inTitle;
        return a.hits > b.hits;
    });
    std::vector<Match> matches;
    for (Scored &entry : scored)
        matches.push_back(std::move(entry.match));
    return matches;
}

} // namespace corvel
