// The timeline item in a window, driven by real mouse and wheel events: what a drag and the
// wheel do to the view, and what the painted item shows (a click is followed end to end in
// tests/recorded).
#include "PosTextCache.h"
#include "RecordingIndex.h"
#include "Timeline.h"

#include <QDateTime>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <memory>

namespace {

const QString stream = QStringLiteral("11");
// The item sits this far below the window's top, so that the pointer can leave it.
constexpr int itemTop = 20;
constexpr int itemWidth = 640;
constexpr qint64 second = 1000;

QVariantMap chunk(qint64 start, qint64 end)
{
    return {{QStringLiteral("start"), start}, {QStringLiteral("end"), end}};
}

} // namespace

class TestTimeline : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dragPansAndDoesNotClick();
    void wheelZoomsAroundThePointer_data();
    void wheelZoomsAroundThePointer();
    void spanStaysBetweenAMinuteAndAWeek();
    void paintShowsSpansGapsAndTexts();

private:
    void wheel(int x, QPoint angleDelta);
    // Rounding to whole ms over many steps may move the time under the pointer by this much.
    qint64 tenthOfAPixel() const
    {
        return (m_timeline->viewEnd() - m_timeline->viewStart()) / itemWidth / 10;
    }

    std::unique_ptr<QQuickView> m_view;
    Timeline *m_timeline = nullptr;
    RecordingIndex m_index;
    PosTextCache m_texts;
    // One second per pixel from here.
    const qint64 m_t0 = QDateTime(QDate(2026, 12, 8), QTime(9, 0)).toMSecsSinceEpoch();
};

void TestTimeline::init()
{
    m_view = std::make_unique<QQuickView>();
    m_view->setColor(Qt::black);
    m_view->setResizeMode(QQuickView::SizeViewToRootObject);
    m_view->setSource(QUrl(QStringLiteral("data:text/plain,") +
                           QStringLiteral("import QtQuick 2.11\nimport Native 1.0\n"
                                          "Item { width: %1; height: 100\n"
                                          "RecordingIndex { id: recorded }\n"
                                          "PosTextCache { id: posTexts }\n"
                                          "Timeline { objectName: 'timeline'; y: %2; "
                                          "width: %1; index: recorded; texts: posTexts } }")
                               .arg(itemWidth)
                               .arg(itemTop)));
    m_timeline = m_view->rootObject()->findChild<Timeline *>(QStringLiteral("timeline"));
    QVERIFY(m_timeline);
    // As the recorded page binds them; the test then gives its own.
    QVERIFY(m_timeline->index() && m_timeline->texts());
    QCOMPARE(m_timeline->height(), 64.0);
    m_index.setStreamId(stream);
    m_texts.setSource(stream, QStringLiteral("http://127.0.0.1:1"));
    m_timeline->setIndex(&m_index);
    m_timeline->setTexts(&m_texts);
    m_timeline->showRange(m_t0, m_t0 + itemWidth * second);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void TestTimeline::cleanup()
{
    m_view.reset();
}

void TestTimeline::wheel(int x, QPoint angleDelta)
{
    const QPointF pos(x, itemTop + 30);
    QWheelEvent event(pos, m_view->mapToGlobal(pos.toPoint()), QPoint(), angleDelta, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(m_view.get(), &event);
}

void TestTimeline::dragPansAndDoesNotClick()
{
    QSignalSpy clicked(m_timeline, &Timeline::clicked);
    QSignalSpy viewChanged(m_timeline, &Timeline::viewChanged);
    QTest::mousePress(m_view.get(), Qt::LeftButton, {}, QPoint(400, itemTop + 30));
    for (int x = 390; x >= 300; x -= 10)
        QTest::mouseMove(m_view.get(), QPoint(x, itemTop + 30));
    QTest::mouseRelease(m_view.get(), Qt::LeftButton, {}, QPoint(300, itemTop + 30));
    // Dragged 100 px to the left: the view shows 100 s later, the same span.
    QCOMPARE(m_timeline->viewStart(), m_t0 + 100 * second);
    QCOMPARE(m_timeline->viewEnd(), m_t0 + (itemWidth + 100) * second);
    QVERIFY(viewChanged.count() > 0);
    QCOMPARE(clicked.count(), 0);
}

void TestTimeline::wheelZoomsAroundThePointer_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<QPoint>("angleDelta");
    QTest::addColumn<double>("spanFactor");
    QTest::newRow("notch in") << 100 << QPoint(0, 120) << 1 / 1.25;
    QTest::newRow("notch out") << 500 << QPoint(0, -120) << 1.25;
    QTest::newRow("touchpad step") << 320 << QPoint(0, 24) << std::pow(1.25, -0.2);
    QTest::newRow("three notches at the edge") << 0 << QPoint(0, 360) << std::pow(1.25, -3);
}

void TestTimeline::wheelZoomsAroundThePointer()
{
    QFETCH(int, x);
    QFETCH(QPoint, angleDelta);
    QFETCH(double, spanFactor);
    const qint64 under = m_timeline->timeAt(x);
    const double span = double(m_timeline->viewEnd() - m_timeline->viewStart());
    wheel(x, angleDelta);
    const double newSpan = double(m_timeline->viewEnd() - m_timeline->viewStart());
    QVERIFY2(std::abs(newSpan / span - spanFactor) < 1e-4, qPrintable(QString::number(newSpan)));
    QVERIFY2(qAbs(m_timeline->timeAt(x) - under) <= 2,
             qPrintable(QString::number(m_timeline->timeAt(x) - under)));
}

void TestTimeline::spanStaysBetweenAMinuteAndAWeek()
{
    const qint64 under = m_timeline->timeAt(320);
    for (int i = 0; i < 40; ++i)
        wheel(320, QPoint(0, 120));
    QCOMPARE(m_timeline->viewEnd() - m_timeline->viewStart(), Timeline::minSpan);
    QVERIFY(qAbs(m_timeline->timeAt(320) - under) <= tenthOfAPixel());
    for (int i = 0; i < 80; ++i)
        wheel(320, QPoint(0, -120));
    QCOMPARE(m_timeline->viewEnd() - m_timeline->viewStart(), Timeline::maxSpan);
    QVERIFY(qAbs(m_timeline->timeAt(320) - under) <= tenthOfAPixel());

    m_timeline->showRange(m_t0, m_t0 + 10 * second);
    QCOMPARE(m_timeline->viewStart(), m_t0 + 5 * second - Timeline::minSpan / 2);
    QCOMPARE(m_timeline->viewEnd() - m_timeline->viewStart(), Timeline::minSpan);
    // QML sets the two ends in either order; a range far from the current one still comes out
    // as asked.
    const qint64 later = m_t0 + 30 * 24 * 3600 * second;
    m_timeline->setViewEnd(later + 3600 * second);
    m_timeline->setViewStart(later);
    QCOMPARE(m_timeline->viewStart(), later);
    QCOMPARE(m_timeline->viewEnd(), later + 3600 * second);
    m_timeline->setViewStart(m_t0);
    m_timeline->setViewEnd(m_t0 + 3600 * second);
    QCOMPARE(m_timeline->viewStart(), m_t0);
    QCOMPARE(m_timeline->viewEnd(), m_t0 + 3600 * second);
}

// At one second a pixel: recorded from 100 s to 300 s, a gap, a refused chunk from 400 s to
// 500 s, a chunk of 10 ms at 600 s (narrower than a pixel), texts at 150 s and 150.2 s.
void TestTimeline::paintShowsSpansGapsAndTexts()
{
    const qint64 t0 = m_t0;
    m_index.addChunks(stream, t0, t0 + itemWidth * second,
                      {chunk(t0 + 100 * second, t0 + 300 * second),
                       chunk(t0 + 400 * second, t0 + 500 * second),
                       chunk(t0 + 600 * second, t0 + 600 * second + 10)});
    m_index.markUnavailable(stream, t0 + 400 * second);
    m_texts.addTexts(
        stream, t0, t0 + itemWidth * second,
        {{t0 + 150 * second, QStringLiteral("a")}, {t0 + 150 * second + 200, QStringLiteral("b")}});
    QTest::mouseMove(m_view.get(), QPoint(10, 5));

    const int bandY = itemTop + 36;
    const int laneY = itemTop + 56;
    QImage image;
    // Painting follows the index's change; the grab shows it once the item has repainted.
    QTRY_VERIFY_WITH_TIMEOUT(
        (image = m_view->grabWindow(), image.pixelColor(200, bandY) == Timeline::spanColor), 15000);
    QCOMPARE(image.pixelColor(350, bandY), Timeline::backgroundColor);
    QCOMPARE(image.pixelColor(50, bandY), Timeline::backgroundColor);
    const QColor refused = image.pixelColor(450, bandY);
    QVERIFY2(refused.red() > 150 && refused.green() < 160, qPrintable(refused.name()));
    QVERIFY(refused != Timeline::spanColor);
    QCOMPARE(image.pixelColor(600, bandY), Timeline::spanColor);
    QCOMPARE(image.pixelColor(150, laneY), Timeline::textTickColor);
    QCOMPARE(image.pixelColor(151, laneY), Timeline::backgroundColor);
    QCOMPARE(image.pixelColor(250, laneY), Timeline::backgroundColor);
}

QTEST_MAIN(TestTimeline)
#include "tst_timeline.moc"
