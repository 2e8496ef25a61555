// A camera cell against RTSP cameras on loopback that refuse it, do not know its stream or
// never answer: the cell says which, schedules its retry, and its log never shows the password.
// A picture of each cell goes to ARDIX_ARTIFACT_DIR.
#include "LogCapture.h"
#include "SceneItems.h"

#include <QDir>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {

constexpr int kDeadline = 30000;
const QString kPassword = QStringLiteral("s3cr%40t");

// An RTSP camera on loopback answering every request with one status line, the request's
// CSeq echoed; with no status it reads the requests and never answers.
class CameraStandIn : public QObject
{
public:
    explicit CameraStandIn(const QByteArray &status)
        : m_status(status)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        });
    }
    QString address() const
    {
        return QStringLiteral("rtsp://viewer:%1@127.0.0.1:%2/live/14/main")
            .arg(kPassword)
            .arg(m_server.serverPort());
    }
    int requests() const { return m_requests; }

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        int end;
        while ((end = pending.indexOf("\r\n\r\n")) >= 0) {
            const QByteArray request = pending.left(end);
            pending.remove(0, end + 4);
            ++m_requests;
            if (m_status.isEmpty())
                continue;
            const int at = request.toLower().indexOf("cseq:");
            const QByteArray cseq = request.mid(at + 5).split('\r').first().trimmed();
            socket->write("RTSP/1.0 " + m_status + "\r\nCSeq: " + cseq + "\r\n\r\n");
        }
    }

    QTcpServer m_server;
    QByteArray m_status;
    QHash<QTcpSocket *, QByteArray> m_pending;
    int m_requests = 0;
};

// A live camera cell set up as the layout page sets up its cells for RTSP.
const char kCell[] = R"(
import QtQuick 2.11
import Elements 1.0
CameraView {
    width: 320; height: 180
    shouldAutoplay: true
    networkOnly: true
    Component.onCompleted: {
        backend.command(["apply-profile", "low-latency"])
        backend.setOption("no-cache", null)
        backend.setOption("rtsp-transport", "tcp")
    }
}
)";

} // namespace

class TestCameraFailure : public QObject
{
    Q_OBJECT

private slots:
    void cellSaysWhy_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QString>("notice");
        QTest::newRow("refused") << QByteArray("401 Unauthorized")
                                 << QStringLiteral("Access denied by the camera, retrying in ");
        QTest::newRow("unknown stream")
            << QByteArray("404 Not Found")
            << QStringLiteral("The camera does not know this stream, retrying in ");
        QTest::newRow("silent") << QByteArray()
                                << QStringLiteral("The camera does not answer, retrying in ");
    }

    void cellSaysWhy()
    {
        QFETCH(QByteArray, status);
        QFETCH(QString, notice);
        CameraStandIn camera(status);
        LogCapture log;
        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/qml"));
        QQmlComponent component(&engine);
        component.setData(kCell, QUrl(QStringLiteral("cell.qml")));
        QQuickWindow window;
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        auto *cell = qobject_cast<QQuickItem *>(object.get());
        cell->setParentItem(window.contentItem());
        window.resize(320, 180);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        cell->setProperty("url", camera.address());

        QQuickItem *label = scene::findItem(cell, QStringLiteral("retryNotice"));
        QObject *retry = cell->findChild<QObject *>(QStringLiteral("loadTimer"));
        QVERIFY(label && retry);
        QTRY_VERIFY_WITH_TIMEOUT(
            label->isVisible() && label->property("text").toString().startsWith(notice), kDeadline);
        QVERIFY(cell->property("retrying").toBool());
        const QString folder = qEnvironmentVariable("ARDIX_ARTIFACT_DIR");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            window.grabWindow().save(
                QDir(folder).filePath(QStringLiteral("%1.png").arg(QTest::currentDataTag())));
        QCOMPARE(retry->property("interval").toInt(), 5000);
        QVERIFY(retry->property("running").toBool());
        // The next attempt keeps saying why while it tries.
        const int before = camera.requests();
        QVERIFY(before > 0);
        QTRY_VERIFY_WITH_TIMEOUT(camera.requests() > before, kDeadline);
        QVERIFY(label->property("text").toString().startsWith(notice));

        const QString shown = QStringLiteral("viewer:***@127.0.0.1");
        QVERIFY(log.lines().filter(shown).size() >= 2); // "loadFile:", "Going to play:"
        QCOMPARE(log.lines().filter(kPassword), QStringList());
        QCOMPARE(log.lines().filter(QStringLiteral("s3cr")), QStringList());
    }
};

QTEST_MAIN(TestCameraFailure)
#include "tst_camerafailure.moc"
