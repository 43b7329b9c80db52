#include "message/LetterHtml.h"

#include <QRegularExpression>

#include <functional>
#include <map>
#include <vector>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

struct Token
{
    enum class Kind
    {
        Text,
        Start,
        End
    };
    Kind kind = Kind::Text;
    QString name; // lower case; the text for Text
    std::map<QString, QString> attributes;
};

// Elements whose content is never shown as text.
bool isHidden(const QString &name)
{
    return name == u"script"_s || name == u"style"_s || name == u"title"_s ||
           name == u"template"_s || name == u"textarea"_s;
}

bool isVoid(const QString &name)
{
    static const QStringList names{u"br"_s,  u"img"_s, u"hr"_s,   u"meta"_s, u"link"_s,  u"input"_s,
                                   u"wbr"_s, u"col"_s, u"area"_s, u"base"_s, u"source"_s};
    return names.contains(name);
}

bool isBlock(const QString &name)
{
    static const QRegularExpression block(
        u"^(p|div|h[1-6]|blockquote|pre|tr|ul|ol|li|table|section|article|header|footer)$"_s);
    return block.match(name).hasMatch();
}

std::map<QString, QString> attributesOf(QStringView text)
{
    static const QRegularExpression attribute(
        uR"re(([^\s=/>]+)(?:\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))?)re"_s);
    std::map<QString, QString> attributes;
    for (const QRegularExpressionMatch &m : attribute.globalMatch(text)) {
        const QString value = m.captured(2) + m.captured(3) + m.captured(4);
        attributes.emplace(m.captured(1).toLower(), LetterHtml::decoded(value));
    }
    return attributes;
}

// Splits HTML into text and tags, as forgivingly as a browser: a "<" that opens no tag is
// text, comments and declarations are dropped, a hidden element's content is one text.
void tokenize(QStringView html, const std::function<void(const Token &)> &emit)
{
    qsizetype i = 0;
    QString text;
    const auto flushText = [&] {
        if (!text.isEmpty())
            emit({Token::Kind::Text, text, {}});
        text.clear();
    };
    while (i < html.size()) {
        const QChar c = html[i];
        const QChar next = i + 1 < html.size() ? html[i + 1] : QChar();
        // A merge field typed into the markup is text, not a tag.
        if (c == u'<' && next == u'<') {
            const qsizetype close = html.indexOf(u">>", i + 2);
            const qsizetype end = close < 0 ? i + 2 : close + 2;
            text += html.mid(i, end - i);
            i = end;
            continue;
        }
        if (c != u'<' || !(next.isLetter() || next == u'/' || next == u'!' || next == u'?')) {
            text += c;
            ++i;
            continue;
        }
        flushText();
        if (html.mid(i).startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(u"-->", i + 4);
            i = end < 0 ? html.size() : end + 3;
            continue;
        }
        // The tag's end: the first ">" outside a quoted value.
        qsizetype end = i + 1;
        QChar quote;
        for (; end < html.size(); ++end) {
            const QChar d = html[end];
            if (!quote.isNull()) {
                if (d == quote)
                    quote = QChar();
            } else if (d == u'"' || d == u'\'') {
                quote = d;
            } else if (d == u'>') {
                break;
            }
        }
        const QStringView inside = html.mid(i + 1, std::min(end, html.size()) - i - 1);
        i = end + 1;
        if (next == u'!' || next == u'?')
            continue;
        const bool closing = next == u'/';
        const QStringView body = closing ? inside.mid(1) : inside;
        qsizetype nameEnd = 0;
        while (nameEnd < body.size() && !body[nameEnd].isSpace() && body[nameEnd] != u'/')
            ++nameEnd;
        const QString name = body.left(nameEnd).toString().toLower();
        if (closing) {
            emit({Token::Kind::End, name, {}});
            continue;
        }
        emit({Token::Kind::Start, name, attributesOf(body.mid(nameEnd))});
        if (isHidden(name)) {
            const qsizetype close = html.indexOf(QString(u"</"_s + name), i, Qt::CaseInsensitive);
            i = close < 0 ? html.size() : close;
        }
    }
    flushText();
}

// "&" that starts no character reference is escaped; references are kept as they are.
QString escapedText(const QString &text)
{
    static const QRegularExpression reference(
        u"^&(?:[A-Za-z][A-Za-z0-9]{1,31}|#[0-9]{1,7}|#[xX][0-9A-Fa-f]{1,6});"_s);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'<')
            out += u"&lt;"_s;
        else if (c == u'>')
            out += u"&gt;"_s;
        else if (c == u'&' && !reference.match(QStringView(text).mid(i)).hasMatch())
            out += u"&amp;"_s;
        else
            out += c;
    }
    return out;
}

int snappedPoints(double points)
{
    if (points <= 9)
        return 8;
    if (points < 12)
        return 0;
    if (points < 16)
        return 14;
    return points < 21 ? 18 : 24;
}

int sizeOfStyle(const QString &style)
{
    static const QRegularExpression size(
        uR"re(font-size\s*:\s*([0-9.]+)\s*(pt|px)|font-size\s*:\s*([a-z-]+))re"_s);
    const QRegularExpressionMatch m = size.match(style);
    if (!m.hasMatch())
        return 0;
    if (!m.captured(1).isEmpty())
        return snappedPoints(m.captured(1).toDouble() * (m.captured(2) == u"px"_s ? 0.75 : 1));
    static const std::map<QString, int> named{
        {u"xx-small"_s, 8}, {u"x-small"_s, 8},   {u"small"_s, 8},     {u"large"_s, 14},
        {u"x-large"_s, 18}, {u"xx-large"_s, 24}, {u"xxx-large"_s, 24}};
    const auto found = named.find(m.captured(3));
    return found == named.end() ? 0 : found->second;
}

int sizeOfFontAttribute(const QString &size)
{
    static const std::array<int, 8> points{0, 8, 8, 0, 14, 18, 24, 24};
    const int n = size.trimmed().toInt();
    return n >= 1 && n <= 7 ? points[std::size_t(n)] : 0;
}

// What a span or font element stands for, as the tags we keep.
QString inlineTags(const Token &tag)
{
    const auto found = tag.attributes.find(u"style"_s);
    const QString style = found == tag.attributes.end() ? QString() : found->second.toLower();
    static const QRegularExpression bold(u"font-weight\\s*:\\s*(bold|bolder|[6-9]00)"_s);
    static const QRegularExpression italic(u"font-style\\s*:\\s*(italic|oblique)"_s);
    static const QRegularExpression underline(u"text-decoration[a-z-]*\\s*:[^;]*underline"_s);
    QString tags;
    if (bold.match(style).hasMatch())
        tags += u"<b>"_s;
    if (italic.match(style).hasMatch())
        tags += u"<i>"_s;
    if (underline.match(style).hasMatch())
        tags += u"<u>"_s;
    int points = sizeOfStyle(style);
    if (points == 0 && tag.name == u"font"_s && tag.attributes.count(u"size"_s))
        points = sizeOfFontAttribute(tag.attributes.at(u"size"_s));
    if (points > 0)
        tags += u"<span style=\"font-size:%1pt\">"_s.arg(points);
    return tags;
}

// The closing tags of `opened`, in reverse order.
QString closingOf(const QString &opened)
{
    static const QRegularExpression tag(u"<([a-z]+)"_s);
    QString closing;
    for (const QRegularExpressionMatch &m : tag.globalMatch(opened))
        closing.prepend(u"</"_s + m.captured(1) + u'>');
    return closing;
}

// The tags kept for a start tag, empty when it is dropped.
QString keptTags(const Token &tag)
{
    static const std::map<QString, QString> renamed{
        {u"b"_s, u"b"_s},   {u"strong"_s, u"b"_s}, {u"i"_s, u"i"_s},   {u"em"_s, u"i"_s},
        {u"u"_s, u"u"_s},   {u"ins"_s, u"u"_s},    {u"ul"_s, u"ul"_s}, {u"ol"_s, u"ol"_s},
        {u"li"_s, u"li"_s}, {u"br"_s, u"br"_s}};
    if (const auto found = renamed.find(tag.name); found != renamed.end())
        return u'<' + found->second + u'>';
    if (tag.name == u"a"_s) {
        const auto href = tag.attributes.find(u"href"_s);
        if (href == tag.attributes.end() || !LetterHtml::isLinkAddress(href->second))
            return {};
        return u"<a href=\""_s + href->second.trimmed().toHtmlEscaped() + u"\">"_s;
    }
    if (tag.name == u"span"_s || tag.name == u"font"_s)
        return inlineTags(tag);
    if (isBlock(tag.name))
        return u"<div>"_s + inlineTags(tag);
    return {};
}

} // namespace

bool LetterHtml::isLinkAddress(const QString &address)
{
    static const QRegularExpression scheme(u"^(https?|mailto):[^\\s]+$"_s,
                                           QRegularExpression::CaseInsensitiveOption);
    return scheme.match(address.trimmed()).hasMatch();
}

QString LetterHtml::decoded(QStringView text)
{
    static const QRegularExpression reference(
        u"&(#[0-9]{1,7}|#[xX][0-9A-Fa-f]{1,6}|amp|lt|gt|quot|apos|nbsp);"_s);
    QString out;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &m : reference.globalMatch(text)) {
        out += text.mid(from, m.capturedStart() - from);
        const QString name = m.captured(1);
        char32_t code = u' ';
        if (name.startsWith(u'#')) {
            const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
            code = name.mid(hex ? 2 : 1).toUInt(nullptr, hex ? 16 : 10);
            if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                code = 0xFFFD;
        } else {
            static const std::map<QString, char32_t> named{{u"amp"_s, u'&'},   {u"lt"_s, u'<'},
                                                           {u"gt"_s, u'>'},    {u"quot"_s, u'"'},
                                                           {u"apos"_s, u'\''}, {u"nbsp"_s, u' '}};
            code = named.at(name);
        }
        out += QString::fromUcs4(&code, 1);
        from = m.capturedEnd();
    }
    out += text.mid(from);
    return out;
}

QString LetterHtml::sanitized(QStringView html)
{
    struct Open
    {
        QString name;
        QString closing;
    };
    std::vector<Open> open;
    QString out;
    int hidden = 0;
    tokenize(html, [&](const Token &token) {
        switch (token.kind) {
        case Token::Kind::Text:
            if (hidden == 0)
                out += escapedText(token.name);
            break;
        case Token::Kind::Start: {
            if (isHidden(token.name))
                ++hidden;
            const QString tags = keptTags(token);
            out += tags;
            if (!isVoid(token.name))
                open.push_back({token.name, closingOf(tags)});
            break;
        }
        case Token::Kind::End: {
            auto match = std::find_if(open.rbegin(), open.rend(),
                                      [&](const Open &o) { return o.name == token.name; });
            if (match == open.rend())
                break;
            // Elements left open inside it close with it, as a browser closes them.
            const auto first = match.base() - 1;
            for (auto it = open.end(); it != first;) {
                --it;
                out += it->closing;
                if (isHidden(it->name))
                    --hidden;
            }
            open.erase(first, open.end());
            break;
        }
        }
    });
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        out += it->closing;
    return out;
}

bool LetterHtml::hasFormatting(QStringView fragment)
{
    static const QRegularExpression formatting(u"<(b|i|u|ul|ol|a|span)[ >]"_s);
    return formatting.match(fragment).hasMatch();
}

QString LetterHtml::document(const QString &fragment)
{
    return u"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>\n"_s + fragment +
           u"\n</body></html>\n"_s;
}

QString LetterHtml::plainText(QStringView html)
{
    QString out;
    std::vector<int> lists; // per open list: 0 bulleted, else the next number
    std::vector<QString> links;
    qsizetype linkStart = 0;
    int hidden = 0;
    const auto newLine = [&out] {
        if (!out.isEmpty() && !out.endsWith(u'\n'))
            out += u'\n';
    };
    tokenize(html, [&](const Token &token) {
        if (token.kind == Token::Kind::Text) {
            if (hidden > 0)
                return;
            const bool spaceBefore = !out.isEmpty() && !out.endsWith(u'\n') && !out.endsWith(u' ');
            if (token.name.front().isSpace() && spaceBefore)
                out += u' ';
            const QString text = decoded(token.name).simplified();
            out += text;
            if (token.name.back().isSpace() && !text.isEmpty())
                out += u' ';
        } else if (token.kind == Token::Kind::Start) {
            hidden += isHidden(token.name) ? 1 : 0;
            if (token.name == u"br"_s) {
                out += u'\n';
            } else if (token.name == u"ul"_s || token.name == u"ol"_s) {
                newLine();
                lists.push_back(token.name == u"ol"_s ? 1 : 0);
            } else if (token.name == u"li"_s) {
                newLine();
                const int number = lists.empty() ? 0 : lists.back();
                out += number > 0 ? u"%1. "_s.arg(number) : u"- "_s;
                if (number > 0)
                    ++lists.back();
            } else if (isBlock(token.name)) {
                newLine();
            } else if (token.name == u"a"_s) {
                const auto href = token.attributes.find(u"href"_s);
                links.push_back(href == token.attributes.end() ? QString() : href->second);
                linkStart = out.size();
            }
        } else {
            hidden -= isHidden(token.name) && hidden > 0 ? 1 : 0;
            if ((token.name == u"ul"_s || token.name == u"ol"_s) && !lists.empty()) {
                lists.pop_back();
                newLine();
            } else if (token.name == u"a"_s && !links.empty()) {
                const QString href = links.back().trimmed();
                const QString text = out.mid(linkStart).trimmed();
                links.pop_back();
                if (isLinkAddress(href) && href != text && href != u"mailto:"_s + text)
                    out += u" <"_s + href + u'>';
            } else if (isBlock(token.name)) {
                newLine();
            }
        }
    });
    QStringList lines = out.split(u'\n');
    for (QString &line : lines) {
        while (line.endsWith(u' '))
            line.chop(1);
        while (line.startsWith(u' '))
            line.remove(0, 1);
    }
    while (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines.join(u'\n');
}

} // namespace corvel
