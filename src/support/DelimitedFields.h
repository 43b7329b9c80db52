#pragma once

#include <QChar>
#include <QString>

namespace corvel {

// Two-level lists: fields split by a primary delimiter, each field split into sub-fields by
// a secondary one. Delimiters default to control characters that never occur in names.
class DelimitedFields
{
public:
    void SetFieldDelimiter(QChar dlm) { m_dlm = dlm; }
    void SetSubFieldDelimiter(QChar dlm) { m_subDlm = dlm; }

    [[nodiscard]] int CountFields(const QString &source) const;
    [[nodiscard]] int CountSubFields(const QString &field) const;
    [[nodiscard]] QString GetField(const QString &source, int n) const;
    [[nodiscard]] QString GetSubField(const QString &field, int n) const;
    // n == -1 appends.
    [[nodiscard]] QString PutField(const QString &source, int n, const QString &value) const;
    [[nodiscard]] QString PutSubField(const QString &field, int n, const QString &value) const;
    // Number of the first field equal to value, 0 when none.
    [[nodiscard]] int FindField(const QString &source, const QString &value) const;

private:
    QChar m_dlm{2};
    QChar m_subDlm{1};
};

} // namespace corvel
