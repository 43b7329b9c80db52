#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvel::test {

// A port on 127.0.0.1 that nothing listens on, or whether one accepts connections.
inline int loopbackPort(int probe = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(probe));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int result = 0;
    if (probe) {
        result = ::connect(fd, reinterpret_cast<sockaddr *>(&address), size) == 0 ? probe : 0;
    } else if (::bind(fd, reinterpret_cast<sockaddr *>(&address), size) == 0 &&
               ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0) {
        result = ntohs(address.sin_port);
    }
    ::close(fd);
    return result;
}

// A real slapd serving dc=example,dc=org from a temporary folder, the LDIF loaded with
// slapadd before it starts, on free ports of 127.0.0.1 (ldap://, and ldaps:// as well when
// given a certificate, which also serves StartTLS); stopped by its process id when this goes.
// port() is 0 when it did not come up.
class SlapdServer
{
public:
    static constexpr const char *Suffix = "dc=example,dc=org";
    static constexpr const char *AdminDn = "cn=admin,dc=example,dc=org";
    static constexpr const char *AdminPassword = "secret";

    explicit SlapdServer(const QByteArray &ldif, const QString &certFile = {},
                         const QString &keyFile = {})
    {
        const QString dir = m_dir.path();
        QDir(dir).mkdir(QStringLiteral("db"));
        QByteArray conf = "include /etc/ldap/schema/core.schema\n"
                          "include /etc/ldap/schema/cosine.schema\n"
                          "include /etc/ldap/schema/inetorgperson.schema\n"
                          "modulepath /usr/lib/ldap\nmoduleload back_mdb\n"
                          "pidfile " +
                          dir.toUtf8() + "/slapd.pid\n";
        if (!certFile.isEmpty())
            conf += "TLSCertificateFile " + certFile.toUtf8() + "\nTLSCertificateKeyFile " +
                    keyFile.toUtf8() + "\n";
        // Paged searches get every entry; others stop at 500, as many directories do.
        conf += "sizelimit size.soft=500 size.prtotal=unlimited\n";
        conf += "database mdb\nmaxsize 1073741824\nsuffix \"dc=example,dc=org\"\n"
                "rootdn \"cn=admin,dc=example,dc=org\"\nrootpw secret\n"
                "directory " +
                dir.toUtf8() + "/db\n";
        write(QStringLiteral("slapd.conf"), conf);
        write(QStringLiteral("data.ldif"), ldif);
        const QString confPath = dir + QStringLiteral("/slapd.conf");
        if (QProcess::execute(QStringLiteral("/usr/sbin/slapadd"),
                              {QStringLiteral("-q"), QStringLiteral("-f"), confPath,
                               QStringLiteral("-l"), dir + QStringLiteral("/data.ldif")}) != 0)
            return;
        const int port = loopbackPort();
        m_tlsPort = certFile.isEmpty() ? 0 : loopbackPort();
        QString urls = QStringLiteral("ldap://127.0.0.1:%1/").arg(port);
        if (m_tlsPort)
            urls += QStringLiteral(" ldaps://127.0.0.1:%1/").arg(m_tlsPort);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/sbin/slapd"),
                        {QStringLiteral("-f"), confPath, QStringLiteral("-h"), urls,
                         QStringLiteral("-d"), QStringLiteral("0")});
        m_process.waitForStarted(10000);
        QElapsedTimer timer;
        timer.start();
        while (m_process.state() == QProcess::Running && timer.elapsed() < 15000) {
            if (loopbackPort(port)) {
                m_port = port;
                return;
            }
            QThread::msleep(50);
        }
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

    // The suffix and ou=people, then `count` people in it, each with a mail value.
    static QByteArray people(int count)
    {
        QByteArray ldif = "dn: dc=example,dc=org\nobjectClass: dcObject\nobjectClass: "
                          "organization\ndc: example\no: Example\n\n"
                          "dn: ou=people,dc=example,dc=org\nobjectClass: organizationalUnit\n"
                          "ou: people\n\n";
        for (int i = 0; i < count; ++i) {
            const QByteArray n = QByteArray::number(i);
            ldif += "dn: uid=p" + n +
                    ",ou=people,dc=example,dc=org\nobjectClass: "
                    "inetOrgPerson\nuid: p" +
                    n + "\ncn: Person " + n + "\nsn: Surname" + n + "\ngivenName: Given\nmail: p" +
                    n +
                    "@example.org\ntitle: Engineer\n"
                    "businessCategory: Staff\n\n";
        }
        return ldif;
    }

private:
    void write(const QString &name, const QByteArray &data) const
    {
        QFile file(m_dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(data);
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    int m_tlsPort = 0;
};

} // namespace corvel::test
