#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace corvel {

class OlApplication;
class OlFolder;
class OlItem;

// The New Message command: an empty letter saved to Drafts (the one DraftsFolder chooses) for
// the user to write.
class NewLetter
{
public:
    static QString defaultSubject() { return QStringLiteral("Draft from Corvel"); }

    // Throws OutlookError when the letter cannot be made or saved, or `drafts` is null.
    [[nodiscard]] static std::shared_ptr<OlItem>
    doBtnNewMsg(OlApplication &application, const std::shared_ptr<OlFolder> &drafts);
    struct Fields
    {
        QString subject;
        QString to;
        QString replyTo;
        QString body;
        QString html; // the HTML alternative of body; empty: plain text
    };
    // The same with the given fields and files, for letters written elsewhere. A file that
    // cannot be attached throws before anything is saved.
    [[nodiscard]] static std::shared_ptr<OlItem> create(OlApplication &application,
                                                        const std::shared_ptr<OlFolder> &drafts,
                                                        const Fields &fields,
                                                        const QStringList &attachments = {});
};

} // namespace corvel
