#pragma once

#include <QByteArrayView>
#include <QString>

#include <vector>

namespace corvel {

// Every value of one card a person reads, in the card's order, for showing the card whole.
struct VCardDetail
{
    enum class Kind
    {
        Name,
        Nickname,
        Email,
        Phone,
        Address,
        Organisation,
        Title,
        Categories,
        Note,
        WebPage,
        Birthday,
    };
    Kind kind = Kind::Name;
    QString type;  // the kinds the card gives it ("work, cell"), lower case; may be empty
    QString value; // unescaped; a note keeps its line breaks

    friend bool operator==(const VCardDetail &, const VCardDetail &) = default;
};

class VCardDetails
{
public:
    // The details of the first card of the data; what cannot be read is skipped.
    [[nodiscard]] static std::vector<VCardDetail> read(QByteArrayView data);
};

} // namespace corvel
