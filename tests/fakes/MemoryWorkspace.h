#pragma once

#include "fakes/MemoryApplication.h"
#include "fakes/MemoryNamespace.h"
#include "workspace/Workspace.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace corvel {

// A workspace over an in-memory session, its settings and data files in a temporary folder.
inline std::unique_ptr<Workspace> memoryWorkspace(const QTemporaryDir &tmp,
                                                  std::shared_ptr<MemoryNamespace> session)
{
    Workspace::Options options;
    options.appPath = tmp.filePath(QStringLiteral("app"));
    options.configRoot = tmp.filePath(QStringLiteral("config"));
    options.dataRoot = tmp.filePath(QStringLiteral("data"));
    QDir().mkpath(options.appPath);
    return std::make_unique<Workspace>(options, [session](CRegSettings &) {
        return std::make_shared<MemoryApplication>(session);
    });
}

} // namespace corvel
