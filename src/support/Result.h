#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace corvel {

// The outcome of a file reader or writer: a value, or the reason there is none.
template<typename T>
class [[nodiscard]] Result
{
public:
    Result(T value) // NOLINT(google-explicit-constructor): a value is a success
        : m_value(std::move(value))
    {
    }
    static Result failure(QString reason)
    {
        Result r;
        r.m_error = std::move(reason);
        return r;
    }

    [[nodiscard]] bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const QString &error() const { return m_error; }
    [[nodiscard]] T &value() { return *m_value; }
    [[nodiscard]] const T &value() const { return *m_value; }
    [[nodiscard]] T &operator*() { return *m_value; }
    [[nodiscard]] const T &operator*() const { return *m_value; }
    [[nodiscard]] T *operator->() { return &*m_value; }
    [[nodiscard]] const T *operator->() const { return &*m_value; }

private:
    Result() = default;
    std::optional<T> m_value;
    QString m_error;
};

// For operations that produce nothing but may fail.
class [[nodiscard]] Status
{
public:
    Status() = default;
    static Status failure(QString reason)
    {
        Status s;
        s.m_error = std::move(reason);
        s.m_failed = true;
        return s;
    }
    [[nodiscard]] bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    [[nodiscard]] const QString &error() const { return m_error; }

private:
    QString m_error;
    bool m_failed = false;
};

} // namespace corvel
