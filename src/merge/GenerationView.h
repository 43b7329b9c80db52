#pragma once

#include <QString>

namespace corvel {

// What the generator shows while it works: the generator window, a terminal, or a test.
class GenerationView
{
public:
    virtual ~GenerationView() = default;

    virtual void show() = 0;
    virtual void setStatus(const QString &text) = 0;
    virtual void setPercent(int percent) = 0;
    // Lets waiting user events run, so the window repaints and a click on Cancel is seen.
    virtual void letEventsRun() = 0;
    // The letter could not be loaded (critical-stop icon).
    virtual void critical(const QString &text) = 0;
};

} // namespace corvel
