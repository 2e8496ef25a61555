// The transaction search over 7 days of the demo's four tills (seed 1, streams 12, 15, 16, 17),
// served by the simulated gateway in process over loopback: time to the first results and to
// the end with an empty store, then with every hour in the store; the longest the main thread
// went without running a 5 ms timer meanwhile; the cost of matching 20 000 receipts; and the
// store's file for 30 days of four busy tills.
#include "ReceiptGenerator.h"
#include "ReceiptQuery.h"
#include "Simulator.h"
#include "TransactionModel.h"
#include "TransactionSearch.h"
#include "TransactionStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <memory>

namespace {

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Times each event the main thread handles in the main thread's own processor time, which
// other programs on a busy machine do not stretch as they stretch the timer's gaps.
class TimedApplication : public QCoreApplication
{
public:
    using QCoreApplication::QCoreApplication;
    double longestEventMs = 0;

    bool notify(QObject *receiver, QEvent *event) override
    {
        // events of the other threads pass through here too
        if (QThread::currentThread() != thread())
            return QCoreApplication::notify(receiver, event);
        if (++m_depth > 1) {
            const bool handled = QCoreApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const double start = threadCpuMs();
        const bool handled = QCoreApplication::notify(receiver, event);
        const double took = threadCpuMs() - start;
        if (qEnvironmentVariableIsSet("BENCH_GAPS") && took > 15)
            std::printf("  event %d to %s took %.1f ms CPU\n", int(event->type()),
                        receiver->metaObject()->className(), took);
        longestEventMs = qMax(longestEventMs, took);
        --m_depth;
        return handled;
    }

private:
    int m_depth = 0;
};

constexpr qint64 kHour = 3600000;
const int kStreams[] = {12, 15, 16, 17};
// What the console names the demo's event server by (ServerIdentity).
const QString kServer = QStringLiteral("127.0.0.1:12240");

const char *const kSite = R"({
  "users": [ { "id": 500, "name": "operator", "password": "operator" } ],
  "objects": [
    { "id": 1, "name": "Shop", "type": 7 },
    { "id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
      "settings": { "address": "127.0.0.1" } },
    { "id": 12, "name": "Till", "type": 10, "parent": 2,
      "pos": { "generator": { "seed": 1, "historyDays": 7, "till": "Till 1" } } },
    { "id": 15, "name": "Till 2", "type": 10, "parent": 2,
      "pos": { "generator": { "seed": 1, "historyDays": 7, "till": "Till 2" } } },
    { "id": 16, "name": "Till 3", "type": 10, "parent": 2,
      "pos": { "generator": { "seed": 1, "historyDays": 7, "till": "Till 3" } } },
    { "id": 17, "name": "Till 4", "type": 10, "parent": 2,
      "pos": { "generator": { "seed": 1, "historyDays": 7, "till": "Till 4" } } }
  ]
})";

struct Run
{
    double firstMs = -1;
    double doneMs = 0;
    double worstGapMs = 0;
    double longestEventMs = 0;
    int results = 0;
    int searched = 0;
};

Run measure(TransactionSearch &search, const QVariantList &tills, qint64 from, qint64 to,
            const QString &query)
{
    Run run;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const double gap = sinceTick.nsecsElapsed() / 1e6;
        if (qEnvironmentVariableIsSet("BENCH_GAPS") && gap > 15)
            std::printf("  gap of %.1f ms at %.1f ms, %d results\n", gap,
                        clock.nsecsElapsed() / 1e6, search.resultCount());
        run.worstGapMs = qMax(run.worstGapMs, gap);
        sinceTick.restart();
    });
    const auto first = QObject::connect(&search, &TransactionSearch::resultCountChanged, [&] {
        if (run.firstMs < 0 && search.resultCount() > 0)
            run.firstMs = clock.nsecsElapsed() / 1e6;
    });
    auto *app = static_cast<TimedApplication *>(QCoreApplication::instance());
    app->longestEventMs = 0;
    QEventLoop loop;
    const auto done =
        QObject::connect(&search, &TransactionSearch::finished, &loop, &QEventLoop::quit);
    ticks.start();
    sinceTick.start();
    clock.start();
    search.start(tills, from, to, query);
    loop.exec();
    run.doneMs = clock.nsecsElapsed() / 1e6;
    ticks.stop();
    QObject::disconnect(first);
    QObject::disconnect(done);
    run.longestEventMs = app->longestEventMs;
    run.results = search.resultCount();
    run.searched = search.receiptsSearched();
    return run;
}

void print(const char *what, const Run &run)
{
    std::printf("%-34s first results %7.1f ms, complete %7.1f ms, longest timer gap %5.1f ms, "
                "longest event %5.1f ms CPU; %d results of %d receipts\n",
                what, run.firstMs, run.doneMs, run.worstGapMs, run.longestEventMs, run.results,
                run.searched);
}

void matchCost(TransactionSearch &search)
{
    QStringList texts;
    for (int i = 0; i < search.results()->count(); ++i)
        texts << search.results()->row(i).text;
    const QVector<QPair<QString, QVariant>> queries = {
        {QStringLiteral("gruyere"), QVariant()},
        {QStringLiteral("\"no sale\""), QVariant()},
        {QStringLiteral("refund till 1"), QVariant()},
        {QString(), QVariant(50)}};
    for (const auto &[typed, minimum] : queries) {
        const ReceiptQuery query(typed, minimum);
        QElapsedTimer clock;
        clock.start();
        int found = 0;
        for (const QString &text : qAsConst(texts))
            found += query.matches(text) ? 1 : 0;
        std::printf("matching %d receipts for %-16s minimum %-3s: %6.1f ms, %d found\n",
                    int(texts.size()), qPrintable(typed), qPrintable(minimum.toString()),
                    clock.nsecsElapsed() / 1e6, found);
    }
}

void storeSize(const QString &folder)
{
    const QString file = folder + QStringLiteral("/month.sqlite");
    const qint64 end = QDateTime::currentMSecsSinceEpoch() / kHour * kHour - kHour;
    const qint64 start = end - 30 * 24 * kHour;
    QElapsedTimer clock;
    clock.start();
    int count = 0;
    {
        TransactionStore store(file);
        store.open(end);
        for (int stream : kStreams) {
            const ardix::sim::ReceiptGenerator generator(1, stream, "Till");
            for (qint64 hour = start; hour < end; hour += kHour) {
                QVector<PosText> texts;
                for (const auto &receipt : generator.between(hour, hour + kHour))
                    texts.append({receipt.timeMs, QString::fromStdString(receipt.text)});
                count += texts.size();
                store.addTexts(kServer, QString::number(stream), hour, hour + kHour, texts,
                               end + kHour);
            }
        }
    }
    std::printf("store of 30 days of 4 tills: %d receipts, %.1f MB (written in %.1f s)\n", count,
                QFileInfo(file).size() / 1e6, clock.elapsed() / 1e3);
}

} // namespace

int main(int argc, char **argv)
{
    TimedApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const qint64 load = QDateTime::currentMSecsSinceEpoch();
    std::string error;
    auto site = ardix::sim::Site::fromJson(kSite, load, error);
    ardix::sim::SimulatorOptions options;
    options.site = std::move(*site);
    options.log = [](const std::string &) {};
    options.ephemeralPosPorts = true;
    ardix::sim::Simulator sim(std::move(options));
    if (!sim.start(&error)) {
        std::fprintf(stderr, "zarn-sim: %s\n", error.c_str());
        return 1;
    }
    const QString gateway = QStringLiteral("http://127.0.0.1:%1").arg(sim.gatewayHttpPort(2));
    QVariantList tills;
    for (int i = 0; i < 4; ++i)
        tills.append(QVariantMap{{"streamId", QString::number(kStreams[i])},
                                 {"name", QStringLiteral("Till %1").arg(i + 1)},
                                 {"gateway", gateway}});
    // 7 days of whole hours, all of them over 5 minutes old: the second search finds them all
    // stored.
    const qint64 to = (load - TransactionStore::kRecentMs) / kHour * kHour;
    const qint64 from = (load - 7 * 24 * kHour) / kHour * kHour + kHour;

    TransactionSearch search;
    // the receipts are kept under the server signed in to, as in the console
    search.setServer(kServer);
    print("7 days, empty store, all receipts", measure(search, tills, from, to, QString()));
    print("7 days, stored, all receipts", measure(search, tills, from, to, QString()));
    print("7 days, stored, \"gruyere\"",
          measure(search, tills, from, to, QStringLiteral("gruyere")));
    print("7 days, stored, all again", measure(search, tills, from, to, QString()));
    matchCost(search);
    storeSize(dir.path());
    return 0;
}
