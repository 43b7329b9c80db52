#pragma once

#include "session/LocalNamespace.h"

namespace corvel {

// The application object of the local mail system.
class LocalApplication : public OlApplication
{
public:
    // `settings` as for LocalNamespace: they must outlive the application.
    explicit LocalApplication(const std::vector<LocalStore> &stores,
                              LocalNamespace::AccountLookup account = {},
                              const CRegSettings *settings = nullptr);

    [[nodiscard]] std::shared_ptr<OlNamespace> GetNamespace(const QString &type) override;
    [[nodiscard]] std::shared_ptr<OlItem> CreateItem(int itemType) override;

private:
    std::shared_ptr<LocalNamespace> m_session;
};

} // namespace corvel
