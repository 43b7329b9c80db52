#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVarLengthArray>

#include <functional>
#include <optional>

namespace corvel {

// One content line of a vCard taken apart: "group.NAME;param=value;...:value". Views point
// into the line, so a property lives only as long as the line it came from.
class VCardProperty
{
public:
    struct Parameter
    {
        QByteArrayView name;  // upper or lower case as written; a bare 2.1 value gets a name
        QByteArrayView value; // as written, quotes included
    };

    // std::nullopt for a line that is no property (no name, or no ':').
    [[nodiscard]] static std::optional<VCardProperty> parse(QByteArrayView line);
    // Calls visit with each property between the first BEGIN and its END (a card without
    // its END ends where the next begins), BEGIN and END left out.
    static void forEachOfFirstCard(QByteArrayView data,
                                   const std::function<void(const VCardProperty &)> &visit);

    [[nodiscard]] QByteArrayView group() const { return m_group; }
    [[nodiscard]] QByteArrayView name() const { return m_name; }
    [[nodiscard]] bool is(QByteArrayView name) const;
    [[nodiscard]] QByteArrayView rawValue() const { return m_value; }

    // Calls visit with each value of the parameters of that name: comma-separated values,
    // unquoted and trimmed. Stops early when visit returns false.
    void forEachParameterValue(QByteArrayView parameter,
                               const std::function<bool(QByteArrayView)> &visit) const;
    [[nodiscard]] bool hasParameterValue(QByteArrayView parameter, QByteArrayView value) const;
    // The first value of the parameter; empty when absent.
    [[nodiscard]] QByteArrayView parameter(QByteArrayView parameter) const;

    // The value as text: quoted-printable or base64 undone, then decoded from its CHARSET
    // (UTF-8 when there is none or it is unknown, bad bytes replaced). Escapes are kept.
    [[nodiscard]] QString text() const;

private:
    QByteArrayView m_group;
    QByteArrayView m_name;
    QByteArrayView m_value;
    QVarLengthArray<Parameter, 6> m_parameters;
};

} // namespace corvel
