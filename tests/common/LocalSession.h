#pragma once

#include "session/LocalApplication.h"
#include "session/LocalNamespace.h"
#include "support/CRegSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace corvel::test {

// A session over a local store in a temporary folder: an empty Drafts, and the sender
// "Ann Lee <ann@example.org>" set.
struct LocalSession
{
    LocalSession()
    {
        for (const char *part : {"cur", "new", "tmp"})
            QDir().mkpath(store + QStringLiteral("/Drafts/") + QLatin1StringView(part));
        (void)settings.saveSetting(QStringLiteral("Transport"), QStringLiteral("From"),
                                   QStringLiteral("Ann Lee <ann@example.org>"));
        application = std::make_unique<LocalApplication>(
            std::vector<LocalStore>{{QStringLiteral("Personal Folders"), store}},
            [] {
                return LocalNamespace::Account{QStringLiteral("Ann Lee"), QStringLiteral("ann")};
            },
            &settings);
        session = std::dynamic_pointer_cast<LocalNamespace>(
            application->GetNamespace(QStringLiteral("MAPI")));
    }

    // A file of that content in the temporary folder; its path.
    QString writeFile(const QString &name, const QByteArray &content) const
    {
        QFile out(tmp.filePath(name));
        (void)out.open(QIODevice::WriteOnly);
        out.write(content);
        return out.fileName();
    }

    QTemporaryDir tmp;
    QString store = tmp.path() + QStringLiteral("/store");
    CRegSettings settings{tmp.path() + QStringLiteral("/config")};
    std::unique_ptr<LocalApplication> application;
    std::shared_ptr<LocalNamespace> session;
};

} // namespace corvel::test
