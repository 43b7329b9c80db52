#pragma once

#include "session/OutlookSession.h"

#include <memory>
#include <tuple>
#include <vector>

namespace corvel {

class MemoryNamespace;

// An item of the in-memory session: a contact or a message whose properties are plain
// values a test sets, and whose properties can be made unreadable. It carries no attachments.
class MemoryItem : public OlItem, public std::enable_shared_from_this<MemoryItem>
{
public:
    enum class Failure
    {
        Properties, // every property except Class()
    };

    // Unsaved: the item gets its id when it is saved.
    MemoryItem(std::weak_ptr<MemoryNamespace> session, int itemClass);

    void setFileAs(const QString &fileAs) { m_fileAs = fileAs; }
    void setEmail1Address(const QString &address) { m_email1 = address; }
    void setCategories(const QString &categories) { m_categories = categories; }
    void failOn(Failure, bool on = true) { m_propertiesFail = on; }

    [[nodiscard]] bool isSaved() const { return !m_entryId.isEmpty(); }
    // The id without the injected failures, for the session's own lookups.
    [[nodiscard]] const QString &id() const { return m_entryId; }

    // Bookkeeping of the session: the id a saved item gets and whether it still exists.
    void placeIn(const QString &entryId) { m_entryId = entryId; }
    void markRemoved() { m_removed = true; }

    [[nodiscard]] int Class() const override { return m_class; }
    [[nodiscard]] QString EntryID() const override { return readable(m_entryId); }
    [[nodiscard]] QString FileAs() const override { return readable(m_fileAs); }
    [[nodiscard]] QString Email1Address() const override { return readable(m_email1); }
    [[nodiscard]] QString Categories() const override { return readable(m_categories); }
    [[nodiscard]] ContactCard Card() const override;
    void Display() override;
    [[nodiscard]] QString Subject() const override { return readable(m_subject); }
    void setSubject(const QString &subject) override { m_subject = subject; }
    [[nodiscard]] QString Body() const override { return readable(m_body); }
    void setBody(const QString &body) override { m_body = body; }
    [[nodiscard]] QString To() const override { return readable(m_to); }
    void setTo(const QString &addresses) override { m_to = addresses; }
    [[nodiscard]] QString CC() const override { return readable(m_cc); }
    void setCC(const QString &addresses) override { m_cc = addresses; }
    [[nodiscard]] QString BCC() const override { return readable(m_bcc); }
    void setBCC(const QString &addresses) override { m_bcc = addresses; }
    void Save() override;
    void saveIn(const OlFolder &folder) override;
    [[nodiscard]] std::shared_ptr<OlItem> Copy() override;
    void Send() override;
    // Send's checks alone: the message as it would be queued (throws as Send would).
    [[nodiscard]] std::tuple<QString, QString, QString, QString, QString> sendable() const;

private:
    void checkReadable() const;
    [[nodiscard]] const QString &readable(const QString &value) const
    {
        checkReadable();
        return value;
    }
    // Save and saveIn: the session to save in, unless the item is saved already.
    [[nodiscard]] std::shared_ptr<MemoryNamespace> sessionToSaveIn() const;

    std::weak_ptr<MemoryNamespace> m_session;
    int m_class;
    QString m_entryId;
    QString m_fileAs;
    QString m_email1;
    QString m_categories;
    ContactCard m_card;
    QString m_subject;
    QString m_body;
    QString m_to;
    QString m_cc;
    QString m_bcc;
    bool m_propertiesFail = false;
    bool m_removed = false;
};

} // namespace corvel
