// Playback by time asked before its player can draw (a page just opened): only the newest moment
// asked plays once it can, and stop() drops what waited. Recordings from an in-process simulated
// gateway over loopback HTTP, played by libmpv under Xvfb.
#include "MpvObject.h"
#include "RecordingIndex.h"
#include "SimServer.h"
#include "Startup.h"
#include "TimelinePlayback.h"

#include <Site.h>

#include <QDateTime>
#include <QQuickView>
#include <QTest>

#include <clocale>
#include <memory>

namespace {

constexpr qint64 kMinute = 60000;
constexpr int kDeadline = 60000;

QStringList g_played; // the moments playback started at, as its log says
QtMessageHandler g_previous = nullptr;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const QString started = QStringLiteral("Recorded playback of stream 12 from ");
    if (message.startsWith(started))
        g_played << message.mid(started.size(), 8);
    g_previous(type, context, message);
}

} // namespace

class TestTimelinePlayback : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    qint64 m_t0 = 0;

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        std::setlocale(LC_NUMERIC, "C");
        m_t0 = (QDateTime::currentMSecsSinceEpoch() / kMinute - 30) * kMinute;
        const QString json = QStringLiteral(R"({"name": "Playback", "rootId": 1, "users": [],
            "objects": [{"id": 1, "name": "Shop", "type": 7, "parent": 0},
             {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY",
              "parent": 1, "settings": {"address": "127.0.0.1"}},
             {"id": 12, "name": "Till", "type": 10, "parent": 2, "chunks": [
              {"start": %1, "end": %2, "size": 1}, {"start": %2, "end": %3, "size": 1}]}]})")
                                 .arg(m_t0)
                                 .arg(m_t0 + kMinute)
                                 .arg(m_t0 + 2 * kMinute);
        std::string error;
        m_server = SimServer::fromJson(json.toStdString(), m_t0 + 30 * kMinute, error);
        QVERIFY2(m_server, error.c_str());
        g_previous = qInstallMessageHandler(collect);
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(g_previous);
        m_server.reset();
    }

    // `asked`: seconds after t0 asked before the player can draw, -1 for stop(); `then`: asked
    // once it can (-1: nothing); `played`: the one moment that must play.
    void onlyTheNewestWaitingMomentPlays_data()
    {
        QTest::addColumn<QVector<int>>("asked");
        QTest::addColumn<int>("then");
        QTest::addColumn<int>("played");
        QTest::newRow("newest wins") << QVector<int>{10, 70} << -1 << 70;
        QTest::newRow("newest wins of three") << QVector<int>{70, 10, 40} << -1 << 40;
        QTest::newRow("stop drops it") << QVector<int>{70, -1} << 20 << 20;
    }
    void onlyTheNewestWaitingMomentPlays()
    {
        QFETCH(QVector<int>, asked);
        QFETCH(int, then);
        QFETCH(int, played);
        QQuickView view;
        view.resize(320, 180);
        auto *player = new MpvObject(view.contentItem()); // not shown yet: no render context
        player->setSize(QSizeF(320, 180));
        QVERIFY(player->hasPlayer() && !player->renderContext());
        RecordingIndex index;
        index.setStreamId(QStringLiteral("12"));
        index.addChunks(QStringLiteral("12"), m_t0, m_t0 + 2 * kMinute,
                        {QVariantMap{{"start", m_t0}, {"end", m_t0 + kMinute}},
                         QVariantMap{{"start", m_t0 + kMinute}, {"end", m_t0 + 2 * kMinute}}});
        TimelinePlayback playback;
        playback.setPlayer(player);
        playback.setIndex(&index);
        playback.setGateway(
            QStringLiteral("http://127.0.0.1:%1").arg(m_server->sim().gatewayHttpPort(2)));
        g_played.clear();
        for (int s : asked) {
            if (s < 0)
                playback.stop();
            else
                QVERIFY(playback.playAt(m_t0 + s * 1000));
        }
        view.show();
        QTRY_VERIFY_WITH_TIMEOUT(player->renderContext(), kDeadline);
        if (then >= 0)
            QVERIFY(playback.playAt(m_t0 + then * 1000));
        // Passed by a second and a half: any moment still waiting would have replaced it.
        const qint64 t = m_t0 + played * 1000;
        QTRY_VERIFY_WITH_TIMEOUT(playback.active() && playback.time() >= t + 1500, kDeadline);
        QCOMPARE(g_played, QStringList{TimelinePlayback::clockText(t)});
        playback.stop();
        delete player;
    }
};

QTEST_MAIN(TestTimelinePlayback)
#include "tst_timelineplayback.moc"
