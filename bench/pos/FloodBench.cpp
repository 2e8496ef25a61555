// A publisher floods one camera's channel (20 000 texts a second for 20 s by default, after an
// optional hostile prelude of three 10 MiB texts of 655 360 short lines and one 10 MiB line)
// into PosReceiver and four CameraView cells fed as the layout page feeds them, in a real
// window. Measured: the process's peak resident memory (sampled on a thread of its own), the
// longest the GUI thread went without running a 10 ms timer, how many texts reached the GUI
// thread, and whether the last line sent was shown.
//
//   bench_pos --flood [--rate 20000] [--seconds 20] [--hostile]
#include "FloodBench.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QTimer>

#include <zmq.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

const char kScene[] = R"(
import QtQuick 2.11
import QtQuick.Window 2.2
import Native 1.0
import Elements 1.0
Window {
    id: window
    visible: true
    width: 640
    height: 480
    property int deliveries: 0
    property string lastText: ""
    Grid {
        columns: 2
        Repeater {
            model: 4
            CameraView {
                id: view
                width: 320
                height: 240
                cameraName: "Till " + index
                Connections {
                    target: PosReceiver
                    function onPosReceived(topic, msg) {
                        if (topic === "12")
                            view.appendPos(msg)
                    }
                }
            }
        }
    }
    Connections {
        target: PosReceiver
        function onPosReceived(topic, msg) {
            window.deliveries++
            window.lastText = msg
        }
    }
    Component.onCompleted: PosReceiver.subscribe("127.0.0.1", publisherPort, "12")
}
)";

long residentKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<int>(qstrlen(field)))
                .trimmed()
                .split(' ')
                .value(0)
                .toLong();
    }
    return 0;
}

class FloodPublisher
{
public:
    FloodPublisher()
    {
        m_socket.set(zmq::sockopt::linger, 0);
        m_socket.bind("tcp://127.0.0.1:*");
        const std::string bound = m_socket.get(zmq::sockopt::last_endpoint);
        m_port = std::stoi(bound.substr(bound.rfind(':') + 1));
    }
    int port() const { return m_port; }

    void send(const QByteArray &text)
    {
        m_socket.send(zmq::buffer("12", 2), zmq::send_flags::sndmore);
        m_socket.send(zmq::const_buffer(text.constData(), static_cast<size_t>(text.size())),
                      zmq::send_flags::none);
        ++sent;
    }

    void hostilePrelude()
    {
        QByteArray lines;
        for (int i = 0; i < 655360; ++i)
            lines += "item " + QByteArray::number(i).rightJustified(9, '0') + '\n';
        for (int i = 0; i < 3; ++i)
            send(lines);
        send(QByteArray(10 * 1024 * 1024, 'x'));
    }

    // rate texts a second for seconds, paced every millisecond.
    void flood(int rate, int seconds)
    {
        const auto start = Clock::now();
        const long total = static_cast<long>(rate) * seconds;
        long done = 0;
        for (int ms = 1; done < total; ++ms) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(ms));
            const long due = std::min(total, static_cast<long>(rate) * ms / 1000);
            for (; done < due; ++done)
                send("line " + QByteArray::number(static_cast<qlonglong>(done)) +
                     " ..............................");
        }
    }

    std::atomic<long> sent{0};

private:
    zmq::context_t m_context{1};
    zmq::socket_t m_socket{m_context, zmq::socket_type::pub};
    int m_port = 0;
};

} // namespace

int runFloodBench(const QStringList &args)
{
    int rate = 20000;
    int seconds = 20;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--rate")
            rate = args[i + 1].toInt();
        else if (args[i] == "--seconds")
            seconds = args[i + 1].toInt();
    }
    const bool hostile = args.contains(QStringLiteral("--hostile"));

    FloodPublisher publisher;
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qml"));
    engine.rootContext()->setContextProperty(QStringLiteral("publisherPort"), publisher.port());
    engine.loadData(kScene);
    if (engine.rootObjects().isEmpty())
        return 1;
    QObject *window = engine.rootObjects().first();

    std::atomic<bool> sampling{true};
    std::atomic<long> peakKiB{0};
    std::thread sampler([&] {
        while (sampling) {
            peakKiB = std::max(peakKiB.load(), residentKiB("VmRSS:"));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });

    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestGapMs = std::max(longestGapMs, sinceTick.restart()); });
    // Let the scene settle and the subscription reach the publisher before measuring.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const long beforeKiB = residentKiB("VmRSS:");
    sinceTick.start();
    ticker.start(10);

    std::atomic<bool> floodDone{false};
    std::thread sender([&] {
        if (hostile)
            publisher.hostilePrelude();
        publisher.flood(rate, seconds);
        floodDone = true;
    });
    const QByteArray lastLine =
        "line " + QByteArray::number(static_cast<qlonglong>(rate) * seconds);
    QElapsedTimer run;
    run.start();
    QElapsedTimer sinceLastSent;
    bool shown = false;
    while (!shown && run.elapsed() < (seconds + 10) * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (!floodDone)
            continue;
        if (!sinceLastSent.isValid() || sinceLastSent.elapsed() > 100) {
            sender.joinable() ? sender.join() : void();
            publisher.send(lastLine);
            sinceLastSent.restart();
        }
        shown = window->property("lastText").toString().endsWith(QString::fromLatin1(lastLine));
    }
    if (sender.joinable())
        sender.join();
    ticker.stop();
    sampling = false;
    sampler.join();

    std::printf("flood: %d texts/s for %d s on one channel, 4 cells%s\n", rate, seconds,
                hostile ? ", after three 10 MiB texts of 655 360 lines and one 10 MiB line" : "");
    std::printf("texts sent: %ld, texts delivered to the GUI thread: %d, last line shown: %s\n",
                publisher.sent.load(), window->property("deliveries").toInt(),
                shown ? "yes" : "no");
    std::printf("resident memory: %.0f MiB before the flood, %.0f MiB at its peak, %.0f MiB at "
                "the end\n",
                beforeKiB / 1024.0, peakKiB / 1024.0, residentKiB("VmRSS:") / 1024.0);
    std::printf("longest GUI-thread gap (10 ms timer): %lld ms\n",
                static_cast<long long>(longestGapMs));
    return shown ? 0 : 1;
}
