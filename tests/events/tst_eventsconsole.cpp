// Events end to end, in the console's whole scene signed in to an in-process simulated site:
// the site's scheduled "door forced open" reaches the list, lights the alarm cell of its area
// and the door's own cell; a live receipt with "REFUND" becomes a pos.RULE event; a double
// click shows the camera that sees the door, live for a fresh event and recorded for an old
// one; acknowledging clears the badge and is still there after the console restarts.
#include "App.h"
#include "ConsoleScene.h"
#include "EventList.h"
#include "LayoutModel.h"
#include "SceneItems.h"
#include "SimServer.h"
#include "Startup.h"

#include <Site.h>

#include <QAbstractItemModel>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QSettings>
#include <QTcpServer>
#include <QTest>

#include <clocale>
#include <memory>

namespace {

using scene::findItem;
using scene::freePort;

constexpr int kDeadline = 60000;

// A door controller (3) with the Front door (sensor 21, seen by camera 11) and its lock, a
// gateway (2) with the Entrance camera and a till that prints a refund now and then.
std::string siteJson(quint16 posPort)
{
    return QStringLiteral(R"({
        "name": "Events", "rootId": 1, "doorDelayMs": 100,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "events": [{"source": 21, "class": "door.FORCED", "text": "door forced open",
                    "everySeconds": 20, "firstAfterSeconds": 1}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "attributes": {
             "Doors": {"numRows": 2, "numCols": 2, "elements": [
               {"row": 0, "col": 0, "rowSpan": 1, "colSpan": 2, "type": "alarm",
                "label": "Door events", "deviceId": "3", "objectId": ""},
               {"row": 1, "col": 0, "rowSpan": 1, "colSpan": 1, "type": "door",
                "label": "Front door", "deviceId": "3", "objectId": "21"}]}}},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "httpPort": 0, "settings": {"address": "127.0.0.1", "posPort": %1}},
          {"id": 11, "name": "Entrance", "type": 10, "class": "stream.VIDEO", "parent": 2},
          {"id": 12, "name": "Till", "type": 10, "class": "stream.VIDEO", "parent": 2,
           "pos": {"intervalMs": 700, "texts": [["Till 1  receipt 0007", "REFUND   -4.99",
                                                 "TOTAL    -4.99"]]}},
          {"id": 3, "name": "Door controller", "type": 2, "class": "device.DOORS", "parent": 1},
          {"id": 21, "name": "Front door", "type": 8, "class": "sensor.DOOR", "parent": 3,
           "settings": {"layout": "front", "camera": "11"}, "value": true},
          {"id": 22, "name": "Front lock", "type": 9, "class": "actuator.DOOR", "parent": 3,
           "settings": {"layout": "front"}, "value": true}
        ]})")
        .arg(posPort)
        .toStdString();
}

EventList *events()
{
    return App::instance() ? App::instance()->events() : nullptr;
}

// The row of the newest listed event of a class from a source; -1 while there is none.
int newestOf(const QString &cls, const QString &sourceId)
{
    for (int row = 0; events() && row < events()->count(); ++row) {
        const EventRecord &e = events()->at(row);
        if (e.cls == cls && e.sourceId == sourceId)
            return row;
    }
    return -1;
}

} // namespace

class TestEventsConsole : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;

    QQuickItem *item(const QString &name, QQuickItem *below = nullptr) const
    {
        return findItem(below ? below : m_window->contentItem(), name);
    }

    void startConsole()
    {
        m_engine = std::make_unique<QQmlApplicationEngine>();
        m_window = scene::loadConsole(*m_engine);
        QVERIFY(m_window);
        m_window->resize(1100, 700);
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("alarmView")), kDeadline);
    }

    // Double-clicks the events page's row of an event, the page opened with Ctrl+E and the
    // event's text typed in its search field, so that the till's receipts arriving meanwhile
    // do not push the row away.
    void doubleClickEvent(qint64 key, const QString &text)
    {
        openEventsPage(text);
        QQuickItem *page = item(QStringLiteral("eventsPage"));
        auto *filter = page->findChild<QObject *>(QStringLiteral("eventFilter"));
        QQuickItem *list = item(QStringLiteral("eventList"), page);
        QVERIFY(filter && list);
        const auto delegateOf = [&]() -> QQuickItem * {
            for (int r = 0; r < filter->property("count").toInt(); ++r) {
                qlonglong at = -1;
                QMetaObject::invokeMethod(filter, "keyAt", Q_RETURN_ARG(qlonglong, at),
                                          Q_ARG(int, r));
                if (at != key)
                    continue;
                QQuickItem *delegate = nullptr;
                QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, delegate),
                                          Q_ARG(int, r));
                return delegate;
            }
            return nullptr;
        };
        QTRY_VERIFY_WITH_TIMEOUT(delegateOf(), kDeadline);
        QQuickItem *delegate = delegateOf();
        const QPoint at =
            delegate->mapToScene(QPointF(delegate->width() / 3, delegate->height() / 2)).toPoint();
        QTest::mouseDClick(m_window, Qt::LeftButton, Qt::NoModifier, at);
    }

    // Ctrl+E, and the page's search field set to `text`.
    void openEventsPage(const QString &text)
    {
        // Shortcuts reach the active window only: another test's window on the same X server
        // may take the focus at any moment, so the window is activated and the key pressed
        // again until the page shows.
        const auto shown = [this] {
            QQuickItem *page = item(QStringLiteral("eventsPage"));
            return page && page->isVisible();
        };
        QElapsedTimer clock;
        clock.start();
        do {
            m_window->requestActivate();
            static_cast<void>(QTest::qWaitForWindowActive(m_window, 2000));
            QTest::keyClick(m_window, Qt::Key_E, Qt::ControlModifier);
            static_cast<void>(QTest::qWaitFor(shown, 3000));
        } while (!shown() && clock.elapsed() < kDeadline);
        QQuickItem *page = item(QStringLiteral("eventsPage"));
        QVERIFY(shown());
        // Clicks go to the page only once it has come in.
        QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("pages"))->property("busy").toBool(),
                                 kDeadline);
        item(QStringLiteral("eventText"), page)->setProperty("text", text);
    }

private slots:
    void initTestCase()
    {
        std::setlocale(LC_NUMERIC, "C");
        std::string error;
        auto site = ardix::sim::Site::fromJson(siteJson(freePort()),
                                               QDateTime::currentMSecsSinceEpoch(), error);
        QVERIFY2(site, error.c_str());
        m_server = std::make_unique<SimServer>(std::move(*site), false);
        QVERIFY(m_server->start());

        scene::storeSignIn(m_server->port());
        startConsole();
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        m_server.reset();
    }

    void scheduledEventLightsItsArea()
    {
        QTRY_VERIFY_WITH_TIMEOUT(newestOf("door.FORCED", "21") >= 0, kDeadline);
        const EventRecord forced = events()->at(newestOf("door.FORCED", "21"));
        QCOMPARE(forced.text, QStringLiteral("door forced open"));
        QCOMPARE(forced.sourcePath, QStringLiteral("Shop / Door controller / Front door"));
        QVERIFY(qAbs(forced.time - QDateTime::currentMSecsSinceEpoch()) < kDeadline);

        QQuickItem *alarm = item(QStringLiteral("alarmView"));
        QTRY_VERIFY_WITH_TIMEOUT(
            item(QStringLiteral("flashingBorder"), alarm)->property("active").toBool(), kDeadline);
        // The door raised it: the door's own cell flashes too.
        QQuickItem *door = item(QStringLiteral("doorView"))->parentItem();
        QTRY_VERIFY_WITH_TIMEOUT(
            item(QStringLiteral("flashingBorder"), door)->property("active").toBool(), kDeadline);
        // door.FORCED is an alarm class: the door's cell flashes until acknowledged, not for
        // a while, and the console asked for the alarm sound (no sound device needed).
        QVERIFY(item(QStringLiteral("flashingBorder"), door)->property("flashing").toBool());
        QVERIFY(App::instance()->alarmSounder()->playCount() >= 1);
    }

    void refundReceiptRaisesRuleEvent()
    {
        QTRY_VERIFY_WITH_TIMEOUT(newestOf("pos.RULE", "12") >= 0, kDeadline);
        const EventRecord rule = events()->at(newestOf("pos.RULE", "12"));
        QVERIFY2(rule.text.contains(QLatin1String("| REFUND -4.99 |")), qPrintable(rule.text));
        QCOMPARE(rule.source, QStringLiteral("Till"));
    }

    void doubleClickShowsTheCamera()
    {
        // A fresh door event: the camera that sees the door, live and alone.
        doubleClickEvent(events()->at(newestOf("door.FORCED", "21")).key,
                         QStringLiteral("door forced open"));
        LayoutModel *layout = App::instance()->layoutModel();
        QTRY_COMPARE_WITH_TIMEOUT(layout->rowCount(), 1, kDeadline);
        QCOMPARE(layout->data(layout->index(0), LayoutModel::ObjectIdRole).toString(),
                 QStringLiteral("11"));

        // One from ten minutes ago: the recording at its time.
        ardix::zarn::Event old;
        old.className = "door.FORCED";
        old.sourceId = 21;
        old.destinationId = 500;
        old.timestamp = QDateTime::currentMSecsSinceEpoch() - 10 * 60000;
        old.fields.setValue("fields", ardix::zarn::StringValue(R"({"text": "earlier"})"));
        m_server->sim().sendEvent(old);
        int row = -1;
        QTRY_VERIFY_WITH_TIMEOUT((row = newestOf("door.FORCED", "21"),
                                  row >= 0 && events()->at(row).text == QLatin1String("earlier")),
                                 kDeadline);
        doubleClickEvent(events()->at(row).key, QStringLiteral("earlier"));
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("recordedPage")), kDeadline);
        QCOMPARE(item(QStringLiteral("recordedPage"))->property("streamId").toString(),
                 QStringLiteral("11"));
    }

    void acknowledgingSurvivesARestart()
    {
        openEventsPage(QString());
        QQuickItem *acknowledgeAll = item(QStringLiteral("acknowledgeShown"));
        QQuickItem *badge = item(QStringLiteral("entryBadge"), item(QStringLiteral("eventsEntry")));
        QVERIFY(badge->isVisible());
        QSet<qint64> listed;
        for (int row = 0; row < events()->count(); ++row)
            listed.insert(events()->at(row).key);
        QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier,
                          acknowledgeAll->mapToScene(QPointF(10, 10)).toPoint());
        // The till goes on printing refunds: only events listed before the click must be
        // acknowledged, and the badge shows exactly the ones that came after it.
        int arrivedSince = 0;
        EventRecord acknowledged; // the newest refund rule acknowledged by the click
        for (int row = 0; row < events()->count(); ++row) {
            const EventRecord &e = events()->at(row);
            if (!listed.contains(e.key)) {
                ++arrivedSince;
                continue;
            }
            QCOMPARE(e.ackBy, QStringLiteral("operator"));
            if (acknowledged.key == 0 && e.cls == QLatin1String("pos.RULE"))
                acknowledged = e;
        }
        QCOMPARE(events()->newCount(), arrivedSince);
        QCOMPARE(badge->isVisible(), arrivedSince > 0);
        QVERIFY(acknowledged.key != 0);

        m_window = nullptr;
        m_engine.reset();
        QVERIFY(!App::instance());
        startConsole();
        int row = -1;
        QTRY_VERIFY_WITH_TIMEOUT((row = events()->rowOfKey(acknowledged.key)) >= 0, kDeadline);
        QCOMPARE(events()->at(row).ackBy, QStringLiteral("operator"));
        QCOMPARE(events()->at(row).ackTime, acknowledged.ackTime);
        QCOMPARE(events()->at(row).text, acknowledged.text);
    }
};

int main(int argc, char *argv[])
{
    // The identity decides where the settings store is, so it comes before the application.
    Startup::setIdentity();
    QGuiApplication app(argc, argv);
    TestEventsConsole test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_eventsconsole.moc"
