#pragma once

#include "support/Result.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace corvel {

// The times before which queued messages must not go, kept beside an Outbox in
// "corvel-outbox.schedule": a first line "#corvel-schedule 1", then a line "UNIQUE TIME" (ms
// since the epoch) per message. The lines are appended and made durable before their
// messages are filed, so no delivery can see a scheduled message without its time, and they
// are dropped once their time has passed. Writers take the file's own lock for the moment of
// a write, so an append and a rewrite never lose each other's lines.
class OutboxSchedule
{
public:
    explicit OutboxSchedule(QString outboxDirectory);

    // Durable when it returns.
    [[nodiscard]] Status add(const QStringList &uniques, qint64 notBeforeMs) const;
    // Every time kept, by unique name; none without a file. A last line cut short (a crash
    // mid-append, before its messages were filed) is ignored; any other fault fails.
    [[nodiscard]] Result<QHash<QString, qint64>> read() const;
    // Rewrites the file without the times up to `nowMs`, when there are any.
    [[nodiscard]] Status dropPast(qint64 nowMs) const;

    [[nodiscard]] static QString fileName();

private:
    [[nodiscard]] QString path() const;

    QString m_directory;
};

} // namespace corvel
