// The recorded page's timeline end to end: a click plays that moment of the chunk holding it,
// playback runs on into the next chunk by itself (also under a seek bar handle held at the end),
// a click in a gap says so, and a chunk the gateway refuses is marked on the timeline and skipped.
// Recent video: a stream that records on has its timeline end grow and its last seconds play,
// with few searches, on the page as in layout playback; Home and End play its edges. A moment
// typed (Ctrl+G) plays, and a gateway that does not answer is said in words. The gateway
// listens on a port of its own, which its "httpPort" setting names. Over ten minutes a strip
// of pictures runs above the timeline, empty where the gateway refuses the recording.
#include "App.h"
#include "LayoutPlayback.h"
#include "MpvObject.h"
#include "RecordingIndex.h"
#include "SceneItems.h"
#include "SimServer.h"
#include "Startup.h"
#include "ThumbnailStrip.h"
#include "TimelinePlayback.h"
#include "ZarnObjectsRepository.h"

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

// A gateway with two streams. The Till: chunks A and B back to back, a gap, C (its recording
// lost: the gateway answers 404), a second gap and D. The Entrance records on from an hour
// before the load in one-minute chunks, so that playback crosses their boundaries as they close.
std::string siteJson(qint64 t0, const QString &gatewaySettings = QString())
{
    const auto chunk = [](qint64 start, qint64 end, bool unavailable = false) {
        return QStringLiteral(R"({"start": %1, "end": %2, "size": 400000%3})")
            .arg(start)
            .arg(end)
            .arg(unavailable ? QStringLiteral(R"(, "unavailable": true)") : QString());
    };
    const QString chunks =
        QStringList{chunk(t0, t0 + kMinute), chunk(t0 + kMinute, t0 + 2 * kMinute),
                    chunk(t0 + 5 * kMinute, t0 + 6 * kMinute, true),
                    chunk(t0 + 7 * kMinute, t0 + 8 * kMinute)}
            .join(QLatin1Char(','));
    return QStringLiteral(R"({
        "name": "Recorded", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"%2}},
          {"id": 12, "name": "Till", "type": 10, "parent": 2, "chunks": [%1]},
          {"id": 13, "name": "Entrance", "type": 10, "parent": 2,
           "recording": {"hours": 1, "chunkMinutes": 1}}
        ]})")
        .arg(chunks, gatewaySettings)
        .toStdString();
}

// QTest types into widgets only: a window gets the characters one by one.
void typeText(QWindow *window, const QString &text)
{
    for (const QChar c : text)
        QTest::keyClick(window, c.toLatin1());
}

} // namespace

class TestRecordedTimeline : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QQuickView> m_view;
    QQuickItem *m_page = nullptr;
    QQuickItem *m_timeline = nullptr;
    TimelinePlayback *m_playback = nullptr;
    MpvObject *m_player = nullptr;
    qint64 m_t0 = 0;

    // A real click on the timeline at moment t.
    void clickAt(qint64 t)
    {
        double x = 0;
        QVERIFY(QMetaObject::invokeMethod(m_timeline, "xAt", Q_RETURN_ARG(double, x),
                                          Q_ARG(qint64, t)));
        const QPointF inView = m_timeline->mapToScene(QPointF(x, m_timeline->height() / 2));
        QTest::mouseClick(m_view.get(), Qt::LeftButton, Qt::NoModifier, inView.toPoint());
    }

    QString note() const { return m_playback->note(); }
    // The index of the stream chosen on the page: its StreamHistory's.
    RecordingIndex *index() const { return m_page->property("index").value<RecordingIndex *>(); }

    // The file the player plays, and where in it.
    QString playing() const { return m_player->path(); }
    QString recordingOf(qint64 start) const { return m_playback->recordingUrl(start); }
    static qint64 present() { return QDateTime::currentMSecsSinceEpoch(); }
    qint64 searches() { return m_server->sim().chunkSearches(13); }

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        std::setlocale(LC_NUMERIC, "C");
        m_t0 = (QDateTime::currentMSecsSinceEpoch() / kMinute - 60) * kMinute;
        std::string error;
        m_server = SimServer::fromJson(siteJson(m_t0), present(), error);
        QVERIFY2(m_server, error.c_str());

        QString failure;
        m_view =
            scene::showPage(QStringLiteral("qrc:/qml/RecordedPage.qml"), QSize(1000, 600), failure);
        QVERIFY2(m_view, qPrintable(failure));
        m_page = m_view->rootObject();
        QVERIFY(m_server->sim().gatewayHttpPort(2) != 9554);
        m_timeline = m_page->findChild<QQuickItem *>(QStringLiteral("timeline"));
        m_playback = m_page->findChild<TimelinePlayback *>(QStringLiteral("timelinePlayback"));
        m_player = m_page->findChild<MpvObject *>(QStringLiteral("mpvObject"));
        QVERIFY(m_timeline && m_playback && m_player);

        App *app = App::instance();
        QVERIFY(app);
        QSignalSpy loggedIn(app, &App::loggedIn);
        app->login(QStringLiteral("operator"), QStringLiteral("operator"),
                   QStringLiteral("127.0.0.1"), m_server->port());
        QVERIFY(loggedIn.wait(kDeadline));

        QVERIFY(QMetaObject::invokeMethod(m_page, "chooseStream", Q_ARG(QVariant, "2"),
                                          Q_ARG(QVariant, "12")));
        QVERIFY(QMetaObject::invokeMethod(m_timeline, "showRange", Q_ARG(qint64, m_t0 - kMinute),
                                          Q_ARG(qint64, m_t0 + 9 * kMinute)));
        QTRY_VERIFY_WITH_TIMEOUT(!index()->chunkAt(m_t0 + 7 * kMinute).isEmpty(), kDeadline);
    }

    void cleanupTestCase()
    {
        m_view.reset();
        m_server.reset();
    }

    // The ten minutes shown get a strip of pictures: the labelled ticks over chunks A, B and
    // D show their pictures (the bars, drawn), those over the gaps and over C, whose recording
    // the gateway refuses, stay empty; the timeline below still plays a click.
    void stripAboveTheTimeline()
    {
        auto *strip = m_page->findChild<QQuickItem *>(QStringLiteral("thumbnailStrip"));
        QVERIFY(strip);
        QTRY_VERIFY_WITH_TIMEOUT(strip->isVisible() && strip->height() > 20, kDeadline);
        auto *pictures = strip->findChild<ThumbnailStrip *>();
        QVERIFY(pictures);
        const auto answered = [pictures] {
            for (int row = 0; row < pictures->rowCount(); ++row) {
                const QModelIndex at = pictures->index(row);
                if (!at.data(ThumbnailStrip::EmptyRole).toBool() &&
                    at.data(ThumbnailStrip::ImageRole).value<QImage>().isNull())
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(pictures->rowCount() >= 5 && answered(), kDeadline);
        const QImage drawn = m_view->grabWindow();
        int shown = 0;
        for (int row = 0; row < pictures->rowCount(); ++row) {
            const qint64 t = pictures->index(row).data(ThumbnailStrip::TimeRole).toLongLong();
            const bool playable = (t >= m_t0 && t < m_t0 + 2 * kMinute) ||
                                  (t >= m_t0 + 7 * kMinute && t < m_t0 + 8 * kMinute);
            const bool hasPicture =
                !pictures->index(row).data(ThumbnailStrip::ImageRole).value<QImage>().isNull();
            QVERIFY2(hasPicture == playable, qPrintable(QString::number((t - m_t0) / 1000)));
            if (!hasPicture)
                continue;
            // The bars' colours are on screen across the picture's width.
            double x = 0;
            QMetaObject::invokeMethod(m_timeline, "xAt", Q_RETURN_ARG(double, x), Q_ARG(qint64, t));
            const QPointF middle = strip->mapToScene(QPointF(x, strip->height() / 2));
            QSet<QRgb> colours;
            for (int dx = -30; dx <= 30; dx += 10)
                colours.insert(drawn.pixel(middle.toPoint() + QPoint(dx, 0)) & 0xe0e0e0);
            QVERIFY2(colours.size() >= 4, qPrintable(QString::number(colours.size())));
            ++shown;
        }
        QVERIFY(shown >= 2);
        clickAt(m_t0 + 30000);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), recordingOf(m_t0), kDeadline);
    }

    // The moment clicked is where the player starts, in the chunk that holds it.
    void clickPlaysThatMoment()
    {
        const qint64 moment = m_t0 + 30000;
        clickAt(moment);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), recordingOf(m_t0), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying() && m_player->position() > 0, kDeadline);
        // Half a second of the click's pixel and a few frames of playback at most.
        QVERIFY2(qAbs(m_player->position() - 30.0) < 3.0,
                 qPrintable(QString::number(m_player->position())));
        QVERIFY(qAbs(m_playback->time() - moment) < 3000);
        QCOMPARE(note(), QString());
    }

    // Near a chunk's end playback goes on into the next one without anybody doing anything.
    void playbackRunsIntoTheNextChunk()
    {
        clickAt(m_t0 + kMinute - 4000);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), recordingOf(m_t0), kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), recordingOf(m_t0 + kMinute), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->time() > m_t0 + kMinute + 1000, kDeadline);
        QVERIFY(m_playback->active());
        QCOMPARE(note(), QString());
    }

    // The seek bar's handle held at the end while the chunk runs into the next one: letting
    // go there does not throw the next chunk to its own end; it plays on.
    void seekBarHeldAcrossTheNextChunk()
    {
        clickAt(m_t0 + kMinute - 4000);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), recordingOf(m_t0), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying() && m_player->position() > 55, kDeadline);
        auto *bar = m_page->findChild<QQuickItem *>(QStringLiteral("seekBar"));
        QVERIFY(bar && bar->isVisible());
        const QPoint end = bar->mapToScene(QPointF(bar->width() - 1, bar->height() / 2)).toPoint();
        QTest::mousePress(m_view.get(), Qt::LeftButton, Qt::NoModifier, end);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), recordingOf(m_t0 + kMinute), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->time() > m_t0 + kMinute, kDeadline);
        QTest::mouseRelease(m_view.get(), Qt::LeftButton, Qt::NoModifier, end);
        const qint64 released = m_playback->time();
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->time() > released + 2000, kDeadline);
        QVERIFY2(m_playback->time() < m_t0 + kMinute + 20000,
                 qPrintable(QString::number(m_playback->time() - m_t0)));
        QCOMPARE(playing(), recordingOf(m_t0 + kMinute));
    }

    // A click between chunks plays nothing and offers the next recorded moment.
    void clickInGapSaysSo()
    {
        const qint64 moment = m_t0 + 3 * kMinute;
        clickAt(moment);
        QTRY_VERIFY_WITH_TIMEOUT(note().startsWith(QStringLiteral("No recording at ")), kDeadline);
        QCOMPARE(note(), QStringLiteral("No recording at %1")
                             .arg(QDateTime::fromMSecsSinceEpoch(m_playback->time())
                                      .toString(QStringLiteral("HH:mm:ss"))));
        QVERIFY(qAbs(m_playback->time() - moment) < 2000);
        QCOMPARE(m_playback->nextMoment(), m_t0 + 5 * kMinute);
        QVERIFY(!m_playback->active());
        auto *offer = m_page->findChild<QQuickItem *>(QStringLiteral("nextRecordedMoment"));
        QVERIFY(offer);
        QTRY_VERIFY(offer->isVisible());
    }

    // The gateway's 404 marks the chunk unavailable: it is said, drawn, and passed over when
    // playback later runs towards it, with the whole gap told.
    void refusedChunkIsMarkedAndSkipped()
    {
        clickAt(m_t0 + 5 * kMinute + 20000);
        QTRY_VERIFY_WITH_TIMEOUT(index()->chunkAt(m_t0 + 5 * kMinute).value("unavailable").toBool(),
                                 kDeadline);
        QVERIFY2(note().contains(QStringLiteral("unavailable")), qPrintable(note()));

        const QImage drawn = m_view->grabWindow();
        double x = 0;
        QMetaObject::invokeMethod(m_timeline, "xAt", Q_RETURN_ARG(double, x),
                                  Q_ARG(qint64, m_t0 + 5 * kMinute + 30000));
        const QPointF spot = m_timeline->mapToScene(QPointF(x, m_timeline->height() / 2));
        const QColor refused = drawn.pixelColor(spot.toPoint());
        QVERIFY2(refused.red() > 2 * refused.green(), qPrintable(refused.name()));

        QStringList notes;
        connect(m_playback, &TimelinePlayback::noteChanged, this,
                [&] { notes.append(m_playback->note()); });
        clickAt(m_t0 + 2 * kMinute - 3000);
        QVERIFY(m_playback->time() < m_t0 + 2 * kMinute);
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->time() > m_t0 + 7 * kMinute, kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), recordingOf(m_t0 + 7 * kMinute), kDeadline);
        QVERIFY2(notes.contains(QStringLiteral("Gap: 5 min skipped")), qPrintable(notes.join('|')));
        disconnect(m_playback, &TimelinePlayback::noteChanged, this, nullptr);
    }

    // A receipt opened from a search plays from 10 s before it, under a badge counting down;
    // one in a gap shows the receipt alone and says there is no video.
    void receiptOpensTenSecondsBefore()
    {
        auto *badge = m_page->findChild<QQuickItem *>(QStringLiteral("receiptBadge"));
        // The page's, not the one of the picture's own texts.
        auto *notes = m_page->findChild<QQuickItem *>(QStringLiteral("recordedNotes"));
        QVERIFY(notes);
        auto *box = notes->findChild<QQuickItem *>(QStringLiteral("receiptBox"));
        QVERIFY(badge && box);
        const qint64 receipt = m_t0 + 40000;
        QMetaObject::invokeMethod(m_page, "openReceipt", Q_ARG(QVariant, "2"),
                                  Q_ARG(QVariant, "12"), Q_ARG(QVariant, double(receipt)),
                                  Q_ARG(QVariant, "Till 1  receipt 0007\nREFUND  -4.99"));
        QTRY_COMPARE_WITH_TIMEOUT(playing(), recordingOf(m_t0), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying(), kDeadline);
        QVERIFY2(qAbs(m_playback->time() - (receipt - 10000)) < 3000,
                 qPrintable(QString::number(m_playback->time() - receipt)));
        QVERIFY(box->isVisible());
        QVERIFY2(badge->property("text").toString().startsWith(QStringLiteral("Receipt in ")),
                 qPrintable(badge->property("text").toString()));

        QMetaObject::invokeMethod(
            m_page, "openReceipt", Q_ARG(QVariant, "2"), Q_ARG(QVariant, "12"),
            Q_ARG(QVariant, double(m_t0 + 3 * kMinute + 30000)), Q_ARG(QVariant, "NO SALE"));
        QTRY_COMPARE_WITH_TIMEOUT(badge->property("text").toString(),
                                  QStringLiteral("No recorded video at that time"), kDeadline);
        QVERIFY(box->isVisible());
    }

    // The Entrance's timeline end follows the clock between searches; played from five seconds
    // ago, it follows the recording for 30 s a few seconds behind, and the chunk being recorded
    // is searched again at most once per 10 s: three or four searches, six allowing the view's
    // own and a slow start.
    void recentVideoGrowsAndPlaysWithFewSearches()
    {
        QVERIFY(QMetaObject::invokeMethod(m_page, "chooseStream", Q_ARG(QVariant, "2"),
                                          Q_ARG(QVariant, "13")));
        QVERIFY(QMetaObject::invokeMethod(m_timeline, "showRange",
                                          Q_ARG(qint64, present() - 10 * kMinute),
                                          Q_ARG(qint64, present() + kMinute)));
        QTRY_VERIFY_WITH_TIMEOUT(index()->lastRecorded() > present() - 5000, kDeadline);
        const qint64 end = index()->lastRecorded();
        QTRY_VERIFY_WITH_TIMEOUT(index()->lastRecorded() > end + 2000, kDeadline);
        const qint64 moment = present() - 5000;
        QVERIFY(QMetaObject::invokeMethod(m_page, "playMoment", Q_ARG(QVariant, double(moment))));
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying() && m_playback->active(), kDeadline);
        const qint64 before = searches();
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->time() > moment + 30000, 3 * kDeadline);
        const qint64 asked = searches() - before;
        QVERIFY2(asked <= 6, qPrintable(QString::number(asked)));
        QVERIFY(m_playback->active());
        QCOMPARE(note(), QString());
        QVERIFY2(present() - m_playback->time() < 10000,
                 qPrintable(QString::number(present() - m_playback->time())));
    }

    // The layout in playback one minute ago (Ctrl+P): the camera plays, and 30 s of it ask
    // as few searches as the recorded page does.
    void layoutPlaybackOfTheLastMinute()
    {
        // The page lets go of the player and searches nothing meanwhile.
        m_playback->stop();
        m_page->setProperty("streamId", QString());
        LayoutPlayback layout;
        layout.setHistories(App::instance()->histories());
        layout.addCell(1, m_player, QStringLiteral("13"));
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
                                          Q_ARG(QVariant, "13")));
    }

    // Home plays the first recorded second, from the first chunk's recording; End ten seconds
    // before the last recorded moment, which for a stream that records on is the present.
    void homeAndEndPlayTheEdges()
    {
        QTRY_VERIFY_WITH_TIMEOUT(index()->firstRecorded() > 0, kDeadline);
        const qint64 first = index()->firstRecorded();
        QTest::keyClick(m_view.get(), Qt::Key_Home);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), recordingOf(first), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying() && m_playback->active(), kDeadline);
        QVERIFY2(m_playback->time() >= first && m_playback->time() < first + 5000,
                 qPrintable(QString::number(m_playback->time() - first)));
        // The first picture of the first chunk's recording (the previous file's position may
        // still be told for a moment).
        QTRY_VERIFY_WITH_TIMEOUT(m_player->position() > 0 && m_player->position() < 5.0, kDeadline);

        QTest::keyClick(m_view.get(), Qt::Key_End);
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->active() && m_playback->time() > present() - 30000,
                                 kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying(), kDeadline);
        // The recording of the chunk that holds the moment played, near the recorded end.
        const auto playsLastChunk = [this] {
            const QVariantMap last = index()->chunkAt(m_playback->time());
            return !last.isEmpty() && playing().section(QLatin1Char('?'), 0, 0) ==
                                          recordingOf(last.value("start").toLongLong());
        };
        QTRY_VERIFY_WITH_TIMEOUT(playsLastChunk(), kDeadline);
        QVERIFY2(index()->lastRecorded() - m_playback->time() < 20000,
                 qPrintable(QString::number(index()->lastRecorded() - m_playback->time())));
    }

    // Ctrl+G puts the cursor in the moment field; a wrong text is refused in words, a right
    // one plays that moment and hands the keys back to the page (Space pauses).
    void typedMomentPlays()
    {
        QVERIFY(QMetaObject::invokeMethod(m_page, "chooseStream", Q_ARG(QVariant, "2"),
                                          Q_ARG(QVariant, "12")));
        QTRY_VERIFY_WITH_TIMEOUT(!index()->chunkAt(m_t0 + 7 * kMinute).isEmpty(), kDeadline);
        auto *input = m_page->findChild<QQuickItem *>(QStringLiteral("momentInput"));
        auto *error = m_page->findChild<QQuickItem *>(QStringLiteral("momentError"));
        QVERIFY(input && error);
        m_view->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        QTest::keyClick(m_view.get(), Qt::Key_G, Qt::ControlModifier);
        QTRY_VERIFY(input->hasActiveFocus());
        typeText(m_view.get(), QStringLiteral("25:00"));
        QTest::keyClick(m_view.get(), Qt::Key_Return);
        QTRY_VERIFY(error->isVisible());
        QVERIFY2(error->property("text").toString().contains(QStringLiteral("yesterday 14:30")),
                 qPrintable(error->property("text").toString()));
        QVERIFY(input->hasActiveFocus());

        const qint64 moment = m_t0 + 7 * kMinute + 20000;
        QTest::keyClick(m_view.get(), Qt::Key_A, Qt::ControlModifier);
        typeText(m_view.get(), QDateTime::fromMSecsSinceEpoch(moment).toString(
                                   QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        QTest::keyClick(m_view.get(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), recordingOf(m_t0 + 7 * kMinute), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying(), kDeadline);
        QVERIFY2(qAbs(m_playback->time() - moment) < 3000,
                 qPrintable(QString::number(m_playback->time() - moment)));
        QVERIFY(!error->isVisible());
        QVERIFY(!input->hasActiveFocus());
        QTest::keyClick(m_view.get(), Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->property("paused").toBool(), kDeadline);
        QTest::keyClick(m_view.get(), Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(!m_player->property("paused").toBool(), kDeadline);
    }

    // A gateway whose "httpPort" leads nowhere: the page says so over the picture, naming the
    // camera and where it was looked for, not only with red marks. Last: its chunks stay
    // marked unavailable.
    void gatewayDownIsSaid()
    {
        const quint16 nowhere = scene::freePort();
        std::string error;
        auto moved = ardix::sim::Site::fromJson(
            siteJson(m_t0, QStringLiteral(R"(, "httpPort": %1)").arg(nowhere)), m_t0, error);
        QVERIFY2(moved, error.c_str());
        QSignalSpy reloaded(App::instance()->zarnRepository(), &ZarnObjectsRepository::dataChanged);
        m_server->sim().replaceSite(std::move(*moved));
        QVERIFY(reloaded.wait(kDeadline));

        QVERIFY(QMetaObject::invokeMethod(m_page, "chooseStream", Q_ARG(QVariant, "2"),
                                          Q_ARG(QVariant, "12")));
        QTRY_VERIFY_WITH_TIMEOUT(!index()->chunkAt(m_t0 + 7 * kMinute).isEmpty(), kDeadline);
        clickAt(m_t0 + 7 * kMinute + 5000);
        auto *said = m_page->findChild<QQuickItem *>(QStringLiteral("gatewayDown"));
        QVERIFY(said);
        QTRY_VERIFY_WITH_TIMEOUT(said->isVisible(), kDeadline);
        QCOMPARE(
            said->property("text").toString(),
            QStringLiteral("The gateway of Till at 127.0.0.1:%1 does not answer").arg(nowhere));
    }
};

QTEST_MAIN(TestRecordedTimeline)
#include "tst_recordedtimeline.moc"
