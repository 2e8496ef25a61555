// The console's load of a whole site: from fetchObjects (the request for the object list) to
// the repository filled and the sidebar's tree model rebuilt, against the in-process simulator
// over loopback, signed in as the console is. A 5 ms timer on the GUI thread records the longest
// gap between its ticks during each load: what an operator sees as a frozen screen.
// Prints, per size, the median of the runs and the time per object against the smallest size.
//
//   bench_objecttree [RUNS] [SIZES...]     e.g. bench_objecttree 5 10000 100000
#include "ObjectTree.h"
#include "ZarnClient.h"
#include "ZarnObjectsRepository.h"

#include <Simulator.h>
#include <Site.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace ardix;

namespace {

struct Load
{
    double ms = 0;
    double longestGapMs = 0;
};

// Runs the event loop until `done` holds or 120 s pass; false on the timeout. A timer wakes
// the loop: processEvents with a time limit would spin instead of waiting.
template <typename Done> bool waitFor(Done done)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(20);
    while (!done()) {
        if (clock.elapsed() > 120000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

class Console
{
public:
    explicit Console(std::size_t objects)
    {
        sim::SimulatorOptions options;
        options.site = sim::Site::generated(objects);
        options.log = [](const std::string &) {};
        options.httpPort = 0;
        options.rtspPort = 0;
        m_simulator = std::make_unique<sim::Simulator>(std::move(options));
        m_simulator->start();
        m_client.setRepository(&m_repository);
        m_tree.setRepository(&m_repository);
        m_client.setHost(QStringLiteral("127.0.0.1"));
        m_client.setPort(m_simulator->eventPort());
        m_client.setUsername(QStringLiteral("operator"));
        m_client.setPassword(QStringLiteral("operator"));
        bool signedIn = false;
        QObject::connect(&m_client, &ZarnClient::connected, [this] { m_client.login(); });
        QObject::connect(&m_client, &ZarnClient::loggedIn, [&signedIn] { signedIn = true; });
        m_client.connectToZarn();
        m_ready = waitFor([&] { return signedIn; });
    }

    bool ready() const { return m_ready; }

    // One whole load; ms < 0 when it did not complete.
    Load load(std::size_t objects)
    {
        Load result;
        bool rebuilt = false;
        auto conn = QObject::connect(&m_tree, &ObjectTree::modelChanged,
                                     [&] { rebuilt = m_repository.objects().size() > 0; });
        QElapsedTimer gap;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            result.longestGapMs = std::max(result.longestGapMs, gap.nsecsElapsed() / 1e6);
            gap.restart();
        });
        m_repository.clear();
        QElapsedTimer clock;
        clock.start();
        gap.start();
        ticker.start();
        m_client.fetchObjects();
        const bool done = waitFor([&] { return rebuilt; });
        result.ms = clock.nsecsElapsed() / 1e6;
        result.longestGapMs = std::max(result.longestGapMs, gap.nsecsElapsed() / 1e6);
        QObject::disconnect(conn);
        if (!done || static_cast<std::size_t>(m_repository.objects().size()) != objects)
            result.ms = -1;
        return result;
    }

private:
    std::unique_ptr<sim::Simulator> m_simulator;
    ZarnObjectsRepository m_repository;
    ZarnClient m_client;
    ObjectTree m_tree;
    bool m_ready = false;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.info=false");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    std::vector<std::size_t> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(static_cast<std::size_t>(std::max(1, atoi(argv[i]))));
    if (sizes.empty())
        sizes = {10000, 100000};

    double basePerObject = 0;
    for (std::size_t size : sizes) {
        Console console(size);
        if (!console.ready()) {
            std::fprintf(stderr, "%zu objects: the console did not sign in\n", size);
            return 1;
        }
        std::vector<double> times, gaps;
        for (int run = 0; run < runs; ++run) {
            const Load load = console.load(size);
            if (load.ms < 0) {
                std::fprintf(stderr, "%zu objects: the load did not complete\n", size);
                return 1;
            }
            times.push_back(load.ms);
            gaps.push_back(load.longestGapMs);
        }
        const double ms = median(times);
        const double perObject = ms * 1000.0 / static_cast<double>(size);
        if (basePerObject == 0)
            basePerObject = perObject;
        std::printf("%7zu objects: load %8.1f ms (median of %d, best %.1f), %.2f us per object "
                    "(%.2f x the first size), longest frame gap %.1f ms (median; worst %.1f)\n",
                    size, ms, runs, *std::min_element(times.begin(), times.end()), perObject,
                    perObject / basePerObject, median(gaps),
                    *std::max_element(gaps.begin(), gaps.end()));
        std::fflush(stdout);
    }
    return 0;
}
