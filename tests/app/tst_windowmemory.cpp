// The console window's remembered size, place and full-screen state: what a settings file may
// hold (also when edited by hand or left by another desktop) and the window it gives, and the
// full-screen state surviving from one window to the next.
#include "Startup.h"
#include "WindowMemory.h"

#include <QFile>
#include <QList>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <algorithm>

namespace {

const QRect kOne(0, 0, 1280, 1024);
const QList<QRect> kTwo{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};

} // namespace

class TestWindowMemory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::setIdentity(); }

    void storedValues_data()
    {
        QTest::addColumn<QByteArray>("geometry"); // as the file holds it
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QRect>("expected"); // null: 640x480 where the desktop puts it
        const QList<QRect> one{kOne};
        QTest::newRow("nothing") << QByteArray() << one << QRect();
        QTest::newRow("as left") << QByteArray("@Rect(100 50 800 600)") << one
                                 << QRect(100, 50, 800, 600);
        QTest::newRow("on the second screen")
            << QByteArray("@Rect(2000 100 800 600)") << kTwo << QRect(2000, 100, 800, 600);
        QTest::newRow("over both screens: onto the one it covers most")
            << QByteArray("@Rect(1700 100 800 600)") << kTwo << QRect(1920, 100, 800, 600);
        QTest::newRow("partly past the right edge")
            << QByteArray("@Rect(1000 100 800 600)") << one << QRect(480, 100, 800, 600);
        QTest::newRow("larger than the screen")
            << QByteArray("@Rect(0 0 4000 3000)") << one << kOne;
        QTest::newRow("on a screen no longer there")
            << QByteArray("@Rect(3500 0 800 600)") << kTwo << QRect();
        QTest::newRow("no screen at all")
            << QByteArray("@Rect(0 0 800 600)") << QList<QRect>() << QRect();
        QTest::newRow("too small") << QByteArray("@Rect(10 10 100 50)") << one << QRect();
        QTest::newRow("absurd size")
            << QByteArray("@Rect(0 0 2000000000 2000000000)") << one << QRect();
        QTest::newRow("plain numbers") << QByteArray("100, 50, 800, 600") << one << QRect();
        QTest::newRow("words") << QByteArray("large") << one << QRect();
    }

    void storedValues()
    {
        QFETCH(QByteArray, geometry);
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, expected);
        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("Ardix.conf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Window]\n");
        if (!geometry.isNull())
            file.write("geometry=" + geometry + "\n");
        file.close();
        const QSettings settings(file.fileName(), QSettings::IniFormat);
        const QRect restored =
            WindowMemory::restoredGeometry(settings.value(WindowMemory::geometryKey), screens);
        QCOMPARE(restored, expected);
        if (!restored.isNull()) {
            QVERIFY(std::any_of(screens.cbegin(), screens.cend(),
                                [&](const QRect &area) { return area.contains(restored); }));
        }
    }

    // F11's full screen comes back at the next start, and so does leaving it, with the size
    // and place the window had meanwhile.
    void fullScreenOutlivesTheWindow()
    {
        QSettings().setValue(WindowMemory::fullScreenKey, true);
        QSettings().setValue(WindowMemory::geometryKey, QRect(10, 20, 400, 300));
        QRect left;
        {
            QWindow window;
            WindowMemory memory;
            memory.restore(&window);
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(window.visibility(), QWindow::FullScreen);
            window.showNormal();
            QTRY_COMPARE_WITH_TIMEOUT(QSettings().value(WindowMemory::fullScreenKey).toString(),
                                      QStringLiteral("false"), 10000);
            QTRY_COMPARE_WITH_TIMEOUT(QSettings().value(WindowMemory::geometryKey).toRect(),
                                      window.geometry(), 10000);
            left = window.geometry();
        }
        QWindow window;
        WindowMemory memory;
        memory.restore(&window);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.visibility(), QWindow::Windowed);
        QCOMPARE(window.geometry(), left);
    }
};

QTEST_MAIN(TestWindowMemory)
#include "tst_windowmemory.moc"
