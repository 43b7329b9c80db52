#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace corvel {

// What a run did, member by member where it matters.
struct GenerationOutcome
{
    struct Failure
    {
        QString name;
        QString address;
        QString reason;
    };
    // A member whose copy went with prompted values left empty.
    struct EmptyPrompted
    {
        QString name;
        QString address;
        QStringList prompts;
    };
    // A message the dry run would make.
    struct PlannedMessage
    {
        QString to;
        QString cc;
        QString bcc;
    };

    bool letterLoaded = false;
    bool cancelled = false;
    QString stopReason; // the run stopped early for this reason (the journal failed)
    qint64 total = 0;
    qint64 processed = 0;
    qint64 messagesQueued = 0; // or saved, with savedTo
    QString savedTo;           // the folder the copies were saved in rather than queued
    qint64 membersQueued = 0;
    qint64 skippedNoAddress = 0;
    // Members the interrupted run had already queued.
    qint64 skippedAlreadyQueued = 0;
    // Rows whose address an earlier row of this run holds already.
    qint64 skippedAlreadyMailed = 0;
    std::vector<Failure> failures;
    std::vector<EmptyPrompted> emptyPrompted;
    // The Outbox ids of the messages queued, for asking later what became of them.
    QStringList outboxIds;
    std::vector<PlannedMessage> planned; // dry run only
    QString firstFilledBody;             // dry run of personalised mail

    [[nodiscard]] bool succeeded() const
    {
        return letterLoaded && failures.empty() && stopReason.isEmpty();
    }
};

} // namespace corvel
