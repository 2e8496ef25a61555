// The digital zoom's arithmetic: the point under the pointer stays under it while the wheel
// zooms, the zoom stays within 1x..8x however far the wheel spins, a drag never pans past the
// picture's edge, and the part of the stream shown (what a snapshot saves) matches the view.
#include "ZoomView.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {

// A 640x360 picture in a 320x240 cell: drawn 320x180, with bars above and below.
void setUp(ZoomView &zoom, int videoWidth = 640, int videoHeight = 360)
{
    zoom.setViewWidth(320);
    zoom.setViewHeight(240);
    zoom.setVideoWidth(videoWidth);
    zoom.setVideoHeight(videoHeight);
}

// The point of the picture (fractions) drawn at (x, y) of the view.
QPointF pictureAt(const ZoomView &zoom, qreal x, qreal y)
{
    const QRectF part = zoom.shownPart();
    // Across, the picture fills the cell once zoomed at all; down, its 180 px lie in the middle
    // of 240 until the zoom makes it taller than the cell.
    const qreal drawnHeight = 180 * zoom.scale();
    const qreal top = std::max<qreal>(0, (240 - drawnHeight) / 2);
    return QPointF(part.left() + x / 320 * part.width(),
                   part.top() + (y - top) / std::min<qreal>(240, drawnHeight) * part.height());
}

} // namespace

class TestZoomView : public QObject
{
    Q_OBJECT

private slots:
    void wheelKeepsThePointUnderThePointer_data()
    {
        QTest::addColumn<qreal>("x");
        QTest::addColumn<qreal>("y");
        QTest::addColumn<int>("delta");
        QTest::newRow("centre, one notch") << 160.0 << 120.0 << 120;
        QTest::newRow("left third, three notches") << 100.0 << 120.0 << 360;
        QTest::newRow("near the right edge, a touchpad's small steps") << 300.0 << 150.0 << 15;
        QTest::newRow("top left of the picture") << 0.0 << 30.0 << 600;
    }
    void wheelKeepsThePointUnderThePointer()
    {
        QFETCH(qreal, x);
        QFETCH(qreal, y);
        QFETCH(int, delta);
        ZoomView zoom;
        setUp(zoom);
        QVERIFY(zoom.wheel(160, 120, 240)); // zoomed a little first, about the centre
        const QPointF before = pictureAt(zoom, x, y);
        QVERIFY(zoom.wheel(x, y, delta));
        const QPointF after = pictureAt(zoom, x, y);
        QVERIFY(zoom.zoomed());
        // Unless the edge of the picture held it, the same point is still under the pointer.
        if (zoom.shownPart().left() > 0 && zoom.shownPart().right() < 1)
            QVERIFY2(std::abs(after.x() - before.x()) < 1e-6,
                     qPrintable(QString::number(after.x() - before.x())));
        QCOMPARE(zoom.mpvZoom(), std::log2(zoom.scale()));
    }

    void zoomStaysWithinItsBounds_data()
    {
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("times");
        QTest::addColumn<qreal>("scale");
        QTest::newRow("spun in 1 000 times") << 120 << 1000 << 8.0;
        QTest::newRow("spun out 1 000 times") << -120 << 1000 << 1.0;
        QTest::newRow("one absurd delta in") << 2000000000 << 1 << 8.0;
        QTest::newRow("one absurd delta out") << -2000000000 << 1 << 1.0;
        QTest::newRow("no delta") << 0 << 5 << 1.0;
    }
    void zoomStaysWithinItsBounds()
    {
        QFETCH(int, delta);
        QFETCH(int, times);
        QFETCH(qreal, scale);
        ZoomView zoom;
        setUp(zoom);
        for (int i = 0; i < times; ++i)
            zoom.wheel(37, 200, delta);
        QCOMPARE(zoom.scale(), scale);
        const QRectF part = zoom.shownPart();
        QVERIFY(part.left() >= 0 && part.top() >= 0 && part.right() <= 1 + 1e-9 &&
                part.bottom() <= 1 + 1e-9);
    }

    void noPictureNoZoom()
    {
        ZoomView zoom;
        zoom.setViewWidth(320);
        zoom.setViewHeight(240);
        QSignalSpy changed(&zoom, &ZoomView::changed);
        QVERIFY(!zoom.wheel(160, 120, 120));
        zoom.panBy(50, 50);
        QCOMPARE(zoom.scale(), 1.0);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(zoom.sourceRect(), QRect());
        QVERIFY(!zoom.zoomAt(qQNaN(), 5, 4));
    }

    void dragPansInsideThePicture()
    {
        ZoomView zoom;
        setUp(zoom);
        QVERIFY(zoom.zoomAt(160, 120, 4));
        // 4x: the picture is drawn 1280x720, the 320x240 cell shows a quarter across, a third down
        QCOMPARE(zoom.sourceRect(), QRect(240, 120, 160, 120));
        // a drag to the right shows what lies left, down to the picture's left edge
        zoom.panBy(100, 0);
        QCOMPARE(zoom.sourceRect().left(), 240 - 50); // 100 of 1280 px is 50 of 640
        zoom.panBy(10000, 10000);
        QCOMPARE(zoom.sourceRect().topLeft(), QPoint(0, 0));
        QCOMPARE(zoom.panX(), 0.5 - 0.125);
        zoom.panBy(-1e9, -1e9);
        QCOMPARE(zoom.sourceRect().bottomRight(), QPoint(639, 359));
        zoom.reset();
        QVERIFY(!zoom.zoomed());
        QCOMPARE(zoom.sourceRect(), QRect(0, 0, 640, 360));
        QCOMPARE(zoom.panX(), 0.0);
    }

    void barsStayCentredUntilTheZoomFillsThem()
    {
        // at 1.2x the picture is 216 px tall in a 240 px cell: no panning up or down yet
        ZoomView zoom;
        setUp(zoom);
        QVERIFY(zoom.zoomAt(160, 10, 1.2));
        QCOMPARE(zoom.panY(), 0.0);
        QCOMPARE(zoom.shownPart().top(), 0.0);
        QCOMPARE(zoom.shownPart().height(), 1.0);
    }

    void aResizeKeepsTheZoomAndARestartToo()
    {
        ZoomView zoom;
        setUp(zoom);
        QVERIFY(zoom.zoomAt(300, 200, 8));
        const QRectF part = zoom.shownPart();
        // the stream is replaced by a sharper profile: no picture for a moment, then twice
        // the pixels; the same part of the scene stays shown
        zoom.setVideoWidth(0);
        zoom.setVideoHeight(0);
        QCOMPARE(zoom.scale(), 8.0);
        setUp(zoom, 1280, 720);
        QCOMPARE(zoom.shownPart(), part);
        QCOMPARE(zoom.zoomedWidth(), 320.0 * 8);
        QCOMPARE(zoom.sourceRect().width(), 160);
    }
};

QTEST_GUILESS_MAIN(TestZoomView)
#include "tst_zoomview.moc"
