// Qt Quick tests of the screens' building blocks, with the console's own types and resources.
#include "LoopbackHttpServer.h"

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

// A recordings gateway on loopback: "/video" answers a two-second video, "/text" a body that
// is no video, "/slow" a long video at a trickle.
class GatewayStandIn : public QObject
{
    Q_OBJECT

public:
    GatewayStandIn()
    {
        m_server.listen();
        const QByteArray video = whiteVideo(50);
        m_server.answer(QStringLiteral("/video"), 200, video);
        m_server.answer(QStringLiteral("/text"), 200, QByteArray("no video here\n"));
        m_server.trickle(QStringLiteral("/slow"), video.left(1000), 50, 100 * video.size());
    }
    Q_INVOKABLE QString url(const QString &path) const { return m_server.url(path).toString(); }

private:
    // Uncompressed 160x120 white frames at 25 a second, a format the player reads by itself.
    static QByteArray whiteVideo(int frames)
    {
        QByteArray video("YUV4MPEG2 W160 H120 F25:1 Ip A1:1 C420jpeg\n");
        const QByteArray frame =
            "FRAME\n" + QByteArray(160 * 120, char(235)) + QByteArray(2 * 80 * 60, char(128));
        for (int i = 0; i < frames; ++i)
            video += frame;
        return video;
    }

    LoopbackHttpServer m_server;
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
        m_gateway = std::make_unique<GatewayStandIn>();
        engine->rootContext()->setContextProperty(QStringLiteral("gateway"), m_gateway.get());
    }

private:
    std::unique_ptr<FetchListener> m_listener;
    std::unique_ptr<GatewayStandIn> m_gateway;
};

QUICK_TEST_MAIN_WITH_SETUP(elements, ElementsSetup)
#include "tst_elements.moc"
