#include "presentation/LetterForm.h"

#include "groups/GetNameForm.h"
#include "merge/MergeFields.h"
#include "message/LetterHtml.h"
#include "message/MailAddressList.h"
#include "presentation/DialogHost.h"
#include "presentation/FileDialogRequest.h"
#include "session/OutlookSession.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

std::size_t slot(LetterForm::Field field)
{
    return static_cast<std::size_t>(field);
}

QString fieldName(std::size_t index)
{
    static const QString names[] = {u"To"_s, u"CC"_s, u"BCC"_s, u"Reply-To"_s};
    return names[index];
}

template<typename Action>
Status attempt(Action action)
{
    try {
        action();
        return {};
    } catch (const OutlookError &error) {
        return Status::failure(error.message());
    }
}

} // namespace

LetterForm::LetterForm(std::shared_ptr<OlItem> letter, DialogHost &dialogs)
    : m_letter(std::move(letter))
    , m_dialogs(dialogs)
{
    m_from = m_letter->From();
    m_now.addresses = {m_letter->To(), m_letter->CC(), m_letter->BCC(), m_letter->ReplyTo()};
    m_now.subject = m_letter->Subject();
    m_now.body = m_letter->Body();
    m_now.html = LetterHtml::sanitized(m_letter->HTMLBody());
    m_saved = m_now;
    for (const Field field : {Field::To, Field::Cc, Field::Bcc, Field::ReplyTo})
        setAddresses(field, m_now.addresses[slot(field)]);
    setSubject(m_now.subject);
}

const QString &LetterForm::addresses(Field field) const
{
    return m_now.addresses[slot(field)];
}

const QString &LetterForm::addressError(Field field) const
{
    return m_addressErrors[slot(field)];
}

void LetterForm::setAddresses(Field field, const QString &text)
{
    m_now.addresses[slot(field)] = text;
    const Result<MailAddressList> parsed = MailAddressList::parse(text);
    m_addressErrors[slot(field)] = parsed.ok() ? QString() : parsed.error();
}

void LetterForm::setSubject(const QString &subject)
{
    m_now.subject = subject;
    const Status safe = MailAddressList::checkHeaderText(subject, u"subject"_s);
    m_subjectError = safe.ok() ? QString() : safe.error();
}

void LetterForm::setText(const QString &plain, const QString &editorHtml)
{
    m_now.body = plain;
    const QString kept = LetterHtml::sanitized(editorHtml);
    m_now.html = LetterHtml::hasFormatting(kept) ? kept : QString();
}

QString LetterForm::title() const
{
    return m_now.subject.trimmed().isEmpty() ? u"(no subject)"_s : m_now.subject;
}

QString LetterForm::askPromptField()
{
    GetNameForm form(QString(), u"Insert Prompt Field"_s);
    if (!m_dialogs.askName(form) || form.answer().isEmpty())
        return {};
    if (const QString problem = MergeFields::promptNameProblem(form.answer()); !problem.isEmpty()) {
        m_dialogs.information(problem);
        return {};
    }
    return MergeFields::promptField(form.answer());
}

std::vector<MailAttachment> LetterForm::attachments() const
{
    try {
        return m_letter->Attachments();
    } catch (const OutlookError &) {
        return {};
    }
}

Status LetterForm::addAttachment(const QString &path)
{
    Status added = attempt([&] { m_letter->AddAttachment(path); });
    if (added.ok())
        m_attachmentsChanged = true;
    return added;
}

Status LetterForm::removeAttachment(int index)
{
    Status removed = attempt([&] { m_letter->RemoveAttachment(index); });
    if (removed.ok())
        m_attachmentsChanged = true;
    return removed;
}

void LetterForm::chooseAttachment()
{
    FileDialogRequest request;
    request.title = u"Add Attachment"_s;
    request.nameFilters = {u"All Files (*)"_s};
    const QString path = m_dialogs.chooseFile(request);
    if (path.isEmpty())
        return;
    if (const Status added = addAttachment(path); !added.ok())
        m_dialogs.information(added.error());
}

void LetterForm::attachDropped(const QStringList &paths)
{
    QStringList refused;
    for (const QString &path : paths) {
        if (const Status added = addAttachment(path); !added.ok())
            refused << added.error();
    }
    if (!refused.isEmpty())
        m_dialogs.information(refused.join(u'\n'));
}

bool LetterForm::isDirty() const
{
    return !m_sent && (m_attachmentsChanged || !(m_now == m_saved));
}

Status LetterForm::checkFields() const
{
    for (std::size_t i = 0; i < m_addressErrors.size(); ++i) {
        if (!m_addressErrors[i].isEmpty())
            return Status::failure(u"%1: %2"_s.arg(fieldName(i), m_addressErrors[i]));
    }
    if (!m_subjectError.isEmpty())
        return Status::failure(m_subjectError);
    return {};
}

void LetterForm::write(bool skipWrong)
{
    const auto writes = [&](Field field) {
        return !skipWrong || m_addressErrors[slot(field)].isEmpty();
    };
    if (writes(Field::To))
        m_letter->setTo(m_now.addresses[slot(Field::To)]);
    if (writes(Field::Cc))
        m_letter->setCC(m_now.addresses[slot(Field::Cc)]);
    if (writes(Field::Bcc))
        m_letter->setBCC(m_now.addresses[slot(Field::Bcc)]);
    if (writes(Field::ReplyTo))
        m_letter->setReplyTo(m_now.addresses[slot(Field::ReplyTo)]);
    if (!skipWrong || m_subjectError.isEmpty())
        m_letter->setSubject(m_now.subject);
    // The text part of a formatted letter is made from its HTML, so both say the same.
    m_letter->setBody(m_now.html.isEmpty() ? m_now.body : LetterHtml::plainText(m_now.html));
    m_letter->setHTMLBody(m_now.html.isEmpty() ? QString() : LetterHtml::document(m_now.html));
}

void LetterForm::saved()
{
    m_saved = m_now;
    m_attachmentsChanged = false;
}

Status LetterForm::save()
{
    if (m_sent)
        return Status::failure(u"The letter has been sent."_s);
    if (Status fields = checkFields(); !fields.ok())
        return fields;
    Status done = attempt([&] {
        write(false);
        m_letter->Save();
    });
    if (done.ok())
        saved();
    return done;
}

Status LetterForm::send()
{
    if (m_sent)
        return Status::failure(u"The letter has been sent already."_s);
    if (Status fields = checkFields(); !fields.ok())
        return fields;
    bool anyone = false;
    for (const Field field : {Field::To, Field::Cc, Field::Bcc}) {
        const Result<MailAddressList> parsed = MailAddressList::parse(m_now.addresses[slot(field)]);
        anyone = anyone || (parsed.ok() && !parsed->isEmpty());
    }
    if (!anyone)
        return Status::failure(u"The letter has no recipient: fill in To, CC or BCC."_s);
    Status done = attempt([&] {
        write(false);
        m_letter->Send();
    });
    if (done.ok()) {
        saved();
        m_sent = true;
    }
    return done;
}

bool LetterForm::requestClose()
{
    if (!isDirty())
        return true;
    switch (m_dialogs.askUnsavedChanges(
        u"The letter \"%1\" has changes that are not saved. Save them in Drafts?"_s.arg(title()))) {
    case DialogHost::UnsavedChanges::Save:
        if (const Status kept = save(); !kept.ok()) {
            m_dialogs.critical(u"The letter was not saved: %1"_s.arg(kept.error()));
            return false;
        }
        return true;
    case DialogHost::UnsavedChanges::Discard:
        return true;
    case DialogHost::UnsavedChanges::Cancel:
        break;
    }
    return false;
}

Status LetterForm::closeForSessionEnd()
{
    if (!isDirty())
        return {};
    const Status wrong = checkFields();
    Status done = attempt([&] {
        write(true);
        m_letter->Save();
    });
    if (!done.ok())
        return Status::failure(u"The letter \"%1\" was not saved: %2"_s.arg(title(), done.error()));
    saved();
    if (!wrong.ok())
        return Status::failure(
            u"The letter \"%1\" was saved without a field that was wrong (%2)"_s.arg(
                title(), wrong.error()));
    return {};
}

} // namespace corvel
