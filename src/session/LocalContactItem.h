#pragma once

#include "session/OlContactItem.h"
#include "vcard/VCardContact.h"

#include <functional>
#include <memory>

namespace corvel {

// A contact of a vCard folder: the values read from its card, and its file for Display.
// Message members throw OutlookError.
class LocalContactItem : public OlContactItem
{
public:
    // Shows a card file in the user's own viewer and returns at once; throws OutlookError
    // when no viewer could be started.
    using Opener = std::function<void(const QString &path)>;

    LocalContactItem(QString entryId, QString directory, QString fileName, VCardContact contact,
                     std::shared_ptr<const Opener> opener);

    // A group card is a distribution list: contact lists skip it, the folder still holds it.
    [[nodiscard]] int Class() const override
    {
        return m_contact.isGroup ? olDistributionListItem : olContactItem;
    }
    [[nodiscard]] QString EntryID() const override { return m_entryId; }
    [[nodiscard]] QString FileAs() const override { return m_contact.fileAs; }
    [[nodiscard]] QString Email1Address() const override { return m_contact.email1Address; }
    [[nodiscard]] QString Categories() const override { return m_contact.categories; }
    [[nodiscard]] QString UID() const override { return m_contact.uid; }
    [[nodiscard]] QStringList Members() const override { return m_contact.members; }
    // Throws OutlookError when the file is gone or cannot be read.
    [[nodiscard]] ContactCard Card() const override;
    // Throws OutlookError when the file is gone or no viewer starts.
    void Display() override;

    // The default opener: the desktop's handler (xdg-open), started without a shell.
    [[nodiscard]] static Opener desktopOpener();

private:
    QString m_entryId;
    QString m_directory; // shared by the items of a folder
    QString m_fileName;
    VCardContact m_contact;
    std::shared_ptr<const Opener> m_opener;
};

} // namespace corvel
