#include "delivery/TransportSettings.h"

#include "delivery/ExternalCommand.h"
#include "support/CRegSettings.h"

using namespace Qt::StringLiterals;

namespace corvel {

QString TransportSettings::defaultSendmailCommand()
{
    return u"/usr/sbin/sendmail -oi"_s;
}

TransportSettings TransportSettings::read(const CRegSettings &settings)
{
    const QString section = u"Transport"_s;
    const auto get = [&](const QString &key, const QString &fallback = {}) {
        return settings.getSetting(section, key, fallback).trimmed();
    };
    TransportSettings t;
    const QString kind = get(u"Kind"_s, u"none"_s).toLower();
    if (kind == u"smtp"_s)
        t.kind = Kind::Smtp;
    else if (kind == u"sendmail"_s)
        t.kind = Kind::Sendmail;
    else if (kind != u"none"_s && !kind.isEmpty())
        t.problem = u"The transport \"%1\" is unknown (settings section \"Transport\", key "
                    "\"Kind\": smtp, sendmail or none)."_s.arg(kind);
    t.host = get(u"Host"_s);
    const QString port = get(u"Port"_s);
    if (!port.isEmpty()) {
        bool ok = false;
        t.port = port.toInt(&ok);
        if (!ok || t.port <= 0 || t.port > 65535)
            t.problem = u"The port \"%1\" is not a port number."_s.arg(port);
    }
    const QString security = get(u"Security"_s, u"starttls"_s).toLower();
    if (security == u"none"_s)
        t.security = Security::None;
    else if (security == u"tls"_s)
        t.security = Security::Tls;
    else if (security == u"starttls"_s || security.isEmpty())
        t.security = Security::StartTls;
    else
        t.problem = u"The security \"%1\" is unknown (none, starttls or tls)."_s.arg(security);
    t.user = get(u"User"_s);
    t.passwordCommand = get(u"PasswordCommand"_s);
    const QString passwordStore = get(u"PasswordStore"_s).toLower();
    t.passwordInKeyring = passwordStore == u"keyring"_s;
    if (!t.passwordInKeyring && !passwordStore.isEmpty() && passwordStore != u"command"_s)
        t.problem = u"The password store \"%1\" is unknown (settings section \"Transport\", key "
                    "\"PasswordStore\": keyring or command)."_s.arg(passwordStore);
    t.caFile = get(u"CAFile"_s);
    t.sendmailCommand = get(u"SendmailCommand"_s, defaultSendmailCommand());
    if (t.sendmailCommand.isEmpty())
        t.sendmailCommand = defaultSendmailCommand();
    // A bad value is no reason to stop sending: the usual lifetime is kept.
    const int days = get(u"MaxQueueDays"_s).toInt();
    if (days > 0)
        t.maxQueueDays = days;
    const auto readLimit = [&](const QString &key, int &limit) {
        const QString value = get(key);
        if (!RateLimits::parseLimit(value, limit)) {
            if (t.problem.isEmpty())
                t.problem = u"The rate limit \"%1\" is not a count (settings "
                            "section \"Transport\", key \"%2\": empty or 0 for no limit)."_s.arg(
                                value, key);
        }
    };
    readLimit(u"MaxPerMinute"_s, t.limits.perMinute);
    readLimit(u"MaxPerHour"_s, t.limits.perHour);
    readLimit(u"MaxRecipientsPerDay"_s, t.limits.recipientsPerDay);
    if (t.problem.isEmpty() && t.kind == Kind::Smtp && t.host.isEmpty())
        t.problem = u"No mail server is set (settings section \"Transport\", key \"Host\")."_s;
    return t;
}

int TransportSettings::effectivePort() const
{
    if (port > 0)
        return port;
    switch (security) {
    case Security::None:
        return 25;
    case Security::StartTls:
        return 587;
    case Security::Tls:
        return 465;
    }
    return 25;
}

bool TransportSettings::isLoopbackHost(const QString &host)
{
    QString h = host.trimmed().toLower();
    if (h.startsWith(u'[') && h.endsWith(u']'))
        h = h.mid(1, h.size() - 2);
    if (h == u"localhost"_s || h.endsWith(u".localhost"_s) || h == u"::1"_s)
        return true;
    const QStringList parts = h.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok || n < 0 || n > 255)
            return false;
    }
    return parts.first() == u"127"_s;
}

QString TransportSettings::whyUnusable() const
{
    if (!problem.isEmpty())
        return problem;
    if (kind == Kind::None)
        return u"No way of sending mail is set up (settings section \"Transport\", key "
               "\"Kind\": smtp or sendmail)."_s;
    if (kind == Kind::Sendmail && ExternalCommand::split(sendmailCommand).isEmpty())
        return u"The sendmail command is empty."_s;
    return {};
}

} // namespace corvel
