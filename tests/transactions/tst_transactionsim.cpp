// A search over the simulated site's receipt history, in process, from a gateway that answers
// at most 7 texts at a time: it finds exactly the receipts the site's generator made with the
// word, and the second time, with the site gone, answers them from the store and says it is
// offline. The export's fetch and the timeline's cache take every receipt of a range once.
#include "PosTextCache.h"
#include "PosTextDownload.h"
#include "ReceiptGenerator.h"
#include "Simulator.h"
#include "TransactionModel.h"
#include "TransactionSearch.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <set>

namespace {

const char *const kSite = R"({
  "users": [ { "id": 500, "name": "operator", "password": "operator" } ],
  "objects": [
    { "id": 1, "name": "Shop", "type": 7 },
    { "id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
      "posDataCap": 7, "settings": { "address": "127.0.0.1" } },
    { "id": 11, "name": "Till A", "type": 10, "parent": 2,
      "pos": { "generator": { "seed": 5, "historyDays": 1, "till": "Till A" } } },
    { "id": 12, "name": "Till B", "type": 10, "parent": 2,
      "pos": { "generator": { "seed": 5, "historyDays": 1, "till": "Till B" } } }
  ]
})";

using Found = std::set<std::pair<qint64, QString>>;

} // namespace

class TestTransactionSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path()));
        m_loadMs = QDateTime::currentMSecsSinceEpoch();
        std::string error;
        auto site = ardix::sim::Site::fromJson(kSite, m_loadMs, error);
        QVERIFY2(site, error.c_str());
        ardix::sim::SimulatorOptions options;
        options.site = std::move(*site);
        options.log = [](const std::string &) {};
        options.ephemeralPosPorts = true;
        m_sim = std::make_unique<ardix::sim::Simulator>(std::move(options));
        QVERIFY2(m_sim->start(&error), error.c_str());
        m_gateway = QStringLiteral("http://127.0.0.1:%1").arg(m_sim->gatewayHttpPort(2));
    }

    // Three hours of Till A, answered 7 texts at a time, are each receipt once, in order.
    void everyReceiptOfARangeOnce()
    {
        // the shop's first three hours of at least 22 receipts in the last day
        qint64 from = m_loadMs / 3600000 * 3600000 - 2 * 3600000LL;
        qint64 to = from;
        QVector<QPair<qint64, QString>> expected;
        while (expected.size() <= 3 * 7 && from > m_loadMs - 20 * 3600000LL) {
            from -= 3600000;
            to = from + 3 * 3600000LL;
            expected.clear();
            for (const auto &receipt :
                 ardix::sim::ReceiptGenerator(5, 11, "Till A").between(from, to))
                expected.append({receipt.timeMs, QString::fromStdString(receipt.text)});
        }
        QVERIFY(expected.size() > 3 * 7);

        const std::atomic<bool> cancelled{false};
        const PosTextDownload::Result got =
            PosTextDownload::fetch(m_gateway, QStringLiteral("11"), from, to, &cancelled);
        QVERIFY2(got.complete, qPrintable(got.reason));
        // Answers of 7 texts at most: a last one of exactly 7 is not cut and none follows it.
        QVERIFY(got.answers >= (expected.size() + 6) / 7);
        QCOMPARE(pairs(got.texts), expected);

        PosTextCache cache;
        cache.setServer(QStringLiteral("sim"));
        cache.setSource(QStringLiteral("11"), m_gateway);
        cache.request(from, to);
        QVERIFY(QTest::qWaitFor([&] { return !cache.busy(); }, 60000));
        QVERIFY(!cache.failedBetween(from, to));
        QVector<PosText> cached;
        for (const QVariant &text : cache.textsBetween(from, to))
            cached.append(
                {text.toMap().value("time").toLongLong(), text.toMap().value("text").toString()});
        QCOMPARE(pairs(cached), expected);
    }

    void searchFindsTheGeneratorsReceipts()
    {
        // The last minute before the site loaded is left out: what comes after is live.
        const qint64 from = m_loadMs - 20 * 3600000LL;
        const qint64 to = m_loadMs - 60000;
        Found expected;
        for (const auto &[id, till] :
             {std::pair<int, const char *>{11, "Till A"}, {12, "Till B"}}) {
            const ardix::sim::ReceiptGenerator generator(5, id, till);
            for (const auto &receipt : generator.between(from, to)) {
                if (receipt.text.find("Gruyère") != std::string::npos)
                    expected.insert({receipt.timeMs, QString::fromStdString(receipt.text)});
            }
        }
        QVERIFY(expected.size() > 5);

        TransactionSearch search;
        QCOMPARE(run(search, from, to), expected);
        QVERIFY(search.problems().isEmpty() && !search.offline());

        m_sim->stop();
        m_sim.reset();
        // The last hour reached into the last minutes: it is asked again, and finds no one.
        QCOMPARE(run(search, from, to), expected);
        QCOMPARE(search.problems().size(), 2);
        QVERIFY(search.offline());
    }

private:
    static QVector<QPair<qint64, QString>> pairs(const QVector<PosText> &texts)
    {
        QVector<QPair<qint64, QString>> out;
        for (const PosText &text : texts)
            out.append({text.time, text.text});
        return out;
    }

    Found run(TransactionSearch &search, qint64 from, qint64 to)
    {
        const QVariantList tills = {
            QVariantMap{{"streamId", "11"}, {"name", "Till A"}, {"gateway", m_gateway}},
            QVariantMap{{"streamId", "12"}, {"name", "Till B"}, {"gateway", m_gateway}}};
        search.start(tills, from, to, QStringLiteral("GRUYERE"));
        if (!QTest::qWaitFor([&] { return !search.running(); }, 120000))
            return {};
        Found found;
        for (int i = 0; i < search.results()->count(); ++i)
            found.insert({search.results()->row(i).time, search.results()->row(i).text});
        return found;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ardix::sim::Simulator> m_sim;
    QString m_gateway;
    qint64 m_loadMs = 0;
};

QTEST_GUILESS_MAIN(TestTransactionSim)
#include "tst_transactionsim.moc"
