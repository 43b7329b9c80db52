#pragma once

#include "session/OutlookSession.h"

#include <QByteArray>

#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace corvel {

class MemoryNamespace;
class MemoryFolder;

// An item of the in-memory session: a contact or a message whose properties are plain
// values a test sets, with failures that can be switched on one by one.
class MemoryItem : public OlItem, public std::enable_shared_from_this<MemoryItem>
{
public:
    enum class Failure
    {
        Properties, // every property except Class()
        Display,
        Save,
        Send,
    };

    // An empty entryId makes an unsaved item: it gets one when it is saved.
    MemoryItem(std::weak_ptr<MemoryNamespace> session, int itemClass, QString entryId = {});

    void setFileAs(const QString &fileAs) { m_fileAs = fileAs; }
    void setEmail1Address(const QString &address) { m_email1 = address; }
    void setCategories(const QString &categories) { m_categories = categories; }
    void failOn(Failure failure, bool on = true);

    [[nodiscard]] bool isSaved() const { return !m_entryId.isEmpty(); }
    // The id without the injected failures, for the session's own lookups.
    [[nodiscard]] const QString &id() const { return m_entryId; }
    [[nodiscard]] bool isRemoved() const { return m_removed; }
    // The folder holding it; null while unsaved.
    [[nodiscard]] std::shared_ptr<MemoryFolder> parent() const { return m_parent.lock(); }

    // Bookkeeping of the session: where the item lives and whether it still exists.
    void placeIn(const std::shared_ptr<MemoryFolder> &folder, const QString &entryId);
    void markRemoved() { m_removed = true; }

    [[nodiscard]] int Class() const override { return m_class; }
    [[nodiscard]] QString EntryID() const override;
    [[nodiscard]] QString FileAs() const override;
    [[nodiscard]] QString Email1Address() const override;
    [[nodiscard]] QString Categories() const override;
    [[nodiscard]] ContactCard Card() const override;
    void Display() override;
    [[nodiscard]] QString Subject() const override;
    void setSubject(const QString &subject) override;
    [[nodiscard]] QString Body() const override;
    void setBody(const QString &body) override;
    [[nodiscard]] QString To() const override;
    void setTo(const QString &addresses) override;
    [[nodiscard]] QString CC() const override;
    void setCC(const QString &addresses) override;
    [[nodiscard]] QString BCC() const override;
    void setBCC(const QString &addresses) override;
    [[nodiscard]] QString From() const override { return readable(m_from); }
    void setFrom(const QString &from) { m_from = from; }
    [[nodiscard]] std::vector<MailAttachment> Attachments() const override;
    void AddAttachment(const QString &path) override;
    void RemoveAttachment(int index) override;
    void Save() override;
    void saveIn(const OlFolder &folder) override;
    [[nodiscard]] std::shared_ptr<OlItem> Copy() override;
    void Send() override;
    // Send's checks alone: the message as it would be queued (throws as Send would).
    [[nodiscard]] std::tuple<QString, QString, QString, QString, QString> sendable() const;

private:
    void check(Failure failure) const;
    [[nodiscard]] const QString &readable(const QString &value) const;

    std::weak_ptr<MemoryNamespace> m_session;
    std::weak_ptr<MemoryFolder> m_parent;
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
    QString m_from;
    std::vector<std::pair<MailAttachment, QByteArray>> m_attachments;
    unsigned m_failures = 0;
    bool m_removed = false;
};

} // namespace corvel
