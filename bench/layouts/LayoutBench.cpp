// Cost of the layout grid per cell: loading a layout document and reading the url role of
// every cell, against the object tree the console rebuilt from the simulated demo site.
// References measured in the same run: parsing the same document with QJsonDocument alone
// (the floor under fromJson) and expanding the same templates without the model (the share of
// the address resolution that is the template language).
#include "App.h"
#include "LayoutModel.h"
#include "UrlTemplate.h"
#include "ZarnObjectsRepository.h"
#include "ZarnSetting.h"

#include <Simulator.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

App *s_app = nullptr;

// A square grid of cells: video cells over the demo's four cameras, every eighth a door.
QString layoutDocument(int side)
{
    static const char *const cameras[] = {"11", "12", "13", "14"};
    static const char *const doors[] = {"21", "23"};
    QString elements;
    for (int i = 0; i < side * side; ++i) {
        const bool door = i % 8 == 7;
        elements += QStringLiteral("%1{\"row\":%2,\"col\":%3,\"rowSpan\":1,\"colSpan\":1,"
                                   "\"type\":\"%4\",\"label\":\"Cell %5\",\"deviceId\":\"2\","
                                   "\"objectId\":\"%6\"}")
                        .arg(i ? "," : "")
                        .arg(i / side)
                        .arg(i % side)
                        .arg(door ? "door" : "video")
                        .arg(i)
                        .arg(door ? doors[(i / 8) % 2] : cameras[i % 4]);
    }
    return QStringLiteral("{\"numRows\":%1,\"numCols\":%1,\"elements\":[%2]}")
        .arg(side)
        .arg(elements);
}

// Lets the actuator answers that a load asks for arrive, so that they do not pile up.
void drainEvents()
{
    QCoreApplication::processEvents();
}

void BM_LoadLayout(benchmark::State &state)
{
    const int side = int(state.range(0));
    const QString document = layoutDocument(side);
    LayoutModel *model = s_app->layoutModel();
    for (auto _ : state) {
        model->fromJson(document);
        state.PauseTiming();
        drainEvents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_LoadLayout)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);

void BM_ParseOnly(benchmark::State &state)
{
    const int side = int(state.range(0));
    const QString document = layoutDocument(side);
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument::fromJson(document.toUtf8()));
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_ParseOnly)->Arg(8)->Unit(benchmark::kMicrosecond);

void BM_ReadAllUrls(benchmark::State &state)
{
    LayoutModel *model = s_app->layoutModel();
    model->fromJson(layoutDocument(8));
    drainEvents();
    const int cells = model->rowCount();
    for (auto _ : state) {
        for (int row = 0; row < cells; ++row)
            benchmark::DoNotOptimize(model->data(model->index(row, 0), LayoutModel::UrlRole));
    }
    state.SetItemsProcessed(state.iterations() * cells);
}
BENCHMARK(BM_ReadAllUrls)->Unit(benchmark::kMicrosecond);

void BM_ExpandOnly(benchmark::State &state)
{
    QStringList templates;
    for (const char *id : {"11", "12", "13", "14"})
        templates << s_app->zarnRepository()->find(id)->settings()->prop(QStringLiteral("url"));
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i)
            benchmark::DoNotOptimize(UrlTemplate::expand(templates.at(i % 4)));
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_ExpandOnly)->Unit(benchmark::kMicrosecond);

// The url role logs a debug line per read; a real console formats and writes it, a
// benchmark only formats it.
void discardMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    benchmark::DoNotOptimize(qFormatLogMessage(type, context, text));
}

bool signIn(ardix::sim::Simulator &sim)
{
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, [&] { loop.exit(1); });
    QObject::connect(s_app->zarnRepository(), &ZarnObjectsRepository::dataChanged, &loop,
                     [&] { loop.exit(0); });
    s_app->login(QStringLiteral("operator"), QStringLiteral("operator"),
                 QStringLiteral("127.0.0.1"), sim.eventPort());
    return loop.exec() == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    std::string error;
    auto site = ardix::sim::Site::fromFile(ARDIX_DEMO_SITE, ardix::sim::nowMs(), error);
    if (!site) {
        std::fprintf(stderr, "demo site: %s\n", error.c_str());
        return 1;
    }
    ardix::sim::SimulatorOptions options;
    options.site = std::move(*site);
    options.log = [](const std::string &) {};
    ardix::sim::Simulator sim(std::move(options));
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    auto app = std::make_unique<App>();
    s_app = app.get();
    if (!signIn(sim)) {
        std::fprintf(stderr, "sign-in to the demo site failed\n");
        return 1;
    }
    qInstallMessageHandler(discardMessage);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    drainEvents();
    app.reset();
    sim.stop();
    return 0;
}
