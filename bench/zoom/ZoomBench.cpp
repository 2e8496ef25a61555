// Digital zoom, run by hand under an X server (see docs/performance.md):
//   bench_zoom [SECONDS] [WHEELS]
// A 2x2 of the console's camera cells (640x360 each) plays one main-profile recording of the
// simulated gateway (25 fps), each cell with its own connection and decoder: SECONDS unzoomed,
// then SECONDS with every cell zoomed 4x, then SECONDS zoomed without the overviews' pictures,
// the process's CPU (players included) each time. Then WHEELS wheel notches over the first
// cell, each timed from the event to the first frame the window swaps after the player asked
// to draw again.
#include "BenchSupport.h"
#include "MpvObject.h"
#include "Startup.h"
#include "ZoomOverview.h"
#include "ZoomView.h"

#include <Simulator.h>
#include <Site.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <map>

#include <unistd.h>

namespace {

using bench::median;
using bench::spin;
using bench::spinUntil;

constexpr qint64 kChunkMs = 180000;
constexpr int kCells = 4;

const char kGrid[] = R"(import QtQuick 2.11
import Elements 1.0
Grid {
    columns: 2
    width: 1280; height: 720
    Repeater {
        model: 4
        CameraView { objectName: "cell"; width: 640; height: 360 }
    }
})";

std::string siteJson(qint64 t0)
{
    return QStringLiteral(R"({"name": "Zoom bench", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 12, "name": "Till", "type": 10, "parent": 2,
           "chunks": [{"start": %1, "end": %2, "profile": "main"}]}]})")
        .arg(t0)
        .arg(t0 + kChunkMs)
        .toStdString();
}

// The recording is made on its first request: made here once, before anything is timed.
void prepare(const QString &url)
{
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url)));
    QObject::connect(reply, &QNetworkReply::readyRead, [reply] { reply->readAll(); });
    spinUntil([reply] { return reply->isFinished(); }, 600000);
    reply->deleteLater();
}

// CPU seconds of this process's threads, summed by thread name (the players' decoders are
// FFmpeg's threads, named after the codec; the drawing is the render thread's).
std::map<std::string, double> cpuByThread()
{
    std::map<std::string, double> cpu;
    const double tick = double(sysconf(_SC_CLK_TCK));
    for (const QString &task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
        if (!comm.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // The fields after the name (which may hold spaces) in parentheses: utime is the 12th.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13)
            continue;
        const std::string name = comm.readAll().trimmed().toStdString();
        cpu[name] += (fields.at(11).toLongLong() + fields.at(12).toLongLong()) / tick;
    }
    return cpu;
}

void printThreads(const char *phase, const std::map<std::string, double> &before, double wall)
{
    std::printf("  %s, by thread (%% of one core):", phase);
    for (const auto &[name, seconds] : cpuByThread()) {
        const auto was = before.find(name);
        const double share = 100 * (seconds - (was == before.end() ? 0 : was->second)) / wall;
        if (share >= 0.5)
            std::printf(" %s %.1f", name.c_str(), share);
    }
    std::printf("\n");
}

// The process's CPU over `seconds`, in % of one core, and the median time between two frames
// the window swapped meanwhile.
std::pair<double, double> cpuShare(QQuickWindow *window, int seconds)
{
    std::vector<double> intervals;
    QElapsedTimer frames;
    frames.start();
    const auto c = QObject::connect(window, &QQuickWindow::frameSwapped, [&] {
        intervals.push_back(frames.nsecsElapsed() / 1e6);
        frames.restart();
    });
    const double before = bench::ownCpuSeconds();
    const auto threads = cpuByThread();
    QElapsedTimer wall;
    wall.start();
    spin(seconds * 1000);
    QObject::disconnect(c);
    printThreads("the threads", threads, wall.elapsed() / 1000.0);
    return {100.0 * (bench::ownCpuSeconds() - before) / (wall.elapsed() / 1000.0),
            median(intervals)};
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toLocal8Bit());
    QGuiApplication app(argc, argv);
    Startup::setIdentity();
    std::setlocale(LC_NUMERIC, "C");
    const int seconds = argc > 1 ? std::clamp(atoi(argv[1]), 1, 80) : 30;
    const int wheels = argc > 2 ? std::clamp(atoi(argv[2]), 1, 200) : 20;

    const qint64 t0 = (QDateTime::currentMSecsSinceEpoch() / 60000 - 30) * 60000;
    std::string error;
    auto site = ardix::sim::Site::fromJson(siteJson(t0), t0, error);
    ardix::sim::SimulatorOptions options;
    options.log = [](const std::string &) {};
    if (site)
        options.site = std::move(*site);
    ardix::sim::Simulator sim(std::move(options));
    if (!site || !sim.start(&error)) {
        std::fprintf(stderr, "bench_zoom: %s\n", error.c_str());
        return 1;
    }
    const QString url =
        QStringLiteral("http://127.0.0.1:%1/12_%2")
            .arg(sim.gatewayHttpPort(2))
            .arg(QDateTime::fromMSecsSinceEpoch(t0).toString(QStringLiteral("yyyyMMdd-HH-mm-ss")));
    prepare(url);

    QQuickView view;
    view.engine()->addImportPath(QStringLiteral("qrc:/qml"));
    view.rootContext()->setContextProperty(QStringLiteral("debug"), false);
    QQmlComponent component(view.engine());
    component.setData(kGrid, QUrl(QStringLiteral("qrc:/qml/zoombench.qml")));
    QScopedPointer<QObject> made(component.create());
    auto *grid = qobject_cast<QQuickItem *>(made.data());
    if (!grid) {
        std::fprintf(stderr, "bench_zoom: %s\n", qPrintable(component.errorString()));
        return 1;
    }
    grid->setParentItem(view.contentItem());
    view.resize(1280, 720);
    view.show();
    QList<QQuickItem *> cells;
    for (QQuickItem *child : grid->childItems()) {
        if (child->objectName() == QLatin1String("cell"))
            cells.append(child);
    }
    for (QQuickItem *cell : cells)
        cell->setProperty("url", url);
    const auto playing = [&] {
        return std::all_of(cells.cbegin(), cells.cend(), [](QQuickItem *cell) {
            auto *player = cell->findChild<MpvObject *>(QStringLiteral("mpvObject"));
            return player && player->dwidth() > 0 && player->position() > 1;
        });
    };
    if (cells.size() != kCells || !spinUntil(playing, 120000)) {
        std::fprintf(stderr, "bench_zoom: the cells did not play\n");
        return 1;
    }
    std::printf("2x2 of 640x360 cells, one main recording (25 fps), %d s each way\n", seconds);
    spin(2000);
    const auto [unzoomed, unzoomedFrame] = cpuShare(&view, seconds);
    std::printf("unzoomed: %.0f%% of one core, a frame every %.1f ms\n", unzoomed, unzoomedFrame);
    for (QQuickItem *cell : cells) {
        auto *zoom = cell->property("zoom").value<ZoomView *>();
        zoom->zoomAt(cell->width() / 2, cell->height() / 2, 4);
    }
    spin(2000);
    const auto [zoomed, zoomedFrame] = cpuShare(&view, seconds);
    std::printf("zoomed 4x: %.0f%% of one core, a frame every %.1f ms\n", zoomed, zoomedFrame);
    // The same without the overviews' pictures (each cell's whole frame asked once a second):
    // what the zoom itself costs.
    for (QQuickItem *cell : cells) {
        if (auto *overview = cell->findChild<ZoomOverview *>())
            overview->setActive(false);
    }
    spin(2000);
    const auto [bare, bareFrame] = cpuShare(&view, seconds);
    std::printf("zoomed 4x, no overview pictures: %.0f%% of one core, a frame every %.1f ms\n",
                bare, bareFrame);

    // Wheel notches in and out over the first cell, 4x and 5x in turn.
    auto *player = cells.first()->findChild<MpvObject *>(QStringLiteral("mpvObject"));
    std::vector<double> times;
    for (int i = 0; i < wheels; ++i) {
        const QPointF at(320, 180);
        QWheelEvent wheel(at, view.mapToGlobal(at.toPoint()), QPoint(),
                          QPoint(0, i % 2 == 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        bool asked = false;
        bool swapped = false;
        // Emitted on a player's thread: queued over to this one by the context object.
        const auto update =
            QObject::connect(player, &MpvObject::mpvUpdated, &view, [&] { asked = true; });
        const auto swap = QObject::connect(&view, &QQuickWindow::frameSwapped, [&] {
            if (asked)
                swapped = true;
        });
        QElapsedTimer timer;
        timer.start();
        QCoreApplication::sendEvent(&view, &wheel);
        spinUntil([&] { return swapped; }, 5000);
        times.push_back(timer.nsecsElapsed() / 1e6);
        QObject::disconnect(update);
        QObject::disconnect(swap);
        spin(300);
    }
    std::sort(times.begin(), times.end());
    std::printf("wheel to next picture: median %.1f ms, worst %.1f ms of %d (%.1f frames)\n",
                median(times), times.back(), wheels, median(times) / zoomedFrame);
    std::printf("zoom's CPU: %+.0f points of one core, %+.0f without the overviews' pictures\n",
                zoomed - unzoomed, bare - unzoomed);
    return 0;
}
