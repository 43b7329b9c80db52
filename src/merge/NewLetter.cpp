#include "merge/NewLetter.h"

#include "session/OutlookSession.h"

namespace corvel {

std::shared_ptr<OlItem> NewLetter::doBtnNewMsg(OlApplication &application)
{
    return create(application, defaultSubject(), QString(), QString());
}

std::shared_ptr<OlItem> NewLetter::create(OlApplication &application, const QString &subject,
                                          const QString &to, const QString &body)
{
    std::shared_ptr<OlItem> letter = application.CreateItem(0);
    letter->setTo(to);
    letter->setSubject(subject);
    letter->setBody(body);
    letter->Save();
    return letter;
}

} // namespace corvel
