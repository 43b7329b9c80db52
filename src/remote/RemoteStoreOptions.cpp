#include "remote/RemoteStoreOptions.h"

#include "support/CRegSettings.h"
#include "support/StoreLocation.h"

#include <QProcess>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

const auto StoresSection = u"Stores"_s;
constexpr int PasswordCommandSeconds = 60; // long enough to type a passphrase into an agent

} // namespace

QString RemoteStoreOptions::sectionOf(const QString &storeName)
{
    return u"Store "_s + storeName;
}

RemoteStoreOptions RemoteStoreOptions::read(const CRegSettings &settings, const QString &storeName)
{
    RemoteStoreOptions options;
    options.name = storeName;
    const QString location = settings.getSetting(StoresSection, storeName, {});
    if (!IsRemoteLocation(location))
        return options;
    options.location = location;
    const QString section = sectionOf(storeName);
    options.user = settings.getSetting(section, u"User"_s, {});
    options.passwordCommand = settings.getSetting(section, u"PasswordCommand"_s, {});
    options.keyring = settings.getSetting(section, u"Keyring"_s, u"0"_s) == u"1"_s;
    options.caFile = settings.getSetting(section, u"CAFile"_s, {});
    options.categoriesAttribute = settings.getSetting(section, u"CategoriesAttribute"_s, {});
    const int timeout = settings.getSetting(section, u"Timeout"_s, {}).toInt();
    if (timeout > 0)
        options.timeoutSeconds = timeout;
    return options;
}

Status RemoteStoreOptions::write(CRegSettings &settings) const
{
    const QString section = sectionOf(name);
    bool ok = settings.saveSetting(StoresSection, name, location);
    (void)settings.deleteSetting(section, {});
    const std::pair<QString, QString> values[] = {
        {u"User"_s, user},
        {u"PasswordCommand"_s, passwordCommand},
        {u"Keyring"_s, keyring ? u"1"_s : QString()},
        {u"CAFile"_s, caFile},
        {u"CategoriesAttribute"_s, categoriesAttribute},
    };
    for (const auto &[key, value] : values) {
        if (!value.isEmpty())
            ok = settings.saveSetting(section, key, value) && ok;
    }
    if (ok)
        return {};
    return Status::failure(u"The store cannot be written to %1%2"_s.arg(
        settings.filePath(), settings.problem().isEmpty() ? u"."_s : u": "_s + settings.problem()));
}

Result<QString> RemoteStoreOptions::password() const
{
    if (passwordCommand.isEmpty()) {
        if (keyring)
            return Result<QString>::failure(
                u"The store %1 asks for the keyring, which this build cannot reach: use "
                "--password-command."_s.arg(name));
        return QString();
    }
    QProcess command;
    command.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    command.start(u"/bin/sh"_s, {u"-c"_s, passwordCommand});
    if (!command.waitForFinished(PasswordCommandSeconds * 1000)) {
        command.kill();
        command.waitForFinished();
        return Result<QString>::failure(
            u"The password command of %1 did not end within %2 s."_s.arg(name).arg(
                PasswordCommandSeconds));
    }
    if (command.exitStatus() != QProcess::NormalExit || command.exitCode() != 0)
        return Result<QString>::failure(
            u"The password command of %1 failed (exit status %2)."_s.arg(name).arg(
                command.exitCode()));
    QByteArray output = command.readAllStandardOutput();
    if (const qsizetype end = output.indexOf('\n'); end >= 0)
        output.truncate(end);
    if (output.endsWith('\r'))
        output.chop(1);
    return QString::fromUtf8(output);
}

} // namespace corvel
