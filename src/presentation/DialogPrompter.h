#pragma once

#include "merge/MergePrompter.h"

namespace corvel {

class DialogHost;

// Prompted merge fields asked through the single-line input dialog. Once stopped (the
// program is closing) it answers "" without showing anything, so nothing waits on a user.
class DialogPrompter : public MergePrompter
{
public:
    explicit DialogPrompter(DialogHost &dialogs);

    void stop() { m_stopped = true; }

    [[nodiscard]] PromptReply askName(const PromptRequest &request) override;

private:
    DialogHost &m_dialogs;
    bool m_stopped = false;
};

} // namespace corvel
