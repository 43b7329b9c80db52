#include "merge/TestCopy.h"

#include "merge/MemberAttachments.h"
#include "merge/PersonalCopy.h"
#include "message/MailAddressList.h"
#include "session/OutlookSession.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace corvel {

Result<MailMember> TestCopy::send(OlNamespace &session, MergePrompter &prompter,
                                  const Request &request, const std::vector<MailMember> &members)
{
    using Failed = Result<MailMember>;
    Result<MailAddressList> address = MailAddressList::parse(request.address);
    if (!address.ok() || address->addresses().size() != 1)
        return Failed::failure(
            u"\"%1\" is not one address to send the test to."_s.arg(request.address));
    const auto first = std::find_if(members.begin(), members.end(),
                                    [](const MailMember &m) { return !m.address.isEmpty(); });
    if (first == members.end())
        return Failed::failure(u"No member has an address to make the test copy for."_s);
    if (request.prompts)
        if (Status files = MemberAttachments::check(*request.prompts, {*first}); !files.ok())
            return Failed::failure(files.error());
    try {
        const std::shared_ptr<OlItem> letter = session.GetItemFromID(request.letterEntryId);
        if (!letter || letter->Class() != olMailItem)
            return Failed::failure(u"The letter is not in Drafts."_s);
        PersonalCopy copies(letter, request.prompts, request.unsubscribe);
        OlSendBatch::CopyChanges changes = copies.forSeveral();
        if (request.type == MailType::Personal) {
            Result<PersonalCopy::Made> made =
                copies.forMember(*first, prompter, 1, qint64(members.size()));
            if (!made.ok())
                return Failed::failure(made.error());
            if (made->stopRun)
                return Failed::failure(u"The test was cancelled."_s);
            changes = made->changes;
        }
        const std::shared_ptr<OlItem> copy = OlSendBatch::copyOf(
            letter, OlSendBatch::CopyRecipients::To, address->display(), changes);
        copy->setCC(QString());
        copy->setBCC(QString());
        copy->setSubject(subjectPrefix() + copy->Subject());
        copy->Send();
        return *first;
    } catch (const OutlookError &error) {
        return Failed::failure(error.message());
    }
}

} // namespace corvel
