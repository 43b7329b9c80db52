#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace corvel {

// Runs a program directly (never through a shell), feeding it bytes and collecting its output.
class ExternalCommand
{
public:
    struct Outcome
    {
        bool started = false;
        bool finished = false; // false: crashed or timed out (then it was killed)
        int exitCode = -1;
        QByteArray output;
        QByteArray errors;
        QString problem; // why it did not start or finish
    };

    // A command line split into the program and its arguments, quotes honoured.
    [[nodiscard]] static QStringList split(const QString &commandLine);
    [[nodiscard]] static Outcome run(const QStringList &command, const QByteArray &input,
                                     int timeoutMs);
};

} // namespace corvel
