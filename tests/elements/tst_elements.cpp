// Qt Quick tests of the screens' building blocks, with the console's own types and resources.
#include <QQmlContext>
#include <QQmlEngine>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtQuickTest>

#include <memory>

// A loopback HTTP listener that notes the path of every request and answers none: markup
// that makes a text item fetch a picture would reach it.
class FetchListener : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int port READ port CONSTANT)
    Q_PROPERTY(QStringList paths READ paths NOTIFY pathsChanged)

public:
    FetchListener()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { note(socket); });
        });
    }
    int port() const { return m_server.serverPort(); }
    QStringList paths() const { return m_paths; }

signals:
    void pathsChanged();

private:
    void note(QTcpSocket *socket)
    {
        if (!socket->canReadLine())
            return;
        // "GET /path HTTP/1.1"
        const QList<QByteArray> request = socket->readLine().split(' ');
        m_paths.append(QString::fromLatin1(request.value(1)));
        socket->disconnect(this);
        socket->close();
        socket->deleteLater();
        emit pathsChanged();
    }

    QTcpServer m_server;
    QStringList m_paths;
};

class ElementsSetup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qml"));
        // Made here: the application and its event loop exist only from now on.
        m_listener = std::make_unique<FetchListener>();
        engine->rootContext()->setContextProperty(QStringLiteral("fetchListener"),
                                                  m_listener.get());
    }

private:
    std::unique_ptr<FetchListener> m_listener;
};

QUICK_TEST_MAIN_WITH_SETUP(elements, ElementsSetup)
#include "tst_elements.moc"
