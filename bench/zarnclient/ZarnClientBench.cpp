// The console's rebuild of the object tree (ZarnClient::updateRepository on the GUI thread,
// with every ZarnObject, its settings and the repository's indexes) for trees of 10 000 and
// 100 000 objects. Each tree has one parent holding a fifth of all objects (20 000 children at
// 100 000), the shape that a per-child scan of the parent's child list turns quadratic.
// Prints the time per object of the larger tree against the smaller one.
#include "ZarnClient.h"
#include "ZarnObjectsRepository.h"

#include <zarn/Object.h>
#include <zarn/ObjectData.h>
#include <zarn/Value.h>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

using namespace ardix;

namespace {

zarn::ObjectData data(std::int64_t id, std::string name, zarn::ObjectType type, std::int64_t parent)
{
    zarn::ObjectData d;
    d.id = id;
    d.name = std::move(name);
    d.type = static_cast<int>(type);
    d.className = type == zarn::ObjectType::Stream ? "stream.VIDEO" : "device.CAMERA";
    d.parent = parent;
    d.serialNumber = "SN-" + std::to_string(id);
    return d;
}

// Location 1; device 2 with count/5 streams; then devices of nine streams each.
ZarnClient::Objects tree(std::size_t count)
{
    std::vector<zarn::ObjectData> all;
    all.push_back(data(1, "Site", zarn::ObjectType::Location, 0));
    all.push_back(data(2, "Big gateway", zarn::ObjectType::Device, 1));
    all[0].children.push_back(2);
    std::int64_t id = 3;
    for (std::size_t i = 0; i < count / 5; ++i, ++id) {
        all.push_back(data(id, "Stream " + std::to_string(id), zarn::ObjectType::Stream, 2));
        all[1].children.push_back(id);
    }
    std::size_t device = 0;
    for (; all.size() < count; ++id) {
        if ((id % 10) == 0) {
            all.push_back(data(id, "Device " + std::to_string(id), zarn::ObjectType::Device, 1));
            all[0].children.push_back(id);
            device = all.size() - 1;
        } else {
            all.push_back(
                data(id, "Stream " + std::to_string(id), zarn::ObjectType::Stream, all[device].id));
            all[device].children.push_back(id);
        }
    }
    ZarnClient::Objects objects;
    objects.reserve(all.size());
    for (auto &d : all) {
        d.settings.setValue(
            "url", zarn::StringValue("http://127.0.0.1:9554/live/" + std::to_string(d.id)));
        objects.emplace_back(std::move(d));
    }
    return objects;
}

void rebuild(benchmark::State &state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    const ZarnClient::Objects objects = tree(count);
    ZarnObjectsRepository repository;
    ZarnClient client;
    client.setRepository(&repository);
    for (auto _ : state) {
        // On the client's own thread the rebuild runs within the call.
        client.updateRepository(objects, 1);
        benchmark::DoNotOptimize(repository.objects().size());
    }
    if (static_cast<std::size_t>(repository.objects().size()) != count)
        state.SkipWithError("not every object was loaded");
    state.counters["objects"] = static_cast<double>(count);
    state.counters["per_object"] = benchmark::Counter(
        static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(rebuild)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Remembers the time per object of each size and prints their ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const auto objects = run.counters.find("objects");
            if (run.run_type != Run::RT_Iteration || objects == run.counters.end())
                continue;
            perObjectNs[static_cast<long>(objects->second.value)] =
                run.GetAdjustedRealTime() * 1e6 / objects->second.value; // ms to ns
        }
    }

    std::map<long, double> perObjectNs;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto &[objects, ns] : reporter.perObjectNs)
        std::printf("%ld objects: %.2f us per object\n", objects, ns / 1000.0);
    if (reporter.perObjectNs.count(10000) && reporter.perObjectNs.count(100000)) {
        std::printf("100k/10k time per object: %.2f\n",
                    reporter.perObjectNs[100000] / reporter.perObjectNs[10000]);
    }
    return 0;
}
