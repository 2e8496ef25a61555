// The whole layout played back, run by hand under an X server (see docs/performance.md):
//   bench_playback [CELLS] [PROFILE] [ROUNDS]
// P14: a layout of CELLS cameras (4: the 2x2; 64: 8x8, the four cameras repeated) switched to
// playback at a moment, to the first frame drawn once every cell shows that moment; then the
// largest difference between the cells' positions, sampled every second for 60 s: across a
// chunk boundary, after a seek (at 30 s) and after a change to 2x (at 45 s).
#include "BenchSupport.h"
#include "LayoutPlayback.h"
#include "Startup.h"

#include <Simulator.h>
#include <Site.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

using bench::median;
using bench::spin;
using bench::spinUntil;

constexpr qint64 kChunkMs = 120000;
constexpr int kStreams = 4;

std::string siteJson(qint64 t0, int cells, const QString &profile)
{
    QStringList streams;
    for (int id = 11; id < 11 + kStreams; ++id) {
        QStringList chunks;
        for (int i = 0; i < 3; ++i)
            chunks.append(QStringLiteral(R"({"start": %1, "end": %2, "profile": "%3"})")
                              .arg(t0 + i * kChunkMs)
                              .arg(t0 + (i + 1) * kChunkMs)
                              .arg(profile));
        streams.append(QStringLiteral(R"({"id": %1, "name": "Camera %1", "type": 10,
            "class": "stream.VIDEO", "parent": 2, "chunks": [%2],
            "settings": {"url": "http://127.0.0.1:9/live/%1"}})")
                           .arg(id)
                           .arg(chunks.join(QLatin1Char(','))));
    }
    const int side = int(std::ceil(std::sqrt(double(cells))));
    QStringList elements;
    for (int i = 0; i < cells; ++i)
        elements.append(QStringLiteral(R"({"row": %1, "col": %2, "rowSpan": 1, "colSpan": 1,
            "type": "video", "label": "Camera %3", "deviceId": "2", "objectId": "%3"})")
                            .arg(i / side)
                            .arg(i % side)
                            .arg(11 + i % kStreams));
    return QStringLiteral(R"({"name": "Playback bench", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "attributes": {
             "Cameras": {"numRows": %1, "numCols": %1, "elements": [%2]}}},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          %3]})")
        .arg(side)
        .arg(elements.join(QLatin1Char(',')), streams.join(QLatin1Char(',')))
        .toStdString();
}

QQuickItem *findItem(QQuickItem *root, const QString &name)
{
    if (root->objectName() == name)
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}

// The recordings are made on their first request: made here once, before anything is timed.
void prepare(const QString &url)
{
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url)));
    QObject::connect(reply, &QNetworkReply::readyRead, [reply] { reply->readAll(); });
    spinUntil([reply] { return reply->isFinished(); }, 600000);
    reply->deleteLater();
}

struct Bench
{
    QQuickWindow *window = nullptr;
    QQuickItem *mainPage = nullptr;
    LayoutPlayback *playback = nullptr;
    int cells = 0;

    bool allShowing() const
    {
        if (!playback->active() || playback->clock()->paused())
            return false;
        const QVariantMap states = playback->cellStates();
        return std::all_of(states.cbegin(), states.cend(),
                           [](const QVariant &s) { return s.toString() == "playing"; });
    }
    // The largest difference between the cells' positions, and the furthest from the clock.
    std::pair<qint64, qint64> spread() const
    {
        qint64 low = std::numeric_limits<qint64>::max(), high = 0, off = 0;
        const qint64 clock = playback->clock()->moment();
        for (int key = 0; key < cells; ++key) {
            const qint64 t = playback->cellTime(key);
            if (t < 0)
                return {-1, -1};
            low = std::min(low, t);
            high = std::max(high, t);
            off = std::max(off, std::abs(t - clock));
        }
        return {high - low, off};
    }
    // From the request to the first frame drawn once every cell shows the moment; -1 if not
    // within 60 s.
    double startAt(qint64 moment)
    {
        QElapsedTimer timer;
        timer.start();
        QMetaObject::invokeMethod(mainPage, "playLayoutAt", Q_ARG(QVariant, double(moment)));
        if (!spinUntil([this] { return allShowing(); }, 60000))
            return -1;
        bool drawn = false;
        const auto c = QObject::connect(window, &QQuickWindow::frameSwapped, [&] { drawn = true; });
        spinUntil([&] { return drawn; }, 5000);
        QObject::disconnect(c);
        return timer.nsecsElapsed() / 1e6;
    }
    void backToLive()
    {
        playback->stop();
        spin(2000);
    }
};

void timeToPictures(Bench &b, qint64 t0, int rounds)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const qint64 moment = t0 + 15000 + i * 37000;
        const double ms = b.startAt(moment);
        const auto [spread, off] = b.spread();
        std::printf("start at +%lld s: %.0f ms to every cell's picture, cells %lld ms apart, "
                    "%lld ms from the clock\n",
                    (moment - t0) / 1000, ms, qlonglong(spread), qlonglong(off));
        times.push_back(ms);
        b.backToLive();
    }
    std::sort(times.begin(), times.end());
    std::printf("P14 start: median %.0f ms, worst %.0f ms of %d\n", median(times), times.back(),
                rounds);
}

void inStep(Bench &b, qint64 t0)
{
    // 20 s before the first chunk boundary.
    b.startAt(t0 + kChunkMs - 20000);
    qint64 worst[3] = {0, 0, 0};
    const double cpuBefore = bench::ownCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    for (int second = 1; second <= 60; ++second) {
        spin(1000);
        if (second == 30) {
            b.playback->seek(t0 + 2 * kChunkMs - 40000);
            spinUntil([&] { return b.allShowing(); }, 30000);
        }
        if (second == 45)
            b.playback->setRate(2);
        const auto [spread, off] = b.spread();
        std::printf("%2d s: moment +%.1f s, cells %lld ms apart, %lld ms from the clock\n", second,
                    (b.playback->clock()->moment() - t0) / 1000.0, qlonglong(spread),
                    qlonglong(off));
        qint64 &phase = worst[second <= 30 ? 0 : second <= 45 ? 1 : 2];
        phase = std::max(phase, spread < 0 ? std::numeric_limits<qint64>::max() : spread);
    }
    std::printf("CPU of the console (players included): %.0f%% of one core\n",
                100.0 * (bench::ownCpuSeconds() - cpuBefore) / (wall.elapsed() / 1000.0));
    std::printf("P14 in step: largest difference %lld ms across the boundary, %lld ms after "
                "the seek, %lld ms at 2x\n",
                qlonglong(worst[0]), qlonglong(worst[1]), qlonglong(worst[2]));
    b.backToLive();
}

} // namespace

int main(int argc, char **argv)
{
    // Settings and logs of this run stay in a folder of its own; recordings stay in the cache.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/.local/share").toLocal8Bit());
    QGuiApplication app(argc, argv);
    Startup::setIdentity();
    const int cells = argc > 1 ? std::clamp(atoi(argv[1]), 1, 100) : 4;
    const QString profile = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("main");
    const int rounds = argc > 3 ? std::max(1, atoi(argv[3])) : 5;

    const qint64 t0 = (QDateTime::currentMSecsSinceEpoch() / 60000 - 30) * 60000;
    std::string error;
    auto site = ardix::sim::Site::fromJson(siteJson(t0, cells, profile), t0, error);
    ardix::sim::SimulatorOptions options;
    options.log = [](const std::string &) {};
    if (site)
        options.site = std::move(*site);
    ardix::sim::Simulator sim(std::move(options));
    if (!site || !sim.start(&error)) {
        std::fprintf(stderr, "bench_playback: %s\n", error.c_str());
        return 1;
    }
    const int httpPort = sim.gatewayHttpPort(2);
    for (int id = 11; id < 11 + kStreams; ++id) {
        for (int i = 0; i < 3; ++i)
            prepare(QStringLiteral("http://127.0.0.1:%1/%2_%3")
                        .arg(httpPort)
                        .arg(id)
                        .arg(QDateTime::fromMSecsSinceEpoch(t0 + i * kChunkMs)
                                 .toString(QStringLiteral("yyyyMMdd-HH-mm-ss"))));
    }

    QSettings stored;
    stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    stored.setValue(QStringLiteral("port"), QString::number(sim.eventPort()));
    stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
    stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
    stored.sync();
    QQmlApplicationEngine engine;
    Startup::loadScene(engine, QStringLiteral("0"), QUrl(QStringLiteral("qrc:/qml/main.qml")));
    Bench b;
    b.cells = cells;
    b.window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!b.window)
        return 1;
    b.window->resize(1280, 720);
    QQuickItem *page = nullptr;
    spinUntil(
        [&] {
            page = findItem(b.window->contentItem(), QStringLiteral("layoutPage"));
            b.playback = page ? page->findChild<LayoutPlayback *>() : nullptr;
            return b.playback && b.playback->cellStates().size() == cells;
        },
        60000);
    b.mainPage = findItem(b.window->contentItem(), QStringLiteral("mainPage"));
    if (!b.playback || !b.mainPage) {
        std::fprintf(stderr, "bench_playback: the layout did not come\n");
        return 1;
    }
    std::printf("%d cells, %s recordings of %lld s\n", cells, qPrintable(profile), kChunkMs / 1000);
    timeToPictures(b, t0, rounds);
    inStep(b, t0);
    return 0;
}
