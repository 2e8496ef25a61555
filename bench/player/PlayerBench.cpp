// Player costs, run by hand under an X server (see docs/performance.md):
//   bench_player cpu FILE SECONDS N...   the console's players against standalone mpv
//   bench_player memory CYCLES           resident memory over create/destroy cycles
#include "BenchSupport.h"
#include "MpvObject.h"
#include "StandaloneMpv.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using bench::ownCpuSeconds;
using bench::residentKiB;
using bench::spin;
using bench::spinUntil;

const QSize kCell(640, 360);

// The options every player of the comparison runs with, the console's and mpv's alike.
const QStringList kOptions{QStringLiteral("hwdec=auto"), QStringLiteral("ao=null"),
                           QStringLiteral("loop-file=inf")};

struct RunResult
{
    double cpu = 0;
    long dropped = 0;
};

RunResult runConsolePlayers(const QString &file, int count, int seconds)
{
    const int columns = count == 1 ? 1 : (count <= 4 ? 2 : 4);
    QQuickWindow window;
    window.resize(kCell.width() * columns, kCell.height() * ((count + columns - 1) / columns));
    window.show();
    std::vector<MpvObject *> players;
    for (int i = 0; i < count; ++i) {
        auto *player = new MpvObject(window.contentItem());
        player->setSize(kCell);
        player->setPosition(QPointF(kCell.width() * (i % columns), kCell.height() * (i / columns)));
        for (const QString &option : kOptions)
            player->setOption(option.section('=', 0, 0), option.section('=', 1));
        player->loadFile(file);
        players.push_back(player);
    }
    spinUntil(
        [&] {
            return std::all_of(players.begin(), players.end(),
                               [](MpvObject *p) { return p->isPlaying(); });
        },
        20000);
    spin(3000);
    RunResult result;
    long droppedBefore = 0;
    for (MpvObject *p : players)
        droppedBefore += p->frameDropCount() + p->decoderFrameDropCount();
    const double before = ownCpuSeconds();
    spin(seconds * 1000);
    result.cpu = ownCpuSeconds() - before;
    for (MpvObject *p : players)
        result.dropped += p->frameDropCount() + p->decoderFrameDropCount();
    result.dropped -= droppedBefore;
    for (MpvObject *p : players)
        delete p;
    return result;
}

RunResult runStandalonePlayers(const QString &file, int count, int seconds)
{
    QTemporaryDir sockets;
    std::vector<std::unique_ptr<StandaloneMpv>> players;
    for (int i = 0; i < count; ++i) {
        const QRect place(kCell.width() * (i % 4), kCell.height() * (i / 4), kCell.width(),
                          kCell.height());
        players.push_back(std::make_unique<StandaloneMpv>(file, place, kOptions,
                                                          sockets.filePath(QString::number(i))));
    }
    spin(5000);
    RunResult result;
    for (auto &player : players) {
        result.dropped -= player->droppedFrames();
        result.cpu -= player->cpuSeconds();
    }
    spin(seconds * 1000);
    for (auto &player : players) {
        result.dropped += player->droppedFrames();
        result.cpu += player->cpuSeconds();
    }
    return result;
}

int benchCpu(const QString &file, int seconds, const QList<int> &counts)
{
    std::printf("%-4s %14s %14s %7s %14s %14s\n", "N", "console cpu s", "mpv cpu s", "ratio",
                "console drops", "mpv drops");
    for (int count : counts) {
        const RunResult standalone = runStandalonePlayers(file, count, seconds);
        const RunResult console = runConsolePlayers(file, count, seconds);
        std::printf("%-4d %14.2f %14.2f %7.2f %14ld %14ld\n", count, console.cpu, standalone.cpu,
                    console.cpu / standalone.cpu, console.dropped, standalone.dropped);
        std::fflush(stdout);
    }
    return 0;
}

int benchMemory(int cycles)
{
    QQuickWindow window;
    window.resize(320, 240);
    window.show();
    long afterTen = 0;
    for (int i = 1; i <= cycles; ++i) {
        auto *player = new MpvObject(window.contentItem());
        player->setSize(QSizeF(320, 240));
        player->loadFile(QStringLiteral("av://lavfi:testsrc2=size=320x240:rate=25"));
        if (!spinUntil([&] { return player->renderContext() && player->isPlaying(); }, 10000))
            std::printf("cycle %d: player did not start\n", i);
        delete player;
        spin(20); // lets the scene graph release the renderer and its context
        if (i == 10)
            afterTen = residentKiB();
        if (i % 100 == 0 || i == 10)
            std::printf("cycle %5d: resident %ld KiB\n", i, residentKiB());
        std::fflush(stdout);
    }
    QThreadPool::globalInstance()->waitForDone();
    const long end = residentKiB();
    std::printf("growth after the first 10 cycles: %ld KiB\n", end - afterTen);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QSG_RENDER_LOOP", "threaded");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("cpu") && args.size() >= 5) {
        QList<int> counts;
        for (int i = 4; i < args.size(); ++i)
            counts << args.at(i).toInt();
        return benchCpu(args.at(2), args.at(3).toInt(), counts);
    }
    if (args.value(1) == QLatin1String("memory"))
        return benchMemory(args.value(2, QStringLiteral("1000")).toInt());
    std::fprintf(stderr, "usage: bench_player cpu FILE SECONDS N... | memory [CYCLES]\n");
    return 2;
}
