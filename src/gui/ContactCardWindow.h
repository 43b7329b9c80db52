#pragma once

#include "session/ContactCard.h"

#include <QWidget>

namespace corvel {

// A contact's card, read-only, in a window of its own; several may be open at once. The
// card is edited in the address book, which a button opens on the card's file.
class ContactCardWindow : public QWidget
{
    Q_OBJECT

public:
    ContactCardWindow(const QString &fileAs, ContactCard card, QWidget *parent = nullptr);

    [[nodiscard]] static QString labelFor(const VCardDetail &detail);

private:
    void openInAddressBook();

    ContactCard m_card;
};

} // namespace corvel
