#include "session/LocalContactItem.h"

#include <QFile>
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

ContactCard LocalContactItem::Card() const
{
    // No card is that large; a bigger file is not read into memory whole.
    constexpr qint64 MaxCardSize = 64 * 1024 * 1024;
    const QString path = m_directory + u'/' + m_fileName;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw OutlookError(
            u"The contact cannot be read from %1: %2"_s.arg(path, file.errorString()));
    if (file.size() > MaxCardSize)
        throw OutlookError(u"The contact file %1 is too large to be a card."_s.arg(path));
    const QByteArray data = file.read(MaxCardSize);
    if (data.isEmpty() && file.error() != QFileDevice::NoError)
        throw OutlookError(
            u"The contact cannot be read from %1: %2"_s.arg(path, file.errorString()));
    return ContactCard{path, VCardDetails::read(data)};
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
