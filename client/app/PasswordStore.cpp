#include "PasswordStore.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QQmlEngine>
#include <QTimer>

#ifdef ARDIX_HAVE_QTKEYCHAIN
#include <qt5keychain/keychain.h>
#endif

namespace {

void registerPasswordStore()
{
    qmlRegisterSingletonType<PasswordStore>(
        "Native", 1, 0, "PasswordStore",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new PasswordStore; });
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerPasswordStore)

#ifdef ARDIX_HAVE_QTKEYCHAIN

namespace {

// The entry of the secret store: the application's service, one password.
QString serviceName()
{
    return QCoreApplication::applicationName();
}

const QString entryKey = QStringLiteral("pass");

} // namespace

PasswordStore::PasswordStore(QObject *parent)
    : QObject(parent)
    , m_available(true)
{}

void PasswordStore::restore()
{
    if (!m_available) {
        emit restored(QString());
        return;
    }
    auto *job = new QKeychain::ReadPasswordJob(serviceName(), this);
    job->setKey(entryKey);
    run(
        job, [this](QKeychain::Job &finished) { onRead(finished); },
        [this] { emit restored(QString()); });
}

void PasswordStore::keep(const QString &password)
{
    if (!m_available) {
        emit kept(false, password);
        return;
    }
    QKeychain::Job *job = nullptr;
    if (password.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(serviceName(), this);
    } else {
        auto *write = new QKeychain::WritePasswordJob(serviceName(), this);
        write->setTextData(password);
        job = write;
    }
    job->setKey(entryKey);
    run(
        job, [this, password](QKeychain::Job &finished) { onKept(finished, password); },
        [this, password] { emit kept(false, password); });
}

void PasswordStore::run(QKeychain::Job *job, const std::function<void(QKeychain::Job &)> &done,
                        const std::function<void()> &timedOut)
{
    // The job deletes itself once finished; the timer bounds the wait for a store that never
    // answers (a session bus without anybody behind the secret-store name).
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    QPointer<QKeychain::Job> guarded(job);
    connect(job, &QKeychain::Job::finished, timer, [timer, done](QKeychain::Job *finished) {
        timer->stop();
        timer->deleteLater();
        done(*finished);
    });
    connect(timer, &QTimer::timeout, this, [this, timer, guarded, timedOut] {
        if (guarded)
            disconnect(guarded, nullptr, timer, nullptr);
        timer->deleteLater();
        qWarning() << "The secret store did not answer within" << answerTimeoutMs
                   << "ms; the password stays in the owner-only settings file";
        m_available = false;
        emit availableChanged();
        timedOut();
    });
    timer->start(answerTimeoutMs);
    job->start();
}

void PasswordStore::onRead(QKeychain::Job &job)
{
    if (job.error() == QKeychain::NoError) {
        emit restored(static_cast<QKeychain::ReadPasswordJob &>(job).textData());
        return;
    }
    if (job.error() != QKeychain::EntryNotFound)
        markUnavailable(job.errorString());
    emit restored(QString());
}

void PasswordStore::onKept(QKeychain::Job &job, const QString &password)
{
    // Removing an entry that is not there leaves the store as wanted.
    if (job.error() == QKeychain::NoError ||
        (password.isEmpty() && job.error() == QKeychain::EntryNotFound)) {
        emit kept(true, password);
        return;
    }
    markUnavailable(job.errorString());
    emit kept(false, password);
}

#else

PasswordStore::PasswordStore(QObject *parent)
    : QObject(parent)
    , m_available(false)
{}

void PasswordStore::restore()
{
    emit restored(QString());
}

void PasswordStore::keep(const QString &password)
{
    emit kept(false, password);
}

#endif

void PasswordStore::markUnavailable(const QString &reason)
{
    if (!m_available)
        return;
    m_available = false;
    qInfo() << "No secret store:" << reason
            << "- the password stays in the owner-only settings file";
    emit availableChanged();
}
