#include "ScreenCheck.h"

#include "FreePort.h"
#include "ProgramRun.h"
#include "RpcHost.h"
#include "XServer.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QTest>

namespace ScreenCheck {

namespace {

// Sampled every second pixel both ways, inside a margin that keeps borders and labels out.
template <typename Test> double share(const QRect &region, const QRect &bounds, Test test)
{
    const QRect r = region.adjusted(8, 8, -8, -8).intersected(bounds);
    if (r.isEmpty())
        return 0;
    int hits = 0;
    int all = 0;
    for (int y = r.top(); y <= r.bottom(); y += 2) {
        for (int x = r.left(); x <= r.right(); x += 2, ++all)
            hits += test(x, y) ? 1 : 0;
    }
    return double(hits) / all;
}

} // namespace

quint16 freePort()
{
    return scene::freePort();
}

QJsonObject demoSite()
{
    QFile file(qEnvironmentVariable("ARDIX_SOURCE_DIR") + QStringLiteral("/sim/sites/demo.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QJsonObject demoSiteWithTillChunk(qint64 now)
{
    QJsonObject demo = demoSite();
    QJsonArray objects = demo["objects"].toArray();
    for (int i = 0; i < objects.size(); ++i) {
        QJsonObject o = objects[i].toObject();
        if (o["id"].toInt() != 12)
            continue;
        o["recording"] = QJsonObject{{"hours", 0}, {"continues", false}};
        o["chunks"] =
            QJsonArray{QJsonObject{{"start", now}, {"end", now + 60000}, {"size", 1000000}}};
        objects[i] = o;
    }
    demo["objects"] = objects;
    return demo;
}

double litShare(const QImage &image, const QRect &region)
{
    return share(region, image.rect(), [&](int x, int y) { return qGray(image.pixel(x, y)) > 24; });
}

double changedShare(const QImage &a, const QImage &b, const QRect &region)
{
    return share(region, a.rect().intersected(b.rect()), [&](int x, int y) {
        return qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 24;
    });
}

QImage grab(const XServer &xserver, const QString &name, const QSize &size,
            const QString &fallbackFolder)
{
    const QString folder = qEnvironmentVariable("ARDIX_ARTIFACT_DIR", fallbackFolder);
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    QFile::remove(path);
    xserver.run(QStringLiteral("ffmpeg"),
                {"-loglevel", "error", "-y", "-f", "x11grab", "-draw_mouse", "0", "-video_size",
                 QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), "-i",
                 xserver.display() + "+0,0", "-frames:v", "1", path});
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

std::unique_ptr<ProgramRun> programOnDisplay(const XServer &xserver, const QString &program,
                                             const QString &folder, const QStringList &arguments)
{
    auto run = std::make_unique<ProgramRun>(program, arguments);
    run->setEnv(QStringLiteral("DISPLAY"), xserver.display());
    run->setEnv(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    run->setWorkingDirectory(folder);
    return run;
}

bool regionsKeepMoving(const std::function<QImage(const QString &)> &shot, const QString &name,
                       const QList<QRect> &regions, int ms)
{
    QElapsedTimer watch;
    watch.start();
    QImage previous = shot(name);
    for (int round = 1; watch.elapsed() < ms; ++round) {
        QTest::qWait(1200);
        const QImage next = shot(name + QString::number(round));
        for (int i = 0; i < regions.size(); ++i) {
            if (changedShare(previous, next, regions.at(i)) < 0.001) {
                qWarning() << "region" << i << regions.at(i) << "did not move in round" << round;
                return false;
            }
        }
        previous = next;
    }
    return true;
}

std::unique_ptr<ProgramRun> startSignedInConsole(const XServer &xserver, quint16 eventPort,
                                                 const QString &sandbox, QString *window)
{
    const QString settingsFolder =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/ardix.example");
    QDir().mkpath(settingsFolder);
    QSettings stored(settingsFolder + QStringLiteral("/Ardix.conf"), QSettings::IniFormat);
    stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
    stored.setValue(QStringLiteral("port"), QString::number(eventPort));
    stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
    stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
    stored.sync();

    const QString folder = sandbox + QStringLiteral("/client");
    const QString program =
        RpcHost::install(ProgramRun::builtProgram(QStringLiteral("client/client")), folder,
                         RpcHost::freeUrl(QStringLiteral("tcp")));
    auto client = programOnDisplay(xserver, program, folder);
    if (!client->start())
        return nullptr;
    *window = xserver.waitForWindow(client->process().processId());
    return window->isEmpty() ? nullptr : std::move(client);
}

int countPixels(const QImage &image, const QRect &region, const std::function<bool(QRgb)> &test)
{
    const QRect r = region.intersected(image.rect());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    }
    return n;
}

} // namespace ScreenCheck
