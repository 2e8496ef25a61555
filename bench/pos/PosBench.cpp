// Channel texts from a publisher to PosReceiver::posReceived over loopback, with the GUI
// thread's event loop running: latency (p50/p99/max) and throughput at given rates of
// 100-byte texts, against a bare cppzmq SUB loop on its own thread receiving the same texts
// at the same time.
//
//   bench_pos [--seconds S] [--rates 100,1000,10000] [--mpv N]
//   bench_pos --flood [--rate 20000] [--seconds 20] [--hostile]    (FloodBench.cpp)
//
// --mpv N starts N standalone mpv players (lavfi test source, OpenGL output, software
// rendering accepted) beside it as CPU load, and waits for them to run before measuring.
#include "FloodBench.h"
#include "PosReceiver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>

#include <zmq.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTextSize = 100;
const char kChannel[] = "12";

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// "<seq> <send time ns> " padded to 100 bytes.
std::string makeText(int seq)
{
    char head[64];
    const int n =
        std::snprintf(head, sizeof head, "%d %lld ", seq, static_cast<long long>(nowNs()));
    std::string text(head, static_cast<size_t>(n));
    text.resize(kTextSize, 'x');
    return text;
}

bool parseText(const char *data, int &seq, std::int64_t &sentNs)
{
    long long sent = 0;
    if (std::sscanf(data, "%d %lld", &seq, &sent) != 2)
        return false;
    sentNs = sent;
    return true;
}

// Sends `count` texts at `rate` per second once the filters of `subscribers` peers arrived.
class Publisher
{
public:
    explicit Publisher(zmq::context_t &context)
        : m_socket(context, zmq::socket_type::xpub)
    {
        m_socket.set(zmq::sockopt::linger, 0);
        m_socket.set(zmq::sockopt::xpub_verbose, 1); // every peer's filter, not the first only
        m_socket.bind("tcp://127.0.0.1:*");
        const std::string bound = m_socket.get(zmq::sockopt::last_endpoint);
        m_port = std::stoi(bound.substr(bound.rfind(':') + 1));
    }
    int port() const { return m_port; }

    void run(int rate, int count, int subscribers)
    {
        m_socket.set(zmq::sockopt::rcvtimeo, 10000);
        for (int i = 0; i < subscribers; ++i) {
            zmq::message_t subscription;
            if (!m_socket.recv(subscription))
                return;
        }
        const auto period = std::chrono::nanoseconds(1000000000LL / rate);
        const auto start = Clock::now();
        for (int i = 0; i < count; ++i) {
            std::this_thread::sleep_until(start + i * period);
            const std::string text = makeText(i);
            m_socket.send(zmq::buffer(kChannel, 2), zmq::send_flags::sndmore);
            m_socket.send(zmq::buffer(text), zmq::send_flags::none);
        }
    }

private:
    zmq::socket_t m_socket;
    int m_port = 0;
};

struct Result
{
    std::vector<double> latenciesMs;
    int lost = 0;
    int outOfOrder = 0;
    double seconds = 0; // first send to last receipt
};

// What one subscriber received, as it arrives.
class Tally
{
public:
    explicit Tally(int expected)
        : m_expected(expected)
    {
        m_result.latenciesMs.reserve(static_cast<size_t>(expected));
    }
    void add(const char *text)
    {
        const std::int64_t now = nowNs();
        int seq = 0;
        std::int64_t sent = 0;
        if (!parseText(text, seq, sent))
            return;
        if (seq <= m_lastSeq)
            ++m_result.outOfOrder;
        m_lastSeq = seq;
        if (m_firstNs == 0)
            m_firstNs = sent;
        m_lastNs = now;
        m_result.latenciesMs.push_back((now - sent) / 1e6);
    }
    int received() const { return static_cast<int>(m_result.latenciesMs.size()); }
    bool complete() const { return received() == m_expected; }
    Result finish()
    {
        m_result.lost = m_expected - received();
        m_result.seconds = (m_lastNs - m_firstNs) / 1e9;
        std::sort(m_result.latenciesMs.begin(), m_result.latenciesMs.end());
        return m_result;
    }

private:
    Result m_result;
    int m_expected;
    int m_lastSeq = -1;
    std::int64_t m_firstNs = 0;
    std::int64_t m_lastNs = 0;
};

// One publisher, two subscribers of the same texts at the same time: PosReceiver on the GUI
// thread with its event loop running, and the floor, a bare SUB socket read with blocking
// receives on a thread of its own (with its own ZeroMQ context). The loop runs until both
// have everything or nothing came for two seconds.
std::pair<Result, Result> measure(int rate, int count)
{
    zmq::context_t publisherContext(1);
    Publisher publisher(publisherContext);
    const std::string endpoint = "tcp://127.0.0.1:" + std::to_string(publisher.port());

    Tally bare(count);
    std::atomic<bool> bareDone{false};
    std::thread reader([&] {
        zmq::context_t context(1);
        zmq::socket_t sub(context, zmq::socket_type::sub);
        sub.set(zmq::sockopt::linger, 0);
        sub.set(zmq::sockopt::subscribe, kChannel);
        sub.connect(endpoint);
        zmq::message_t channel, text;
        while (!bare.complete()) {
            sub.set(zmq::sockopt::rcvtimeo, bare.received() ? 2000 : 15000);
            if (!sub.recv(channel) || !sub.recv(text))
                break;
            bare.add(text.to_string().c_str());
        }
        bareDone = true;
    });

    Tally gui(count);
    PosReceiver receiver;
    QEventLoop loop;
    QElapsedTimer quiet;
    quiet.start();
    QObject::connect(&receiver, &PosReceiver::posReceived, &loop,
                     [&](const QString &, const QString &msg) {
                         // Texts that came close together arrive as the lines of one.
                         for (const QString &line : msg.split(QLatin1Char('\n')))
                             gui.add(line.toLatin1().constData());
                         quiet.restart();
                     });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&] {
        const bool done = gui.complete() && bareDone;
        if (done || quiet.elapsed() > 2000 + (gui.received() == 0 ? 15000 : 0))
            loop.quit();
    });
    watchdog.start(50);
    std::thread sender([&] { publisher.run(rate, count, 2); });
    receiver.subscribe(QStringLiteral("127.0.0.1"), publisher.port(), kChannel);
    loop.exec();
    sender.join();
    reader.join();
    receiver.unsubscribe(QStringLiteral("127.0.0.1"), kChannel);
    return {gui.finish(), bare.finish()};
}

double percentile(const std::vector<double> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    const size_t i = std::min(sorted.size() - 1, static_cast<size_t>(p * sorted.size()));
    return sorted[i];
}

void print(const char *name, int rate, const Result &r)
{
    const double throughput = r.seconds > 0 ? r.latenciesMs.size() / r.seconds : 0;
    std::printf("| %s | %d | %zu | %d | %.2f | %.2f | %.2f | %.0f |\n", name, rate,
                r.latenciesMs.size(), r.lost, percentile(r.latenciesMs, 0.5),
                percentile(r.latenciesMs, 0.99), r.latenciesMs.empty() ? 0.0 : r.latenciesMs.back(),
                throughput);
    std::fflush(stdout);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

std::vector<std::unique_ptr<QProcess>> startPlayers(int n)
{
    std::vector<std::unique_ptr<QProcess>> players;
    for (int i = 0; i < n; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->setStandardOutputFile(QProcess::nullDevice());
        p->start(QStringLiteral("mpv"),
                 {"--no-config", "--really-quiet", "--no-audio", "--vo=gpu", "--gpu-sw=yes",
                  "--hwdec=no", "--geometry=320x180", "av://lavfi:testsrc2=size=640x360:rate=25"});
        players.push_back(std::move(p));
    }
    return players;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--flood"))) {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        return runFloodBench(app.arguments());
    }
    int seconds = 5;
    int mpv = 0;
    std::vector<int> rates{100, 1000, 10000};
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--seconds")
            seconds = args[i + 1].toInt();
        else if (args[i] == "--mpv")
            mpv = args[i + 1].toInt();
        else if (args[i] == "--rates") {
            rates.clear();
            for (const QString &r : args[i + 1].split(','))
                rates.push_back(r.toInt());
        }
    }
    // The subscriber's debug lines are not what is measured.
    qSetMessagePattern(QString());
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    auto players = startPlayers(mpv);
    for (auto &p : players) {
        if (!p->waitForStarted(5000)) {
            std::fprintf(stderr, "mpv did not start\n");
            return 1;
        }
    }
    if (mpv > 0) {
        // Let the players open their windows and reach steady playback.
        QEventLoop settle;
        QTimer::singleShot(10000, &settle, &QEventLoop::quit);
        settle.exec();
    }

    std::printf("%d players beside it, %d s per rate, %d-byte texts, load average %s\n\n", mpv,
                seconds, kTextSize, qPrintable(loadAverage()));
    std::printf(
        "| Subscriber | Rate/s | Received | Lost | p50 ms | p99 ms | max ms | Throughput/s |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (int rate : rates) {
        const int count = rate * seconds;
        const auto [gui, bare] = measure(rate, count);
        print("PosReceiver (delivered on the GUI thread)", rate, gui);
        print("bare SUB loop (own thread)", rate, bare);
    }
    for (auto &p : players) {
        if (p->state() == QProcess::NotRunning)
            std::fprintf(stderr, "an mpv player ended before the end of the run\n");
        p->terminate();
        p->waitForFinished(3000);
    }
    return 0;
}
