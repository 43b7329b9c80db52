#pragma once

#include <QString>

namespace corvel {

// A named node value: a whole number or a text. A value never set is empty and reads
// as empty text or 0.
class NodeValue
{
public:
    enum class Kind : quint8
    {
        Empty,
        Number,
        Text
    };

    NodeValue() = default;
    NodeValue(qint64 number) // NOLINT: values are written as plain numbers and texts
        : m_kind(Kind::Number)
        , m_number(number)
    {
    }
    NodeValue(int number)
        : NodeValue(static_cast<qint64>(number))
    {
    }
    NodeValue(QString text)
        : m_kind(Kind::Text)
        , m_text(std::move(text))
    {
    }

    [[nodiscard]] Kind kind() const { return m_kind; }
    [[nodiscard]] bool isEmpty() const { return m_kind == Kind::Empty; }
    [[nodiscard]] bool isNumber() const { return m_kind == Kind::Number; }
    [[nodiscard]] bool isText() const { return m_kind == Kind::Text; }

    [[nodiscard]] QString toString() const
    {
        switch (m_kind) {
        case Kind::Number:
            return QString::number(m_number);
        case Kind::Text:
            return m_text;
        case Kind::Empty:
            break;
        }
        return {};
    }
    // A text that is not a whole number reads as 0.
    [[nodiscard]] qint64 toInt() const
    {
        if (m_kind == Kind::Number)
            return m_number;
        if (m_kind == Kind::Text)
            return m_text.trimmed().toLongLong();
        return 0;
    }
    [[nodiscard]] const QString &text() const { return m_text; }
    [[nodiscard]] qint64 number() const { return m_number; }

    // Equal when both are numbers of the same value, or when their texts are equal.
    [[nodiscard]] bool matches(const NodeValue &other) const
    {
        if (m_kind == Kind::Number && other.m_kind == Kind::Number)
            return m_number == other.m_number;
        if (m_kind == Kind::Text && other.m_kind == Kind::Text)
            return m_text == other.m_text;
        return toString() == other.toString();
    }
    bool operator==(const NodeValue &other) const
    {
        return m_kind == other.m_kind && m_number == other.m_number && m_text == other.m_text;
    }

private:
    Kind m_kind = Kind::Empty;
    qint64 m_number = 0;
    QString m_text;
};

} // namespace corvel
