#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace corvel {

// The process that wrote a record, told apart across restarts of the machine: its pid alone
// may name another process after a reboot.
struct ProcessOwner
{
    qint64 pid = 0;
    QByteArray bootId;

    // This process in this boot.
    [[nodiscard]] static ProcessOwner current();
    // Tells this boot of the machine from the others; empty when unknown.
    [[nodiscard]] static QByteArray currentBootId();
    [[nodiscard]] static bool processAlive(qint64 pid);

    // "pid=N boot=ID", as records keep it.
    [[nodiscard]] QByteArray text() const;
    [[nodiscard]] static ProcessOwner fromText(const QByteArray &text);
};

} // namespace corvel
