#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace corvel::test {

// A test server from tests/tools run as a child process: it prints "PORT n" once it listens,
// and is killed when this goes. port() is 0 when it never came up.
class PortServer
{
public:
    explicit PortServer(const QStringList &pythonArguments)
    {
        m_process.setProgram(QStringLiteral("/usr/bin/python3"));
        m_process.setArguments(pythonArguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return;
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < 15000)
            m_process.waitForReadyRead(200);
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("PORT "))
            m_port = line.mid(5).toInt();
    }
    ~PortServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    PortServer(const PortServer &) = delete;
    PortServer &operator=(const PortServer &) = delete;

    [[nodiscard]] int port() const { return m_port; }

private:
    QProcess m_process;
    int m_port = 0;
};

} // namespace corvel::test
