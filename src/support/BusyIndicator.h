#pragma once

namespace corvel {

// Shows that a long operation is under way (the hourglass, in a window).
class BusyIndicator
{
public:
    virtual ~BusyIndicator() = default;
    virtual void setBusy(bool busy) = 0;
};

// Marks the span of one operation, and ends it on every path out of it.
class BusyScope
{
public:
    explicit BusyScope(BusyIndicator *indicator)
        : m_indicator(indicator)
    {
        if (m_indicator)
            m_indicator->setBusy(true);
    }
    ~BusyScope()
    {
        if (m_indicator)
            m_indicator->setBusy(false);
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    BusyIndicator *m_indicator;
};

} // namespace corvel
