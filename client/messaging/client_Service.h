#pragma once

#include "rep_client_Service_source.h"

#include <QList>
#include <QString>

// The console's side of the remote-control interface. It keeps the state that replicas ask
// for, so that a replica connecting late gets the same answers as one that was there all
// along, and turns the replicas' requests into two local signals that the controller serves.
class client_Service : public client_ServiceSource
{
    Q_OBJECT

public:
    explicit client_Service(QObject *parent = nullptr);

    bool isLoggedIn() const { return m_loggedIn; }
    QList<client_Layout> layoutList() const { return m_layoutList; }

    // Both setters publish even an unchanged value: replicas treat every emission as the
    // current truth, and one that missed an earlier emission must still hear this one.
    void setLoggedIn(bool isLoggedIn);
    void setLayoutList(const QList<client_Layout> &list);
    // Clears the signed-in flag and tells replicas with loggedOut(), so that later status
    // requests are answered with false as well.
    void setLoggedOut();

public slots:
    void requestLoginStatus() override;
    void jumpPage(client_ServiceSource::ClientPage page) override;
    void setLayout(QString name, QString json) override;
    void requestLayoutList() override;

signals:
    // Local to the console; not part of the remote interface.
    void setLayoutRequested(QString name, QString json);
    void jumpPageRequested(client_ServiceSource::ClientPage page);

private:
    bool m_loggedIn = false;
    QList<client_Layout> m_layoutList;
};
