#include "support/FieldStrings.h"

#include "support/FieldCursor.h"

#include <algorithm>

namespace corvel {

int DS_CountFields(const QString &source, const QString &dlm)
{
    return FieldCursor::count(source, dlm);
}

QString DS_GetField(const QString &source, const QString &dlm, int n)
{
    return FieldCursor::get(source, dlm, n);
}

QString DS_PutField(const QString &source, const QString &dlm, int n, const QString &value)
{
    return FieldCursor::put(source, dlm, n, value);
}

int DS_FindField(const QString &source, const QString &dlm, int start, const QString &value,
                 int mode)
{
    Q_UNUSED(mode);
    return FieldCursor::find(source, dlm, std::max(start, 1), value);
}

int DS_CountDlms(const QString &source, const QString &dlm)
{
    return std::max(FieldCursor::count(source, dlm) - 1, 0);
}

int DS_FindDlm(const QString &source, const QString &dlm, int n)
{
    if (n < 1)
        return 0;
    int i = 0;
    for (FieldCursor c(source, dlm); c.next();) {
        if (!c.hasDelimiter())
            break;
        if (++i == n)
            return int(c.end()) + 1;
    }
    return 0;
}

QString DS_ReplaceDlms(const QString &source, const QString &dlm, const QString &replacement)
{
    if (dlm.isEmpty())
        return source;
    QString out;
    out.reserve(source.size());
    for (FieldCursor c(source, dlm); c.next();) {
        out.append(c.field());
        if (c.hasDelimiter())
            out.append(replacement);
    }
    return out;
}

} // namespace corvel
