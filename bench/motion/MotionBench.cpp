// Motion search, run by hand (see docs/performance.md, "Motion search (P15)"):
//   bench_motion hour [AREA]   an hour of main-profile recording (three 20-minute chunks of
//                              stream 12 from 10:00 local on 2026-12-01, opening hours)
//   bench_motion day [AREA]    24 hours of a demo camera (144 ten-minute small-profile chunks)
//   bench_motion quality [H]   H hours (4) of main profile from 08:00 local: each kind's area
//                              and an area nothing crosses searched, the moments against the
//                              scene's known crossings (MotionScene), a table per kind
// AREA is x,y,w,h normalised (default: the whole picture). Chunks lie at fixed times, so the
// recordings the simulated gateway makes the first time (minutes for an hour of main profile,
// longer for a day of small profile) are kept in $XDG_CACHE_HOME/zarn-sim and reused. Prints
// the time to the first moment and to the end, the CPU time of the process, the bytes read
// from the gateway, the moments found and the longest the GUI thread stayed away from its
// event loop.
#include "BenchSupport.h"
#include "MotionMoments.h"
#include "MotionSearch.h"
#include "QmlUtils.h"
#include "StreamHistories.h"
#include "StreamHistory.h"
#include "ZarnClient.h"
#include "ZarnObjectsRepository.h"

#include <MotionScene.h>
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

namespace {

using ardix::sim::Crossing;
using ardix::sim::CrossingKind;
using ardix::sim::MotionScene;
using ardix::sim::SceneRect;

constexpr qint64 kMinute = 60000;

qint64 localTime(int hour)
{
    return QDateTime(QDate(2026, 12, 1), QTime(hour, 0)).toMSecsSinceEpoch();
}

// Stream 12 of seed 1: `count` chunks of `minutes` from `start`, main or small profile.
std::string site(qint64 start, int count, int minutes, bool main)
{
    QStringList chunks;
    for (int i = 0; i < count; ++i) {
        const qint64 from = start + i * minutes * kMinute;
        chunks.append(QStringLiteral(R"({"start": %1, "end": %2, "size": %3%4})")
                          .arg(from)
                          .arg(from + minutes * kMinute)
                          .arg(qint64(minutes) * 60 * (main ? 125000 : 2000))
                          .arg(main ? QStringLiteral(R"(, "profile": "main")") : QString()));
    }
    return QStringLiteral(R"({
        "name": "Motion bench", "rootId": 1, "seed": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}, "httpPort": 0},
          {"id": 12, "name": "Till", "type": 10, "parent": 2, "chunks": [%1]}
        ]})")
        .arg(chunks.join(QLatin1Char(',')))
        .toStdString();
}

// How long a crossing is inside an area.
qint64 msInside(const Crossing &c, const SceneRect &area)
{
    qint64 inside = 0;
    for (qint64 t = c.startMs; t < c.endMs; t += 40)
        inside += c.at(t)->overlaps(area) ? 40 : 0;
    return inside;
}

// Each kind's area (where every crossing of that kind passes, whatever its height) and one
// nothing crosses, the name and clock in it, searched over [from, to); every crossing 2 s or
// more in an area should be found (a moment starting within 1 s of its entering), every moment
// should be a crossing.
int quality(MotionSearch &search, qint64 from, qint64 to)
{
    const MotionScene scene(1, 12);
    const std::vector<Crossing> crossings = scene.crossings(from, to);
    struct Area
    {
        const char *name;
        SceneRect rect;
    };
    const Area areas[] = {{"short path", {0.02, 0.36, 0.96, 0.32}},
                          {"long path", {0.12, 0.36, 0.76, 0.32}},
                          {"corner", {0.76, 0.52, 0.18, 0.17}},
                          {"slow path", {0.02, 0.58, 0.96, 0.10}},
                          {"nothing crosses", {0.0, 0.0, 0.85, 0.27}}};
    const double hours = (to - from) / 3600000.0;
    std::printf("quality: %.0f hours, %d crossings\n", hours, int(crossings.size()));
    std::printf("| area | kind | in the area 2 s or more | found, start within 1 s | "
                "median start error |\n|---|---|---|---|---|\n");
    for (const Area &area : areas) {
        search.setAreas({QVariantMap{{QStringLiteral("x"), area.rect.x},
                                     {QStringLiteral("y"), area.rect.y},
                                     {QStringLiteral("width"), area.rect.w},
                                     {QStringLiteral("height"), area.rect.h}}});
        search.start(from, to);
        bench::spinUntil([&] { return !search.running(); }, 3600 * 1000);
        QVector<QVariantMap> moments;
        for (int row = 0; row < search.moments()->count(); ++row)
            moments.append(search.moments()->get(row));
        for (CrossingKind kind :
             {CrossingKind::Short, CrossingKind::Long, CrossingKind::Corner, CrossingKind::Slow}) {
            int staying = 0, found = 0;
            std::vector<double> errors;
            QStringList missed;
            for (const Crossing &c : crossings) {
                if (c.kind != kind || msInside(c, area.rect) < 2000)
                    continue;
                ++staying;
                const qint64 enters = *c.entersAt(area.rect);
                qint64 best = -1, signedBest = 0;
                for (const QVariantMap &m : moments) {
                    const qint64 error = qAbs(m.value("start").toLongLong() - enters);
                    if (best < 0 || error < best) {
                        best = error;
                        signedBest = m.value("start").toLongLong() - enters;
                    }
                }
                if (best >= 0 && best <= 1000) {
                    ++found;
                    errors.push_back(double(best));
                } else {
                    missed.append(best < 0 ? QStringLiteral("none")
                                           : QStringLiteral("%1 ms").arg(signedBest));
                }
            }
            if (staying > 0)
                std::printf("| %s | %s | %d | %d%s | %.0f ms |\n", area.name,
                            MotionScene::kindName(kind), staying, found,
                            missed.isEmpty() ? ""
                                             : qPrintable(QStringLiteral(" (missed: ") +
                                                          missed.join(", ") + ")"),
                            bench::median(errors));
        }
        int falseMoments = 0;
        for (const QVariantMap &m : moments) {
            const qint64 start = m.value("start").toLongLong(), end = m.value("end").toLongLong();
            falseMoments +=
                std::none_of(crossings.begin(), crossings.end(), [&](const Crossing &c) {
                    return start < c.endMs + 1000 && end > c.startMs - 1000;
                });
        }
        std::printf("| %s | moments that are no crossing | %d in %.0f h (%.2f per hour) | | |\n",
                    area.name, falseMoments, hours, falseMoments / hours);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("hour");
    QVariantMap area{{QStringLiteral("x"), 0.0},
                     {QStringLiteral("y"), 0.0},
                     {QStringLiteral("width"), 1.0},
                     {QStringLiteral("height"), 1.0}};
    if (argc > 2) {
        const QStringList parts = QString::fromLocal8Bit(argv[2]).split(QLatin1Char(','));
        if (parts.size() == 4)
            area = {{QStringLiteral("x"), parts[0].toDouble()},
                    {QStringLiteral("y"), parts[1].toDouble()},
                    {QStringLiteral("width"), parts[2].toDouble()},
                    {QStringLiteral("height"), parts[3].toDouble()}};
    }
    std::string json;
    qint64 from = 0, to = 0;
    QVector<qint64> chunkStarts;
    int minutes = 20;
    if (mode == QLatin1String("day")) {
        from = localTime(0);
        minutes = 10;
        json = site(from, 144, minutes, false);
        to = from + 24 * 60 * kMinute;
    } else if (mode == QLatin1String("quality")) {
        const int hours = argc > 2 ? std::clamp(atoi(argv[2]), 1, 14) : 4;
        from = localTime(8);
        json = site(from, hours * 3, minutes, true);
        to = from + hours * 60 * kMinute;
    } else {
        from = localTime(10);
        json = site(from, 3, minutes, true);
        to = from + 60 * kMinute;
    }
    for (qint64 t = from; t < to; t += minutes * kMinute)
        chunkStarts.append(t);
    std::string error;
    auto parsed = ardix::sim::Site::fromJson(json, QDateTime::currentMSecsSinceEpoch(), error);
    if (!parsed) {
        std::fprintf(stderr, "bench_motion: %s\n", error.c_str());
        return 1;
    }
    ardix::sim::SimulatorOptions options;
    options.site = std::move(*parsed);
    options.eventPort = 0;
    options.log = [](const std::string &) {};
    ardix::sim::Simulator sim(std::move(options));
    if (!sim.start(&error)) {
        std::fprintf(stderr, "bench_motion: %s\n", error.c_str());
        return 1;
    }

    ZarnObjectsRepository repository;
    ZarnClient client;
    client.setRepository(&repository);
    StreamHistories histories;
    histories.setClient(&client);
    histories.setRepository(&repository);
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(sim.eventPort());
    client.setUsername(QStringLiteral("operator"));
    client.setPassword(QStringLiteral("operator"));
    bool loggedIn = false, objects = false;
    QObject::connect(&client, &ZarnClient::connected, [&] { client.login(); });
    QObject::connect(&client, &ZarnClient::loggedIn, [&] {
        loggedIn = true;
        client.fetchObjects();
    });
    QObject::connect(&repository, &ZarnObjectsRepository::dataChanged, [&] { objects = true; });
    client.connectToZarn();
    if (!bench::spinUntil([&] { return loggedIn && objects; }, 60000)) {
        std::fprintf(stderr, "bench_motion: no sign-in\n");
        return 1;
    }
    StreamHistory *history = histories.of(QStringLiteral("12"));
    bench::spinUntil([&] { return history->gatewayKnown(); }, 20000);

    MotionSearch search;
    search.setHistory(history);
    search.setAreas({area});
    // Every recording made first (not timed): the gateway makes a file when first asked, which
    // takes longer than a search waits for an answer.
    std::printf("%s: making or finding the recordings...\n", qPrintable(mode));
    std::fflush(stdout);
    QNetworkAccessManager network;
    QmlUtils utils;
    for (qint64 start : chunkStarts) {
        QNetworkRequest head{
            QUrl(QStringLiteral("http://127.0.0.1:%1/%2")
                     .arg(sim.gatewayHttpPort(2))
                     .arg(utils.fileNameFromMSec(QStringLiteral("12"), qulonglong(start))))};
        head.setRawHeader("Range", "bytes=0-0");
        QNetworkReply *made = network.get(head);
        bench::spinUntil([&] { return made->isFinished(); }, 3600 * 1000);
        made->deleteLater();
    }

    if (mode == QLatin1String("quality"))
        return quality(search, from, to);

    // The longest the event loop stayed away while the search ran.
    QElapsedTimer sinceTick;
    qint64 longestWait = 0;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longestWait = std::max(longestWait, sinceTick.restart()); });
    qint64 firstMoment = -1;
    QElapsedTimer clock;
    QObject::connect(search.moments(), &MotionMoments::countChanged, [&] {
        if (firstMoment < 0 && search.moments()->count() > 0)
            firstMoment = clock.elapsed();
    });
    // The same measure with nothing to do, for what the machine's other work costs.
    sinceTick.start();
    tick.start();
    bench::spin(3000);
    const qint64 idleWait = longestWait;
    longestWait = 0;
    const double cpu0 = bench::ownCpuSeconds();
    clock.start();
    sinceTick.restart();
    search.start(from, to);
    bench::spinUntil([&] { return !search.running(); }, 3600 * 1000);
    const qint64 took = clock.elapsed();
    tick.stop();
    const double cpu = bench::ownCpuSeconds() - cpu0;
    std::printf("%s: %.1f hours searched in %.2f s (%.0fx real time), first moment after %lld ms, "
                "%d moments, %d recordings not read in full\n",
                qPrintable(mode), search.hoursTotal(), took / 1000.0,
                search.hoursTotal() * 3600 / std::max(0.001, took / 1000.0),
                static_cast<long long>(firstMoment), search.moments()->count(),
                search.unreadable());
    std::printf("%s: CPU %.2f s (%.0f %% of one core; %d decoding threads), %.1f MB read from the "
                "gateway, GUI thread away from its event loop at most %lld ms (%lld ms idle)\n",
                qPrintable(mode), cpu, 100 * cpu / std::max(0.001, took / 1000.0),
                MotionSearch::threadCount(), search.bytesRead() / 1e6,
                static_cast<long long>(longestWait), static_cast<long long>(idleWait));
    return 0;
}
