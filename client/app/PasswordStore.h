#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace QKeychain {
class Job;
}

// Keeps the operator's sign-in password in the desktop's secret store (through QtKeychain)
// when there is one, reached from QML as the singleton `PasswordStore`. Every call answers
// with a signal, also when there is no secret store or it does not answer in time: the
// caller then keeps the password itself, in the owner-only settings file. After the first
// failure the store is no longer asked during this run.
class PasswordStore : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool available READ available NOTIFY availableChanged)

public:
    explicit PasswordStore(QObject *parent = nullptr);

    // How long a secret-store call may take before the store counts as unavailable.
    static constexpr int answerTimeoutMs = 5000;

    bool available() const { return m_available; }

    // Reads the kept password; restored() gets it, or the empty text when none is kept.
    Q_INVOKABLE void restore();
    // Keeps the password (the empty text removes it); kept() says where it went.
    Q_INVOKABLE void keep(const QString &password);

signals:
    void availableChanged();
    void restored(const QString &password);
    // inSecretStore false: no secret store took it, the caller keeps `password` itself.
    void kept(bool inSecretStore, const QString &password);

private:
    void markUnavailable(const QString &reason);
    // Starts the job; done runs with the finished job, or timedOut when it takes too long.
    void run(QKeychain::Job *job, const std::function<void(QKeychain::Job &)> &done,
             const std::function<void()> &timedOut);
    void onRead(QKeychain::Job &job);
    void onKept(QKeychain::Job &job, const QString &password);

    bool m_available;
};
