// The recorded page's export: I and O at the play head and Shift+drag mark a range, drawn over
// the timeline; Export writes the clip and the page names it, and says so when the gateway's
// recording holds less than the range (its third chunk lists a minute and serves 30 s).
#include "App.h"
#include "ClipExporter.h"
#include "ConsoleScene.h"
#include "EventList.h"
#include "ManifestVerifier.h"
#include "MpvObject.h"
#include "SceneItems.h"
#include "SimServer.h"
#include "Startup.h"
#include "TimelinePlayback.h"

#include <Site.h>

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <clocale>
#include <memory>

namespace {

constexpr qint64 kMinute = 60000;
constexpr int kDeadline = 60000;

std::string siteJson(qint64 t0)
{
    return QStringLiteral(R"({
        "name": "Recorded", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 12, "name": "Till", "type": 10, "parent": 2, "chunks": [
            {"start": %1, "end": %2, "size": 400000}, {"start": %2, "end": %3, "size": 400000},
            {"start": %3, "end": %4, "size": 400000, "heldSeconds": 30}]}
        ]})")
        .arg(t0)
        .arg(t0 + kMinute)
        .arg(t0 + 2 * kMinute)
        .arg(t0 + 3 * kMinute)
        .toStdString();
}

} // namespace

class TestExportPanel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QQuickView> m_view;
    QTemporaryDir m_dir;
    QQuickItem *m_page = nullptr;
    QQuickItem *m_timeline = nullptr;
    QQuickItem *m_panel = nullptr;
    TimelinePlayback *m_playback = nullptr;
    ClipExporter *m_exporter = nullptr;
    qint64 m_t0 = 0;

    QPoint onTimeline(qint64 t) const
    {
        double x = 0;
        QMetaObject::invokeMethod(m_timeline, "xAt", Q_RETURN_ARG(double, x), Q_ARG(qint64, t));
        return m_timeline->mapToScene(QPointF(x, m_timeline->height() / 2)).toPoint();
    }
    QQuickItem *item(const char *name) const
    {
        return m_page->findChild<QQuickItem *>(QLatin1String(name));
    }
    qint64 mark(const char *which) const
    {
        return static_cast<qint64>(m_panel->property(which).toDouble());
    }

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        std::setlocale(LC_NUMERIC, "C");
        m_t0 = (QDateTime::currentMSecsSinceEpoch() / kMinute - 30) * kMinute;
        std::string error;
        m_server = SimServer::fromJson(siteJson(m_t0), m_t0, error);
        QVERIFY2(m_server, error.c_str());

        QString failure;
        m_view =
            scene::showPage(QStringLiteral("qrc:/qml/RecordedPage.qml"), QSize(1000, 600), failure);
        QVERIFY2(m_view, qPrintable(failure));
        m_page = m_view->rootObject();
        m_timeline = item("timeline");
        m_panel = item("exportPanel");
        m_playback = m_page->findChild<TimelinePlayback *>(QStringLiteral("timelinePlayback"));
        QVERIFY(m_timeline && m_panel && m_playback);
        m_exporter = qvariant_cast<ClipExporter *>(m_panel->property("exporter"));
        QVERIFY(m_exporter);
        m_exporter->setFolder(m_dir.path());

        QSignalSpy loggedIn(App::instance(), &App::loggedIn);
        App::instance()->login(QStringLiteral("operator"), QStringLiteral("operator"),
                               QStringLiteral("127.0.0.1"), m_server->port());
        QVERIFY(loggedIn.wait(kDeadline));
        QVERIFY(QMetaObject::invokeMethod(m_page, "chooseStream", Q_ARG(QVariant, "2"),
                                          Q_ARG(QVariant, "12")));
        QVERIFY(QMetaObject::invokeMethod(m_timeline, "showRange", Q_ARG(qint64, m_t0),
                                          Q_ARG(qint64, m_t0 + 2 * kMinute)));
        auto *index = m_page->property("index").value<QObject *>();
        QTRY_VERIFY_WITH_TIMEOUT(index->property("lastRecorded").toLongLong() > m_t0, kDeadline);
    }

    void cleanupTestCase()
    {
        m_view.reset();
        m_server.reset();
    }

    // I and O at the play head mark the range, drawn over the timeline; Export writes it and
    // the page names the file.
    void keysMarkAndExport()
    {
        QVERIFY(
            QMetaObject::invokeMethod(m_page, "playMoment", Q_ARG(QVariant, double(m_t0 + 5000))));
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->active() && m_playback->time() >= m_t0 + 5000,
                                 kDeadline);
        // Another test's window on the same display may hold the keyboard for a moment.
        QVERIFY(scene::pressUntil(m_view.get(), Qt::Key_I, Qt::NoModifier,
                                  [this] { return mark("markIn") > 0; }));
        const qint64 in = mark("markIn");
        QVERIFY2(qAbs(in - m_playback->time()) < 1000, qPrintable(QString::number(in - m_t0)));
        QTRY_VERIFY_WITH_TIMEOUT(m_playback->time() > in + 3000, kDeadline);
        QVERIFY(scene::pressUntil(m_view.get(), Qt::Key_O, Qt::NoModifier,
                                  [this, in] { return mark("markOut") > in + 3000; }));
        const qint64 out = mark("markOut");

        auto *band = item("exportRangeBand");
        QVERIFY(band && band->isVisible());
        QVERIFY(qAbs(band->mapToScene(QPointF(0, 0)).x() - onTimeline(in).x()) <= 2);
        QVERIFY(qAbs(band->width() - (onTimeline(out).x() - onTimeline(in).x())) <= 2);

        QSignalSpy finished(m_exporter, &ClipExporter::finished);
        auto *button = item("exportButton");
        QVERIFY(button && button->isEnabled());
        QTest::mouseClick(
            m_view.get(), Qt::LeftButton, Qt::NoModifier,
            button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint());
        QVERIFY(finished.wait(kDeadline));
        QVERIFY2(finished.first().first().toBool(), qPrintable(m_exporter->error()));
        const QString name = QFileInfo(m_exporter->files().value(0)).fileName();
        QVERIFY(QFile::exists(QDir(m_dir.path()).filePath(name)));
        QTRY_COMPARE(item("exportOutcome")->property("text").toString(), name);
        QTRY_VERIFY(item("exportOpenFolder")->isVisible());
        if (qEnvironmentVariableIsSet("ARDIX_EXPORT_SCREENSHOT"))
            m_view->grabWindow().save(qEnvironmentVariable("ARDIX_EXPORT_SCREENSHOT"));

        // The export is in the audit trail, by its signed manifest.
        const QString manifest = QFileInfo(m_exporter->manifest()).fileName();
        EventList *events = App::instance()->events();
        const auto audited = [events, &manifest] {
            for (int row = 0; row < events->count(); ++row) {
                const EventRecord &e = events->at(row);
                if (e.cls == QLatin1String("audit.EXPORT") && e.text.contains(manifest))
                    return !e.isNew();
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(audited(), kDeadline);
    }

    // Half a minute from the third chunk's 20th second, which its file holds only 10 s of:
    // the panel says what the clip holds, the manifest too, and the clip is that long.
    void exportOfAShortRecordingSaysWhatItHolds()
    {
        const qint64 in = m_t0 + 2 * kMinute + 20000;
        QVERIFY(QMetaObject::invokeMethod(m_timeline, "showRange", Q_ARG(qint64, m_t0),
                                          Q_ARG(qint64, m_t0 + 3 * kMinute)));
        auto *index = m_page->property("index").value<QObject *>();
        const auto knows = [&] {
            QVariantMap chunk;
            QMetaObject::invokeMethod(index, "chunkFrom", Q_RETURN_ARG(QVariantMap, chunk),
                                      Q_ARG(qint64, in));
            return chunk.value(QStringLiteral("start")).toLongLong() == m_t0 + 2 * kMinute;
        };
        QTRY_VERIFY_WITH_TIMEOUT(knows(), kDeadline);
        m_panel->setProperty("markIn", double(in));
        m_panel->setProperty("markOut", double(in + 30000));
        QSignalSpy finished(m_exporter, &ClipExporter::finished);
        auto *button = item("exportButton");
        QTRY_VERIFY(button->isEnabled());
        QTest::mouseClick(
            m_view.get(), Qt::LeftButton, Qt::NoModifier,
            button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint());
        QVERIFY(finished.wait(kDeadline));
        QVERIFY2(finished.first().first().toBool(), qPrintable(m_exporter->error()));
        const auto clock = [](qint64 t) {
            return QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("HH:mm:ss"));
        };
        const QString said =
            QStringLiteral("The recording holds only %1–").arg(clock(in)) + clock(in + 10000);
        const QString name = QFileInfo(m_exporter->files().value(0)).fileName();
        QTRY_VERIFY2(item("exportOutcome")->property("text").toString().startsWith(said),
                     qPrintable(item("exportOutcome")->property("text").toString()));
        QVERIFY(item("exportOutcome")->property("text").toString().endsWith(name));
        if (qEnvironmentVariableIsSet("ARDIX_EXPORT_SCREENSHOT"))
            m_view->grabWindow().save(qEnvironmentVariable("ARDIX_EXPORT_SCREENSHOT") +
                                      QStringLiteral("-short.png"));

        QFile manifest(m_exporter->manifest());
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        const QString utc = QDateTime::fromMSecsSinceEpoch(in, Qt::UTC).toString(Qt::ISODateWithMs);
        const QString text = QString::fromUtf8(manifest.readAll());
        QVERIFY2(text.contains(QStringLiteral("\n# Holds only: %1 to ").arg(utc)),
                 qPrintable(text));
        // The line is one that sha256sum and the console's check pass over.
        QString checked;
        QTextStream out(&checked);
        QCOMPARE(ManifestVerifier::verify(m_exporter->manifest(), QString(), out), 0);

        QProcess probe;
        probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration",
                                                "-of", "csv=p=0", m_exporter->files().value(0)});
        QVERIFY(probe.waitForFinished(kDeadline));
        const double seconds = probe.readAllStandardOutput().trimmed().toDouble();
        QVERIFY2(qAbs(seconds - 10.0) <= 1.05, qPrintable(QString::number(seconds)));
    }

    // A range that runs past the recording's end: the panel says what the export will not
    // hold as soon as it is marked, before Export is pressed.
    void holesAreSaidBeforeExport()
    {
        QVERIFY(QMetaObject::invokeMethod(m_timeline, "showRange",
                                          Q_ARG(qint64, m_t0 + 2 * kMinute),
                                          Q_ARG(qint64, m_t0 + 4 * kMinute)));
        auto *index = m_page->property("index").value<QObject *>();
        const auto searched = [&] {
            QVariantList missing;
            QMetaObject::invokeMethod(index, "missingRanges", Q_RETURN_ARG(QVariantList, missing),
                                      Q_ARG(qint64, m_t0 + 2 * kMinute),
                                      Q_ARG(qint64, m_t0 + 4 * kMinute));
            return missing.isEmpty();
        };
        QTRY_VERIFY_WITH_TIMEOUT(searched(), kDeadline);
        QSignalSpy started(m_exporter, &ClipExporter::busyChanged);
        m_panel->setProperty("markIn", double(m_t0 + 2 * kMinute + 50000));
        m_panel->setProperty("markOut", double(m_t0 + 3 * kMinute + 30000));
        const auto clock = [](qint64 t) {
            return QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("HH:mm:ss"));
        };
        auto *holes = item("exportHoles");
        QVERIFY(holes);
        QTRY_VERIFY(holes->isVisible());
        QCOMPARE(holes->property("text").toString(),
                 QStringLiteral("Not recorded: %1 to %2")
                     .arg(clock(m_t0 + 3 * kMinute), clock(m_t0 + 3 * kMinute + 30000)));
        QCOMPARE(started.count(), 0);
        if (qEnvironmentVariableIsSet("ARDIX_EXPORT_SCREENSHOT"))
            m_view->grabWindow().save(qEnvironmentVariable("ARDIX_EXPORT_SCREENSHOT") +
                                      QStringLiteral("-holes.png"));
        // A range inside the recording has none.
        m_panel->setProperty("markOut", double(m_t0 + 2 * kMinute + 55000));
        QTRY_VERIFY(!holes->isVisible());
        QVERIFY(QMetaObject::invokeMethod(m_timeline, "showRange", Q_ARG(qint64, m_t0),
                                          Q_ARG(qint64, m_t0 + 3 * kMinute)));
    }

    // Shift+drag on the timeline marks a range instead of panning or playing.
    void shiftDragMarksRange()
    {
        const qint64 viewStart = m_timeline->property("viewStart").toLongLong();
        const QPoint from = onTimeline(m_t0 + 20000);
        const QPoint to = onTimeline(m_t0 + 80000);
        QTest::mousePress(m_view.get(), Qt::LeftButton, Qt::ShiftModifier, from);
        for (int i = 1; i <= 4; ++i)
            QTest::mouseMove(m_view.get(), from + (to - from) * i / 4);
        QTest::mouseRelease(m_view.get(), Qt::LeftButton, Qt::ShiftModifier, to);
        const double msPerPixel = 2.0 * kMinute / m_timeline->width();
        QVERIFY2(qAbs(mark("markIn") - (m_t0 + 20000)) <= 2 * msPerPixel,
                 qPrintable(QString::number(mark("markIn") - m_t0)));
        QVERIFY2(qAbs(mark("markOut") - (m_t0 + 80000)) <= 2 * msPerPixel,
                 qPrintable(QString::number(mark("markOut") - m_t0)));
        QCOMPARE(m_timeline->property("viewStart").toLongLong(), viewStart);
    }
};

QTEST_MAIN(TestExportPanel)
#include "tst_exportpanel.moc"
