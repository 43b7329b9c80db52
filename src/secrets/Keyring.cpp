#include "secrets/Keyring.h"

#include <qt6keychain/keychain.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

const auto Service = u"Corvel"_s;

struct JobOutcome
{
    bool finished = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorString;
    QString text;
};

// Shared with the job, which may end after the caller stopped waiting.
struct SharedOutcome
{
    std::mutex mutex;
    std::condition_variable ended;
    JobOutcome outcome;
};

using JobMaker = std::function<QKeychain::Job *()>;

QKeychain::Job *startJob(const JobMaker &make, const std::shared_ptr<SharedOutcome> &shared)
{
    QKeychain::Job *job = make();
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    QObject::connect(job, &QKeychain::Job::finished, [shared](QKeychain::Job *done) {
        const std::lock_guard lock(shared->mutex);
        shared->outcome.finished = true;
        shared->outcome.error = done->error();
        shared->outcome.errorString = done->errorString();
        if (const auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(done))
            shared->outcome.text = read->textData();
        shared->ended.notify_all();
    });
    job->start();
    return job;
}

// The keyring's jobs share one queue that lives on the application's thread, so they are
// always started there; a sync on a thread of its own waits for the answer.
JobOutcome runJob(const JobMaker &make, int timeoutSeconds, const std::atomic<bool> *cancelled)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return {true, QKeychain::OtherError, u"no application is running"_s, {}};
    auto shared = std::make_shared<SharedOutcome>();
    if (QThread::currentThread() == app->thread()) {
        QEventLoop loop;
        QKeychain::Job *job = startJob(make, shared);
        QObject::connect(job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(timeoutSeconds * 1000, &loop, &QEventLoop::quit);
        if (!shared->outcome.finished)
            loop.exec();
    } else {
        QMetaObject::invokeMethod(
            app, [make, shared] { startJob(make, shared); }, Qt::QueuedConnection);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
        std::unique_lock lock(shared->mutex);
        while (!shared->outcome.finished && std::chrono::steady_clock::now() < deadline &&
               !(cancelled && cancelled->load()))
            shared->ended.wait_for(lock, std::chrono::milliseconds(100));
    }
    const std::lock_guard lock(shared->mutex);
    return shared->outcome;
}

// The keyring's own reason for a missing service is often just "Unknown error": the session
// bus itself says what is missing.
QString whyUnreachable()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return u"No keyring can be reached: there is no session bus (%1)."_s.arg(
            bus.lastError().message());
    const auto service = u"org.freedesktop.secrets"_s;
    QDBusConnectionInterface *daemon = bus.interface();
    if (daemon && !daemon->isServiceRegistered(service).value() &&
        !daemon->activatableServiceNames().value().contains(service))
        return u"No keyring can be reached: no Secret Service runs on the session bus."_s;
    return {};
}

Status failure(const JobOutcome &outcome, const QString &key, int timeoutSeconds)
{
    if (!outcome.finished)
        return Status::failure(
            u"The keyring did not answer within %1 s (entry \"%2\")."_s.arg(timeoutSeconds)
                .arg(key));
    switch (outcome.error) {
    case QKeychain::NoError:
        return {};
    case QKeychain::NoBackendAvailable:
    case QKeychain::OtherError:
        if (const QString why = whyUnreachable(); !why.isEmpty())
            return Status::failure(why);
        if (outcome.error == QKeychain::NoBackendAvailable)
            return Status::failure(u"No keyring can be reached: %1"_s.arg(outcome.errorString));
        break;
    case QKeychain::EntryNotFound:
        return Status::failure(u"The keyring holds no password under \"%1\": store it with "
                               "corvelctl set-password."_s.arg(key));
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return Status::failure(
            u"The keyring refused access to \"%1\": %2"_s.arg(key, outcome.errorString));
    default:
        break;
    }
    return Status::failure(u"The keyring failed on \"%1\": %2"_s.arg(key, outcome.errorString));
}

} // namespace

Keyring::Keyring(int timeoutSeconds)
    : m_timeoutSeconds(timeoutSeconds)
{
}

QString Keyring::storeKey(const QString &storeName)
{
    return u"store:"_s + storeName;
}

QString Keyring::transportKey()
{
    return u"transport"_s;
}

Result<QString> Keyring::read(const QString &key, const std::atomic<bool> *cancelled) const
{
    const JobOutcome outcome = runJob(
        [key] {
            auto *job = new QKeychain::ReadPasswordJob(Service);
            job->setKey(key);
            return job;
        },
        m_timeoutSeconds, cancelled);
    if (Status failed = failure(outcome, key, m_timeoutSeconds); !failed.ok())
        return Result<QString>::failure(failed.error());
    return outcome.text;
}

Status Keyring::write(const QString &key, const QString &password) const
{
    const JobOutcome outcome = runJob(
        [key, password] {
            auto *job = new QKeychain::WritePasswordJob(Service);
            job->setKey(key);
            job->setTextData(password);
            return job;
        },
        m_timeoutSeconds, nullptr);
    return failure(outcome, key, m_timeoutSeconds);
}

Status Keyring::remove(const QString &key) const
{
    const JobOutcome outcome = runJob(
        [key] {
            auto *job = new QKeychain::DeletePasswordJob(Service);
            job->setKey(key);
            return job;
        },
        m_timeoutSeconds, nullptr);
    if (outcome.finished && outcome.error == QKeychain::EntryNotFound)
        return {};
    return failure(outcome, key, m_timeoutSeconds);
}

} // namespace corvel
