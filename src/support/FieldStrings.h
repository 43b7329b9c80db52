#pragma once

#include <QString>

// Delimited field strings. Delimiters are texts matched whole, case-sensitively, left to
// right without overlap; fields are numbered from 1; an empty text has no fields.

namespace corvel {

// Separates the entries of a list kept in one text, such as the EntryIDs and names of the
// folders a Dynamic Mail Group draws on.
inline const QString ListSeparator = QStringLiteral("^");

[[nodiscard]] int DS_CountFields(const QString &source, const QString &dlm);
// Empty text when the source has fewer than n fields.
[[nodiscard]] QString DS_GetField(const QString &source, const QString &dlm, int n);
// n == count + 1 appends; other n outside 1..count return the source unchanged.
[[nodiscard]] QString DS_PutField(const QString &source, const QString &dlm, int n,
                                  const QString &value);
// Number of the first field from `start` on whose whole text equals value, 0 when none.
// `mode` is accepted for callers' sake and has no effect.
[[nodiscard]] int DS_FindField(const QString &source, const QString &dlm, int start,
                               const QString &value, int mode);
[[nodiscard]] int DS_CountDlms(const QString &source, const QString &dlm);
// 1-based position of the n-th delimiter occurrence, 0 when there are fewer.
[[nodiscard]] int DS_FindDlm(const QString &source, const QString &dlm, int n);
[[nodiscard]] QString DS_ReplaceDlms(const QString &source, const QString &dlm,
                                     const QString &replacement);

} // namespace corvel
