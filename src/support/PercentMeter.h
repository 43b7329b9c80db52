#pragma once

#include "support/StatusPanels.h"

#include <algorithm>
#include <cstddef>

namespace corvel {

// Shows in panel 1 how far a known number of steps has got, as a share of the range
// [first, last] of the whole bar (a job in phases gives each phase its part). The panels
// hear of a step only when the percent changes: a job's progress is where a cancelled job
// stops, so it stops within a percent of work.
class PercentMeter
{
public:
    PercentMeter(StatusPanels *panels, size_t total, int first = 0, int last = 100)
        : m_panels(panels)
        , m_total(total)
        , m_first(first)
        , m_last(last)
    {
    }

    void step() { reach(m_done + 1); }
    void reach(size_t done)
    {
        m_done = done;
        if (!m_panels)
            return;
        const size_t share = m_total > 0
                                 ? std::min(m_done, m_total) * size_t(m_last - m_first) / m_total
                                 : size_t(m_last - m_first);
        const int percent = m_first + static_cast<int>(share);
        if (percent == m_shown)
            return;
        m_shown = percent;
        m_panels->showPercent(StatusPanels::CountPanel, percent);
    }

private:
    StatusPanels *m_panels;
    size_t m_total;
    int m_first;
    int m_last;
    size_t m_done = 0;
    int m_shown = -1;
};

} // namespace corvel
