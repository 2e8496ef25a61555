#include "QuickRpc.h"

#include "LayoutList.h"
#include "LayoutListSingleton.h"
#include "RpcReplica.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlEngine>

namespace {

void registerQuickRpc()
{
    qmlRegisterSingletonType<QuickRpc>(
        "Native", 1, 0, "QuickRpc",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new QuickRpc; });
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerQuickRpc)

QuickRpc::QuickRpc(QObject *parent)
    : QObject(parent)
    , m_rpc(std::make_unique<RpcReplica>())
{
    connect(m_rpc.get(), &RpcReplica::connectedToHost, this, [this] {
        if (client_ServiceReplica *replica = m_rpc->replica())
            replica->requestLoginStatus();
    });
    connect(m_rpc.get(), &RpcReplica::disconnectedFromHost, this, [this] {
        m_loggedIn = false;
        emit loggedInChanged();
    });
    m_rpc->connectToClient();

    client_ServiceReplica *replica = m_rpc->replica();
    connect(replica, &client_ServiceReplica::loggedIn, this, &QuickRpc::handleLoggedIn);
    connect(replica, &client_ServiceReplica::loggedOut, this, &QuickRpc::handleLoggedOut);
    connect(replica, &client_ServiceReplica::layoutListChanged, this,
            &QuickRpc::handleLayoutListChanged);
}

QuickRpc::~QuickRpc() = default;

void QuickRpc::setLayout(QString name, QString json)
{
    if (client_ServiceReplica *replica = m_rpc->replica())
        replica->setLayout(name, json);
}

void QuickRpc::setPage(QString page)
{
    client_ServiceReplica::ClientPage target;
    if (page == QLatin1String("playback")) {
        target = client_ServiceReplica::PLAYBACK;
    } else if (page == QLatin1String("recorder")) {
        target = client_ServiceReplica::RECORDER;
    } else {
        qDebug() << "Invalid page";
        return;
    }
    if (client_ServiceReplica *replica = m_rpc->replica())
        replica->jumpPage(target);
}

void QuickRpc::handleLoggedIn(bool isLoggedIn)
{
    qDebug() << Q_FUNC_INFO;
    if (isLoggedIn) {
        if (client_ServiceReplica *replica = m_rpc->replica())
            replica->requestLayoutList();
    }
    if (isLoggedIn != m_loggedIn) {
        m_loggedIn = isLoggedIn;
        emit loggedInChanged();
    }
}

void QuickRpc::handleLoggedOut()
{
    qDebug() << Q_FUNC_INFO;
    if (m_loggedIn) {
        m_loggedIn = false;
        emit loggedInChanged();
    }
}

void QuickRpc::handleLayoutListChanged(QList<client_Layout> layouts)
{
    LayoutList *list = LayoutListSingleton::instance();
    list->clear();
    for (const client_Layout &layout : layouts)
        list->append(layout.name(), layout.json());
}
