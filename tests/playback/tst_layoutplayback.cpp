// The whole layout played back end to end, in the console's scene signed in to an in-process
// simulated site: the 2x2 layout switched to playback at a moment shows every camera at that
// moment, keeps them within 0.2 s of each other across chunk boundaries, lets a camera whose
// recording begins later join in, says when the gateway does not answer, and "Back to live"
// plays the live addresses again. The layout's alarm cell lists the events up to the moment
// played, following it, and the live ones again once back to live. The gateway listens on a
// port of its own, which its "httpPort" setting names. Keys: a moment typed on the bar
// (Ctrl+G), Space after a speed chosen with the mouse, Esc after a camera shown alone in place
// of the layout.
#include "App.h"
#include "EventList.h"
#include "LayoutModel.h"
#include "LayoutPlayback.h"
#include "SceneItems.h"
#include "SimServer.h"
#include "Startup.h"
#include "ZarnObjectsRepository.h"

#include <Site.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <clocale>
#include <memory>

namespace {

using scene::findItem;
using scene::findItems;
using scene::freePort;

constexpr qint64 kChunkMs = 20000;
constexpr int kDeadline = 60000;

// Four cameras on one gateway, each with 20-second chunks of main recordings from t0 (the Car
// park's only from t0 + 20 s), and the 2x2 layout of them. Their live addresses lead nowhere:
// only what the cells are told to play counts.
std::string siteJson(qint64 t0, const QString &gatewaySettings = QString())
{
    QStringList streams;
    for (int id = 11; id <= 14; ++id) {
        QStringList chunks;
        for (int i = id == 14 ? 1 : 0; i < 3; ++i)
            chunks.append(QStringLiteral(R"({"start": %1, "end": %2, "profile": "main"})")
                              .arg(t0 + i * kChunkMs)
                              .arg(t0 + (i + 1) * kChunkMs));
        streams.append(QStringLiteral(R"({"id": %1, "name": "Camera %1", "type": 10,
            "class": "stream.VIDEO", "parent": 2, "chunks": [%2],
            "settings": {"url": "http://127.0.0.1:9/live/%1"}})")
                           .arg(id)
                           .arg(chunks.join(QLatin1Char(','))));
    }
    QStringList cells;
    for (int i = 0; i < 4; ++i)
        cells.append(QStringLiteral(R"({"row": %1, "col": %2, "rowSpan": 1, "colSpan": 1,
            "type": "video", "label": "Camera %3", "deviceId": "2", "objectId": "%3"})")
                         .arg(i / 2)
                         .arg(i % 2)
                         .arg(11 + i));
    cells.append(QStringLiteral(R"({"row": 2, "col": 0, "rowSpan": 1, "colSpan": 2,
        "type": "alarm", "label": "Gateway events", "deviceId": "2", "objectId": ""})"));
    return QStringLiteral(R"({
        "name": "Playback", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "attributes": {
             "2x2": {"numRows": 3, "numCols": 2, "elements": [%1]}}},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"%3}},
          %2
        ]})")
        .arg(cells.join(QLatin1Char(',')), streams.join(QLatin1Char(',')), gatewaySettings)
        .toStdString();
}

// QTest types into widgets only: a window gets the characters one by one.
void typeText(QWindow *window, const QString &text)
{
    for (const QChar c : text)
        QTest::keyClick(window, c.toLatin1());
}

} // namespace

class TestLayoutPlayback : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    LayoutPlayback *m_playback = nullptr;
    qint64 m_t0 = 0;

    QQuickItem *item(const QString &name) const { return findItem(m_window->contentItem(), name); }
    QList<QQuickItem *> cameraViews() const
    {
        QList<QQuickItem *> views;
        findItems(m_window->contentItem(), QStringLiteral("cameraView"), views);
        return views;
    }
    // The events the alarm cell lists.
    int alarmCount() const
    {
        const QObject *filter =
            item(QStringLiteral("alarmView"))->property("filter").value<QObject *>();
        return filter ? filter->property("count").toInt() : -1;
    }
    QString state(int key) const
    {
        return m_playback->cellStates().value(QString::number(key)).toString();
    }
    // The largest difference between the positions of the cells; as large as can be while any
    // of them does not play, so that cells standing still never pass for cells in step.
    qint64 spread(const QList<int> &keys) const
    {
        qint64 low = std::numeric_limits<qint64>::max();
        qint64 high = std::numeric_limits<qint64>::min();
        for (int key : keys) {
            const qint64 t = m_playback->cellTime(key);
            if (t < 0)
                return std::numeric_limits<qint64>::max();
            low = std::min(low, t);
            high = std::max(high, t);
        }
        return high - low;
    }
    // Shortcuts reach the active window only: another test's window on the same X server may
    // have taken the focus.
    void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        // Best effort: a window that stays inactive still gets the key, as before.
        m_window->requestActivate();
        static_cast<void>(QTest::qWaitForWindowActive(m_window, 2000));
        QTest::keyClick(m_window, key, modifiers);
    }
    bool allLive() const
    {
        const QList<QQuickItem *> views = cameraViews();
        if (views.size() != 4)
            return false;
        for (QQuickItem *view : views) {
            const QString url = view->property("url").toString();
            if (!url.contains(QStringLiteral("/live/")) ||
                view->property("playingUrl").toString() != url)
                return false;
        }
        return true;
    }
    // The channel texts laid over the camera of `name`, one line each.
    QString overlayOf(const QString &name) const
    {
        for (QQuickItem *view : cameraViews()) {
            if (view->property("cameraName").toString() != name)
                continue;
            QStringList lines;
            for (QQuickItem *line : findItem(view, QStringLiteral("overlay"))->childItems()) {
                if (line->property("text").isValid()) // not the repeater
                    lines.append(line->property("text").toString());
            }
            return lines.join(QLatin1Char('\n'));
        }
        return {};
    }
    void click(QQuickItem *target)
    {
        QVERIFY(target && target->isVisible());
        const QPointF at = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, at.toPoint());
    }

    // The row of the speed list that reads `text`, while the list shows.
    QQuickItem *speedChoice(const QString &text) const
    {
        QList<QQuickItem *> todo{m_window->contentItem()};
        while (!todo.isEmpty()) {
            QQuickItem *at = todo.takeFirst();
            if (at->inherits("QQuickItemDelegate") && at->isVisible() &&
                at->property("text").toString() == text)
                return at;
            todo.append(at->childItems());
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        std::setlocale(LC_NUMERIC, "C");
        // Whole seconds: the gateway names its recordings by the second.
        m_t0 = (QDateTime::currentMSecsSinceEpoch() / 60000 - 30) * 60000;
        std::string error;
        m_server = SimServer::fromJson(siteJson(m_t0), m_t0, error);
        QVERIFY2(m_server, error.c_str());

        QSettings stored;
        stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
        stored.setValue(QStringLiteral("port"), QString::number(m_server->port()));
        stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
        stored.sync();

        m_engine = std::make_unique<QQmlApplicationEngine>();
        Startup::loadScene(*m_engine, QStringLiteral("0"),
                           QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QCOMPARE(m_engine->rootObjects().size(), 1);
        m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
        QVERIFY(m_window);
        m_window->resize(1100, 760);
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QTRY_VERIFY_WITH_TIMEOUT(allLive(), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("layoutPage")), kDeadline);
        m_playback = item(QStringLiteral("layoutPage"))
                         ->findChild<LayoutPlayback *>(QStringLiteral("layoutPlayback"));
        QVERIFY(m_playback);
        QVERIFY(m_server->sim().gatewayHttpPort(2) != 9554);
        // Camera 12's events: before the moment played first, while it plays on, and now.
        for (const qint64 t : {m_t0 + 2000, m_t0 + kChunkMs, QDateTime::currentMSecsSinceEpoch()}) {
            App::instance()->events()->addServerEvent(
                {{QStringLiteral("srcId"), QStringLiteral("12")},
                 {QStringLiteral("cls"), QStringLiteral("video.MOTION")},
                 {QStringLiteral("time"), t}});
        }
        QTRY_COMPARE_WITH_TIMEOUT(alarmCount(), 3, kDeadline);
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        m_server.reset();
    }

    // Every camera starts at the moment asked for, together; the one without a recording
    // there says so. Camera 11 is a till's: the receipt it printed just before the moment
    // shows over it, not an older one.
    void everyCellShowsTheMoment()
    {
        const qint64 moment = m_t0 + 5000;
        m_server->sim().posTexts().record(11, moment - 20000, "Till 1  receipt 0041");
        m_server->sim().posTexts().record(11, moment - 2000, "Till 1  receipt 0042\nTOTAL 3.50");
        QSignalSpy statesTold(m_playback, &LayoutPlayback::cellStatesChanged);
        QVERIFY(QMetaObject::invokeMethod(item(QStringLiteral("mainPage")), "playLayoutAt",
                                          Q_ARG(QVariant, double(moment))));
        // Every cell's change is told once the start is over, in one notice: each notice makes
        // every cell read all the cells' states again.
        QCOMPARE(statesTold.count(), 0);
        QVERIFY(statesTold.wait(kDeadline));
        QTRY_VERIFY_WITH_TIMEOUT(overlayOf(QStringLiteral("Camera 11")).contains("receipt 0042"),
                                 kDeadline);
        QCOMPARE(overlayOf(QStringLiteral("Camera 11")),
                 QStringLiteral("Till 1  receipt 0042\nTOTAL 3.50"));
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->active() && !m_playback->clock()->paused(), kDeadline);
        for (int key = 0; key < 3; ++key) {
            QCOMPARE(state(key), QStringLiteral("playing"));
            const qint64 shown = m_playback->cellTime(key);
            QVERIFY2(shown >= moment - 100 && shown < moment + 1000,
                     qPrintable(QString::number(shown - moment)));
        }
        QVERIFY2(spread({0, 1, 2}) <= LayoutPlayback::kInStepMs,
                 qPrintable(QString::number(spread({0, 1, 2}))));
        QCOMPARE(state(3), QStringLiteral("noRecording"));
        QVERIFY(item(QStringLiteral("playbackBar"))->isVisible());
        QVERIFY(item(QStringLiteral("playbackFrame"))->isVisible());
        QCOMPARE(alarmCount(), 1);
    }

    // For 30 s, across the end of the first chunks, the cameras stay within 0.2 s of each
    // other and near the clock; the Car park joins in when its recording begins. A busy machine
    // (the suite also runs under sanitizers) may hold one camera back for a moment while the
    // next chunk opens: a few samples of the 120 may be apart by more, none by a second.
    void cellsStayInStep()
    {
        QElapsedTimer sampling;
        sampling.start();
        qint64 apart = 0;
        int apartSamples = 0;
        qint64 offClock = 0;
        while (sampling.elapsed() < 30000) {
            QTest::qWait(250);
            const qint64 now = spread({0, 1, 2});
            apart = std::max(apart, now);
            apartSamples += now > LayoutPlayback::kInStepMs ? 1 : 0;
            offClock = std::max(offClock,
                                std::abs(m_playback->cellTime(0) - m_playback->clock()->moment()));
        }
        QVERIFY2(
            apartSamples <= 8 && apart < 1000,
            qPrintable(
                QStringLiteral("%1 samples apart, at most %2 ms").arg(apartSamples).arg(apart)));
        // Opening the next chunk costs every cell the same moment, caught up within seconds.
        QVERIFY2(offClock <= 1500, qPrintable(QString::number(offClock)));
        QVERIFY(m_playback->clock()->moment() > m_t0 + kChunkMs + 10000);
        QVERIFY(m_playback->cellTime(0) > m_t0 + kChunkMs);
        QCOMPARE(state(3), QStringLiteral("playing"));
        QTRY_VERIFY_WITH_TIMEOUT(spread({0, 1, 2, 3}) <= LayoutPlayback::kInStepMs, kDeadline);
        QCOMPARE(alarmCount(), 2);
    }

    // "Back to live" plays every camera's live address again; Ctrl+P and Esc go to playback
    // and back as well.
    void backToLive()
    {
        click(item(QStringLiteral("backToLive")));
        QTRY_VERIFY_WITH_TIMEOUT(!m_playback->active(), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(allLive(), kDeadline);
        QVERIFY(!item(QStringLiteral("playbackBar"))->isVisible());
        QCOMPARE(alarmCount(), 3);

        pressKey(Qt::Key_P, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->active(), kDeadline);
        QVERIFY(std::abs(m_playback->clock()->moment() -
                         (QDateTime::currentMSecsSinceEpoch() - 60000)) < 10000);
        // Away from the buttons: Esc would close a tooltip first.
        QTest::mouseMove(m_window, QPoint(m_window->width() / 2, 10));
        pressKey(Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!m_playback->active(), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(allLive(), kDeadline);
    }

    // The site's gateway moves to `gatewaySettings` (its "httpPort") and the console reloads
    // the tree.
    void moveGateway(const QString &gatewaySettings)
    {
        std::string error;
        auto site = ardix::sim::Site::fromJson(siteJson(m_t0, gatewaySettings), m_t0, error);
        QVERIFY2(site, error.c_str());
        QSignalSpy reloaded(App::instance()->zarnRepository(), &ZarnObjectsRepository::dataChanged);
        m_server->sim().replaceSite(std::move(*site));
        QVERIFY(reloaded.wait(kDeadline));
    }

    // A gateway that does not answer is said on every cell it serves, and nothing else fails.
    void gatewayDownIsSaid()
    {
        moveGateway(QStringLiteral(R"(, "httpPort": %1)").arg(freePort()));
        QVERIFY(QMetaObject::invokeMethod(item(QStringLiteral("mainPage")), "playLayoutAt",
                                          Q_ARG(QVariant, double(m_t0 + 25000))));
        for (int key = 0; key < 4; ++key)
            QTRY_COMPARE_WITH_TIMEOUT(state(key), QStringLiteral("gatewayDown"), kDeadline);
        auto *note = item(QStringLiteral("playbackNote"));
        QVERIFY(note && note->isVisible());
        QCOMPARE(note->property("text").toString(), QStringLiteral("The gateway does not answer"));
        moveGateway(QString());
        QTRY_VERIFY_WITH_TIMEOUT(spread({0, 1, 2, 3}) <= LayoutPlayback::kInStepMs &&
                                     state(0) == QStringLiteral("playing"),
                                 kDeadline);
        pressKey(Qt::Key_P, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(allLive(), kDeadline);
    }

    // Ctrl+G on the bar: a moment typed plays (refusals: the recorded page's test).
    void typedMomentPlays()
    {
        QVERIFY(QMetaObject::invokeMethod(item(QStringLiteral("mainPage")), "playLayoutAt",
                                          Q_ARG(QVariant, double(m_t0 + 5000))));
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->active(), kDeadline);
        auto *input = item(QStringLiteral("momentInput"));
        QVERIFY(input);
        pressKey(Qt::Key_G, Qt::ControlModifier);
        QTRY_VERIFY(input->hasActiveFocus());
        const qint64 moment = m_t0 + 45000;
        typeText(m_window, QDateTime::fromMSecsSinceEpoch(moment).toString(
                               QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        QTest::keyClick(m_window, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(spread({0, 1, 2}) <= LayoutPlayback::kInStepMs &&
                                     std::abs(m_playback->cellTime(0) - moment) < 3000,
                                 kDeadline);
        QVERIFY(!input->hasActiveFocus());
    }

    // A speed chosen with the mouse leaves the keys to the console: Space pauses instead of
    // opening the list again, and shortcuts work at once.
    void spaceAfterMouseChoiceOfSpeed()
    {
        QVERIFY(m_playback->active());
        QQuickItem *box = item(QStringLiteral("playbackSpeed"));
        click(box);
        QQuickItem *choice = nullptr;
        QTRY_VERIFY((choice = speedChoice(QStringLiteral("2"))) != nullptr);
        click(choice);
        QTRY_COMPARE(m_playback->clock()->rate(), 2.0);
        QTRY_VERIFY(!box->property("down").toBool());
        QVERIFY(!m_playback->paused());
        pressKey(Qt::Key_Space);
        QTRY_VERIFY(m_playback->paused());
        QVERIFY(!speedChoice(QStringLiteral("2")));
        pressKey(Qt::Key_Space);
        QTRY_VERIFY(!m_playback->paused());
        pressKey(Qt::Key_G, Qt::ControlModifier);
        QTRY_VERIFY(item(QStringLiteral("momentInput"))->hasActiveFocus());
        QTest::keyClick(m_window, Qt::Key_Escape);
        click(item(QStringLiteral("backToLive")));
        QTRY_VERIFY_WITH_TIMEOUT(!m_playback->active(), kDeadline);
    }

    // A camera shown alone in place of the layout (an event's double click): Esc brings the
    // layout back, as after a double click on a cell.
    void escAfterEventBringsLayoutBack()
    {
        QTRY_VERIFY_WITH_TIMEOUT(allLive(), kDeadline);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(QMetaObject::invokeMethod(item(QStringLiteral("mainPage")), "openEvent",
                                          Q_ARG(QVariant, "12"), Q_ARG(QVariant, double(now)),
                                          Q_ARG(QVariant, double(now))));
        QTRY_COMPARE(cameraViews().size(), 1);
        QVERIFY(App::instance()->currentLayout().isEmpty());
        QTest::mouseMove(m_window, QPoint(m_window->width() / 2, 10));
        pressKey(Qt::Key_Escape);
        QTRY_COMPARE(cameraViews().size(), 4);
        QCOMPARE(App::instance()->currentLayout(), QStringLiteral("2x2"));
        QTRY_VERIFY_WITH_TIMEOUT(allLive(), kDeadline);
    }
};

QTEST_MAIN(TestLayoutPlayback)
#include "tst_layoutplayback.moc"
