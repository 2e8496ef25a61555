// Timeline pictures, run by hand (see docs/performance.md):
//   bench_thumbnails [SITE] [HOVERS]
// The first chunk of the site's first recorded stream (by default the realistic site's
// 20-minute main-profile chunk, about 150 MB) is made once; then HOVERS moments spread over it
// are asked for as the timeline's hover does, each timed from the ask to its picture (none
// cached), then the same moments again (all cached). Meanwhile a zero-interval timer measures
// the longest the GUI thread did not come back to its event loop.
#include "BenchSupport.h"
#include "TimelineThumbnails.h"

#include <Simulator.h>
#include <Site.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString sitePath =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(ARDIX_REALISTIC_SITE);
    const int hovers = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
    QFile file(sitePath);
    std::string error;
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_thumbnails: cannot read %s\n", qPrintable(sitePath));
        return 1;
    }
    auto site = ardix::sim::Site::fromJson(file.readAll().toStdString(),
                                           QDateTime::currentMSecsSinceEpoch(), error);
    if (!site) {
        std::fprintf(stderr, "bench_thumbnails: %s\n", error.c_str());
        return 1;
    }
    std::int64_t streamId = 0, start = 0, end = 0;
    for (const auto &o : site->objects) {
        if (!o.chunks.empty() && streamId == 0) {
            streamId = o.data.id;
            start = o.chunks.front().start;
            end = o.chunks.front().end;
        }
    }
    ardix::sim::SimulatorOptions options;
    options.site = std::move(*site);
    options.log = [](const std::string &) {};
    ardix::sim::Simulator sim(std::move(options));
    if (streamId == 0 || !sim.start(&error)) {
        std::fprintf(stderr, "bench_thumbnails: no recorded stream (%s)\n", error.c_str());
        return 1;
    }
    QString url;
    for (std::int64_t id = 1; id < 1000 && url.isEmpty(); ++id) {
        if (const unsigned short port = sim.gatewayHttpPort(id))
            url = QStringLiteral("http://127.0.0.1:%1/%2_%3")
                      .arg(port)
                      .arg(streamId)
                      .arg(QDateTime::fromMSecsSinceEpoch(start).toString(
                          QStringLiteral("yyyyMMdd-hh-mm-ss")));
    }

    // Made once before anything is timed; its size is what a hover's range comes out of.
    QNetworkAccessManager network;
    QNetworkRequest head{QUrl(url)};
    head.setRawHeader("Range", "bytes=0-0");
    QNetworkReply *made = network.get(head);
    bench::spinUntil([&] { return made->isFinished(); }, 600000);
    std::printf("recording: %s, %s\n", qPrintable(url),
                made->rawHeader("Content-Range").constData());

    // The longest the event loop stayed away while pictures were being made.
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longestWait = 0;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestWait = std::max(longestWait, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });

    TimelineThumbnails thumbnails;
    const auto round = [&](const char *name) {
        std::vector<double> times;
        for (int i = 0; i < hovers; ++i) {
            // Moments far apart, each in a keyframe of its own (one a second in main).
            const qint64 offset = (end - start) * (i * 2 + 1) / (hovers * 2) + 300;
            QElapsedTimer timer;
            timer.start();
            thumbnails.show(url, offset);
            if (!bench::spinUntil([&] { return thumbnails.imageOffset() == offset / 1000 * 1000; },
                                  30000)) {
                std::printf("  %s: no picture of %lld ms\n", name, offset);
                continue;
            }
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        const auto longest = std::max_element(times.begin(), times.end());
        std::printf("%s: median %.1f ms, longest %.1f ms over %zu hovers\n", name,
                    bench::median(times), longest == times.end() ? 0.0 : *longest, times.size());
    };
    // The index is read at the first hover of a recording: timed on its own.
    QElapsedTimer first;
    first.start();
    thumbnails.show(url, 0);
    bench::spinUntil([&] { return thumbnails.imageOffset() == 0; }, 30000);
    std::printf("first hover (reads the index): %.1f ms\n", first.nsecsElapsed() / 1e6);
    tick.start();
    sinceTick.restart();
    round("uncached");
    round("cached");
    tick.stop();
    std::printf("GUI thread's longest wait: %.2f ms\n", longestWait / 1e6);
    return 0;
}
