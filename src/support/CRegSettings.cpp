#include "support/CRegSettings.h"

#include "support/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString defaultCompany()
{
    return u"Tessary"_s;
}

QString defaultAppName()
{
    return u"Corvel"_s;
}

enum class LineKind
{
    Blank,
    Comment,
    Section,
    Key,
    Bad
};
enum class Part
{
    Key,
    Value,
    Section
};

struct Line
{
    QByteArray raw; // written back byte for byte unless the line itself changes
    LineKind kind = LineKind::Blank;
    QString section;    // the section the line sits in (a header: its own)
    bool orphan = true; // before any section, or under a header that could not be read
    QString name;       // section name or key
    QString value;
};

struct Document
{
    bool readable = true; // false: exists but cannot be read, so must never be replaced
    bool damaged = false; // some lines could not be understood, so must never be replaced
    QString problem;      // why, for the user; empty when the file is missing or whole
    QList<Line> lines;
};

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

void appendHex(QString &out, char16_t c)
{
    if (c < 0x100)
        out += u"\\x"_s + QString::number(c, 16).rightJustified(2, u'0');
    else
        out += u"\\u"_s + QString::number(c, 16).rightJustified(4, u'0');
}

// Lines are trimmed when read, so blanks at the ends of keys and values must be escaped.
QString escape(QStringView s, Part part)
{
    QString out;
    out.reserve(s.size() + 8);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        const bool edge = i == 0 || i == s.size() - 1;
        if (c == u'\\')
            out += u"\\\\";
        else if (c == u'\n')
            out += u"\\n";
        else if (c == u'\r')
            out += u"\\r";
        else if (c == u'\t')
            out += u"\\t";
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            appendHex(out, c.unicode());
        else if (part != Part::Section && edge && c == u' ')
            out += u"\\s";
        else if (part != Part::Section && edge && c.isSpace())
            appendHex(out, c.unicode());
        else if (part == Part::Key &&
                 (c == u'=' || (i == 0 && (c == u'[' || c == u';' || c == u'#'))))
            out += u'\\' + QString(c);
        else if (part == Part::Section && c == u']')
            out += u"\\]";
        else
            out += c;
    }
    return out;
}

// Unknown escapes stand for the character itself, so hand-edited files stay readable.
QString unescape(QStringView s)
{
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c != u'\\' || i + 1 == s.size()) {
            out += c;
            continue;
        }
        const QChar e = s[++i];
        const qsizetype digits = e == u'x' ? 2 : e == u'u' ? 4 : 0;
        if (digits) {
            bool ok = false;
            const uint code =
                s.sliced(i + 1).first(std::min(digits, s.size() - i - 1)).toUInt(&ok, 16);
            if (ok && i + digits < s.size()) {
                out += QChar(char16_t(code));
                i += digits;
                continue;
            }
        }
        switch (e.unicode()) {
        case u'n':
            out += u'\n';
            break;
        case u'r':
            out += u'\r';
            break;
        case u't':
            out += u'\t';
            break;
        case u's':
            out += u' ';
            break;
        default:
            out += e;
        }
    }
    return out;
}

// Position of the first `wanted` not preceded by an escaping backslash, -1 when none.
qsizetype findUnescaped(QStringView s, QChar wanted, qsizetype from)
{
    for (qsizetype i = from; i < s.size(); ++i) {
        if (s[i] == u'\\')
            ++i;
        else if (s[i] == wanted)
            return i;
    }
    return -1;
}

Line parseLine(const QByteArray &raw, bool first, const QString *section, QString *why)
{
    Line line;
    line.raw = raw;
    line.kind = LineKind::Bad;
    *why = u"it is neither a section, a key nor a comment"_s;
    QByteArray bytes = raw;
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    if (first && bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decode(bytes);
    if (decode.hasError()) {
        *why = u"it is not UTF-8 text"_s;
        return line;
    }
    const QStringView t = QStringView(text).trimmed();
    if (t.isEmpty()) {
        line.kind = LineKind::Blank;
    } else if (t[0] == u';' || t[0] == u'#') {
        line.kind = LineKind::Comment;
    } else if (t[0] == u'[') {
        const qsizetype close = findUnescaped(t, u']', 1);
        if (close == t.size() - 1) {
            line.kind = LineKind::Section;
            line.name = unescape(t.sliced(1, close - 1));
            line.section = line.name;
            line.orphan = false;
        } else {
            *why = u"the section header is not closed by \"]\""_s;
        }
    } else if (!section) {
        *why = u"it is not under a section that could be read"_s;
    } else {
        const qsizetype eq = findUnescaped(t, u'=', 0);
        if (eq > 0) {
            line.name = unescape(t.first(eq).trimmed());
            line.value = unescape(t.sliced(eq + 1).trimmed());
            if (!line.name.isEmpty())
                line.kind = LineKind::Key;
        }
    }
    if (section && line.kind != LineKind::Section) {
        line.section = *section;
        line.orphan = false;
    }
    return line;
}

QString describeLine(qsizetype number, const QString &why, qsizetype more)
{
    QString text = u"line %1 cannot be read: %2"_s.arg(number).arg(why);
    if (more > 0)
        text += u" (%1 more such line%2)"_s.arg(more).arg(more == 1 ? u""_s : u"s"_s);
    return text;
}

Document parse(const QByteArray &data, const QString &path)
{
    Document doc;
    // Never written so (an emptied file keeps a blank line); a crash or a full disk leaves it.
    if (data.isEmpty()) {
        doc.damaged = true;
        doc.problem = u"The settings file %1 is empty. The file is left as it is; remove it to "
                      "start afresh."_s.arg(QDir::toNativeSeparators(path));
        return doc;
    }
    QList<QByteArray> raws = data.split('\n');
    if (data.isEmpty() || data.endsWith('\n'))
        raws.removeLast();
    std::optional<QString> section;
    qsizetype firstBad = 0;
    qsizetype badCount = 0;
    QString firstWhy;
    for (const QByteArray &raw : raws) {
        QString why;
        Line line = parseLine(raw, doc.lines.isEmpty(), section ? &*section : nullptr, &why);
        if (line.kind == LineKind::Section)
            section = line.name;
        else if (line.kind == LineKind::Bad && raw.trimmed().startsWith('['))
            section.reset(); // keys under a broken header cannot be placed; keep them apart
        if (line.kind == LineKind::Bad) {
            if (badCount++ == 0) {
                firstBad = doc.lines.size() + 1;
                firstWhy = why;
            }
        }
        doc.lines.append(std::move(line));
    }
    if (badCount > 0) {
        doc.damaged = true;
        doc.problem =
            u"The settings file %1 is damaged: %2. The keys that could be read are "
            "used; the file is left as it is until it is mended."_s.arg(
                QDir::toNativeSeparators(path), describeLine(firstBad, firstWhy, badCount - 1));
    }
    return doc;
}

Document unreadable(const QString &path, const QString &why)
{
    Document doc;
    doc.readable = false;
    doc.problem = u"The settings file %1 cannot be read: %2. No setting is read from it and "
                  "nothing replaces it."_s.arg(QDir::toNativeSeparators(path), why);
    return doc;
}

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// What the file is now: a replaced, edited or re-permitted file looks different.
struct Identity
{
    int statError = 0; // errno of stat(); ENOENT with linkExists: a dangling link
    bool linkExists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    mode_t mode = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const Identity &o) const
    {
        return statError == o.statError && linkExists == o.linkExists && device == o.device &&
               inode == o.inode && size == o.size && mode == o.mode &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

Identity identify(const QByteArray &encoded)
{
    Identity id;
    struct stat st
    {
    };
    if (::stat(encoded.constData(), &st) != 0) {
        id.statError = errno;
        struct stat lst
        {
        };
        id.linkExists = ::lstat(encoded.constData(), &lst) == 0;
        return id;
    }
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.mode = st.st_mode;
    id.modified = st.st_mtim;
    id.changed = st.st_ctim;
    return id;
}

Document readDocument(const QString &path, const Identity &id)
{
    if (id.statError == ENOENT && !id.linkExists)
        return {};
    if (id.statError == ENOENT)
        return unreadable(path, u"it is a link to something that does not exist"_s);
    if (id.statError != 0)
        return unreadable(path, errnoText(id.statError));
    if (S_ISDIR(id.mode))
        return unreadable(path, u"it is a folder, not a file"_s);
    if (!S_ISREG(id.mode))
        return unreadable(path, u"it is not a regular file"_s);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(path, file.errorString());
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return unreadable(path, file.errorString());
    return parse(data, path);
}

} // namespace

// The last document read, kept while the file looks the same: every lookup of a setting
// would otherwise read and parse the whole file again. Delivery reads settings from its own
// thread, hence the lock; a document handed out is never changed.
struct CRegSettingsCache
{
    std::mutex lock;
    QString path;
    Identity identity;
    std::shared_ptr<const Document> document;
};

namespace {

std::shared_ptr<const Document> cachedDocument(CRegSettingsCache &cache, const QString &path)
{
    const std::scoped_lock guard(cache.lock);
    const Identity id = identify(QFile::encodeName(path));
    if (cache.document && cache.path == path && cache.identity == id)
        return cache.document;
    auto doc = std::make_shared<const Document>(readDocument(path, id));
    // Looked at again after the read: a file replaced meanwhile must not be cached as this one.
    const bool unchanged = identify(QFile::encodeName(path)) == id;
    cache.path = path;
    cache.identity = id;
    cache.document = unchanged ? doc : nullptr;
    return doc;
}

bool writable(const Document &doc)
{
    return doc.readable && !doc.damaged;
}

QByteArray keyLine(const QString &key, const QString &value)
{
    return (escape(key, Part::Key) + u'=' + escape(value, Part::Value)).toUtf8();
}

bool belongsTo(const Line &line, const QString &section)
{
    return !line.orphan && sameName(line.section, section);
}

bool commit(const Document &doc, const QString &path)
{
    QByteArray data;
    for (const Line &line : std::as_const(doc.lines))
        data += line.raw + '\n';
    if (data.isEmpty())
        data = "\n";
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    return AtomicFile::write(path, data, 0600).ok();
}

} // namespace

CRegSettings::CRegSettings(QString configRoot)
    : m_configRoot(std::move(configRoot))
    , m_company(defaultCompany())
    , m_appName(defaultAppName())
    , m_cache(std::make_shared<CRegSettingsCache>())
{
}

CRegSettings::~CRegSettings() = default;

void CRegSettings::setCompany(const QString &company)
{
    m_company = company.trimmed();
    if (m_company.isEmpty())
        m_company = defaultCompany();
}

void CRegSettings::setAppName(const QString &name)
{
    m_appName = name.trimmed();
    if (m_appName.isEmpty())
        m_appName = defaultAppName();
}

QString CRegSettings::filePath() const
{
    return m_configRoot + u'/' + m_company + u'/' + m_appName + u".conf"_s;
}

QString CRegSettings::problem() const
{
    return cachedDocument(*m_cache, filePath())->problem;
}

bool CRegSettings::unreadable() const
{
    return !cachedDocument(*m_cache, filePath())->readable;
}

QString CRegSettings::getSetting(const QString &section, const QString &key,
                                 const QString &defaultValue) const
{
    const auto doc = cachedDocument(*m_cache, filePath());
    for (const Line &line : doc->lines) {
        if (line.kind == LineKind::Key && belongsTo(line, section) && sameName(line.name, key))
            return line.value;
    }
    return defaultValue;
}

bool CRegSettings::saveSetting(const QString &section, const QString &key, const QString &setting)
{
    if (section.isEmpty() || key.isEmpty())
        return false;
    const QString path = filePath();
    Document doc = *cachedDocument(*m_cache, path);
    if (!writable(doc))
        return false;

    qsizetype insertAt = -1;
    bool done = false;
    for (qsizetype i = 0; i < doc.lines.size() && !done; ++i) {
        Line &line = doc.lines[i];
        if (line.kind == LineKind::Section && insertAt >= 0)
            break; // only the first block of a repeated section is extended
        if (!belongsTo(line, section))
            continue;
        if (line.kind == LineKind::Section) {
            insertAt = i + 1;
        } else if (line.kind == LineKind::Key) {
            insertAt = i + 1;
            if (sameName(line.name, key)) {
                line.value = setting;
                line.raw = keyLine(line.name, setting);
                done = true;
            }
        }
    }
    if (!done) {
        Line added;
        added.kind = LineKind::Key;
        added.raw = keyLine(key, setting);
        if (insertAt < 0) {
            if (!doc.lines.isEmpty() && doc.lines.last().kind != LineKind::Blank)
                doc.lines.append(Line{});
            Line header;
            header.kind = LineKind::Section;
            header.raw = (u'[' + escape(section, Part::Section) + u']').toUtf8();
            doc.lines.append(header);
            doc.lines.append(added);
        } else {
            doc.lines.insert(insertAt, added);
        }
    }
    return commit(doc, path);
}

bool CRegSettings::deleteSetting(const QString &section, const QString &key)
{
    const QString path = filePath();
    Document doc = *cachedDocument(*m_cache, path);
    if (!writable(doc))
        return false;
    qsizetype removed = 0;
    QList<Line> kept;
    kept.reserve(doc.lines.size());
    for (const Line &line : std::as_const(doc.lines)) {
        const bool drop =
            belongsTo(line, section) &&
            (key.isEmpty() || (line.kind == LineKind::Key && sameName(line.name, key)));
        if (drop)
            ++removed;
        else
            kept.append(line);
    }
    if (removed == 0)
        return false;
    doc.lines = std::move(kept);
    return commit(doc, path);
}

QList<std::pair<QString, QString>> CRegSettings::allSettings(const QString &section) const
{
    const auto doc = cachedDocument(*m_cache, filePath());
    QList<std::pair<QString, QString>> all;
    for (const Line &line : doc->lines) {
        if (line.kind != LineKind::Key || !belongsTo(line, section))
            continue;
        const bool seen = std::any_of(all.cbegin(), all.cend(), [&line](const auto &kv) {
            return sameName(kv.first, line.name);
        });
        if (!seen)
            all.append({line.name, line.value});
    }
    return all;
}

} // namespace corvel
