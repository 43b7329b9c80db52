#include "common/NamedCases.h"
#include "delivery/SmtpTransport.h"
#include "delivery/TransportSettings.h"
#include "support/CRegSettings.h"

#include "common/PortServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <ostream>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

const QString Tools = QStringLiteral(CORVEL_TEST_DATA "/../tools");

bool haveTools()
{
    return QProcess::execute(u"/usr/bin/python3"_s, {u"-c"_s, u"import aiosmtpd"_s}) == 0 &&
           QProcess::execute(u"openssl"_s, {u"version"_s}) == 0;
}

// Certificates made for this run: none of them is known to the system.
class Certificates
{
public:
    Certificates()
    {
        ok = make(u"server"_s, u"DNS:localhost,IP:127.0.0.1"_s) &&
             make(u"stranger"_s, u"DNS:localhost,IP:127.0.0.1"_s) &&
             make(u"nameonly"_s, u"DNS:localhost"_s);
    }
    QString cert(const QString &name) const { return m_dir.filePath(name + u".pem"_s); }
    QString key(const QString &name) const { return m_dir.filePath(name + u".key"_s); }
    bool ok = false;

private:
    bool make(const QString &name, const QString &altNames)
    {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        openssl.start(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                                     u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-days"_s,
                                     u"2"_s, u"-subj"_s, u"/CN=localhost"_s, u"-addext"_s,
                                     u"subjectAltName="_s + altNames, u"-keyout"_s, key(name),
                                     u"-out"_s, cert(name)});
        return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit &&
               openssl.exitCode() == 0;
    }
    QTemporaryDir m_dir;
};

// tests/tools/smtp_tls_server.py on a free port of 127.0.0.1.
class TlsServer
{
public:
    TlsServer(const QString &mode, const QString &cert, const QString &key,
              const QString &recordDir, const QStringList &login)
        : m_records(recordDir)
        , m_server(QStringList{Tools + u"/smtp_tls_server.py"_s, mode, cert, key, recordDir} +
                   login)
    {
    }
    [[nodiscard]] int port() const { return m_server.port(); }
    // What the server saw, one event a line ("MAIL ... tls=1", "AUTH user ok tls=1", ...).
    [[nodiscard]] QStringList events() const
    {
        QFile file(m_records + u"/events.log"_s);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QString m_records;
    test::PortServer m_server;
};

struct TlsCase
{
    const char *name;
    const char *serverMode;      // tls, starttls, plain
    const char *serverCert;      // the certificate the server shows
    const char *trusted;         // the client's CAFile
    const char *host;            // as the settings name the server
    const char *security;        // the client's Security
    const char *passwordCommand; // "": no log-in; "keyring": from a keyring that is not there
    bool delivered;
    const char *reason; // for a refusal: part of the reason given
    // For a refusal: the one thing the server saw, if any. Nothing is sent in the clear, and
    // no password to a server whose certificate failed.
    const char *serverSaw;
};

CORVEL_PRINT_BY_NAME(TlsCase)

const TlsCase Cases[] = {
    {"tls_with_login", "tls", "server", "server", "127.0.0.1", "tls", "/bin/echo s3cret", true, "",
     ""},
    {"starttls_with_login", "starttls", "server", "server", "127.0.0.1", "starttls",
     "/bin/echo s3cret", true, "", ""},
    {"starttls_by_host_name", "starttls", "nameonly", "nameonly", "localhost", "starttls", "", true,
     "", ""},
    {"tls_wrong_password", "tls", "server", "server", "127.0.0.1", "tls", "/bin/echo guess", false,
     "refused the log-in", "AUTH ann refused tls=1"},
    {"password_command_fails", "tls", "server", "server", "127.0.0.1", "tls", "/bin/false", false,
     "password command failed", ""},
    {"keyring_unreachable", "tls", "server", "server", "127.0.0.1", "tls", "keyring", false,
     "No keyring can be reached", ""},
    {"tls_untrusted_certificate", "tls", "stranger", "server", "127.0.0.1", "tls",
     "/bin/echo s3cret", false, "not trusted", ""},
    {"starttls_untrusted_certificate", "starttls", "stranger", "server", "127.0.0.1", "starttls",
     "/bin/echo s3cret", false, "not trusted", ""},
    {"tls_certificate_for_another_host", "tls", "nameonly", "nameonly", "127.0.0.1", "tls",
     "/bin/echo s3cret", false, "not trusted", ""},
    {"starttls_not_offered", "plain", "server", "server", "127.0.0.1", "starttls",
     "/bin/echo s3cret", false, "does not offer STARTTLS", ""},
    {"system_trust_only", "tls", "server", "", "127.0.0.1", "tls", "", false, "not trusted", ""},
};

class SmtpTlsTest : public ::testing::TestWithParam<TlsCase>
{
protected:
    static void SetUpTestSuite()
    {
        if (haveTools())
            s_certificates = new Certificates;
    }
    static void TearDownTestSuite()
    {
        delete s_certificates;
        s_certificates = nullptr;
    }
    static Certificates *s_certificates;
};

Certificates *SmtpTlsTest::s_certificates = nullptr;

TEST_P(SmtpTlsTest, DeliversOnlyOverATrustedEncryptedConnection)
{
    if (!s_certificates)
        GTEST_SKIP() << "python3-aiosmtpd or openssl is missing";
    ASSERT_TRUE(s_certificates->ok);
    const TlsCase &c = GetParam();
    const QString password = QString::fromUtf8(c.passwordCommand);
    QTemporaryDir records;
    const QString serverCert = QString::fromUtf8(c.serverCert);
    TlsServer server(QString::fromUtf8(c.serverMode), s_certificates->cert(serverCert),
                     s_certificates->key(serverCert), records.path(),
                     password.isEmpty() ? QStringList() : QStringList{u"ann"_s, u"s3cret"_s});
    ASSERT_GT(server.port(), 0);

    TransportSettings settings;
    settings.kind = TransportSettings::Kind::Smtp;
    settings.host = QString::fromUtf8(c.host);
    settings.port = server.port();
    settings.security = QByteArray(c.security) == "tls" ? TransportSettings::Security::Tls
                                                        : TransportSettings::Security::StartTls;
    if (*c.trusted)
        settings.caFile = s_certificates->cert(QString::fromUtf8(c.trusted));
    if (!password.isEmpty()) {
        settings.user = u"ann"_s;
        settings.passwordCommand = password;
        settings.passwordInKeyring = password == u"keyring"_s;
        if (settings.passwordInKeyring)
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    }
    SmtpTransport transport(settings);
    const SendOutcome outcome = transport.send(
        {u"ann@example.org"_s, {u"bob@example.org"_s}},
        "From: ann@example.org\r\nTo: bob@example.org\r\nSubject: tls-test\r\n\r\nHello\r\n");
    transport.close();

    const QStringList events = server.events();
    if (c.delivered) {
        EXPECT_EQ(outcome.kind, SendOutcome::Kind::Accepted) << outcome.reply.toStdString();
        QStringList expected;
        if (!password.isEmpty())
            expected << u"AUTH ann ok tls=1"_s;
        expected << u"MAIL ann@example.org tls=1"_s << u"DATA tls-test tls=1"_s;
        EXPECT_EQ(events, expected);
        return;
    }
    EXPECT_EQ(outcome.kind, SendOutcome::Kind::Unavailable) << outcome.reply.toStdString();
    EXPECT_TRUE(outcome.reply.contains(QString::fromUtf8(c.reason))) << outcome.reply.toStdString();
    EXPECT_EQ(events, *c.serverSaw ? QStringList{QString::fromUtf8(c.serverSaw)} : QStringList())
        << events.join(u" | "_s).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, SmtpTlsTest, ::testing::ValuesIn(Cases), corvel::test::ByName());

TEST(TransportSettingsTest, CaFileIsReadFromTheTransportSection)
{
    QTemporaryDir home;
    CRegSettings settings(home.path());
    for (const auto &[key, value] :
         {std::pair{u"Kind"_s, u"smtp"_s}, {u"Host"_s, u"mail.example.org"_s}})
        ASSERT_TRUE(settings.saveSetting(u"Transport"_s, key, value));
    EXPECT_TRUE(TransportSettings::read(settings).caFile.isEmpty());
    ASSERT_TRUE(settings.saveSetting(u"Transport"_s, u"CAFile"_s, u" /etc/corvel/ca.pem "_s));
    const TransportSettings read = TransportSettings::read(settings);
    EXPECT_EQ(read.caFile, u"/etc/corvel/ca.pem"_s);
    EXPECT_TRUE(read.problem.isEmpty()) << read.problem.toStdString();
}

// Settings with which nothing can be sent say why, so nobody waits for a delivery that
// cannot come (an empty sendmail command included).
TEST(TransportSettingsTest, SaysWhyNothingCanBeSent)
{
    TransportSettings settings;
    EXPECT_TRUE(settings.whyUnusable().contains(u"No way of sending mail"_s));
    settings.kind = TransportSettings::Kind::Sendmail;
    settings.sendmailCommand = u"  "_s;
    EXPECT_EQ(settings.whyUnusable(), u"The sendmail command is empty."_s);
    settings.sendmailCommand = u"/usr/sbin/sendmail -t"_s;
    EXPECT_EQ(settings.whyUnusable(), QString());
    settings.problem = u"Bad port."_s;
    EXPECT_EQ(settings.whyUnusable(), u"Bad port."_s);
}

} // namespace
} // namespace corvel
