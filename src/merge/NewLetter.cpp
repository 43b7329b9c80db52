#include "merge/NewLetter.h"

#include "session/OutlookSession.h"

namespace corvel {

std::shared_ptr<OlItem> NewLetter::doBtnNewMsg(OlApplication &application,
                                               const std::shared_ptr<OlFolder> &drafts)
{
    return create(application, drafts, {defaultSubject(), {}, {}, {}, {}});
}

std::shared_ptr<OlItem> NewLetter::create(OlApplication &application,
                                          const std::shared_ptr<OlFolder> &drafts,
                                          const Fields &fields, const QStringList &attachments)
{
    if (!drafts)
        throw OutlookError(QStringLiteral("No store has a Drafts folder to save the letter in."));
    std::shared_ptr<OlItem> letter = application.CreateItem(0);
    letter->setTo(fields.to);
    letter->setReplyTo(fields.replyTo);
    letter->setSubject(fields.subject);
    letter->setBody(fields.body);
    letter->setHTMLBody(fields.html);
    for (const QString &path : attachments)
        letter->AddAttachment(path);
    letter->saveIn(*drafts);
    return letter;
}

} // namespace corvel
