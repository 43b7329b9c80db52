#include "session/LocalContactItem.h"

#include <QFileInfo>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace corvel {

LocalContactItem::LocalContactItem(QString entryId, QString directory, QString fileName,
                                   VCardContact contact, std::shared_ptr<const Opener> opener)
    : m_entryId(std::move(entryId))
    , m_directory(std::move(directory))
    , m_fileName(std::move(fileName))
    , m_contact(std::move(contact))
    , m_opener(std::move(opener))
{
}

void LocalContactItem::Display()
{
    const QString path = m_directory + u'/' + m_fileName;
    if (!QFileInfo(path).isFile())
        throw OutlookError(
            u"The contact cannot be shown: its file %1 no longer exists."_s.arg(path));
    if (!m_opener || !*m_opener)
        throw OutlookError(u"No program is set up to show contacts."_s);
    (*m_opener)(path);
}

LocalContactItem::Opener LocalContactItem::desktopOpener()
{
    return [](const QString &path) {
        if (!QProcess::startDetached(u"xdg-open"_s, {path}))
            throw OutlookError(
                u"The contact cannot be shown: the desktop's viewer (xdg-open) did not start."_s);
    };
}

} // namespace corvel
