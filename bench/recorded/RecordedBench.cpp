// Recorded playback by time, run by hand under an X server (see docs/performance.md):
//   bench_recorded [SITE] [ROUNDS]
// P9: a moment asked for (as a click on the timeline does) to its first picture on screen, at
// the start, middle and end of a chunk; standalone mpv opening the same address with --start
// is timed beside it. P10: the gap between the last picture of a chunk and the first of the
// next one while playback runs across the boundary.
#include "BenchSupport.h"
#include "MpvObject.h"
#include "RecordingIndex.h"
#include "TimelinePlayback.h"

#include <Simulator.h>
#include <Site.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QQuickWindow>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using bench::median;
using bench::spin;
using bench::spinUntil;

struct Chunk
{
    qint64 start;
    qint64 end;
};

// The recordings are made on their first request: made here once, before anything is timed.
bool prepare(const QString &url)
{
    QNetworkAccessManager network;
    QElapsedTimer timer;
    timer.start();
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url)));
    qint64 bytes = 0;
    QObject::connect(reply, &QNetworkReply::readyRead, [&] { bytes += reply->readAll().size(); });
    spinUntil([&] { return reply->isFinished(); }, 600000);
    const bool ok = reply->error() == QNetworkReply::NoError;
    std::printf("prepared %s: %.1f MB in %.1f s%s\n", qPrintable(url), bytes / 1e6,
                timer.elapsed() / 1000.0, ok ? "" : " (failed)");
    reply->deleteLater();
    return ok;
}

// Wall time from playAt() to the first frame drawn after the player's restart; `offBy`: how
// far the picture shown then is from the moment asked, in seconds.
double timeToPicture(QQuickWindow &window, MpvObject &player, TimelinePlayback &playback,
                     qint64 moment, double &offBy)
{
    bool restarted = false, drawn = false;
    QElapsedTimer timer;
    double ms = -1;
    const auto restart =
        QObject::connect(&player, &MpvObject::playbackRestarted, [&] { restarted = true; });
    const auto frame = QObject::connect(&window, &QQuickWindow::frameSwapped, [&] {
        if (restarted && !drawn) {
            drawn = true;
            ms = timer.nsecsElapsed() / 1e6;
            offBy = std::abs((playback.time() - moment) / 1000.0);
        }
    });
    timer.start();
    playback.playAt(moment);
    spinUntil([&] { return drawn; }, 20000);
    QObject::disconnect(restart);
    QObject::disconnect(frame);
    playback.stop();
    spin(300);
    return ms;
}

double standaloneMpv(const QString &url, double seconds)
{
    QElapsedTimer timer;
    timer.start();
    QProcess mpv;
    mpv.start(QStringLiteral("mpv"),
              {QStringLiteral("--no-config"), QStringLiteral("--ao=null"),
               QStringLiteral("--vo=x11"), QStringLiteral("--frames=1"),
               QStringLiteral("--really-quiet"), QStringLiteral("--start=%1").arg(seconds), url});
    if (!mpv.waitForFinished(30000))
        return -1;
    return timer.nsecsElapsed() / 1e6;
}

void printRow(const char *what, const std::vector<double> &values)
{
    double worst = 0;
    for (double v : values)
        worst = std::max(worst, v);
    std::printf("  %-34s median %7.1f ms   worst %7.1f ms   (%zu runs)\n", what, median(values),
                worst, values.size());
}

// P10: the last position of one chunk and the first of the next, in wall time.
std::vector<double> boundaryGaps(MpvObject &player, TimelinePlayback &playback,
                                 const std::vector<Chunk> &chunks, int rounds)
{
    std::vector<double> gaps;
    QElapsedTimer clock;
    clock.start();
    for (int r = 0; r < rounds; ++r) {
        for (std::size_t c = 0; c + 1 < chunks.size(); ++c) {
            qint64 lastOld = -1, firstNew = -1;
            const auto position = QObject::connect(&player, &MpvObject::positionChanged, [&] {
                if (playback.time() < chunks[c].end)
                    lastOld = clock.nsecsElapsed();
                else if (firstNew < 0 && player.isPlaying())
                    firstNew = clock.nsecsElapsed();
            });
            playback.playAt(chunks[c].end - 3000);
            spinUntil([&] { return firstNew >= 0; }, 30000);
            QObject::disconnect(position);
            playback.stop();
            spin(300);
            if (lastOld >= 0 && firstNew >= 0)
                gaps.push_back((firstNew - lastOld) / 1e6);
        }
    }
    return gaps;
}

int run(const QString &sitePath, int rounds)
{
    std::string error;
    auto site = ardix::sim::Site::fromFile(sitePath.toStdString(), ardix::sim::nowMs(), error);
    if (!site) {
        std::fprintf(stderr, "bench_recorded: %s\n", error.c_str());
        return 1;
    }
    QString streamId;
    std::vector<Chunk> chunks;
    QVariantList listed;
    for (const auto &o : site->objects) {
        if (o.chunks.empty() || !streamId.isEmpty())
            continue;
        streamId = QString::number(o.data.id);
        for (const auto &c : o.chunks) {
            chunks.push_back({c.start, c.end});
            listed.append(QVariantMap{{"start", qlonglong(c.start)}, {"end", qlonglong(c.end)}});
        }
    }
    ardix::sim::SimulatorOptions options;
    options.site = std::move(*site);
    options.log = [](const std::string &) {};
    ardix::sim::Simulator sim(std::move(options));
    if (chunks.size() < 2 || !sim.start(&error)) {
        std::fprintf(stderr,
                     "bench_recorded: a site with one stream of two chunks or more is "
                     "needed (%s)\n",
                     error.c_str());
        return 1;
    }
    QString gateway;
    for (std::int64_t id = 1; id < 1000 && gateway.isEmpty(); ++id) {
        if (const unsigned short port = sim.gatewayHttpPort(id))
            gateway = QStringLiteral("http://127.0.0.1:%1").arg(port);
    }

    RecordingIndex index;
    index.setStreamId(streamId);
    index.addChunks(streamId, chunks.front().start, chunks.back().end, listed);
    QQuickWindow window;
    window.resize(640, 360);
    window.show();
    MpvObject player(window.contentItem());
    player.setSize(QSizeF(640, 360));
    TimelinePlayback playback;
    playback.setPlayer(&player);
    playback.setIndex(&index);
    playback.setGateway(gateway);
    for (const Chunk &c : chunks) {
        if (!prepare(playback.recordingUrl(c.start)))
            return 1;
    }
    spin(1000);

    const Chunk &first = chunks.front();
    const qint64 length = first.end - first.start;
    struct Place
    {
        const char *name;
        qint64 offset;
    } places[] = {{"start (+5 s)", 5000}, {"middle", length / 2}, {"end (-5 s)", length - 5000}};
    std::printf("P9: moment to first picture, %d rounds\n", rounds);
    for (const Place &place : places) {
        std::vector<double> console, reference;
        double worstOff = 0;
        for (int r = 0; r < rounds; ++r) {
            double offBy = 0;
            console.push_back(
                timeToPicture(window, player, playback, first.start + place.offset, offBy));
            worstOff = std::max(worstOff, offBy);
            reference.push_back(
                standaloneMpv(playback.recordingUrl(first.start), place.offset / 1000.0));
        }
        std::printf(" %s (first picture at most %.2f s from the moment)\n", place.name, worstOff);
        printRow("console (playAt to frame drawn)", console);
        printRow("standalone mpv --start (process)", reference);
    }
    std::printf("P10: last picture of a chunk to the first of the next\n");
    printRow("console", boundaryGaps(player, playback, chunks, rounds));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QSG_RENDER_LOOP", "basic");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    return run(args.value(1, QStringLiteral(ARDIX_REALISTIC_SITE)), args.value(2, "5").toInt());
}
