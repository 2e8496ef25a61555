// The shared history of a stream through its C++ interface, against the in-process simulated
// site over loopback: what it knows and plays across chunks back to back and across a gap,
// Home and End, a search refused and one that never answers (both marked, both asked again),
// the growing end of a stream that records on asked again at most once per 10 s, and two
// servers whose stream ids are the same numbers kept apart.
#include "CallLog.h"
#include "SimServer.h"
#include "StreamHistories.h"
#include "StreamHistory.h"
#include "ZarnClient.h"
#include "ZarnObjectsRepository.h"

#include <Site.h>

#include <QDateTime>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

constexpr qint64 kMinute = 60000;
constexpr int kDeadline = 40000;
constexpr qint64 kNone = -1;

qint64 present()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// Gateway 2 at 127.0.0.1. Stream 12: two chunks back to back; 14: a chunk, a 2-minute gap, a
// chunk; 13 records on in one-minute chunks; 15: one chunk (`shift` moves it, for a second
// site with the same ids).
std::string siteJson(qint64 t0, qint64 shift = 0)
{
    const auto chunk = [](qint64 start, qint64 end) {
        return QStringLiteral(R"({"start": %1, "end": %2, "size": 400000})").arg(start).arg(end);
    };
    return QStringLiteral(R"({
        "name": "History", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 12, "name": "Till", "type": 10, "parent": 2, "chunks": [%1, %2]},
          {"id": 14, "name": "Door", "type": 10, "parent": 2, "chunks": [%3, %4]},
          {"id": 15, "name": "Back", "type": 10, "parent": 2, "chunks": [%5]},
          {"id": 13, "name": "Entrance", "type": 10, "parent": 2,
           "recording": {"hours": 1, "chunkMinutes": 1}}
        ]})")
        .arg(chunk(t0 + shift, t0 + shift + kMinute),
             chunk(t0 + shift + kMinute, t0 + shift + 2 * kMinute), chunk(t0, t0 + kMinute),
             chunk(t0 + 3 * kMinute, t0 + 4 * kMinute), chunk(t0 + shift, t0 + shift + kMinute))
        .toStdString();
}

} // namespace

class TestStreamHistory : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<ZarnObjectsRepository> m_repo;
    std::unique_ptr<ZarnClient> m_client;
    std::unique_ptr<StreamHistories> m_histories;
    qint64 m_t0 = 0;

    static std::unique_ptr<SimServer> startSite(qint64 t0, qint64 shift)
    {
        std::string error;
        return SimServer::fromJson(siteJson(t0, shift), present(), error);
    }

    void signInTo(SimServer &server)
    {
        m_client->setHost(QStringLiteral("127.0.0.1"));
        m_client->setPort(server.port());
        m_client->setUsername(QStringLiteral("operator"));
        m_client->setPassword(QStringLiteral("operator"));
        CallLog connected(m_client.get(), &ZarnClient::connected);
        m_client->connectToZarn();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, kDeadline);
        CallLog loggedIn(m_client.get(), &ZarnClient::loggedIn);
        m_client->login();
        QTRY_COMPARE_WITH_TIMEOUT(loggedIn.count(), 1, kDeadline);
        QSignalSpy rebuilt(m_repo.get(), &ZarnObjectsRepository::dataChanged);
        m_client->fetchObjects();
        QVERIFY(rebuilt.wait(kDeadline));
    }

    // The moment `history` says can be played after playWhenKnown(t) or playEdge().
    static qint64 readyMoment(StreamHistory *history, const std::function<void()> &ask)
    {
        QSignalSpy ready(history, &StreamHistory::momentReady);
        ask();
        if (ready.isEmpty() && !ready.wait(kDeadline))
            return -2;
        return ready.constFirst().constFirst().toLongLong();
    }

private slots:
    void initTestCase()
    {
        m_t0 = (present() / kMinute - 30) * kMinute;
        m_server = startSite(m_t0, 0);
        QVERIFY(m_server);
        m_repo = std::make_unique<ZarnObjectsRepository>();
        m_client = std::make_unique<ZarnClient>();
        m_client->setRepository(m_repo.get());
        m_histories = std::make_unique<StreamHistories>();
        m_histories->setClient(m_client.get());
        m_histories->setRepository(m_repo.get());
        signInTo(*m_server);
    }

    void cleanupTestCase()
    {
        m_histories.reset();
        m_client.reset();
        m_repo.reset();
        m_server.reset();
    }

    // A moment asked for plays once the chunks around it are known: which chunk holds it,
    // which comes next and where, the first and last recorded moments. An id the server does
    // not know: its search fails, the range is marked, nothing plays.
    void momentsAcrossChunks_data()
    {
        // Times after the site's first chunk start (t0); kNone: none.
        QTest::addColumn<QString>("stream");
        QTest::addColumn<qint64>("moment");
        QTest::addColumn<qint64>("holder");   // start of the chunk holding it
        QTest::addColumn<qint64>("nextFrom"); // the next recorded moment from its chunk's end
        QTest::addColumn<qint64>("last");

        QTest::newRow("back to back, before the boundary")
            << "12" << kMinute - 1 << qint64(0) << kMinute << 2 * kMinute;
        QTest::newRow("back to back, at the boundary")
            << "12" << kMinute << kMinute << kNone << 2 * kMinute;
        QTest::newRow("before a gap")
            << "14" << qint64(30000) << qint64(0) << 3 * kMinute << 4 * kMinute;
        QTest::newRow("in the gap") << "14" << 2 * kMinute << kNone << kNone << 4 * kMinute;
        QTest::newRow("unknown stream") << "999" << qint64(0) << kNone << kNone << kNone;
    }

    void momentsAcrossChunks()
    {
        QFETCH(QString, stream);
        QFETCH(qint64, moment);
        QFETCH(qint64, holder);
        QFETCH(qint64, nextFrom);
        QFETCH(qint64, last);
        const auto at = [this](qint64 offset) { return offset == kNone ? -1 : m_t0 + offset; };
        StreamHistory *history = m_histories->of(stream);
        QVERIFY(history);
        if (stream == QLatin1String("999")) {
            QSignalSpy failed(history, &StreamHistory::searchFailed);
            QSignalSpy ready(history, &StreamHistory::momentReady);
            history->playWhenKnown(at(moment));
            QVERIFY(failed.wait(kDeadline));
            QVERIFY(!history->index()->failedBetween(at(moment), at(moment) + 1).isEmpty());
            QVERIFY(!history->knows(at(moment)));
            QCOMPARE(history->pendingMoment(), at(moment));
            QVERIFY(ready.isEmpty());
            history->cancelPending();
            return;
        }
        QCOMPARE(readyMoment(history, [&] { history->playWhenKnown(at(moment)); }), at(moment));
        QCOMPARE(history->pendingMoment(), qint64(-1));
        const QVariantMap chunk = history->index()->chunkAt(at(moment));
        QCOMPARE(chunk.isEmpty() ? qint64(-1) : chunk.value("start").toLongLong(), at(holder));
        if (!chunk.isEmpty())
            QCOMPARE(history->index()->nextRecordedAfter(chunk.value("end").toLongLong()),
                     at(nextFrom));
        QCOMPARE(history->lastRecorded(), at(last));
    }

    // Home and End: the first recorded moment, and ten seconds before the last; a stream that
    // records on ends near the present.
    void edges()
    {
        StreamHistory *gap = m_histories->of(QStringLiteral("14"));
        QCOMPARE(readyMoment(gap, [&] { gap->playEdge(false); }), m_t0);
        QCOMPARE(readyMoment(gap, [&] { gap->playEdge(true); }), m_t0 + 4 * kMinute - 10000);
        StreamHistory *recording = m_histories->of(QStringLiteral("13"));
        const qint64 end = readyMoment(recording, [&] { recording->playEdge(true); });
        QVERIFY2(end > present() - 20000 && end < present(), qPrintable(QString::number(end)));
    }

    // A search that does not answer in time counts as failed and is drawn so; it is asked
    // again, and once answered the range is known and no longer marked.
    void searchThatTimesOutIsAskedAgain()
    {
        StreamHistory *history = m_histories->of(QStringLiteral("15"));
        const qint64 before = m_server->sim().chunkSearches(15);
        m_server->sim().setHeldOperation("searchChunks");
        const auto release = qScopeGuard([this] { m_server->sim().setHoldRequests(false); });
        QSignalSpy failed(history, &StreamHistory::searchFailed);
        QSignalSpy ready(history, &StreamHistory::momentReady);
        history->playWhenKnown(m_t0 + 1000);
        const int asked = history->searching();
        QVERIFY(asked > 0 && asked <= StreamHistory::kMaxSearches);
        QVERIFY(failed.wait(kDeadline));
        QVERIFY(!history->index()->failedBetween(m_t0, m_t0 + 1).isEmpty());
        QCOMPARE(history->searching(), 0);
        QVERIFY(ready.isEmpty());
        // Asked again while the first searches are still unanswered.
        QTRY_VERIFY_WITH_TIMEOUT(m_server->sim().waitForHeldRequests(std::size_t(asked) + 1,
                                                                     std::chrono::milliseconds(0)),
                                 kDeadline);
        m_server->sim().setHoldRequests(false);
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, kDeadline);
        QCOMPARE(ready.constFirst().constFirst().toLongLong(), m_t0 + 1000);
        QVERIFY(history->index()->failedBetween(m_t0, m_t0 + kMinute).isEmpty());
        QVERIFY(m_server->sim().chunkSearches(15) - before > asked);
    }

    // A range shown up to the present: what is being recorded is asked again as time passes,
    // at most once per 10 s, and its end follows the clock.
    void growingEndAskedAgainAtMostEveryTenSeconds()
    {
        StreamHistory *history = m_histories->of(QStringLiteral("13"));
        history->showRange(present() - 10 * kMinute, present() + kMinute);
        QTRY_VERIFY_WITH_TIMEOUT(history->lastRecorded() > present() - 5000, kDeadline);
        const qint64 before = m_server->sim().chunkSearches(13);
        const qint64 since = present();
        QTRY_VERIFY_WITH_TIMEOUT(m_server->sim().chunkSearches(13) >= before + 2, kDeadline);
        const qint64 asked = m_server->sim().chunkSearches(13) - before;
        const qint64 spent = present() - since;
        QVERIFY2(asked <= spent / ChunkSearches::kAgainMs + 1,
                 qPrintable(QStringLiteral("%1 searches in %2 ms").arg(asked).arg(spent)));
        QVERIFY(history->lastRecorded() > present() - 5000);
        history->showRange(0, 0);
    }

    // Two servers whose streams have the same ids: each has its own history, filled from its
    // own answers; the same stream of the same server is one history for every screen.
    void twoServersKeepTheirOwn()
    {
        const QString first = m_histories->server();
        StreamHistory *a = m_histories->of(QStringLiteral("15"));
        QCOMPARE(m_histories->of(first, QStringLiteral("15")), a);
        QCOMPARE(a->firstRecorded(), m_t0);

        auto other = startSite(m_t0, 5 * kMinute);
        QVERIFY(other);
        signInTo(*other);
        QVERIFY(m_histories->server() != first);
        StreamHistory *b = m_histories->of(QStringLiteral("15"));
        QVERIFY(b && b != a);
        QCOMPARE(readyMoment(b, [&] { b->playEdge(false); }), m_t0 + 5 * kMinute);
        QCOMPARE(a->firstRecorded(), m_t0);
        QVERIFY(a->index()->chunkAt(m_t0 + 5 * kMinute + 1000).isEmpty());
        // The first server's history asks nothing of the second.
        a->forget();
        a->search(m_t0 - kMinute, m_t0 + kMinute);
        QCOMPARE(a->searching(), 0);
        QCOMPARE(m_histories->of(first, QStringLiteral("15")), a);
    }
};

QTEST_MAIN(TestStreamHistory)
#include "tst_streamhistory.moc"
