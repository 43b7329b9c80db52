#pragma once

#include <QString>

namespace corvel {

// The two panels of the status bar as long operations see them: panel 1 shows counts
// ("12 Items") and progress, panel 2 what is going on ("Loading Contacts") and errors.
// The window's status bar implements it; headless runs pass nothing or a recorder.
class StatusPanels
{
public:
    static constexpr int CountPanel = 1;
    static constexpr int ActivityPanel = 2;

    virtual ~StatusPanels() = default;
    // Redraws the panel when the caption changes or a percent bar covers it.
    virtual void updateCaption(int panel, const QString &caption) = 0;
    // Draws a percent bar (0 to 100) in the panel.
    virtual void showPercent(int panel, int percent) = 0;
    // Where a job's worker stops once the job is cancelled (JobProgress throws JobCancelled);
    // cheap enough for every chunk of work. Nothing happens for a window's own panels.
    virtual void checkCancelled() const {}
};

} // namespace corvel
