#pragma once

#include "session/LocalContactItem.h"
#include "session/LocalItemSource.h"

namespace corvel {

// The contacts of vCard folders (vdirs): every card of every "*.vcf" file is a contact item.
// Dot-files, "*.tmp" files, files without that extension, links and anything but regular
// files are no items. Large folders are read by several threads, a few chunks ahead of the reader;
// the order stays by file name, then by card. Files that cannot be read are left out of a listing.
class VCardFolderSource : public LocalItemSource
{
public:
    // opener shows a card file (the desktop's handler when empty); workers 0 picks a number
    // from the machine's cores.
    explicit VCardFolderSource(LocalContactItem::Opener opener = {}, int workers = 0);

    [[nodiscard]] std::vector<QString> itemKeys(const QString &folderDirectory) const override;
    [[nodiscard]] std::unique_ptr<FolderItemReader>
    reader(const QString &folderDirectory, IdOf idOf,
           const std::function<void()> &checkpoint) const override;
    [[nodiscard]] std::shared_ptr<OlItem> readItem(const QString &folderDirectory,
                                                   const QString &key, int card,
                                                   const QString &entryId) const override;

    // Whether a file of that name holds contacts, by the vdir rules.
    [[nodiscard]] static bool isCardFileName(QByteArrayView name);

private:
    std::shared_ptr<const LocalContactItem::Opener> m_opener;
    int m_workers;
};

} // namespace corvel
