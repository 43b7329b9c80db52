#include "support/VXStrings.h"

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

int VXStrings::CountFields(const QString &source) const
{
    return FieldCursor::count(source, QStringView(&m_dlm, 1));
}

int VXStrings::CountSubFields(const QString &field) const
{
    return FieldCursor::count(field, QStringView(&m_subDlm, 1));
}

QString VXStrings::GetField(const QString &source, int n) const
{
    return FieldCursor::get(source, QStringView(&m_dlm, 1), n);
}

QString VXStrings::GetSubField(const QString &field, int n) const
{
    return FieldCursor::get(field, QStringView(&m_subDlm, 1), n);
}

QString VXStrings::PutField(const QString &source, int n, const QString &value) const
{
    return putAt(source, m_dlm, n, value);
}

QString VXStrings::PutSubField(const QString &field, int n, const QString &value) const
{
    return putAt(field, m_subDlm, n, value);
}

int VXStrings::FindField(const QString &source, const QString &value) const
{
    return FieldCursor::find(source, QStringView(&m_dlm, 1), 1, value);
}

} // namespace corvel
