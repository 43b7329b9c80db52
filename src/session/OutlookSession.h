#pragma once

// The mail-system session the program works through: stores, folders and items.
// Error convention of this layer: every member may throw OutlookError, which carries a
// message fit to show; callers decide how to react.

#include "message/MailAttachment.h"
#include "session/ContactCard.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace corvel {

class FolderItemReader;
class OlFolder;
class OlSendBatch;
class QueuedMessageStates;

class OutlookError : public std::runtime_error
{
public:
    explicit OutlookError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    [[nodiscard]] QString message() const { return m_message; }

private:
    QString m_message;
};

enum OlItemClass
{
    olContactItem = 40,
    olMailItem = 43,
    olDistributionListItem = 69
};

class OlItem
{
public:
    virtual ~OlItem() = default;

    [[nodiscard]] virtual int Class() const = 0;
    [[nodiscard]] virtual QString EntryID() const = 0;

    // Contacts.
    [[nodiscard]] virtual QString FileAs() const = 0;
    [[nodiscard]] virtual QString Email1Address() const = 0;
    [[nodiscard]] virtual QString Categories() const = 0; // separated by ","
    // Read afresh from the contact's file, for showing the card whole.
    [[nodiscard]] virtual ContactCard Card() const = 0;
    // Address book cards: the card's UID (lower case, no "urn:uuid:"), and for a
    // distribution list its members ("urn:uuid:ID" or "mailto:ADDRESS"). Empty when unknown.
    [[nodiscard]] virtual QString UID() const { return {}; }
    [[nodiscard]] virtual QStringList Members() const { return {}; }

    // Contacts and messages: opens the item in the user's own viewer and returns at once.
    virtual void Display() = 0;

    // Messages.
    [[nodiscard]] virtual QString Subject() const = 0;
    virtual void setSubject(const QString &subject) = 0;
    [[nodiscard]] virtual QString Body() const = 0;
    virtual void setBody(const QString &body) = 0;
    // The HTML alternative of Body, empty when the message is plain text; setting it keeps
    // Body (set Body first), empty makes the message plain.
    [[nodiscard]] virtual QString HTMLBody() const { return {}; }
    virtual void setHTMLBody(const QString &html)
    {
        if (!html.isEmpty())
            throw OutlookError(QStringLiteral("This item cannot carry HTML."));
    }
    // Where replies go; empty: to the sender.
    [[nodiscard]] virtual QString ReplyTo() const { return {}; }
    virtual void setReplyTo(const QString &addresses)
    {
        if (!addresses.isEmpty())
            throw OutlookError(QStringLiteral("This item cannot carry a Reply-To address."));
    }
    // A header of the message's own, such as List-Unsubscribe (empty removes it).
    virtual void setHeader(const QString &name, const QString &value)
    {
        (void)value;
        throw OutlookError(QStringLiteral("This item cannot carry the header %1.").arg(name));
    }
    [[nodiscard]] virtual QString To() const = 0;
    virtual void setTo(const QString &addresses) = 0; // separated by "; "
    [[nodiscard]] virtual QString CC() const = 0;
    virtual void setCC(const QString &addresses) = 0;
    [[nodiscard]] virtual QString BCC() const = 0;
    virtual void setBCC(const QString &addresses) = 0;
    // The sender, as "Name <address>"; empty when the item has none.
    [[nodiscard]] virtual QString From() const { return {}; }
    // The files a message carries; a copy carries them too. Adding refuses a file that cannot
    // be read or would make the message too large; removing takes the file at that index.
    [[nodiscard]] virtual std::vector<MailAttachment> Attachments() const { return {}; }
    virtual void AddAttachment(const QString &path)
    {
        throw OutlookError(QStringLiteral("\"%1\" cannot be attached to this item.").arg(path));
    }
    virtual void RemoveAttachment(int index)
    {
        throw OutlookError(QStringLiteral("This item has no attachment %1.").arg(index + 1));
    }
    virtual void Save() = 0; // into Drafts
    // A new item saved into this mail folder of the same session rather than the default
    // Drafts; an item saved already is saved where it is.
    virtual void saveIn(const OlFolder &folder)
    {
        (void)folder;
        throw OutlookError(QStringLiteral("This item cannot be saved in another folder."));
    }
    [[nodiscard]] virtual std::shared_ptr<OlItem> Copy() = 0; // an independent copy
    virtual void Send() = 0;                                  // queues it and returns
};

class OlFolder
{
public:
    virtual ~OlFolder() = default;

    [[nodiscard]] virtual QString Name() const = 0;
    [[nodiscard]] virtual QString EntryID() const = 0;
    [[nodiscard]] virtual QString StoreID() const = 0;
    [[nodiscard]] virtual QString DefaultMessageClass() const = 0;
    [[nodiscard]] virtual std::vector<std::shared_ptr<OlFolder>> Folders() = 0;
    [[nodiscard]] virtual std::vector<std::shared_ptr<OlItem>> Items() = 0;
    // The items read a chunk at a time, for listings that must not hold them all or must
    // stop part way (FolderItemReader); throws when the folder cannot be read. checkpoint,
    // when set, is called now and then while the folder is opened and may throw to give up.
    // Sessions without a reader of their own hand out Items().
    [[nodiscard]] virtual std::unique_ptr<FolderItemReader>
    itemReader(const std::function<void()> &checkpoint);
};

// The session ("namespace") of the mail system.
class OlNamespace
{
public:
    virtual ~OlNamespace() = default;

    [[nodiscard]] virtual QString CurrentUser() = 0;
    // The top-level folders (the stores), in the session's order.
    [[nodiscard]] virtual std::vector<std::shared_ptr<OlFolder>> Folders() = 0;
    // Throws when the folder no longer exists or the identifiers are not this session's.
    [[nodiscard]] virtual std::shared_ptr<OlFolder> GetFolderFromID(const QString &entryId,
                                                                    const QString &storeId) = 0;
    [[nodiscard]] virtual std::shared_ptr<OlItem> GetItemFromID(const QString &entryId) = 0;

    // Queues many messages at the cost of one. Sessions without a batched Outbox send each
    // message as it is added.
    [[nodiscard]] virtual std::unique_ptr<OlSendBatch> createSendBatch();
    // What became of queued messages; null when the session cannot tell.
    [[nodiscard]] virtual std::shared_ptr<QueuedMessageStates> queuedMessageStates();
};

class OlApplication
{
public:
    virtual ~OlApplication() = default;

    // type is "MAPI"; throws when the session cannot be opened.
    [[nodiscard]] virtual std::shared_ptr<OlNamespace> GetNamespace(const QString &type) = 0;
    // itemType 0: a new, unsaved mail message.
    [[nodiscard]] virtual std::shared_ptr<OlItem> CreateItem(int itemType) = 0;
};

} // namespace corvel
