#pragma once

#include "outlook/LocalNamespace.h"

namespace corvel {

// The application object of the local mail system.
class LocalApplication : public OlApplication
{
public:
    explicit LocalApplication(const std::vector<LocalStore> &stores,
                              LocalNamespace::AccountLookup account = {});

    [[nodiscard]] std::shared_ptr<OlNamespace> GetNamespace(const QString &type) override;
    [[nodiscard]] std::shared_ptr<OlItem> CreateItem(int itemType) override;

private:
    std::shared_ptr<LocalNamespace> m_session;
};

} // namespace corvel
