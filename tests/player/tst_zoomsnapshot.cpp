// A zoomed camera view, end to end: a recording of the simulated gateway (SMPTE bars, 640x360)
// plays in a 320x180 cell, the mouse wheel zooms it 8x around the middle of its green bar, and
// the toolbar's snapshot saves what is shown at the stream's own pixels: 80x45 pixels, all of
// them the green bar, where an unzoomed snapshot would hold every bar. Meanwhile the overview
// in the cell's corner shows the whole frame: all seven bars, in their order. The key 0 over the
// cell shows the whole picture again.
#include "ConsoleScene.h"
#include "LogCapture.h"
#include "MpvObject.h"
#include "SceneItems.h"
#include "SimServer.h"
#include "Startup.h"
#include "ZoomView.h"

#include <Site.h>

#include <QDateTime>
#include <QEnterEvent>
#include <QImage>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <clocale>
#include <memory>

namespace {

constexpr qint64 kMinute = 60000;
constexpr int kDeadline = 60000;

static const char kCell[] = R"(import QtQuick 2.11
import Elements 1.0
CameraView {
    width: 320; height: 180
})";

std::string siteJson(qint64 t0)
{
    return QStringLiteral(R"({
        "name": "Zoom", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 12, "name": "Till", "type": 10, "parent": 2, "crossings": false,
           "chunks": [{"start": %1, "end": %2, "size": 400000}]}
        ]})")
        .arg(t0)
        .arg(t0 + 2 * kMinute)
        .toStdString();
}

// The share of the picture's pixels that are the bars' green: green strong, red and blue weak.
double greenShare(const QImage &image)
{
    int green = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            green += qGreen(p) > 120 && qRed(p) < 80 && qBlue(p) < 80;
        }
    }
    return double(green) / (image.width() * image.height());
}

// The colours of the bars across the middle of a picture of the test card, one letter per
// strong channel ("RGB" the grey bar, "RG" the yellow one, ...), left to right.
QStringList barsAcross(const QImage &image)
{
    QStringList bars;
    for (int i = 0; i < 7; ++i) {
        const QRgb p = image.pixel(int((i + 0.5) * image.width() / 7), image.height() * 45 / 100);
        const auto strong = [](int value) { return value > 120; };
        const auto weak = [](int value) { return value < 80; };
        if (!(strong(qRed(p)) || weak(qRed(p))) || !(strong(qGreen(p)) || weak(qGreen(p))) ||
            !(strong(qBlue(p)) || weak(qBlue(p)))) {
            bars.append(QStringLiteral("?"));
            continue;
        }
        bars.append(QString(strong(qRed(p)) ? "R" : "") + (strong(qGreen(p)) ? "G" : "") +
                    (strong(qBlue(p)) ? "B" : ""));
    }
    return bars;
}

} // namespace

class TestZoomSnapshot : public QObject
{
    Q_OBJECT

private slots:
    void zoomedSnapshotHoldsTheZoomedPart()
    {
        Startup::setIdentity();
        std::setlocale(LC_NUMERIC, "C");
        const qint64 t0 = (QDateTime::currentMSecsSinceEpoch() / kMinute - 10) * kMinute;
        std::string error;
        auto site =
            ardix::sim::Site::fromJson(siteJson(t0), QDateTime::currentMSecsSinceEpoch(), error);
        QVERIFY2(site, error.c_str());
        SimServer server(std::move(*site));
        QVERIFY(server.start());

        QQuickView view;
        view.engine()->addImportPath(QStringLiteral("qrc:/qml"));
        view.rootContext()->setContextProperty(QStringLiteral("debug"), false);
        view.setResizeMode(QQuickView::SizeViewToRootObject);
        QQmlComponent component(view.engine());
        component.setData(kCell, QUrl(QStringLiteral("qrc:/qml/zoomcell.qml")));
        QScopedPointer<QObject> made(component.create());
        auto *cell = qobject_cast<QQuickItem *>(made.data());
        QVERIFY2(cell, qPrintable(component.errorString()));
        cell->setParentItem(view.contentItem());
        view.resize(320, 180);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        auto *player = cell->findChild<MpvObject *>(QStringLiteral("mpvObject"));
        auto *zoom = cell->property("zoom").value<ZoomView *>();
        auto *snapshotButton = cell->findChild<QObject *>(QStringLiteral("snapshotButton"));
        QVERIFY(player && zoom && snapshotButton);
        const QString url = QStringLiteral("http://127.0.0.1:%1/12_%2")
                                .arg(server.sim().gatewayHttpPort(2))
                                .arg(QDateTime::fromMSecsSinceEpoch(t0).toString(
                                    QStringLiteral("yyyyMMdd-hh-mm-ss")));
        QSignalSpy frames(player, &MpvObject::frameArrived);
        cell->setProperty("url", url);
        QTRY_VERIFY_WITH_TIMEOUT(player->dwidth() == 640 && player->position() > 0, kDeadline);
        // Unzoomed, the overview costs nothing: no frame is asked of the player.
        QCOMPARE(frames.count(), 0);

        // Ten notches at the cell's middle (the green bar, the fourth of seven, upper half):
        // more than 8x asks, held at 8x.
        const QPointF at(160, 75);
        QWheelEvent wheel(at, view.mapToGlobal(at.toPoint()), QPoint(), QPoint(0, 1200),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&view, &wheel);
        QCOMPARE(zoom->scale(), 8.0);
        QCOMPARE(zoom->sourceRect(), QRect(280, 131, 80, 45));
        QCOMPARE(player->getProperty(QStringLiteral("video-zoom")).toDouble(), 3.0);

        // The overview is the whole frame, though the player draws it zoomed into the green.
        QQuickItem *overview = scene::findItem(cell, QStringLiteral("zoomOverviewPicture"));
        QVERIFY(overview);
        const QStringList allBars = {"RGB", "RG", "GB", "G", "RB", "R", "B"};
        QTRY_COMPARE_WITH_TIMEOUT(barsAcross(view.grabWindow().copy(
                                      overview->mapRectToScene(overview->boundingRect()).toRect())),
                                  allBars, kDeadline);
        QVERIFY2(barsAcross(view.grabWindow().copy(0, 0, 320, 180)) != allBars,
                 "the cell itself shows the zoomed part only");

        LogCapture log;
        QVERIFY(QMetaObject::invokeMethod(snapshotButton, "clicked"));
        const QString saved = QStringLiteral("Snapshot saved: ");
        QTRY_VERIFY_WITH_TIMEOUT(!log.linesStartingWith(saved).isEmpty(), kDeadline);
        const QString path =
            log.linesStartingWith(saved).constFirst().mid(saved.size()).remove(QLatin1Char('"'));
        const QImage picture(path);
        QCOMPARE(picture.size(), QSize(80, 45));
        QVERIFY2(greenShare(picture) > 0.95, qPrintable(QString::number(greenShare(picture))));

        // The key 0 shows the whole picture again, with the pointer over the cell, also once the
        // cell was hidden and shown again under a pointer that had not moved since the window
        // came under it (a page that comes back).
        QEnterEvent enter(at, at, view.mapToGlobal(at.toPoint()));
        QCoreApplication::sendEvent(&view, &enter);
        cell->setVisible(false);
        cell->setVisible(true);
        QTest::mouseMove(&view, at.toPoint() + QPoint(4, 4));
        QVERIFY(cell->property("pointerOver").toBool());
        QVERIFY(scene::pressUntil(&view, Qt::Key_0, Qt::NoModifier,
                                  [zoom] { return zoom->scale() == 1.0; }));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&view, &leave);
        QVERIFY(!cell->property("pointerOver").toBool());
        // Now every bar is shown and saved again, so little of it green.
        QCOMPARE(player->getProperty(QStringLiteral("video-zoom")).toDouble(), 0.0);
        QTRY_COMPARE_WITH_TIMEOUT(barsAcross(view.grabWindow()), allBars, kDeadline);
        log.clear();
        QVERIFY(QMetaObject::invokeMethod(snapshotButton, "clicked"));
        QTRY_VERIFY_WITH_TIMEOUT(!log.linesStartingWith(saved).isEmpty(), kDeadline);
        const QImage whole(
            log.linesStartingWith(saved).constFirst().mid(saved.size()).remove(QLatin1Char('"')));
        QCOMPARE(whole.size(), QSize(320, 180));
        QVERIFY2(greenShare(whole) < 0.4, qPrintable(QString::number(greenShare(whole))));
    }
};

QTEST_MAIN(TestZoomSnapshot)
#include "tst_zoomsnapshot.moc"
