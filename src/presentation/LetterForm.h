#pragma once

#include "message/MailAttachment.h"
#include "support/Result.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

namespace corvel {

class DialogHost;
class OlItem;

// The rules of the letter window without its widgets: the fields of one message of the
// session, each address field checked as it is typed, prompt fields inserted, attachments,
// whether anything is unsaved, Save into Drafts (over the saved copy), Send into the Outbox,
// and the question before closing with unsaved changes. Questions go through the DialogHost.
class LetterForm
{
public:
    enum class Field
    {
        To,
        Cc,
        Bcc,
        ReplyTo // kept on every copy; no recipient
    };

    // Reads the letter's fields; throws OutlookError when they cannot be read.
    LetterForm(std::shared_ptr<OlItem> letter, DialogHost &dialogs);

    [[nodiscard]] const QString &from() const { return m_from; }
    [[nodiscard]] const QString &addresses(Field field) const;
    void setAddresses(Field field, const QString &text);
    // Why the text is not a list of addresses (empty when it is), as the user types.
    [[nodiscard]] const QString &addressError(Field field) const;
    [[nodiscard]] const QString &subject() const { return m_now.subject; }
    void setSubject(const QString &subject);
    [[nodiscard]] const QString &subjectError() const { return m_subjectError; }
    [[nodiscard]] const QString &body() const { return m_now.body; }
    void setBody(const QString &body) { m_now.body = body; }
    // The body as the editor holds it: its text and its HTML, the formatting kept as a letter
    // may carry it; a body without formatting stays plain text.
    void setText(const QString &plain, const QString &editorHtml);
    // The letter's formatted text (a fragment), empty while it is plain.
    [[nodiscard]] const QString &html() const { return m_now.html; }
    // The subject, or "(no subject)".
    [[nodiscard]] QString title() const;

    // Asks the field's name and gives "<<Prompt=NAME>>" to insert; empty when cancelled or
    // refused (the reason is told).
    [[nodiscard]] QString askPromptField();

    [[nodiscard]] std::vector<MailAttachment> attachments() const;
    [[nodiscard]] Status addAttachment(const QString &path);
    [[nodiscard]] Status removeAttachment(int index);
    // Asks for a file and attaches it; a refusal is told.
    void chooseAttachment();
    // Files dropped on the window: each attached, the refusals told together.
    void attachDropped(const QStringList &paths);

    [[nodiscard]] bool isDirty() const;
    [[nodiscard]] bool isSent() const { return m_sent; }
    // Into Drafts, over the copy saved before; refused with the reason while a field is wrong.
    [[nodiscard]] Status save();
    // Into the Outbox (the draft leaves Drafts); refused with the reason while a field is
    // wrong or there is no recipient.
    [[nodiscard]] Status send();
    // Whether the letter may close now: with unsaved changes asks Save / Discard / Cancel; a
    // save that fails is told and keeps it open.
    [[nodiscard]] bool requestClose();
    // The session is ending and no one may answer: unsaved changes are saved without a
    // question, a field that is wrong keeping what was saved before. The reason when not all
    // could be kept.
    [[nodiscard]] Status closeForSessionEnd();

private:
    struct Fields
    {
        std::array<QString, 4> addresses;
        QString subject;
        QString body;
        QString html;

        friend bool operator==(const Fields &, const Fields &) = default;
    };
    [[nodiscard]] Status checkFields() const;
    // Puts the fields into the message; with `skipWrong`, wrong ones are left as they were.
    void write(bool skipWrong);
    void saved();

    std::shared_ptr<OlItem> m_letter;
    DialogHost &m_dialogs;
    QString m_from;
    Fields m_now;
    Fields m_saved;
    std::array<QString, 4> m_addressErrors;
    QString m_subjectError;
    bool m_attachmentsChanged = false;
    bool m_sent = false;
};

} // namespace corvel
