#include "merge/MemberAttachments.h"

#include "merge/PromptPlan.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Why the file cannot go with a copy; empty when it can.
QString problemOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return u"there is no such file"_s;
    // A folder, a device or a pipe: reading one could block or never end.
    if (!info.isFile())
        return u"it is not a file"_s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return {};
}

} // namespace

QStringList MemberAttachments::of(const PromptPlan &plan, const QString &memberAddress)
{
    QStringList paths;
    if (plan.choice(columnName()) != PromptPlan::Choice::Table)
        return paths;
    for (const QString &path :
         plan.cell(memberAddress, columnName()).value_or(QString()).split(u';'))
        if (!path.trimmed().isEmpty())
            paths << path.trimmed();
    return paths;
}

Status MemberAttachments::check(const PromptPlan &plan, const std::vector<MailMember> &members)
{
    QStringList problems;
    QSet<QString> seen;
    for (const MailMember &member : members) {
        for (const QString &path : of(plan, member.address)) {
            if (seen.contains(path))
                continue;
            seen.insert(path);
            if (const QString problem = problemOf(path); !problem.isEmpty())
                problems << u"\"%1\" (for %2): %3"_s.arg(path, member.address, problem);
        }
    }
    if (problems.isEmpty())
        return {};
    return Status::failure(u"the run does not start: a file to attach cannot be read: "_s +
                           problems.join(u"; "_s));
}

} // namespace corvel
