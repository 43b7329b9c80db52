#pragma once

#include "session/OutlookSession.h"

#include <memory>

namespace corvel {

class MemoryNamespace;

// The application object over an in-memory session.
class MemoryApplication : public OlApplication
{
public:
    MemoryApplication(); // with a new, empty session
    explicit MemoryApplication(std::shared_ptr<MemoryNamespace> session);

    [[nodiscard]] std::shared_ptr<MemoryNamespace> session() const { return m_session; }
    void failGetNamespace(bool on = true) { m_getNamespaceFails = on; }

    [[nodiscard]] std::shared_ptr<OlNamespace> GetNamespace(const QString &type) override;
    [[nodiscard]] std::shared_ptr<OlItem> CreateItem(int itemType) override;

private:
    std::shared_ptr<MemoryNamespace> m_session;
    bool m_getNamespaceFails = false;
};

} // namespace corvel
