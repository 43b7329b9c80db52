#pragma once

#include <QString>
#include <QStringView>

namespace corvel {

// Walks the fields of a delimited text without allocating, so that counting and searching
// stay linear over lists of many thousands of fields. An empty text has no fields; an
// empty delimiter makes the whole text one field.
class FieldCursor
{
public:
    FieldCursor(QStringView source, QStringView dlm)
        : m_source(source)
        , m_dlm(dlm)
        , m_done(source.isEmpty())
    {
    }

    // Moves to the next field; false once past the last.
    [[nodiscard]] bool next();

    [[nodiscard]] qsizetype begin() const { return m_begin; }
    [[nodiscard]] qsizetype end() const { return m_end; }
    [[nodiscard]] QStringView field() const { return m_source.sliced(m_begin, m_end - m_begin); }
    // True when a delimiter follows the current field.
    [[nodiscard]] bool hasDelimiter() const { return !m_done; }

    [[nodiscard]] static int count(QStringView source, QStringView dlm);
    [[nodiscard]] static QString get(QStringView source, QStringView dlm, int n);
    // n == count + 1 appends; any other n outside 1..count leaves the text as it is.
    [[nodiscard]] static QString put(const QString &source, QStringView dlm, int n,
                                     const QString &value);
    [[nodiscard]] static int find(QStringView source, QStringView dlm, int start,
                                  QStringView value);

private:
    QStringView m_source;
    QStringView m_dlm;
    qsizetype m_pos = 0;
    qsizetype m_begin = 0;
    qsizetype m_end = 0;
    bool m_done;
};

} // namespace corvel
