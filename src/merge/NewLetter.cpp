#include "merge/NewLetter.h"

#include "session/OutlookSession.h"

namespace corvel {

std::shared_ptr<OlItem> NewLetter::doBtnNewMsg(OlApplication &application)
{
    std::shared_ptr<OlItem> letter = application.CreateItem(0);
    letter->setTo(QString());
    letter->setSubject(defaultSubject());
    letter->setBody(QString());
    letter->Save();
    return letter;
}

} // namespace corvel
