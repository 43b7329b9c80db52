#include "support/DelimitedFields.h"

#include "support/FieldCursor.h"

namespace corvel {

namespace {

QString putAt(const QString &source, QChar dlm, int n, const QString &value)
{
    const QStringView d(&dlm, 1);
    if (n == -1)
        n = FieldCursor::count(source, d) + 1;
    return FieldCursor::put(source, d, n, value);
}

} // namespace

int DelimitedFields::CountFields(const QString &source) const
{
    return FieldCursor::count(source, QStringView(&m_dlm, 1));
}

int DelimitedFields::CountSubFields(const QString &field) const
{
    return FieldCursor::count(field, QStringView(&m_subDlm, 1));
}

QString DelimitedFields::GetField(const QString &source, int n) const
{
    return FieldCursor::get(source, QStringView(&m_dlm, 1), n);
}

QString DelimitedFields::GetSubField(const QString &field, int n) const
{
    return FieldCursor::get(field, QStringView(&m_subDlm, 1), n);
}

QString DelimitedFields::PutField(const QString &source, int n, const QString &value) const
{
    return putAt(source, m_dlm, n, value);
}

QString DelimitedFields::PutSubField(const QString &field, int n, const QString &value) const
{
    return putAt(field, m_subDlm, n, value);
}

int DelimitedFields::FindField(const QString &source, const QString &value) const
{
    return FieldCursor::find(source, QStringView(&m_dlm, 1), 1, value);
}

} // namespace corvel
