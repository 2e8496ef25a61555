// Player costs, run by hand under an X server (see docs/performance.md):
//   bench_player cpu FILE SECONDS N...   the console's players against standalone mpv
//   bench_player memory CYCLES           resident memory over create/destroy cycles
#include "MpvObject.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

const QSize kCell(640, 360);

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool spinUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        spin(10);
    }
    return true;
}

double ownCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command name (which may hold blanks) start behind the last ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

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

long mpvDroppedFrames(const QString &socketPath)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(2000))
        return -1;
    long total = 0;
    for (const char *property : {"frame-drop-count", "decoder-frame-drop-count"}) {
        socket.write(QJsonDocument(QJsonObject{{"command", QJsonArray{"get_property", property}}})
                         .toJson(QJsonDocument::Compact) +
                     '\n');
        socket.waitForBytesWritten(1000);
        while (socket.waitForReadyRead(2000)) {
            const QJsonObject reply = QJsonDocument::fromJson(socket.readLine()).object();
            if (reply.contains(QStringLiteral("error"))) {
                total += reply.value(QStringLiteral("data")).toInt();
                break;
            }
        }
    }
    return total;
}

RunResult runStandalonePlayers(const QString &file, int count, int seconds)
{
    QTemporaryDir sockets;
    std::vector<std::unique_ptr<QProcess>> players;
    for (int i = 0; i < count; ++i) {
        auto process = std::make_unique<QProcess>();
        QStringList arguments{
            QStringLiteral("--no-config"),
            QStringLiteral("--vo=gpu"),
            QStringLiteral("--gpu-context=x11egl"),
            QStringLiteral("--no-border"),
            QStringLiteral("--really-quiet"),
            QStringLiteral("--geometry=%1x%2+%3+%4")
                .arg(kCell.width())
                .arg(kCell.height())
                .arg(kCell.width() * (i % 4))
                .arg(kCell.height() * (i / 4)),
            QStringLiteral("--input-ipc-server=%1/%2").arg(sockets.path()).arg(i)};
        for (const QString &option : kOptions)
            arguments << QStringLiteral("--") + option;
        arguments << file;
        process->start(QStringLiteral("mpv"), arguments);
        process->waitForStarted();
        players.push_back(std::move(process));
    }
    spin(5000);
    RunResult result;
    long droppedBefore = 0;
    double before = 0;
    for (int i = 0; i < count; ++i) {
        droppedBefore += mpvDroppedFrames(QStringLiteral("%1/%2").arg(sockets.path()).arg(i));
        before += processCpuSeconds(players[static_cast<size_t>(i)]->processId());
    }
    spin(seconds * 1000);
    for (int i = 0; i < count; ++i) {
        result.cpu += processCpuSeconds(players[static_cast<size_t>(i)]->processId());
        result.dropped += mpvDroppedFrames(QStringLiteral("%1/%2").arg(sockets.path()).arg(i));
    }
    result.cpu -= before;
    result.dropped -= droppedBefore;
    for (auto &process : players) {
        process->terminate();
        process->waitForFinished(5000);
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
