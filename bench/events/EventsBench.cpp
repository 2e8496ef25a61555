// P13, run by hand under an X server (docs/performance.md): the console signed in to the demo
// site, showing its "3x3 Cameras and doors" layout whose alarm cell watches the Front door,
// while the simulator raises PER_SECOND events a second for SECONDS seconds from that door.
// It reports how many reached the list and the store, the longest gap between two frames of
// the window (kept drawing continuously, so that any stall of the GUI thread shows), and the
// growth of resident memory.
//   bench_events [PER_SECOND SECONDS [events]]   default 1000 10; "events" shows the events
//                                                page during the flood instead of the layout
#include "App.h"
#include "BenchSite.h"
#include "BenchSupport.h"
#include "EventList.h"
#include "LogHandler.h"
#include "RpcSource.h"
#include "Startup.h"
#include "client_Service.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <memory>

namespace {

const QString kLayout = QStringLiteral("3x3 Cameras and doors");
const QString kClass = QStringLiteral("bench.FLOOD");
const int kFrontDoorSensor = 21;

client_Service *service()
{
    return App::instance()->rpcSource()->service().get();
}

QString layoutJson(const QString &name)
{
    for (const client_Layout &layout : service()->layoutList())
        if (layout.name() == name)
            return layout.json();
    return QString();
}

int countInList(const QString &cls)
{
    const EventList *events = App::instance()->events();
    int count = 0;
    for (int row = 0; row < events->count(); ++row)
        count += events->at(row).cls == cls ? 1 : 0;
    return count;
}

int countInStore(const QString &cls)
{
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench");
        db.setDatabaseName(QStringLiteral("data.sqlite"));
        QSqlQuery query(db);
        if (db.open() &&
            query.exec(QStringLiteral("SELECT COUNT(*) FROM events WHERE cls = '%1'").arg(cls)) &&
            query.next())
            count = query.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return count;
}

// The longest gap between frames while `running` holds, the window asked to draw again after
// every frame.
struct FrameWatch
{
    QElapsedTimer clock;
    std::atomic<qint64> lastNs{0};
    std::atomic<qint64> worstNs{0};
    std::atomic<long> frames{0};
    std::atomic<bool> watching{false};

    void attach(QQuickWindow *window)
    {
        clock.start();
        // Emitted on the render thread: only atomics are touched there, and the request for
        // the next frame goes to the GUI thread.
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [this, window] {
                const qint64 now = clock.nsecsElapsed();
                const qint64 last = lastNs.exchange(now);
                if (watching && last > 0 && now - last > worstNs)
                    worstNs = now - last;
                ++frames;
                QMetaObject::invokeMethod(window, &QQuickWindow::update, Qt::QueuedConnection);
            },
            Qt::DirectConnection);
    }
    void start()
    {
        worstNs = 0;
        frames = 0;
        lastNs = clock.nsecsElapsed();
        watching = true;
    }
};

int run(int perSecond, int seconds, bool eventsPage)
{
    BenchSite site;
    site.dropScheduledEvents();
    QString error;
    if (!site.start(QStringLiteral(ARDIX_DEMO_SITE), QStringLiteral(ZARN_SIM_PROGRAM), &error)) {
        std::fprintf(stderr, "bench_events: %s\n", qPrintable(error));
        return 1;
    }
    QSettings stored;
    stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    stored.setValue(QStringLiteral("port"), QString::number(site.eventPort()));
    stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
    stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
    stored.setValue(QStringLiteral("Window/geometry"), QRect(0, 0, 1280, 800));
    stored.sync();

    QQmlApplicationEngine engine;
    Startup::loadScene(engine, QStringLiteral("0"), QUrl(QStringLiteral("qrc:/qml/main.qml")));
    auto *window = engine.rootObjects().isEmpty()
                       ? nullptr
                       : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window || !bench::spinUntil(
                       [] {
                           return App::instance() && service()->isLoggedIn() &&
                                  !layoutJson(kLayout).isEmpty();
                       },
                       30000)) {
        std::fprintf(stderr, "bench_events: the console did not sign in\n");
        return 1;
    }
    service()->setLayout(kLayout, layoutJson(kLayout));
    if (eventsPage)
        App::instance()->jumpToPage(QStringLiteral("events"));
    FrameWatch frames;
    frames.attach(window);
    window->update();
    // Let the cameras start and the memory settle before the baseline.
    bench::spin(8000);
    frames.start();
    bench::spin(3000);
    const double quietWorst = frames.worstNs / 1e6;
    const long quietFrames = frames.frames;
    const long rssBefore = bench::residentKiB();

    const int total = perSecond * seconds;
    const QString answer = site.control(QStringLiteral("flood %1 %2 %3 %4")
                                            .arg(kFrontDoorSensor)
                                            .arg(kClass)
                                            .arg(perSecond)
                                            .arg(seconds));
    if (answer != QLatin1String("ok")) {
        std::fprintf(stderr, "bench_events: flood refused: %s\n", qPrintable(answer));
        return 1;
    }
    QElapsedTimer flood;
    flood.start();
    frames.start();
    const bool listed =
        bench::spinUntil([&] { return countInList(kClass) >= total; }, seconds * 1000 + 30000);
    const double listedAfter = flood.elapsed() / 1000.0;
    frames.watching = false;
    const double floodWorst = frames.worstNs / 1e6;
    const long floodFrames = frames.frames;
    bench::spin(2000);
    const long rssAfter = bench::residentKiB();
    const int inList = countInList(kClass);
    const int inStore = countInStore(kClass);

    std::printf("quiet 3 s: %ld frames, longest gap %.1f ms\n", quietFrames, quietWorst);
    std::printf("flood of %d events (%d/s for %d s): all listed %s after %.1f s\n", total,
                perSecond, seconds, listed ? "yes" : "NO", listedAfter);
    std::printf("  in the list %d, in the store %d, new %d\n", inList, inStore,
                App::instance()->events()->newCount());
    std::printf("  %ld frames, longest gap between frames %.1f ms\n", floodFrames, floodWorst);
    std::printf("  resident memory %ld -> %ld MiB (+%.1f MiB)\n", rssBefore / 1024, rssAfter / 1024,
                (rssAfter - rssBefore) / 1024.0);
    return listed && inStore == total ? 0 : 2;
}

} // namespace

int main(int argc, char *argv[])
{
    const int perSecond = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 10;
    const bool eventsPage = argc > 3 && QLatin1String(argv[3]) == QLatin1String("events");
    if (perSecond <= 0 || seconds <= 0) {
        std::fprintf(stderr, "usage: bench_events [PER_SECOND SECONDS [events]]\n");
        return 2;
    }
    // The console's settings, store and log go to a home and folder of the run's own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());
    QDir::setCurrent(home.path());

    Startup::limitAllocatorArenas();
    QGuiApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    Startup::setIdentity();
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    LogHandler::setFilePath(Startup::logFilePath(), true);
    LogHandler::install();
    const int result = run(perSecond, seconds, eventsPage);
    std::fflush(stdout);
    return result;
}
