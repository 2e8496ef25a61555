// P12, run by hand (see docs/performance.md):
//   bench_export [ROUNDS]
// Exports 10 minutes of a main-profile recording (one 12-minute chunk, about 90 MB, from
// minute 1 to 11) from zarn-sim's gateway over loopback with the console's exporter, and
// copies the same range with `ffmpeg -ss 60 -i URL -t 600 -c copy` in the same run: wall time
// and processor time of each. zarn-sim runs as a process of its own so that its work is
// counted in neither.
#include "BenchSupport.h"
#include "ClipExporter.h"
#include "QmlUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <vector>

namespace {

// A fixed moment, so that the recording made by the first run is reused by later ones.
constexpr qint64 kStart = 1765170000000;
constexpr qint64 kMinute = 60000;

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QByteArray siteJson()
{
    return QStringLiteral(R"({"name": "Export bench", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 12, "name": "Till", "type": 10, "parent": 2, "chunks": [
            {"start": %1, "end": %2, "size": 90000000, "profile": "main"}]}]})")
        .arg(kStart)
        .arg(kStart + 12 * kMinute)
        .toUtf8();
}

// The recording is made at its first request: made here, before anything is timed.
qint64 prepare(const QString &url)
{
    QNetworkAccessManager network;
    for (int attempt = 0; attempt < 50; ++attempt) {
        QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url)));
        qint64 bytes = 0;
        QObject::connect(reply, &QNetworkReply::readyRead,
                         [&] { bytes += reply->readAll().size(); });
        bench::spinUntil([&] { return reply->isFinished(); }, 600000);
        const bool ok = reply->error() == QNetworkReply::NoError;
        reply->deleteLater();
        if (ok)
            return bytes;
        bench::spin(200); // zarn-sim is still starting
    }
    return -1;
}

void printRow(const char *name, const std::vector<double> &wall, const std::vector<double> &cpu,
              qint64 bytes)
{
    std::printf("  %-44s wall %.2f s (%.2f-%.2f), CPU %.2f s, %.1f MB\n", name,
                bench::median(wall), *std::min_element(wall.begin(), wall.end()),
                *std::max_element(wall.begin(), wall.end()), bench::median(cpu), bytes / 1e6);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir dir;
    QFile site(dir.filePath(QStringLiteral("site.json")));
    if (!site.open(QIODevice::WriteOnly) || site.write(siteJson()) < 0)
        return 1;
    site.close();
    const int httpPort = freePort();
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../../sim/zarn-sim"),
              {QStringLiteral("--site"), site.fileName(), QStringLiteral("--port"),
               QString::number(freePort()), QStringLiteral("--http-port"),
               QString::number(httpPort)});
    if (!sim.waitForStarted()) {
        std::fprintf(stderr, "bench_export: zarn-sim did not start (build the zarn-sim target)\n");
        return 1;
    }
    const QString gateway = QStringLiteral("http://127.0.0.1:%1").arg(httpPort);
    const QString url = gateway + QLatin1Char('/') + QmlUtils().fileNameFromMSec("12", kStart);
    const qint64 size = prepare(url);
    if (size < 0)
        return 1;
    std::printf("P12: 10 minutes of a %.1f MB main-profile recording, %d rounds\n", size / 1e6,
                rounds);

    std::vector<double> wall, cpu, refWall, refCpu;
    qint64 bytes = 0, refBytes = 0;
    const QVariantList chunks{
        QVariantMap{{"start", kStart}, {"end", kStart + 12 * kMinute}, {"url", url}}};
    for (int r = 0; r < rounds; ++r) {
        QTemporaryDir out;
        ClipExporter exporter;
        exporter.setFolder(out.path());
        bool done = false, ok = false;
        QObject::connect(&exporter, &ClipExporter::finished, [&](bool success) {
            done = true;
            ok = success;
        });
        const double cpu0 = bench::ownCpuSeconds();
        QElapsedTimer timer;
        timer.start();
        exporter.start(QStringLiteral("Till"), QStringLiteral("12"), gateway, kStart + kMinute,
                       kStart + 11 * kMinute, chunks);
        bench::spinUntil([&] { return done; }, 600000);
        wall.push_back(timer.nsecsElapsed() / 1e9);
        cpu.push_back(bench::ownCpuSeconds() - cpu0);
        if (!ok) {
            std::fprintf(stderr, "bench_export: %s\n", qPrintable(exporter.error()));
            return 1;
        }
        bytes = QFileInfo(exporter.files().value(0)).size();

        const QString copy = out.filePath(QStringLiteral("ffmpeg.mp4"));
        const double child0 = childrenCpuSeconds();
        timer.restart();
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {"-v", "error", "-y", "-ss", "60", "-i", url, "-t", "600", "-c", "copy", copy});
        ffmpeg.waitForFinished(600000);
        refWall.push_back(timer.nsecsElapsed() / 1e9);
        refCpu.push_back(childrenCpuSeconds() - child0);
        refBytes = QFileInfo(copy).size();
    }
    printRow("console exporter (clip, srt, manifest)", wall, cpu, bytes);
    printRow("ffmpeg -ss 60 -i URL -t 600 -c copy", refWall, refCpu, refBytes);
    sim.terminate();
    sim.waitForFinished();
    return 0;
}
