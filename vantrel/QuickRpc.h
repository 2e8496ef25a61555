#pragma once

#include "rep_client_Service_replica.h"

#include <QObject>
#include <QString>

#include <memory>

class RpcReplica;

// What vantrel's screen knows of the console: whether it is signed in, and the way to ask it
// for a layout or a page. The console's layout list goes into the process-wide LayoutList.
class QuickRpc : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool loggedIn READ loggedIn NOTIFY loggedInChanged)

public:
    explicit QuickRpc(QObject *parent = nullptr);
    ~QuickRpc() override;

    bool loggedIn() const { return m_loggedIn; }

signals:
    void loggedInChanged();

public slots:
    void setLayout(QString name, QString json);
    // "playback" or "recorder"; anything else is refused.
    void setPage(QString page);

private slots:
    void handleLoggedIn(bool isLoggedIn);
    void handleLoggedOut();
    void handleLayoutListChanged(QList<client_Layout> layouts);

private:
    std::unique_ptr<RpcReplica> m_rpc;
    bool m_loggedIn = false;
};
