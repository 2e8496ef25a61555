// Motion search on the recorded page, driven as the operator does: Ctrl+M opens the panel, an
// area is dragged on the picture, an hour is searched, the moments found are listed and drawn
// on the timeline in their own colour, and a click on one plays it from 2 s before, the crossing
// object in the area.
#include "App.h"
#include "ConsoleScene.h"
#include "MotionMoments.h"
#include "MotionSearch.h"
#include "MpvObject.h"
#include "SceneItems.h"
#include "SimServer.h"
#include "StreamHistory.h"
#include "Startup.h"
#include "Timeline.h"
#include "TimelinePlayback.h"

#include <MotionScene.h>
#include <Site.h>

#include <QDateTime>
#include <QDir>
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
constexpr int kDeadline = 300000;
constexpr std::uint64_t kSeed = 3;

// The first crossing of the "long" kind (a person walking to and fro for a minute) of stream 12
// from 10:00 local on a fixed day.
ardix::sim::Crossing longCrossing()
{
    const ardix::sim::MotionScene scene(kSeed, 12);
    qint64 slot = QDateTime(QDate(2026, 12, 1), QTime(10, 0)).toMSecsSinceEpoch() / scene.kSlotMs;
    for (;; ++slot) {
        const auto c = scene.crossingOfSlot(slot);
        if (c && c->kind == ardix::sim::CrossingKind::Long)
            return *c;
    }
}

// Stream 12: a main-profile chunk from a minute before the crossing to a minute after it.
std::string siteJson(const ardix::sim::Crossing &c)
{
    const qint64 start = (c.startMs - kMinute) / 1000 * 1000;
    const qint64 end = (c.endMs + kMinute) / 1000 * 1000;
    return QStringLiteral(R"({
        "name": "Motion page", "rootId": 1, "seed": %4,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 12, "name": "Shop floor", "type": 10, "parent": 2,
           "chunks": [{"start": %1, "end": %2, "size": %3, "profile": "main"}]}
        ]})")
        .arg(start)
        .arg(end)
        .arg((end - start) * 125)
        .arg(kSeed)
        .toStdString();
}

// Pixels of `picture` inside `area` (scene coordinates) that are black: the crossing figure's
// outline (the test card has no black in its upper two thirds).
int blackPixels(const QImage &picture, const QRect &area)
{
    int black = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            black += std::max({c.red(), c.green(), c.blue()}) < 60;
        }
    }
    return black;
}

} // namespace

class TestMotionPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QQuickView> m_view;
    QQuickItem *m_page = nullptr;
    Timeline *m_timeline = nullptr;
    MotionSearch *m_search = nullptr;
    TimelinePlayback *m_playback = nullptr;
    ardix::sim::Crossing m_crossing;

    QQuickItem *item(const QString &name) const { return scene::findItem(m_page, name); }
    void click(QQuickItem *target)
    {
        QVERIFY(target && target->isVisible());
        const QPoint at =
            target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
        QTest::mouseClick(m_view.get(), Qt::LeftButton, Qt::NoModifier, at);
    }

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        std::setlocale(LC_NUMERIC, "C");
        m_crossing = longCrossing();
        std::string error;
        m_server =
            SimServer::fromJson(siteJson(m_crossing), QDateTime::currentMSecsSinceEpoch(), error);
        QVERIFY2(m_server, error.c_str());

        QString failure;
        m_view =
            scene::showPage(QStringLiteral("qrc:/qml/RecordedPage.qml"), QSize(1200, 700), failure);
        QVERIFY2(m_view, qPrintable(failure));
        m_page = m_view->rootObject();
        m_timeline = m_page->findChild<Timeline *>(QStringLiteral("timeline"));
        m_search = m_page->findChild<MotionSearch *>(QStringLiteral("motionSearch"));
        m_playback = m_page->findChild<TimelinePlayback *>(QStringLiteral("timelinePlayback"));
        QVERIFY(m_timeline && m_search && m_playback);

        App *app = App::instance();
        QVERIFY(app);
        QSignalSpy loggedIn(app, &App::loggedIn);
        app->login(QStringLiteral("operator"), QStringLiteral("operator"),
                   QStringLiteral("127.0.0.1"), m_server->port());
        QVERIFY(loggedIn.wait(60000));
        QVERIFY(QMetaObject::invokeMethod(m_page, "chooseStream", Q_ARG(QVariant, "2"),
                                          Q_ARG(QVariant, "12")));
        m_timeline->showRange(m_crossing.startMs - 2 * kMinute, m_crossing.endMs + 2 * kMinute);
    }

    void cleanupTestCase()
    {
        m_view.reset();
        m_server.reset();
    }

    void drawSearchAndPlay()
    {
        const QRectF kArea(m_crossing.box.x, m_crossing.box.y, m_crossing.box.w, m_crossing.box.h);
        QVERIFY(scene::pressUntil(m_view.get(), Qt::Key_M, Qt::ControlModifier, [this] {
            QQuickItem *shown = item(QStringLiteral("motionSearchPanel"));
            return shown && shown->isVisible();
        }));

        // The area dragged on the picture, in the picture's own proportions.
        QQuickItem *layer = item(QStringLiteral("motionAreaDrag"));
        QVERIFY(layer && layer->isVisible());
        const QRectF picture = layer->parentItem()->property("pictureRect").toRectF();
        const auto at = [&](double x, double y) {
            return layer
                ->mapToScene(
                    QPointF(picture.x() + x * picture.width(), picture.y() + y * picture.height()))
                .toPoint();
        };
        QTest::mousePress(m_view.get(), Qt::LeftButton, Qt::NoModifier,
                          at(kArea.left(), kArea.top()));
        QTest::mouseMove(m_view.get(), at(kArea.center().x(), kArea.center().y()));
        QTest::mouseMove(m_view.get(), at(kArea.right(), kArea.bottom()));
        QTest::mouseRelease(m_view.get(), Qt::LeftButton, Qt::NoModifier,
                            at(kArea.right(), kArea.bottom()));
        QCOMPARE(m_search->areas().size(), 1);
        const QVariantMap area = m_search->areas().constFirst().toMap();
        const QRectF drawn(area.value("x").toDouble(), area.value("y").toDouble(),
                           area.value("width").toDouble(), area.value("height").toDouble());
        QVERIFY2(qAbs(drawn.x() - kArea.x()) < 0.02 && qAbs(drawn.width() - kArea.width()) < 0.02,
                 qPrintable(QStringLiteral("%1 %2").arg(drawn.x()).arg(drawn.width())));

        // A search starts once the camera's gateway is known (a busy machine learns it late).
        QTRY_VERIFY_WITH_TIMEOUT(m_search->history() && m_search->history()->gatewayKnown(),
                                 60000);
        QSignalSpy runs(m_search, &MotionSearch::runningChanged);
        click(item(QStringLiteral("motionSearchStart")));
        // Started, then over: a quick search may be over before anyone looks at it running.
        QTRY_VERIFY_WITH_TIMEOUT(runs.count() >= 2 && !m_search->running(), kDeadline);
        QVERIFY2(m_search->message().isEmpty(), qPrintable(m_search->message()));
        QVERIFY(m_search->moments()->count() >= 1);

        // Drawn on the timeline in the third colour, where the newest moment is.
        const QVariantMap newest = m_search->moments()->get(0);
        const qint64 start = newest.value("start").toLongLong();
        const qint64 peak = newest.value("peak").toLongLong();
        QTRY_VERIFY(m_timeline->motion() == m_search->moments());
        QImage shot = m_view->grabWindow();
        const QPointF mark = m_timeline->mapToScene(
            QPointF(m_timeline->xAt((start + newest.value("end").toLongLong()) / 2), 28));
        QCOMPARE(shot.pixelColor(mark.toPoint()), Timeline::motionColor);

        // The newest moment, first in the list, plays from 2 s before its start.
        QList<QQuickItem *> rows;
        scene::findItems(m_page, QStringLiteral("motionMoment"), rows);
        QVERIFY(!rows.isEmpty());
        click(rows.constFirst());
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->active() && m_playback->time() >= start - 2000, 60000);
        QVERIFY2(m_playback->time() < start + 3000,
                 qPrintable(QString::number(m_playback->time() - start)));
        // Once the moment has begun, the crossing figure is in the area on the picture.
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->time() >= std::min(peak, start + 3000), 60000);
        const QRect inView(at(kArea.left(), kArea.top()), at(kArea.right(), kArea.bottom()));
        QTRY_VERIFY_WITH_TIMEOUT(blackPixels(m_view->grabWindow(), inView) > 50, 20000);
        const QString artifacts = qEnvironmentVariable("ARDIX_ARTIFACT_DIR");
        if (!artifacts.isEmpty() && QDir().mkpath(artifacts))
            m_view->grabWindow().save(artifacts + QStringLiteral("/motion-search.png"));
    }
};

QTEST_MAIN(TestMotionPage)
#include "tst_motionpage.moc"
