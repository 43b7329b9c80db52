#include "merge/NewLetter.h"

#include "session/OutlookSession.h"

namespace corvel {

std::shared_ptr<OlItem> NewLetter::doBtnNewMsg(OlApplication &application)
{
    return create(application, defaultSubject(), QString(), QString());
}

std::shared_ptr<OlItem> NewLetter::create(OlApplication &application, const QString &subject,
                                          const QString &to, const QString &body,
                                          const QStringList &attachments)
{
    std::shared_ptr<OlItem> letter = application.CreateItem(0);
    letter->setTo(to);
    letter->setSubject(subject);
    letter->setBody(body);
    for (const QString &path : attachments)
        letter->AddAttachment(path);
    letter->Save();
    return letter;
}

} // namespace corvel
