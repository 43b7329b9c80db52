#include "support/FieldCursor.h"

namespace corvel {

bool FieldCursor::next()
{
    if (m_done)
        return false;
    m_begin = m_pos;
    const qsizetype hit = m_dlm.isEmpty() ? -1 : m_source.indexOf(m_dlm, m_pos);
    if (hit < 0) {
        m_end = m_source.size();
        m_done = true;
    } else {
        m_end = hit;
        // Resume after the whole delimiter: occurrences never overlap.
        m_pos = hit + m_dlm.size();
    }
    return true;
}

int FieldCursor::count(QStringView source, QStringView dlm)
{
    int n = 0;
    for (FieldCursor c(source, dlm); c.next();)
        ++n;
    return n;
}

QString FieldCursor::get(QStringView source, QStringView dlm, int n)
{
    if (n < 1)
        return {};
    int i = 0;
    for (FieldCursor c(source, dlm); c.next();) {
        if (++i == n)
            return c.field().toString();
    }
    return {};
}

QString FieldCursor::put(const QString &source, QStringView dlm, int n, const QString &value)
{
    if (n < 1)
        return source;
    int i = 0;
    for (FieldCursor c(source, dlm); c.next();) {
        if (++i == n) {
            QString out;
            out.reserve(source.size() - (c.end() - c.begin()) + value.size());
            out.append(QStringView(source).first(c.begin()));
            out.append(value);
            out.append(QStringView(source).sliced(c.end()));
            return out;
        }
    }
    if (n != i + 1)
        return source;
    if (source.isEmpty())
        return value;
    QString out;
    out.reserve(source.size() + dlm.size() + value.size());
    out.append(source);
    out.append(dlm);
    out.append(value);
    return out;
}

int FieldCursor::find(QStringView source, QStringView dlm, int start, QStringView value)
{
    int i = 0;
    for (FieldCursor c(source, dlm); c.next();) {
        ++i;
        if (i >= start && c.field() == value)
            return i;
    }
    return 0;
}

} // namespace corvel
