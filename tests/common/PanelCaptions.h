#pragma once

#include "support/StatusPanels.h"

#include <QString>

namespace corvel::test {

// The status panels as a test reads them: the last caption of each panel.
struct PanelCaptions : StatusPanels
{
    void updateCaption(int panel, const QString &caption) override { captions[panel] = caption; }
    void showPercent(int, int) override {}
    QString captions[3];
};

} // namespace corvel::test
