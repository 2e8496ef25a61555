// Qt Quick tests of the screens' building blocks, with the console's own types and resources.
#include <QQmlContext>
#include <QQmlEngine>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtQuickTest>

// A loopback TCP listener that counts who connects: markup that makes a text item fetch a
// picture or follow a link would reach it.
class FetchListener : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int port READ port CONSTANT)
    Q_PROPERTY(int connections READ connections NOTIFY connectionsChanged)

public:
    FetchListener()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++m_connections;
                socket->close();
                socket->deleteLater();
                emit connectionsChanged();
            }
        });
    }
    int port() const { return m_server.serverPort(); }
    int connections() const { return m_connections; }

signals:
    void connectionsChanged();

private:
    QTcpServer m_server;
    int m_connections = 0;
};

class ElementsSetup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qml"));
        engine->rootContext()->setContextProperty(QStringLiteral("fetchListener"), &m_listener);
    }

private:
    FetchListener m_listener;
};

QUICK_TEST_MAIN_WITH_SETUP(elements, ElementsSetup)
#include "tst_elements.moc"
