#include "client_Service.h"

client_Service::client_Service(QObject *parent)
    : client_ServiceSource(parent)
{}

void client_Service::setLoggedIn(bool isLoggedIn)
{
    m_loggedIn = isLoggedIn;
    emit loggedIn(m_loggedIn);
}

void client_Service::setLayoutList(const QList<client_Layout> &list)
{
    if (!m_layoutList.isSharedWith(list))
        m_layoutList = list;
    emit layoutListChanged(m_layoutList);
}

void client_Service::setLoggedOut()
{
    m_loggedIn = false;
    emit loggedOut();
}

void client_Service::requestLoginStatus()
{
    emit loggedIn(m_loggedIn);
}

void client_Service::jumpPage(client_ServiceSource::ClientPage page)
{
    emit jumpPageRequested(page);
}

void client_Service::setLayout(QString name, QString json)
{
    emit setLayoutRequested(name, json);
}

void client_Service::requestLayoutList()
{
    emit layoutListChanged(m_layoutList);
}
