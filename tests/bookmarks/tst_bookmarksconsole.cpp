// Bookmarks end to end, in the console's whole scene signed in to an in-process simulated
// site: B and a note on the recorded page make one, flagged on the timeline (a click on the
// flag plays from it); Ctrl+B lists it, a word finds it, a double click plays it; an export of
// its range names it in the signed manifest and shows it in the .srt; the next run lists it.
#include "App.h"
#include "BookmarkList.h"
#include "ClipExporter.h"
#include "ConsoleScene.h"
#include "ManifestVerifier.h"
#include "MpvObject.h"
#include "SceneItems.h"
#include "SimServer.h"
#include "Startup.h"
#include "TimelinePlayback.h"

#include <Site.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <clocale>
#include <memory>

namespace {

using scene::findItem;

constexpr qint64 kMinute = 60000;
constexpr int kDeadline = 60000;
const QString kNote = QStringLiteral("Blue van at the till");

std::string siteJson(qint64 t0)
{
    return QStringLiteral(R"({
        "name": "Bookmarks", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0,
           "attributes": {"Two": {"numRows": 1, "numCols": 2, "elements": [
             {"row": 0, "col": 0, "rowSpan": 1, "colSpan": 1, "type": "video",
              "label": "Entrance", "deviceId": "2", "objectId": "11"},
             {"row": 0, "col": 1, "rowSpan": 1, "colSpan": 1, "type": "video",
              "label": "Till", "deviceId": "2", "objectId": "12"}]}}},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 11, "name": "Entrance", "type": 10, "class": "stream.VIDEO", "parent": 2},
          {"id": 12, "name": "Till", "type": 10, "class": "stream.VIDEO", "parent": 2,
           "chunks": [{"start": %1, "end": %2, "size": 400000},
                      {"start": %2, "end": %3, "size": 400000}]}
        ]})")
        .arg(t0)
        .arg(t0 + kMinute)
        .arg(t0 + 2 * kMinute)
        .toStdString();
}

BookmarkList *bookmarks()
{
    return App::instance() ? App::instance()->bookmarks() : nullptr;
}

} // namespace

class TestBookmarksConsole : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    QTemporaryDir m_exports;
    qint64 m_t0 = 0;
    qint64 m_marked = -1;

    QQuickItem *item(const QString &name, QQuickItem *below = nullptr) const
    {
        return findItem(below ? below : m_window->contentItem(), name);
    }
    QQuickItem *recordedPage() const { return item(QStringLiteral("recordedPage")); }
    TimelinePlayback *playback() const
    {
        return recordedPage()->findChild<TimelinePlayback *>(QStringLiteral("timelinePlayback"));
    }
    QPoint onTimeline(qint64 t) const
    {
        QQuickItem *timeline = item(QStringLiteral("timeline"), recordedPage());
        double x = 0;
        QMetaObject::invokeMethod(timeline, "xAt", Q_RETURN_ARG(double, x), Q_ARG(qint64, t));
        return timeline->mapToScene(QPointF(x, timeline->height() / 2)).toPoint();
    }

    void startConsole()
    {
        m_engine = std::make_unique<QQmlApplicationEngine>();
        m_window = scene::loadConsole(*m_engine);
        QVERIFY(m_window);
        m_window->resize(1100, 700);
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QTRY_VERIFY_WITH_TIMEOUT(App::instance()->zarnRepository()->objectById("12"), kDeadline);
    }

    template <typename Done>
    void pressUntil(Qt::Key key, Qt::KeyboardModifiers modifiers, Done done)
    {
        QVERIFY(scene::pressUntil(m_window, key, modifiers, done, kDeadline));
    }

    void type(const QString &text)
    {
        for (const QChar c : text)
            QTest::keyClick(m_window, c.toLatin1());
    }

    void openBookmarksPage(const QString &search)
    {
        pressUntil(Qt::Key_B, Qt::ControlModifier, [this] {
            QQuickItem *page = item(QStringLiteral("bookmarksPage"));
            return page && page->isVisible();
        });
        QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("pages"))->property("busy").toBool(),
                                 kDeadline);
        item(QStringLiteral("bookmarkSearch"))->setProperty("text", search);
    }

private slots:
    void initTestCase()
    {
        std::setlocale(LC_NUMERIC, "C");
        m_t0 = (QDateTime::currentMSecsSinceEpoch() / kMinute - 30) * kMinute;
        std::string error;
        m_server = SimServer::fromJson(siteJson(m_t0), m_t0, error);
        QVERIFY2(m_server, error.c_str());
        scene::storeSignIn(m_server->port());
        startConsole();
    }

    void cleanupTestCase()
    {
        m_window = nullptr;
        m_engine.reset();
        m_server.reset();
    }

    void bKeepsTheMomentShownWithANote()
    {
        App::instance()->jumpToPage(QStringLiteral("recorder"));
        QTRY_VERIFY_WITH_TIMEOUT(recordedPage() && recordedPage()->isVisible(), kDeadline);
        QVERIFY(QMetaObject::invokeMethod(recordedPage(), "chooseStream", Q_ARG(QVariant, "2"),
                                          Q_ARG(QVariant, "12")));
        QVERIFY(QMetaObject::invokeMethod(recordedPage(), "playMoment",
                                          Q_ARG(QVariant, double(m_t0 + 20000))));
        QTRY_VERIFY_WITH_TIMEOUT(playback()->active() && playback()->time() >= m_t0 + 20000,
                                 kDeadline);
        QVERIFY(QMetaObject::invokeMethod(item(QStringLiteral("timeline"), recordedPage()),
                                          "showRange", Q_ARG(qint64, m_t0),
                                          Q_ARG(qint64, m_t0 + 2 * kMinute)));
        // Paused, so that the moment shown stays while the note is typed.
        auto *player = qvariant_cast<MpvObject *>(
            recordedPage()->findChild<QObject *>("recordedPlayer")->property("backend"));
        QVERIFY(player);
        player->pause();
        QQuickItem *note = nullptr;
        pressUntil(Qt::Key_B, Qt::NoModifier, [&] {
            note = item(QStringLiteral("bookmarkNoteText"));
            return note && note->isVisible() && note->hasActiveFocus();
        });
        const qint64 shown = playback()->time();
        // Esc drops it.
        type(QStringLiteral("dropped"));
        QTest::keyClick(m_window, Qt::Key_Escape);
        QTRY_VERIFY(!note->isVisible());
        QCOMPARE(bookmarks()->count(), 0);

        pressUntil(Qt::Key_B, Qt::NoModifier, [&] { return note->hasActiveFocus(); });
        type(kNote);
        QTest::keyClick(m_window, Qt::Key_Return);
        QTRY_COMPARE(bookmarks()->count(), 1);
        const Bookmark &made = bookmarks()->at(0);
        QCOMPARE(made.note, kNote);
        QCOMPARE(made.author, QStringLiteral("operator"));
        QCOMPARE(made.camera, QStringLiteral("Till"));
        QVERIFY2(qAbs(made.time - shown) < 1000, qPrintable(QString::number(made.time - shown)));
        m_marked = made.time;

        // Its flag on the timeline: a click there plays from the bookmark, wherever else the
        // playback was.
        QVERIFY(QMetaObject::invokeMethod(recordedPage(), "playMoment",
                                          Q_ARG(QVariant, double(m_t0 + 90000))));
        QTRY_VERIFY_WITH_TIMEOUT(playback()->time() >= m_t0 + 90000, kDeadline);
        QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier,
                          onTimeline(m_marked) + QPoint(2, 0));
        QTRY_VERIFY_WITH_TIMEOUT(
            playback()->time() >= m_marked && playback()->time() < m_marked + 5000, kDeadline);
    }

    void foundByAWordAndPlayed()
    {
        QVERIFY(m_marked > 0);
        openBookmarksPage(QStringLiteral("VAN till"));
        QObject *filter =
            item(QStringLiteral("bookmarksPage"))->findChild<QObject *>("bookmarkFilter");
        QTRY_COMPARE(filter->property("count").toInt(), 1);
        item(QStringLiteral("bookmarkSearch"))->setProperty("text", QStringLiteral("van lorry"));
        QTRY_COMPARE(filter->property("count").toInt(), 0);
        item(QStringLiteral("bookmarkSearch"))->setProperty("text", QStringLiteral("van"));
        QTRY_COMPARE(filter->property("count").toInt(), 1);
        if (qEnvironmentVariableIsSet("ARDIX_BOOKMARKS_SCREENSHOT"))
            m_window->grabWindow().save(qEnvironmentVariable("ARDIX_BOOKMARKS_SCREENSHOT"));

        QQuickItem *list = item(QStringLiteral("bookmarkList"));
        QQuickItem *row = nullptr;
        QTRY_VERIFY((QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, row),
                                               Q_ARG(int, 0)),
                     row != nullptr));
        QTest::mouseDClick(m_window, Qt::LeftButton, Qt::NoModifier,
                           row->mapToScene(QPointF(row->width() / 3, row->height() / 2)).toPoint());
        QTRY_VERIFY_WITH_TIMEOUT(recordedPage()->isVisible(), kDeadline);
        // Clicks go to the page only once it has come in.
        QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("pages"))->property("busy").toBool(),
                                 kDeadline);
        QCOMPARE(recordedPage()->property("streamId").toString(), QStringLiteral("12"));
        QTRY_VERIFY_WITH_TIMEOUT(playback()->active() && playback()->time() >= m_marked - 500 &&
                                     playback()->time() < m_marked + 5000,
                                 kDeadline);
    }

    void exportNamesIt()
    {
        QQuickItem *panel = item(QStringLiteral("exportPanel"), recordedPage());
        auto *exporter = qvariant_cast<ClipExporter *>(panel->property("exporter"));
        QVERIFY(exporter);
        exporter->setFolder(m_exports.path());
        panel->setProperty("markIn", double(m_marked - 5000));
        panel->setProperty("markOut", double(m_marked + 5000));
        QSignalSpy finished(exporter, &ClipExporter::finished);
        QQuickItem *button = item(QStringLiteral("exportButton"), recordedPage());
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), kDeadline);
        QTest::mouseClick(
            m_window, Qt::LeftButton, Qt::NoModifier,
            button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint());
        QVERIFY(finished.wait(kDeadline));
        QVERIFY2(finished.first().first().toBool(), qPrintable(exporter->error()));

        QFile manifest(exporter->manifest());
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(manifest.readAll());
        const QString line = QStringLiteral("\n# Bookmark: %1 (UTC) by operator: %2\n")
                                 .arg(QDateTime::fromMSecsSinceEpoch(m_marked, Qt::UTC)
                                          .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                      kNote);
        QVERIFY2(text.contains(line), qPrintable(text));
        QString checked;
        QTextStream out(&checked);
        QCOMPARE(ManifestVerifier::verify(exporter->manifest(), QString(), out), 0);

        const QString clip = exporter->files().value(0);
        QFile srt(clip.left(clip.lastIndexOf(QLatin1Char('.'))) + QStringLiteral(".srt"));
        QVERIFY2(srt.open(QIODevice::ReadOnly), qPrintable(srt.fileName()));
        const QString subtitles = QString::fromUtf8(srt.readAll());
        QVERIFY2(subtitles.contains(QStringLiteral("Bookmark by operator: ") + kNote),
                 qPrintable(subtitles));
        // At its moment: as far into the file as the bookmark is after the file's first
        // moment (the manifest's "In" line; a clip starts at the keyframe before the range).
        const QRegularExpression in(QStringLiteral("# In [^:]+: (\\S+) to "));
        const QDateTime from = QDateTime::fromString(in.match(text).captured(1), Qt::ISODateWithMs);
        QVERIFY2(from.isValid(), qPrintable(text));
        const QTime at = QTime(0, 0).addMSecs(int(m_marked - from.toMSecsSinceEpoch()));
        QVERIFY2(subtitles.contains(at.toString(QStringLiteral("HH:mm:ss,zzz --> "))),
                 qPrintable(at.toString() + subtitles));
    }

    void keptAcrossARestart()
    {
        m_window = nullptr;
        m_engine.reset();
        QVERIFY(!App::instance());
        startConsole();
        QTRY_VERIFY_WITH_TIMEOUT(bookmarks()->loaded(), kDeadline);
        openBookmarksPage(QStringLiteral("blue"));
        QObject *filter =
            item(QStringLiteral("bookmarksPage"))->findChild<QObject *>("bookmarkFilter");
        QTRY_COMPARE(filter->property("count").toInt(), 1);
        QVariantMap row;
        QMetaObject::invokeMethod(filter, "get", Q_RETURN_ARG(QVariantMap, row), Q_ARG(int, 0));
        QCOMPARE(row.value(QStringLiteral("time")).toLongLong(), m_marked);
        QCOMPARE(row.value(QStringLiteral("note")).toString(), kNote);
        QVERIFY(row.value(QStringLiteral("cameraPresent")).toBool());
    }

    // On the live layout B marks now, for the camera shown alone.
    void liveLayoutMarksNowOfTheCameraShown()
    {
        App::instance()->jumpToPage(QStringLiteral("playback"));
        // The page that came in, not the one it replaced.
        QQuickItem *pages = item(QStringLiteral("pages"));
        QQuickItem *page = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            !pages->property("busy").toBool() &&
                (page = pages->property("currentItem").value<QQuickItem *>()) &&
                page->objectName() == QLatin1String("layoutPage"),
            kDeadline);
        QList<QQuickItem *> views;
        QTRY_VERIFY_WITH_TIMEOUT(
            (views.clear(), scene::findItems(page, "cameraView", views), views.size() == 2),
            kDeadline);
        QQuickItem *till = views.at(0)->property("cellStream").toString() == QLatin1String("12")
                               ? views.at(0)
                               : views.at(1);
        const QPoint over =
            till->mapToScene(QPointF(till->width() / 2, till->height() / 2)).toPoint();
        // Shown alone (a double click), the camera is the one B marks.
        QTest::mouseDClick(m_window, Qt::LeftButton, Qt::NoModifier, over);
        QTRY_VERIFY_WITH_TIMEOUT(page->property("viewAlone").value<QQuickItem *>() == till,
                                 kDeadline);
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        QQuickItem *note = nullptr;
        pressUntil(Qt::Key_B, Qt::NoModifier, [&] {
            note = item(QStringLiteral("bookmarkNoteText"));
            return note && note->isVisible() && note->hasActiveFocus();
        });
        const qint64 after = QDateTime::currentMSecsSinceEpoch();
        type(QStringLiteral("live"));
        QTest::keyClick(m_window, Qt::Key_Enter);
        QTRY_COMPARE(bookmarks()->count(), 2);
        const Bookmark &made = bookmarks()->at(1);
        QCOMPARE(made.note, QStringLiteral("live"));
        QCOMPARE(made.streamId, QStringLiteral("12"));
        QVERIFY(made.time >= before && made.time <= after);
    }
};

int main(int argc, char *argv[])
{
    // The identity decides where the settings store is, so it comes before the application.
    Startup::setIdentity();
    QGuiApplication app(argc, argv);
    TestBookmarksConsole test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_bookmarksconsole.moc"
