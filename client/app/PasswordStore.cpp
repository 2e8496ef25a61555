#include "PasswordStore.h"

#include "ThreadHandOver.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QQmlEngine>
#include <QThread>
#include <QTimer>

#include <memory>

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

QThread *s_worker = nullptr;

void stopWorker()
{
    s_worker->quit();
    // A job caught in a call that never returns keeps its thread to the end of the process.
    if (s_worker->wait(1000))
        delete s_worker;
    s_worker = nullptr;
}

// One thread for the whole process: QtKeychain queues every job on one executor, which lives
// on the thread of the first job and must outlive every later one.
QThread *worker()
{
    if (!s_worker) {
        s_worker = new QThread;
        s_worker->setObjectName(QStringLiteral("secret store"));
        s_worker->start();
        qAddPostRoutine(stopWorker);
    }
    return s_worker;
}

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
    auto *job = new QKeychain::ReadPasswordJob(serviceName());
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
        job = new QKeychain::DeletePasswordJob(serviceName());
    } else {
        auto *write = new QKeychain::WritePasswordJob(serviceName());
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
    // Some secret-store backends make blocking calls on the session bus: the jobs run on a
    // thread of their own, so that a store that never answers holds up that thread only, and
    // the timer bounds the wait here.
    job->setAutoDelete(false);
    job->moveToThread(worker());
    auto settled = std::make_shared<bool>(false);
    QPointer<QTimer> timer = new QTimer(this);
    timer->setSingleShot(true);
    // Queued: the job finishes on the worker thread.
    connect(job, &QKeychain::Job::finished, this, [settled, timer, done](QKeychain::Job *finished) {
        if (!*settled) {
            *settled = true;
            done(*finished);
        }
        if (timer)
            timer->deleteLater();
        // The job's thread deletes it, and this connection with it, after the reads above.
        ThreadHandOver::post(
            finished, [finished] { finished->deleteLater(); }, Qt::QueuedConnection);
    });
    connect(timer, &QTimer::timeout, this, [this, settled, timer, timedOut] {
        timer->deleteLater();
        if (*settled)
            return;
        *settled = true;
        qWarning() << "The secret store did not answer within" << answerTimeoutMs
                   << "ms; the password stays in the owner-only settings file";
        m_available = false;
        emit availableChanged();
        timedOut();
    });
    timer->start(answerTimeoutMs);
    // The job's thread takes over the job and the connection made above from this one.
    ThreadHandOver::post(
        job, [job] { job->start(); }, Qt::QueuedConnection);
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
