#include "merge/NewLetter.h"

#include "session/OutlookSession.h"

namespace corvel {

std::shared_ptr<OlItem> NewLetter::doBtnNewMsg(OlApplication &application,
                                               const std::shared_ptr<OlFolder> &drafts)
{
    return create(application, drafts, defaultSubject(), QString(), QString());
}

std::shared_ptr<OlItem> NewLetter::create(OlApplication &application,
                                          const std::shared_ptr<OlFolder> &drafts,
                                          const QString &subject, const QString &to,
                                          const QString &body, const QStringList &attachments)
{
    if (!drafts)
        throw OutlookError(QStringLiteral("No store has a Drafts folder to save the letter in."));
    std::shared_ptr<OlItem> letter = application.CreateItem(0);
    letter->setTo(to);
    letter->setSubject(subject);
    letter->setBody(body);
    for (const QString &path : attachments)
        letter->AddAttachment(path);
    letter->saveIn(*drafts);
    return letter;
}

} // namespace corvel
