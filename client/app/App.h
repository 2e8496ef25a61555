#pragma once

#include <QObject>
#include <QString>

// The console's one controller, reached from QML as the singleton `App`. It owns the
// long-lived service objects, runs the sign-in sequence and serves remote-control requests.
class App : public QObject
{
    Q_OBJECT

public:
    explicit App(QObject *parent = nullptr);
    ~App() override;

    // The App of the process; null before it is built and once its destruction has begun.
    static App *instance();

    Q_INVOKABLE void fetchLayoutsList();

signals:
    void currentUserChanged();
    void zarnClientChanged();
    void zarnRepositoryChanged();
    void repositoryChanged();
    void layoutModelChanged();
    void loginError(QString message);
    void loggedIn();
    void loggedOut();
    void requestedJumpPage(QString page);

public slots:
    void login(QString username, QString password, QString host, int port);

private:
    static App *s_instance;
};
