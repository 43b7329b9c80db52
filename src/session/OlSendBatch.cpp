#include "session/OlSendBatch.h"

#include "session/OutlookSession.h"

namespace corvel {

void ItemByItemSendBatch::add(const std::shared_ptr<OlItem> &message)
{
    m_items.push_back(message);
}

std::vector<OlSendBatch::Queued> ItemByItemSendBatch::commit()
{
    std::vector<Queued> results;
    results.reserve(m_items.size());
    for (const auto &item : m_items) {
        try {
            item->Send();
            results.push_back({});
        } catch (const OutlookError &error) {
            results.push_back({{}, error.message()});
        }
    }
    m_items.clear();
    return results;
}

std::unique_ptr<OlSendBatch> OlNamespace::createSendBatch()
{
    return std::make_unique<ItemByItemSendBatch>();
}

std::shared_ptr<QueuedMessageStates> OlNamespace::queuedMessageStates()
{
    return nullptr;
}

} // namespace corvel
