#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvel::test {

// A free port on 127.0.0.1 (probe 0), or whether something listens on the port probed.
inline int loopbackPort(int probe = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, htons(uint16_t(probe)), {htonl(INADDR_LOOPBACK)}, {}};
    auto *raw = reinterpret_cast<sockaddr *>(&address);
    socklen_t size = sizeof address;
    const int port =
        probe ? (::connect(fd, raw, size) == 0 ? probe : 0)
              : (::bind(fd, raw, size) || ::getsockname(fd, raw, &size) ? 0
                                                                        : ntohs(address.sin_port));
    ::close(fd);
    return port;
}

// A real slapd serving dc=example,dc=org (admin cn=admin, password "secret") from a temporary
// folder, the LDIF loaded with slapadd before it starts, on a free port of 127.0.0.1; with
// TLS, also ldaps:// on a second one, and a certificate for 127.0.0.1 from a CA of its own.
// Paged searches get every entry, others stop at 500, as in many directories. Stopped by
// its process id when this goes; port() is 0 when it did not come up.
class SlapdServer
{
public:
    explicit SlapdServer(const QByteArray &ldif, bool tls = false)
    {
        const QString dir = m_dir.path();
        const auto path = [&](const char *name) { return m_dir.filePath(QString::fromUtf8(name)); };
        const QString certificates = QStringLiteral(
            "set -e; k='-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes'; exec 2>/dev/null;"
            "openssl req -x509 $k -keyout ca.key -out ca.pem -days 2 -subj /CN=TestCA;"
            "openssl req $k -keyout server.key -out server.csr -subj /CN=127.0.0.1;"
            "echo subjectAltName=IP:127.0.0.1 > san; openssl x509 -req -in server.csr -CA ca.pem "
            "-CAkey ca.key -CAcreateserial -days 2 -extfile san -out server.pem;"
            "printf 'TLSCertificateFile %1/server.pem\\nTLSCertificateKeyFile %1/server.key\\n' "
            ">> slapd.conf;");
        const QString conf = QStringLiteral(
            "cd %1; mkdir db; printf '%s\\n' 'include /etc/ldap/schema/core.schema' "
            "'include /etc/ldap/schema/cosine.schema' 'include "
            "/etc/ldap/schema/inetorgperson.schema' "
            "'modulepath /usr/lib/ldap' 'moduleload back_mdb' 'pidfile %1/slapd.pid' "
            "'sizelimit size.soft=500 size.prtotal=unlimited' > slapd.conf; %2"
            "printf '%s\\n' 'database mdb' 'maxsize 1073741824' 'suffix dc=example,dc=org' "
            "'rootdn cn=admin,dc=example,dc=org' 'rootpw secret' 'directory %1/db' >> slapd.conf;"
            "/usr/sbin/slapadd -q -f slapd.conf");
        QProcess setUp;
        setUp.start(QStringLiteral("/bin/bash"),
                    {QStringLiteral("-c"), conf.arg(dir, tls ? certificates.arg(dir) : QString())});
        setUp.write(ldif);
        setUp.closeWriteChannel();
        if (!setUp.waitForFinished(60000) || setUp.exitCode() != 0)
            return;
        const int port = loopbackPort();
        m_tlsPort = tls ? loopbackPort() : 0;
        QString urls = QStringLiteral("ldap://127.0.0.1:%1/").arg(port);
        if (tls)
            urls += QStringLiteral(" ldaps://127.0.0.1:%1/").arg(m_tlsPort);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // A test killed on a timeout must not leave its server running.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_process.start(QStringLiteral("/usr/sbin/slapd"),
                        {QStringLiteral("-f"), path("slapd.conf"), QStringLiteral("-h"), urls,
                         QStringLiteral("-d"), QStringLiteral("0")});
        m_process.waitForStarted(10000);
        QElapsedTimer timer;
        timer.start();
        while (m_process.state() == QProcess::Running && timer.elapsed() < 15000 && !m_port) {
            m_port = loopbackPort(port);
            QThread::msleep(m_port ? 0 : 50);
        }
        m_caFile = path("ca.pem");
    }
    ~SlapdServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    SlapdServer(const SlapdServer &) = delete;
    SlapdServer &operator=(const SlapdServer &) = delete;

    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] int tlsPort() const { return m_tlsPort; }
    [[nodiscard]] const QString &caFile() const { return m_caFile; }

    // The suffix, ou=people and `count` people in it, each with a mail value.
    static QByteArray people(int count)
    {
        QByteArray ldif = "dn: dc=example,dc=org\nobjectClass: dcObject\nobjectClass: "
                          "organization\ndc: example\no: Example\n\ndn: ou=people,dc=example,"
                          "dc=org\nobjectClass: organizationalUnit\nou: people\n\n";
        for (int i = 0; i < count; ++i)
            ldif += QStringLiteral("dn: uid=p%1,ou=people,dc=example,dc=org\nobjectClass: "
                                   "inetOrgPerson\nuid: p%1\ncn: Person %1\nsn: Surname%1\n"
                                   "givenName: Given\nmail: p%1@example.org\ntitle: Engineer\n"
                                   "businessCategory: Staff\n\n")
                        .arg(i)
                        .toUtf8();
        return ldif;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_caFile;
    int m_port = 0;
    int m_tlsPort = 0;
};

} // namespace corvel::test
