#pragma once

#include "merge/GenerationView.h"
#include "merge/MergeFields.h"
#include "merge/MergePrompter.h"

#include <QStringList>

#include <functional>
#include <vector>

namespace corvel::test {

// The generator's view in a test: records what a run shows; onEvents runs at every chance the
// run gives the user (a test presses Cancel there).
class RecordingView : public GenerationView
{
public:
    QStringList statuses;
    std::vector<int> percents;
    QStringList criticals;
    bool shown = false;
    std::function<void()> onEvents;

    void show() override { shown = true; }
    void setStatus(const QString &text) override { statuses.append(text); }
    void setPercent(int percent) override { percents.push_back(percent); }
    void letEventsRun() override
    {
        if (onEvents)
            onEvents();
    }
    void critical(const QString &text) override { criticals.append(text); }
};

// Answers every prompt with answer(request) (empty, as Cancel gives, unless set) and records
// each as "caption for whom".
class RecordingPrompter : public MergePrompter
{
public:
    QStringList asked;
    std::function<QString(const PromptRequest &)> answer = [](const PromptRequest &) {
        return QString();
    };
    QString stopAt; // the address whose prompt stops the run

    PromptReply askName(const PromptRequest &request) override
    {
        asked.append(request.caption + u' ' + request.forWhom());
        return {answer(request), request.member.address == stopAt};
    }
    // For filling a letter outside a run.
    MergeFields::PromptValue valueOf()
    {
        return [this](const QString &name) { return askName({name, {}, {}, 0, 0}).value; };
    }
};

} // namespace corvel::test
