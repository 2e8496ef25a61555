// The console measured end to end, run by hand under an X server (docs/performance.md). The
// console runs in this process exactly as the program starts it (same scene, same sign-in from
// the stored fields, same remote-control service); the simulated site runs as a process of its
// own. Layouts arrive through the service's setLayout, where a replica's call lands.
// An optional last argument, http (the default) or rtsp, plays every camera over that transport.
//   bench_console start RUNS       setLayout of the 2×2 layout to a picture in every cell,
//                                  against standalone mpv's start to its first picture
//   bench_console cpu SECONDS      the 4×4 layout against 16 standalone mpv players
//   bench_console switches COUNT   resident memory over layout switches
//   bench_console grid SECONDS     the demo's 8×8 layout in a 1280×960 window, each cell on
//                                  the profile fitting it, then every cell forced to "main"
//   bench_console requests SECONDS 1 000 setLayout calls a second over the demo's layouts, then
//                                  a layout of 10 000 cells and one whose label has 10 MiB:
//                                  threads, resident memory, builds and the GUI thread's gaps
//   bench_console soak MINUTES     the 2×2 layout playing on, resident memory once a minute
//   bench_console wall SECONDS [WxH@FPS]
//                                  a 10×10 layout of 100 distinct cameras in a 1920×1080
//                                  window, each cell on the profile fitting it ("sub", served
//                                  as WxH@FPS when given): CPU by kind of thread, drops; with
//                                  ARDIX_BENCH_SHOT=FILE it saves the window as a PNG at the end
#include "App.h"
#include "BenchSite.h"
#include "BenchSupport.h"
#include "FramePhases.h"
#include "LayoutModel.h"
#include "LogHandler.h"
#include "MpvObject.h"
#include "RpcSource.h"
#include "StandaloneMpv.h"
#include "Startup.h"
#include "ThreadCpu.h"
#include "client_Service.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

const QString kSmallLayout = QStringLiteral("2x2 Cameras");
const QStringList kDemoLayouts{QStringLiteral("2x2 Cameras"),
                               QStringLiteral("3x3 Cameras and doors"),
                               QStringLiteral("Single camera")};
// What the console's camera cells set on their players, given to the standalone ones too.
QStringList cellOptions(BenchSite::Transport transport)
{
    QStringList options{QStringLiteral("profile=low-latency"),
                        QStringLiteral("cache=no"),
                        QStringLiteral("video-sync=desync"),
                        QStringLiteral("aid=no"),
                        QStringLiteral("ao=null"),
                        QStringLiteral("hwdec=auto"),
                        QStringLiteral("demuxer-readahead-secs=30")};
    // Over RTSP the cells also give each load a socket timeout of 5 s.
    if (transport == BenchSite::Transport::Rtsp)
        options << QStringLiteral("rtsp-transport=tcp")
                << QStringLiteral("demuxer-lavf-o-add=timeout=5000000");
    return options;
}

// One door cell and no camera: applying it removes every player, so the next layout starts
// from nothing. (A layout without a valid cell is refused and would leave the cameras playing.)
const QString kBlankLayout =
    QStringLiteral("{\"numRows\":1,\"numCols\":1,\"elements\":[{\"row\":0,\"col\":0,\"rowSpan\":1,"
                   "\"colSpan\":1,\"type\":\"door\",\"label\":\"Front door\",\"deviceId\":\"3\","
                   "\"objectId\":\"21\"}]}");

void collectPlayers(QQuickItem *item, std::vector<MpvObject *> &players)
{
    if (auto *player = qobject_cast<MpvObject *>(item))
        players.push_back(player);
    for (QQuickItem *child : item->childItems())
        collectPlayers(child, players);
}

QQuickItem *findItem(QQuickItem *item, const QString &objectName)
{
    if (item->objectName() == objectName)
        return item;
    for (QQuickItem *child : item->childItems())
        if (QQuickItem *found = findItem(child, objectName))
            return found;
    return nullptr;
}

// The console of this process, signed in to the bench site.
class Console
{
public:
    bool start(BenchSite::Transport transport, QString *error);
    // Before start(): what the site offers beyond the demo's.
    BenchSite &site() { return m_site; }
    QStringList standaloneOptions() const { return cellOptions(m_transport); }
    void apply(const QString &name);
    void apply(const QString &name, const QString &json) { service()->setLayout(name, json); }
    void clear();
    int videoCells(const QString &name) const;
    std::vector<MpvObject *> cellPlayers() const;
    // Every video cell of the layout plays a decoded picture.
    bool waitForPictures(const QString &name, int timeoutMs) const;
    QQuickWindow *window() const { return m_window; }
    // Nanoseconds on clock() of the window's last frame on screen.
    qint64 lastSwapNs() const { return m_lastSwapNs.load(); }
    // Frames the window has put on screen so far.
    long swaps() const { return m_swaps.load(); }
    const QElapsedTimer &clock() const { return m_clock; }

private:
    QString layoutJson(const QString &name) const;
    client_Service *service() const { return App::instance()->rpcSource()->service().get(); }

    BenchSite m_site;
    BenchSite::Transport m_transport = BenchSite::Transport::Http;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    QElapsedTimer m_clock;
    std::atomic<qint64> m_lastSwapNs{0};
    std::atomic<long> m_swaps{0};
};

bool Console::start(BenchSite::Transport transport, QString *error)
{
    m_transport = transport;
    m_site.setTransport(transport);
    if (!m_site.start(QStringLiteral(ARDIX_DEMO_SITE), QStringLiteral(ZARN_SIM_PROGRAM), error))
        return false;
    QSettings stored(QDir::homePath() + QStringLiteral("/.config/ardix.example/Ardix.conf"),
                     QSettings::IniFormat);
    stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    stored.setValue(QStringLiteral("port"), QString::number(m_site.eventPort()));
    stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
    stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
    stored.sync();

    m_engine = std::make_unique<QQmlApplicationEngine>();
    Startup::loadScene(*m_engine, QStringLiteral("0"), QUrl(QStringLiteral("qrc:/qml/main.qml")));
    m_window = m_engine->rootObjects().isEmpty()
                   ? nullptr
                   : qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
    if (!m_window) {
        *error = QStringLiteral("the console's scene did not load");
        return false;
    }
    m_clock.start();
    // Emitted on the render thread: only an atomic is touched there.
    QObject::connect(
        m_window, &QQuickWindow::frameSwapped, m_window,
        [this] {
            m_lastSwapNs.store(m_clock.nsecsElapsed());
            ++m_swaps;
        },
        Qt::DirectConnection);
    const bool ready = bench::spinUntil(
        [this] {
            return App::instance() && App::instance()->rpcSource() && service()->isLoggedIn() &&
                   !service()->layoutList().isEmpty() &&
                   findItem(m_window->contentItem(), QStringLiteral("layoutPage"));
        },
        30000);
    if (!ready)
        *error = QStringLiteral("the console did not sign in with its layouts");
    return ready;
}

QString Console::layoutJson(const QString &name) const
{
    for (const client_Layout &layout : service()->layoutList())
        if (layout.name() == name)
            return layout.json();
    return QString();
}

void Console::apply(const QString &name)
{
    service()->setLayout(name, layoutJson(name));
}

void Console::clear()
{
    service()->setLayout(QStringLiteral("blank"), kBlankLayout);
    if (!bench::spinUntil([this] { return cellPlayers().empty(); }, 10000))
        std::fprintf(stderr, "bench_console: the cameras were still there 10 s after clearing\n");
}

int Console::videoCells(const QString &name) const
{
    const QJsonArray cells = QJsonDocument::fromJson(layoutJson(name).toUtf8())
                                 .object()
                                 .value(QStringLiteral("elements"))
                                 .toArray();
    int count = 0;
    for (const QJsonValue &cell : cells)
        count += cell.toObject().value(QStringLiteral("type")).toString() == QLatin1String("video");
    return count;
}

std::vector<MpvObject *> Console::cellPlayers() const
{
    std::vector<MpvObject *> players;
    if (QQuickItem *page = findItem(m_window->contentItem(), QStringLiteral("layoutPage")))
        collectPlayers(page, players);
    return players;
}

bool Console::waitForPictures(const QString &name, int timeoutMs) const
{
    const size_t wanted = static_cast<size_t>(videoCells(name));
    return bench::spinUntil(
        [&] {
            const std::vector<MpvObject *> players = cellPlayers();
            if (players.size() != wanted)
                return false;
            for (MpvObject *player : players)
                if (player->dwidth() <= 0)
                    return false;
            return true;
        },
        timeoutMs);
}

long dropCount(MpvObject *player)
{
    return player->frameDropCount() + player->decoderFrameDropCount();
}

long droppedFrames(const std::vector<MpvObject *> &players)
{
    long total = 0;
    for (MpvObject *player : players)
        total += dropCount(player);
    return total;
}

// When one cell's player started loading, had its stream open (connected, headers read and
// probed) and had its first picture decoded, on the console's clock.
struct CellTimes
{
    qint64 started = 0;
    qint64 opened = 0;
    qint64 decoded = 0;
};

void timeCell(const Console &console, MpvObject *player, CellTimes *times)
{
    const QElapsedTimer &clock = console.clock();
    QObject::connect(player, &MpvObject::fileStarted, player,
                     [&clock, times] { times->started = clock.nsecsElapsed(); });
    QObject::connect(player, &MpvObject::fileLoaded, player,
                     [&clock, times] { times->opened = clock.nsecsElapsed(); });
    QObject::connect(player, &MpvObject::dwidthChanged, player, [&clock, times](int width) {
        if (width > 0 && times->decoded == 0)
            times->decoded = clock.nsecsElapsed();
    });
}

// From the layout's arrival to a decoded picture in every cell, and to the first frame on
// screen after that; then standalone mpv from its start to its first picture on one stream.
// The slowest cell's opening and its wait from open to picture tell where the time goes.
int benchStart(Console &console, int runs)
{
    std::vector<double> loading, decoded, shown, opening, toPicture, standalone;
    std::printf("%-4s %14s %14s %14s %14s %14s %18s\n", "run", "to loading ms", "to decoded ms",
                "to on screen ms", "cell open ms", "open-picture ms", "mpv to picture ms");
    QTemporaryDir sockets;
    // Not counted: the console's own start (the layout shown at sign-in) is over first.
    console.apply(kSmallLayout);
    console.waitForPictures(kSmallLayout, 15000);
    for (int run = 1; run <= runs; ++run) {
        console.clear();
        bench::spin(1000);
        const qint64 arrival = console.clock().nsecsElapsed();
        console.apply(kSmallLayout);
        // The cells exist once the layout is applied; each starts loading after its delay.
        std::vector<CellTimes> cells(console.cellPlayers().size());
        for (size_t i = 0; i < cells.size(); ++i)
            timeCell(console, console.cellPlayers().at(i), &cells[i]);
        if (!console.waitForPictures(kSmallLayout, 15000)) {
            std::printf("run %d: the cells showed no picture within 15 s\n", run);
            return 1;
        }
        const qint64 allDecoded = console.clock().nsecsElapsed();
        bench::spinUntil([&] { return console.lastSwapNs() > allDecoded; }, 2000);
        const std::vector<MpvObject *> players = console.cellPlayers();
        const QString url = players.front()->path();
        const QRect cell(0, 0, static_cast<int>(players.front()->width()),
                         static_cast<int>(players.front()->height()));
        qint64 lastLoadStart = arrival, slowestOpen = 0, slowestToPicture = 0;
        for (const CellTimes &times : cells) {
            lastLoadStart = std::max(lastLoadStart, times.started);
            slowestOpen = std::max(slowestOpen, times.opened - times.started);
            slowestToPicture = std::max(slowestToPicture, times.decoded - times.opened);
        }
        loading.push_back((lastLoadStart - arrival) / 1e6);
        decoded.push_back((allDecoded - arrival) / 1e6);
        shown.push_back((console.lastSwapNs() - arrival) / 1e6);
        opening.push_back(slowestOpen / 1e6);
        toPicture.push_back(slowestToPicture / 1e6);

        if (run == 1)
            std::printf("     (the standalone player plays %s)\n", qPrintable(url));
        StandaloneMpv mpv(url, cell, console.standaloneOptions(),
                          sockets.filePath(QString::number(run)));
        standalone.push_back(static_cast<double>(mpv.waitForFirstPicture(15000)));
        std::printf("%-4d %14.0f %14.0f %14.0f %14.0f %14.0f %18.0f\n", run, loading.back(),
                    decoded.back(), shown.back(), opening.back(), toPicture.back(),
                    standalone.back());
        std::fflush(stdout);
    }
    std::printf("median %12.0f %14.0f %14.0f %14.0f %14.0f %18.0f\n", bench::median(loading),
                bench::median(decoded), bench::median(shown), bench::median(opening),
                bench::median(toPicture), bench::median(standalone));
    return 0;
}

// The 4×4 layout playing for a while, then 16 standalone players of the same streams at the
// same size and places for as long.
int benchCpu(Console &console, int seconds)
{
    console.clear();
    console.apply(BenchSite::bigLayoutName());
    if (!console.waitForPictures(BenchSite::bigLayoutName(), 30000)) {
        std::printf("the 4x4 layout showed no picture in every cell within 30 s\n");
        return 1;
    }
    bench::spin(3000);
    const std::vector<MpvObject *> players = console.cellPlayers();
    const long droppedBefore = droppedFrames(players);
    const double cpuBefore = bench::ownCpuSeconds();
    const long swapsBefore = console.swaps();
    bench::spin(seconds * 1000);
    const double consoleCpu = bench::ownCpuSeconds() - cpuBefore;
    const double windowFps = double(console.swaps() - swapsBefore) / seconds;
    const long consoleDropped = droppedFrames(players) - droppedBefore;

    QStringList urls;
    std::vector<QRect> cells;
    for (MpvObject *player : players) {
        urls << player->path();
        const QPointF corner = player->mapToScene(QPointF(0, 0));
        cells.emplace_back(static_cast<int>(corner.x()), static_cast<int>(corner.y()),
                           static_cast<int>(player->width()), static_cast<int>(player->height()));
    }
    console.clear();
    QThreadPool::globalInstance()->waitForDone();

    QTemporaryDir sockets;
    std::vector<std::unique_ptr<StandaloneMpv>> standalone;
    for (int i = 0; i < urls.size(); ++i)
        standalone.push_back(std::make_unique<StandaloneMpv>(
            urls.at(i), cells.at(static_cast<size_t>(i)), console.standaloneOptions(),
            sockets.filePath(QString::number(i))));
    bench::spin(5000);
    double mpvCpuBefore = 0;
    long mpvDroppedBefore = 0;
    for (auto &mpv : standalone) {
        mpvCpuBefore += mpv->cpuSeconds();
        mpvDroppedBefore += mpv->droppedFrames();
    }
    bench::spin(seconds * 1000);
    double mpvCpu = -mpvCpuBefore;
    long mpvDropped = -mpvDroppedBefore;
    for (auto &mpv : standalone) {
        mpvCpu += mpv->cpuSeconds();
        mpvDropped += mpv->droppedFrames();
    }
    const long stopped = std::count_if(standalone.cbegin(), standalone.cend(),
                                       [](const auto &mpv) { return !mpv->started(); });
    if (stopped > 0)
        std::printf("%ld standalone players stopped during the run: their figures are void\n",
                    stopped);
    const QRect first = cells.front();
    std::printf("%zu cells of %dx%d, %d s\n", players.size(), first.width(), first.height(),
                seconds);
    std::printf("%14s %14s %7s %14s %14s %18s\n", "console cpu s", "mpv cpu s", "ratio",
                "console drops", "mpv drops", "console window fps");
    std::printf("%14.2f %14.2f %7.2f %14ld %14ld %18.1f\n", consoleCpu, mpvCpu, consoleCpu / mpvCpu,
                consoleDropped, mpvDropped, windowFps);
    return 0;
}

// Switches between the demo's layouts, each time until every cell shows a picture.
int benchSwitches(Console &console, int count)
{
    long afterTen = 0;
    long first = 0;
    int stalled = 0;
    for (int i = 1; i <= count; ++i) {
        const QString &name = kDemoLayouts.at(i % kDemoLayouts.size());
        console.apply(name);
        stalled += console.waitForPictures(name, 10000) ? 0 : 1;
        if (i == 1)
            first = bench::residentKiB();
        if (i == 10)
            afterTen = bench::residentKiB();
        if (i % 100 == 0 || i == 1 || i == 10) {
            std::printf("switch %5d: resident %ld KiB, heap in use %ld KiB, %ld threads\n", i,
                        bench::residentKiB(), bench::heapInUseKiB(), bench::threadCount());
            std::fflush(stdout);
        }
    }
    QThreadPool::globalInstance()->waitForDone();
    const long end = bench::residentKiB();
    std::printf("growth after the first switch: %ld KiB, after the first 10: %ld KiB\n",
                end - first, end - afterTen);
    std::printf("switches whose cells showed no picture within 10 s: %d\n", stalled);
    return 0;
}

struct GridRun
{
    size_t cells = 0;
    size_t moving = 0;
    QMap<int, int> widths;       // picture width -> cells
    QMap<QString, int> profiles; // profile the cell chose -> cells
    double cpuSeconds = 0;
    long dropped = 0;
    double frames = 0;
    int reopened = 0;
    long windowFrames = 0;
};

double numberProperty(MpvObject *player, const char *name)
{
    const QVariant value = player->getProperty(QLatin1String(name));
    return value.canConvert<double>() ? value.toDouble() : 0.0;
}

// The profile the player's cell chose, as its statistics show it.
QString cellProfile(MpvObject *player)
{
    for (QQuickItem *item = player; item; item = item->parentItem())
        if (item->objectName() == QLatin1String("cameraView"))
            return item->property("profile").toString();
    return QString();
}

// Applies the layout afresh (its cells choose their profiles anew) and measures it for a while
// once every cell shows a picture. Players reopen their streams when they fall behind, which
// resets their counters: drops and played time are summed from once-a-second samples.
// `before` runs just before the measured seconds, `after` just after them.
bool measureGrid(Console &console, const QString &layout, const QString &forced, int seconds,
                 GridRun *run, const std::function<void()> &before = {},
                 const std::function<void()> &after = {})
{
    QSettings().setValue(QStringLiteral("Video/streamProfile"), forced);
    console.clear();
    console.apply(layout);
    if (!console.waitForPictures(layout, 90000)) {
        std::printf("the layout \"%s\" showed no picture in every cell within 90 s\n",
                    qPrintable(layout));
        return false;
    }
    bench::spin(5000);
    const std::vector<MpvObject *> players = console.cellPlayers();
    const size_t n = players.size();
    std::vector<long> drops(n);
    std::vector<double> positions(n), played(n, 0.0);
    std::vector<QMetaObject::Connection> connections;
    for (size_t i = 0; i < n; ++i) {
        drops[i] = dropCount(players[i]);
        positions[i] = numberProperty(players[i], "time-pos");
        connections.push_back(QObject::connect(players[i], &MpvObject::fileStarted, players[i],
                                               [run] { ++run->reopened; }));
        // A render update per new frame handed to the cell (posted from libmpv's thread).
        connections.push_back(QObject::connect(
            players[i], &MpvObject::mpvUpdated, players[i], [run] { ++run->frames; },
            Qt::QueuedConnection));
    }
    if (before)
        before();
    const double cpuBefore = bench::ownCpuSeconds();
    const long swapsBefore = console.swaps();
    for (int second = 0; second < seconds; ++second) {
        bench::spin(1000);
        for (size_t i = 0; i < n; ++i) {
            const long d = dropCount(players[i]);
            const double pos = numberProperty(players[i], "time-pos");
            // A counter that went back belongs to a reopened stream: all of it is new.
            run->dropped += d >= drops[i] ? d - drops[i] : d;
            played[i] += pos >= positions[i] ? pos - positions[i] : 0.0;
            drops[i] = d;
            positions[i] = pos;
        }
    }
    run->cpuSeconds = bench::ownCpuSeconds() - cpuBefore;
    run->windowFrames = console.swaps() - swapsBefore;
    if (after)
        after();
    for (const QMetaObject::Connection &connection : connections)
        QObject::disconnect(connection);
    run->cells = n;
    for (size_t i = 0; i < n; ++i) {
        run->moving += played[i] > seconds * 0.9 ? 1 : 0;
        run->widths[players[i]->dwidth()] += 1;
        run->profiles[cellProfile(players[i])] += 1;
    }
    return true;
}

void printGrid(const char *name, const GridRun &run, int seconds)
{
    QStringList sizes;
    for (auto it = run.widths.cbegin(); it != run.widths.cend(); ++it)
        sizes << QStringLiteral("%1 px wide: %2").arg(it.key()).arg(it.value());
    std::printf("%-6s %5zu %7zu %9.2f %10.2f %8ld %10.0f %8.2f %9d %10.1f   %s\n", name, run.cells,
                run.moving, run.cpuSeconds, run.cpuSeconds / seconds, run.dropped, run.frames,
                run.frames > 0 ? 100.0 * run.dropped / (run.frames + run.dropped) : 0.0,
                run.reopened, double(run.windowFrames) / seconds,
                qPrintable(sizes.join(QLatin1String(", "))));
    std::fflush(stdout);
}

// The 8×8 layout with each cell on its own profile, then the same layout all on "main".
int benchGrid(Console &console, int seconds)
{
    console.window()->resize(1280, 960);
    bench::spin(1000);
    std::printf("%-6s %5s %7s %9s %10s %8s %10s %8s %9s %10s   %s\n", "run", "cells", "moving",
                "cpu s", "cpu cores", "dropped", "frames", "drop %", "reopened", "window fps",
                "pictures");
    GridRun adaptive;
    if (!measureGrid(console, QStringLiteral("8x8 Cameras"), QString(), seconds, &adaptive))
        return 1;
    printGrid("auto", adaptive, seconds);
    GridRun main;
    if (!measureGrid(console, QStringLiteral("8x8 Cameras"), QStringLiteral("main"), seconds,
                     &main))
        return 1;
    printGrid("main", main, seconds);
    QSettings().remove(QStringLiteral("Video/streamProfile"));
    return 0;
}

// Busy and total seconds of all the machine's processors so far (/proc/stat), so that a run
// says how much of the machine was left to the console.
QPair<double, double> machineSeconds()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return {0, 0};
    const QStringList fields =
        QString::fromLatin1(stat.readLine()).simplified().split(QLatin1Char(' '));
    double total = 0, idle = 0;
    for (int i = 1; i < fields.size(); ++i) {
        total += fields.at(i).toDouble();
        idle += i == 4 || i == 5 ? fields.at(i).toDouble() : 0.0; // idle, iowait
    }
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    return {(total - idle) / tick, total / tick};
}

void printThreads(const char *who, const QMap<QString, QPair<double, int>> &kinds, int seconds)
{
    QList<QPair<double, QString>> order;
    for (auto it = kinds.cbegin(); it != kinds.cend(); ++it)
        order.append({it.value().first, it.key()});
    std::sort(order.begin(), order.end(), [](const auto &a, const auto &b) { return a > b; });
    std::printf("  %s, cores by kind of thread (threads):\n", who);
    for (const auto &[cpu, kind] : order)
        if (cpu / seconds >= 0.005)
            std::printf("    %-24s %6.3f  (%d)\n", qPrintable(kind), cpu / seconds,
                        kinds.value(kind).second);
    std::fflush(stdout);
}

// What the wall measures beside the grid's figures, over the same seconds: CPU by kind of
// thread (console and simulator), the simulator's and the whole machine's CPU, the window's
// frame phases, and the GUI thread's lateness to a 20 ms timer (late by as long as the thread
// was busy or waiting, for the render thread or a player's core, when it was due).
class WallProbes
{
public:
    WallProbes(QQuickWindow *window, qint64 simPid)
        : m_simPid(simPid)
        , m_console(QCoreApplication::applicationPid())
        , m_sim(simPid)
        , m_phases(new FramePhases(window))
    {
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(kTickMs);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 late = std::max<qint64>(0, m_sinceTick.restart() - kTickMs);
            m_lateSum += late;
            m_lateMax = std::max(m_lateMax, late);
            ++m_ticks;
        });
    }

    void begin()
    {
        m_phases->reset();
        m_sinceTick.start();
        m_tick.start();
        sample(&m_simBefore, &m_machineBefore);
    }
    void end()
    {
        m_tick.stop();
        sample(&m_simAfter, &m_machineAfter);
    }
    void print(int seconds) const;

private:
    static constexpr int kTickMs = 20;

    void sample(double *sim, QPair<double, double> *machine)
    {
        m_console.sample();
        m_sim.sample();
        *sim = bench::processCpuSeconds(m_simPid);
        *machine = machineSeconds();
    }

    qint64 m_simPid;
    ThreadCpu m_console;
    ThreadCpu m_sim;
    FramePhases *m_phases; // owned by the window
    QTimer m_tick;
    QElapsedTimer m_sinceTick;
    qint64 m_lateSum = 0, m_lateMax = 0, m_ticks = 0;
    QPair<double, double> m_machineBefore, m_machineAfter;
    double m_simBefore = 0, m_simAfter = 0;
};

void WallProbes::print(int seconds) const
{
    const double busy = m_machineAfter.first - m_machineBefore.first;
    const double all = m_machineAfter.second - m_machineBefore.second;
    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("simulator %.2f cores; the whole machine %.2f of its %ld cores busy\n",
                (m_simAfter - m_simBefore) / seconds, all > 0 ? processors * busy / all : 0.0,
                processors);
    m_phases->print();
    std::printf("GUI thread: a %d ms timer late by %.1f ms on average, %lld ms at most\n", kTickMs,
                m_ticks > 0 ? double(m_lateSum) / m_ticks : 0.0, static_cast<long long>(m_lateMax));
    printThreads("console", m_console.sinceLast(), seconds);
    printThreads("simulator", m_sim.sinceLast(), seconds);
}

// The 10×10 wall of distinct cameras in a 1920×1080 window, each cell on the profile that fits
// it; where the console's time goes, and the simulator's and the machine's over the same run.
int benchWall(Console &console, int seconds)
{
    console.window()->resize(1920, 1080);
    bench::spin(1000);
    WallProbes probes(console.window(), console.site().simulatorPid());
    GridRun wall;
    if (!measureGrid(
            console, BenchSite::wallLayoutName(), QString(), seconds, &wall,
            [&probes] { probes.begin(); }, [&probes] { probes.end(); }))
        return 1;
    std::printf("%-6s %5s %7s %9s %10s %8s %10s %8s %9s %10s   %s\n", "run", "cells", "moving",
                "cpu s", "cpu cores", "dropped", "frames", "drop %", "reopened", "window fps",
                "pictures");
    printGrid("wall", wall, seconds);
    QStringList profiles;
    for (auto it = wall.profiles.cbegin(); it != wall.profiles.cend(); ++it)
        profiles
            << QStringLiteral("%1: %2").arg(it.key().isEmpty() ? "none" : it.key()).arg(it.value());
    const MpvObject *first = console.cellPlayers().front();
    std::printf("cells of %.0fx%.0f px; profiles chosen: %s\n", first->width(), first->height(),
                qPrintable(profiles.join(QLatin1String(", "))));
    probes.print(seconds);
    const QByteArray shot = qgetenv("ARDIX_BENCH_SHOT");
    if (!shot.isEmpty() && !console.window()->grabWindow().save(QString::fromLocal8Bit(shot)))
        std::fprintf(stderr, "bench_console: could not save %s\n", shot.constData());
    return 0;
}

// A layout of `cells` video cells over the demo's cameras, each labelled `label`.
QString wideLayout(int cells, const QString &label)
{
    QJsonArray elements;
    const int side = static_cast<int>(std::ceil(std::sqrt(cells)));
    for (int i = 0; i < cells; ++i) {
        elements.append(QJsonObject{{"row", i / side},
                                    {"col", i % side},
                                    {"rowSpan", 1},
                                    {"colSpan", 1},
                                    {"type", "video"},
                                    {"label", label},
                                    {"deviceId", "2"},
                                    {"objectId", QString::number(11 + i % 4)}});
    }
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{"numRows", side}, {"numCols", side}, {"elements", elements}})
            .toJson(QJsonDocument::Compact));
}

// Peaks seen while the event loop runs: threads and resident memory (sampled every 50 ms
// on the GUI thread, so a stall shows as a gap), and the longest gap between samples.
struct Peaks
{
    long threads = 0;
    long residentKiB = 0;
    qint64 longestGapMs = 0;
};

// Runs the event loop until done() holds or timeoutMs passed, sampling into peaks.
void sampleWhile(const std::function<bool()> &done, int timeoutMs, Peaks *peaks)
{
    QElapsedTimer since;
    since.start();
    QElapsedTimer tick;
    tick.start();
    while (!done() && since.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (tick.elapsed() < 10)
            continue;
        peaks->longestGapMs = std::max(peaks->longestGapMs, tick.restart());
        peaks->threads = std::max(peaks->threads, bench::threadCount());
        peaks->residentKiB = std::max(peaks->residentKiB, bench::residentKiB());
    }
}

void printPeaks(const char *what, const Peaks &peaks, int builds)
{
    std::printf("%s: %d builds, at most %ld threads and %ld MiB resident, longest GUI-thread "
                "gap %lld ms; now %ld threads, %ld MiB\n",
                what, builds, peaks.threads, peaks.residentKiB / 1024,
                static_cast<long long>(peaks.longestGapMs), bench::threadCount(),
                bench::residentKiB() / 1024);
    std::fflush(stdout);
}

int benchRequests(Console &console, int seconds)
{
    LayoutModel *model = App::instance()->layoutModel();
    int builds = 0;
    QObject counting;
    QObject::connect(model, &QAbstractItemModel::modelReset, &counting, [&builds] { ++builds; });
    console.apply(kSmallLayout);
    console.waitForPictures(kSmallLayout, 20000);
    std::printf("before: %ld threads, %ld MiB resident\n", bench::threadCount(),
                bench::residentKiB() / 1024);

    // Calls due since the start go out at each turn, as a replica's queued calls would.
    Peaks peaks;
    QElapsedTimer clock;
    clock.start();
    long sent = 0;
    const long total = 1000L * seconds;
    sampleWhile(
        [&] {
            const long due = std::min<long>(total, static_cast<long>(clock.elapsed()));
            for (; sent < due; ++sent)
                console.apply(kDemoLayouts.at(static_cast<int>(sent % kDemoLayouts.size())));
            return sent >= total;
        },
        (seconds + 60) * 1000, &peaks);
    const QString last = kDemoLayouts.at(static_cast<int>((total - 1) % kDemoLayouts.size()));
    sampleWhile([&] { return App::instance()->currentLayout() == last; }, 10000, &peaks);
    printPeaks(qPrintable(QStringLiteral("%1 calls in %2 s").arg(total).arg(seconds)), peaks,
               builds);

    for (const auto &[name, json] :
         {std::make_pair(QStringLiteral("10 MiB label"),
                         wideLayout(1, QString(10 * 1024 * 1024, QLatin1Char('x')))),
          std::make_pair(QStringLiteral("10 000 cells"), wideLayout(10000, "Cell"))}) {
        Peaks one;
        builds = 0;
        QElapsedTimer took;
        took.start();
        console.apply(name, json);
        sampleWhile([&] { return App::instance()->currentLayout() == name; }, 60000, &one);
        sampleWhile([] { return false; }, 3000, &one);
        printPeaks(
            qPrintable(QStringLiteral("%1 (%2 cells shown)").arg(name).arg(model->rowCount())), one,
            builds);
    }
    console.clear();
    return 0;
}

long demuxerBytes(const std::vector<MpvObject *> &players)
{
    long total = 0;
    for (MpvObject *player : players) {
        const QVariantMap state =
            player->getProperty(QStringLiteral("demuxer-cache-state")).toMap();
        total += state.value(QStringLiteral("total-bytes")).toLongLong();
    }
    return total;
}

// The 2×2 layout playing without interruption, as a console shows it all day: resident memory
// and what the cells' demuxers hold, once a minute.
int benchSoak(Console &console, int minutes)
{
    console.clear();
    console.apply(kSmallLayout);
    if (!console.waitForPictures(kSmallLayout, 30000)) {
        std::printf("the 2x2 layout showed no picture in every cell within 30 s\n");
        return 1;
    }
    int reopened = 0;
    for (MpvObject *player : console.cellPlayers())
        QObject::connect(player, &MpvObject::fileStarted, player, [&reopened] { ++reopened; });
    std::printf("%6s %14s %14s %16s %9s\n", "minute", "resident KiB", "heap KiB", "demuxers KiB",
                "reopened");
    long first = 0;
    for (int minute = 0; minute <= minutes; ++minute) {
        if (minute > 0)
            bench::spin(60000);
        const long resident = bench::residentKiB();
        first = minute == 0 ? resident : first;
        std::printf("%6d %14ld %14ld %16ld %9d\n", minute, resident, bench::heapInUseKiB(),
                    demuxerBytes(console.cellPlayers()) / 1024, reopened);
        std::fflush(stdout);
    }
    std::printf("growth over %d minutes: %ld KiB\n", minutes, bench::residentKiB() - first);
    return 0;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: bench_console start RUNS | cpu SECONDS | switches COUNT | grid SECONDS |\n"
                 "       requests SECONDS | soak MINUTES | wall SECONDS [WxH@FPS]   [http|rtsp]\n"
                 "(under an X server; the console's settings and logs go to a temporary home)\n");
    return 2;
}

// The arguments after the mode's amount: a transport, and for the wall the sub profile.
bool parseExtras(const QString &mode, const QStringList &extras, QString *transport, QSize *subSize,
                 int *subRate)
{
    static const QRegularExpression profile(QStringLiteral("^(\\d+)x(\\d+)@(\\d+)$"));
    for (const QString &extra : extras) {
        const QRegularExpressionMatch match = profile.match(extra);
        if (extra == QLatin1String("http") || extra == QLatin1String("rtsp")) {
            *transport = extra;
        } else if (mode == QLatin1String("wall") && match.hasMatch()) {
            *subSize = QSize(match.captured(1).toInt(), match.captured(2).toInt());
            *subRate = match.captured(3).toInt();
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3 || argc > 5)
        return usage();
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const int amount = QString::fromLocal8Bit(argv[2]).toInt();
    QStringList extras;
    for (int i = 3; i < argc; ++i)
        extras << QString::fromLocal8Bit(argv[i]);
    QString transport = QStringLiteral("http");
    QSize subSize(320, 180);
    int subRate = 15;
    if (amount <= 0 ||
        !QStringList{"start", "cpu", "switches", "grid", "requests", "soak", "wall"}.contains(
            mode) ||
        !parseExtras(mode, extras, &transport, &subSize, &subRate))
        return usage();
    // The simulator keeps its videos where it would for this user, not in the run's home.
    const QString cacheHome = qEnvironmentVariableIsEmpty("XDG_CACHE_HOME")
                                  ? QDir::homePath() + QStringLiteral("/.cache")
                                  : qEnvironmentVariable("XDG_CACHE_HOME");

    // The console's settings, store and log go to a home of the run's own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());

    Startup::limitAllocatorArenas();
    QGuiApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    Startup::setIdentity();
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    LogHandler::setFilePath(Startup::logFilePath(), true);
    LogHandler::install();

    Console console;
    if (mode == QLatin1String("wall")) {
        console.site().addWall(100);
        console.site().setSubProfile(subSize, subRate);
        console.site().setCacheHome(cacheHome);
    }
    QString error;
    if (!console.start(transport == QLatin1String("rtsp") ? BenchSite::Transport::Rtsp
                                                          : BenchSite::Transport::Http,
                       &error)) {
        std::fprintf(stderr, "bench_console: %s\n", qPrintable(error));
        return 1;
    }
    int result = 0;
    if (mode == QLatin1String("start"))
        result = benchStart(console, amount);
    else if (mode == QLatin1String("cpu"))
        result = benchCpu(console, amount);
    else if (mode == QLatin1String("grid"))
        result = benchGrid(console, amount);
    else if (mode == QLatin1String("requests"))
        result = benchRequests(console, amount);
    else if (mode == QLatin1String("wall"))
        result = benchWall(console, amount);
    else if (mode == QLatin1String("soak"))
        result = benchSoak(console, amount);
    else
        result = benchSwitches(console, amount);
    std::fflush(stdout);
    return result;
}
