// Recent video on the recorded page end to end: the stream records on while the console
// looks, the timeline's end grows with the clock and the last seconds play, following the
// recording a second or two behind; playing the last minute for 30 s asks the event server
// for chunks only a few times, on the recorded page as in layout playback (the cell of one
// minute ago plays); Home and End play the first and the last recorded moment.
#include "App.h"
#include "LayoutPlayback.h"
#include "MpvObject.h"
#include "RecordingIndex.h"
#include "SimServer.h"
#include "Startup.h"
#include "TimelinePlayback.h"

#include <Site.h>

#include <QDateTime>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>

#include <clocale>
#include <memory>

namespace {

constexpr qint64 kMinute = 60000;
constexpr int kDeadline = 60000;

// One stream recording on from an hour before the load, in one-minute chunks: playback
// crosses their boundaries as they close.
std::string siteJson()
{
    return R"({
        "name": "Recent", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 12, "name": "Till", "type": 10, "parent": 2,
           "recording": {"hours": 1, "chunkMinutes": 1}}
        ]})";
}

qint64 present()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

class TestRecentVideo : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QQuickView> m_view;
    QQuickItem *m_page = nullptr;
    QQuickItem *m_timeline = nullptr;
    TimelinePlayback *m_playback = nullptr;
    RecordingIndex *m_index = nullptr;
    MpvObject *m_player = nullptr;

    qint64 searches() { return m_server->sim().chunkSearches(12); }

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        std::setlocale(LC_NUMERIC, "C");
        std::string error;
        auto site = ardix::sim::Site::fromJson(siteJson(), present(), error);
        QVERIFY2(site, error.c_str());
        m_server = std::make_unique<SimServer>(std::move(*site));
        QVERIFY(m_server->start());

        m_view = std::make_unique<QQuickView>();
        m_view->engine()->addImportPath(QStringLiteral("qrc:/qml"));
        m_view->rootContext()->setContextProperty(QStringLiteral("debug"), false);
        m_view->setResizeMode(QQuickView::SizeRootObjectToView);
        m_view->resize(1000, 600);
        m_view->setSource(QUrl(QStringLiteral("qrc:/qml/RecordedPage.qml")));
        QVERIFY2(m_view->status() == QQuickView::Ready,
                 qPrintable(m_view->errors().value(0).toString()));
        m_view->show();
        m_view->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        m_page = m_view->rootObject();
        m_page->setProperty("gatewayPort", m_server->sim().gatewayHttpPort(2));
        m_timeline = m_page->findChild<QQuickItem *>(QStringLiteral("timeline"));
        m_playback = m_page->findChild<TimelinePlayback *>(QStringLiteral("timelinePlayback"));
        m_index = m_page->findChild<RecordingIndex *>(QStringLiteral("recordedIndex"));
        m_player = m_page->findChild<MpvObject *>(QStringLiteral("mpvObject"));
        QVERIFY(m_timeline && m_playback && m_index && m_player);

        App *app = App::instance();
        QVERIFY(app);
        QSignalSpy loggedIn(app, &App::loggedIn);
        app->login(QStringLiteral("operator"), QStringLiteral("operator"),
                   QStringLiteral("127.0.0.1"), m_server->port());
        QVERIFY(loggedIn.wait(kDeadline));
        QVERIFY(QMetaObject::invokeMethod(m_page, "chooseStream", Q_ARG(QVariant, "2"),
                                          Q_ARG(QVariant, "12")));
        QVERIFY(QMetaObject::invokeMethod(m_timeline, "showRange",
                                          Q_ARG(qint64, present() - 10 * kMinute),
                                          Q_ARG(qint64, present() + kMinute)));
        QTRY_VERIFY_WITH_TIMEOUT(m_index->lastRecorded() > present() - 5000, kDeadline);
    }

    void cleanupTestCase()
    {
        m_view.reset();
        m_server.reset();
    }

    // The timeline's end follows the clock between searches, and the last seconds play on
    // past what the chunk held when it was first loaded.
    void recordedEndGrowsAndPlays()
    {
        const qint64 end = m_index->lastRecorded();
        QTRY_VERIFY_WITH_TIMEOUT(m_index->lastRecorded() > end + 2000, kDeadline);
        const qint64 moment = present() - 5000;
        QVERIFY(QMetaObject::invokeMethod(m_page, "playMoment", Q_ARG(QVariant, double(moment))));
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying() && m_playback->active(), kDeadline);
        // Ten seconds on: the chunk was loaded again at least once on the way.
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->time() > moment + 10000, kDeadline);
        QVERIFY(m_playback->active());
        QCOMPARE(m_playback->note(), QString());
        // Behind the present by a few seconds at most (a generous bound for a busy machine).
        QVERIFY2(present() - m_playback->time() < 10000,
                 qPrintable(QString::number(present() - m_playback->time())));
    }

    // The last minute played for 30 s: the chunk being recorded is searched again at most
    // once per 10 s, so three or four searches; six allows the view's own and a slow start.
    void searchesWhileTheLastMinutePlays()
    {
        const qint64 moment = present() - kMinute;
        QVERIFY(QMetaObject::invokeMethod(m_page, "playMoment", Q_ARG(QVariant, double(moment))));
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying() && m_playback->active(), kDeadline);
        const qint64 before = searches();
        const qint64 from = m_playback->time();
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->time() > from + 30000, 3 * kDeadline);
        const qint64 asked = searches() - before;
        QVERIFY2(asked <= 6, qPrintable(QString::number(asked)));
        QVERIFY(m_playback->active());
    }

    // The layout in playback one minute ago (Ctrl+P): the camera plays, and 30 s of it ask
    // as few searches as the recorded page does.
    void layoutPlaybackOfTheLastMinute()
    {
        // The page lets go of the player and searches nothing meanwhile.
        m_playback->stop();
        m_page->setProperty("streamId", QString());
        LayoutPlayback layout;
        layout.setClient(App::instance()->zarnClient());
        layout.setGatewayPort(m_server->sim().gatewayHttpPort(2));
        layout.addCell(1, m_player, QStringLiteral("12"), QStringLiteral("127.0.0.1"));
        layout.start(present() - kMinute);
        QTRY_COMPARE_WITH_TIMEOUT(layout.cellStates().value("1").toString(),
                                  QStringLiteral("playing"), kDeadline);
        const qint64 before = searches();
        const qint64 from = layout.clock()->moment();
        QTRY_VERIFY_WITH_TIMEOUT(layout.clock()->moment() > from + 30000, 3 * kDeadline);
        const qint64 asked = searches() - before;
        QVERIFY2(asked <= 6, qPrintable(QString::number(asked)));
        QCOMPARE(layout.cellStates().value("1").toString(), QStringLiteral("playing"));
        QVERIFY(qAbs(layout.cellTime(1) - layout.clock()->moment()) < 3000);
        layout.stop();
        QVERIFY(QMetaObject::invokeMethod(m_page, "chooseStream", Q_ARG(QVariant, "2"),
                                          Q_ARG(QVariant, "12")));
    }

    // Home plays the first recorded moment, End the last (ten seconds before it).
    void homeAndEndPlayTheEdges()
    {
        const qint64 first = m_index->firstRecorded();
        QVERIFY(first > 0);
        QTest::keyClick(m_view.get(), Qt::Key_Home);
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->active() && m_playback->time() < first + 20000,
                                 kDeadline);
        QVERIFY(m_playback->time() >= first);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying(), kDeadline);

        QTest::keyClick(m_view.get(), Qt::Key_End);
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->active() && m_playback->time() > present() - 30000,
                                 kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying(), kDeadline);
    }
};

QTEST_MAIN(TestRecentVideo)
#include "tst_recentvideo.moc"
