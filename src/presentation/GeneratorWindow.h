#pragma once

#include "merge/GenerationView.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace corvel {

// The generator window of one run, as the Create Mail command drives it: the progress of
// GenerationView, a Cancel that reaches the generator, and the account shown at the end.
class GeneratorWindow : public GenerationView
{
public:
    // Cancel in the window (or closing it mid-run) calls this; the run stops after the
    // member in hand.
    virtual void setCancelHandler(std::function<void()> handler) = 0;
    // The run ended: the window shows the account and stays until the user closes it.
    virtual void showOutcome(const QString &heading, const QStringList &lines) = 0;
    // Nothing to show (the letter was missing, nobody to mail, the program is closing).
    virtual void closeWindow() = 0;
};

} // namespace corvel
