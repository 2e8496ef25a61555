// The shared moment of a layout in playback: it runs at the rate chosen from where it was set,
// stands still while paused, and steps a frame at a time.
#include "LayoutClock.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

class TestLayoutClock : public QObject
{
    Q_OBJECT

private slots:
    void runsAtItsRate()
    {
        LayoutClock clock;
        clock.seek(1000000);
        clock.setRate(8);
        QTRY_VERIFY(clock.moment() >= 1000000 + 800);
        clock.setPaused(true);
        const qint64 held = clock.moment();
        // Paused, it stands still while wall time passes.
        QElapsedTimer wall;
        wall.start();
        QTRY_VERIFY(wall.elapsed() > 100);
        QCOMPARE(clock.moment(), held);
        clock.setRate(0.5);
        QCOMPARE(clock.moment(), held);
        clock.setRate(3);
        QCOMPARE(clock.rate(), 0.5);
    }

    void stepsAFramePaused()
    {
        LayoutClock clock;
        QSignalSpy jumped(&clock, &LayoutClock::jumped);
        clock.seek(5000);
        clock.stepFrame(1);
        QVERIFY(clock.paused());
        QCOMPARE(clock.moment(), 5000 + LayoutClock::kFrameMs);
        clock.stepFrame(-1);
        clock.stepFrame(-1);
        QCOMPARE(clock.moment(), 5000 - LayoutClock::kFrameMs);
        QCOMPARE(jumped.count(), 4);
    }
};

QTEST_MAIN(TestLayoutClock)
#include "tst_layoutclock.moc"
