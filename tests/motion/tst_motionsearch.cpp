// Motion search against the in-process simulated site: the areas and ranges refused, what a
// search finds of the scene's known crossings (MotionScene: one kind in each of four ten-minute
// slots of opening hours, each recorded in a main-profile chunk around it), a recording corrupt
// midway, one the gateway refuses and one whose gateway stalls named with the rest searched,
// and Cancel ending every thread at once.
#include "CallLog.h"
#include "MotionArea.h"
#include "MotionMoments.h"
#include "MotionSearch.h"
#include "SimServer.h"
#include "StreamHistories.h"
#include "StreamHistory.h"
#include "ZarnClient.h"
#include "ZarnObjectsRepository.h"

#include <MotionScene.h>
#include <Site.h>

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

constexpr qint64 kMinute = 60000;
constexpr int kDeadline = 240000;

qint64 present()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QVariantMap rect(double x, double y, double w, double h)
{
    return {{QStringLiteral("x"), x},
            {QStringLiteral("y"), y},
            {QStringLiteral("width"), w},
            {QStringLiteral("height"), h}};
}

using ardix::sim::Crossing;
using ardix::sim::CrossingKind;
using ardix::sim::MotionScene;

constexpr std::uint64_t kSeed = 7;

// Four ten-minute slots from 10:00 local on a fixed day: each holds a crossing, one of each
// kind (kinds take turns by slot).
QVector<Crossing> sceneCrossings(std::int64_t stream = 14)
{
    const qint64 from =
        QDateTime(QDate(2026, 12, 1), QTime(10, 0)).toMSecsSinceEpoch() / MotionScene::kSlotMs;
    const MotionScene scene(kSeed, stream);
    QVector<Crossing> found;
    for (qint64 slot = from; slot < from + 4; ++slot) {
        if (const auto c = scene.crossingOfSlot(slot))
            found.append(*c);
    }
    return found;
}

// A main-profile chunk from 20 s before a crossing to 20 s after it, on whole seconds.
QString chunkAround(const Crossing &c)
{
    const qint64 start = (c.startMs - 20000) / 1000 * 1000;
    const qint64 end = (c.endMs + 21000) / 1000 * 1000;
    return QStringLiteral(R"({"start": %1, "end": %2, "size": %3, "profile": "main"})")
        .arg(start)
        .arg(end)
        .arg((end - start) * 125);
}

// How long a crossing is inside an area.
qint64 msInside(const Crossing &c, const ardix::sim::SceneRect &area)
{
    qint64 inside = 0;
    for (qint64 t = c.startMs; t < c.endMs; t += 40)
        inside += c.at(t)->overlaps(area) ? 40 : 0;
    return inside;
}

const char *kindName(CrossingKind kind)
{
    return MotionScene::kindName(kind);
}

// Gateway 2 at 127.0.0.1. Stream 12: ten minutes of the scene in two chunks, the second one
// lost by the gateway (404); 14: the crossings of
// sceneCrossings(), each in a chunk of its own; 16: the first of them again, corrupted by the
// test midway. Gateway 3 takes connections and never answers: its stream 17.
std::string siteJson(qint64 t0, quint16 stalledPort)
{
    QStringList around;
    for (const Crossing &c : sceneCrossings())
        around.append(chunkAround(c));
    return QStringLiteral(R"({
        "name": "Motion", "rootId": 1, "seed": %5,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1"}},
          {"id": 12, "name": "Till", "type": 10, "parent": 2,
           "chunks": [{"start": %1, "end": %2, "size": 400000},
                      {"start": %2, "end": %3, "size": 400000, "unavailable": true}]},
          {"id": 14, "name": "Shop floor", "type": 10, "parent": 2, "chunks": [%4]},
          {"id": 16, "name": "Corrupt", "type": 10, "parent": 2, "chunks": [%6]},
          {"id": 3, "name": "Stalled gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "settings": {"address": "127.0.0.1", "httpPort": %7}},
          {"id": 17, "name": "Back door", "type": 10, "parent": 3,
           "chunks": [{"start": %1, "end": %2, "size": 400000}]}
        ]})")
        .arg(t0)
        .arg(t0 + 5 * kMinute)
        .arg(t0 + 10 * kMinute)
        .arg(around.join(QLatin1Char(',')))
        .arg(kSeed)
        .arg(chunkAround(sceneCrossings(16).value(1)))
        .arg(stalledPort)
        .toStdString();
}

} // namespace

class TestMotionSearch : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<ZarnObjectsRepository> m_repo;
    std::unique_ptr<ZarnClient> m_client;
    std::unique_ptr<StreamHistories> m_histories;
    qint64 m_t0 = 0;
    QTcpServer m_stalled;

    StreamHistory *history(const QString &stream)
    {
        StreamHistory *h = m_histories->of(stream);
        if (h && !h->gatewayKnown()) {
            QSignalSpy known(h, &StreamHistory::gatewayChanged);
            known.wait(20000);
        }
        return h;
    }

    // Runs a search to its end.
    static bool searchAll(MotionSearch &search, qint64 from, qint64 to)
    {
        QSignalSpy finished(&search, &MotionSearch::finished);
        return search.start(from, to) && finished.wait(kDeadline);
    }

private slots:
    void initTestCase()
    {
        m_t0 = (present() / kMinute - 60) * kMinute;
        std::string error;
        QVERIFY(m_stalled.listen(QHostAddress::LocalHost));
        // Requests are read and never answered; the sockets stay open until the end.
        connect(&m_stalled, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_stalled.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
        });
        m_server = SimServer::fromJson(siteJson(m_t0, m_stalled.serverPort()), present(), error);
        QVERIFY2(m_server, error.c_str());
        m_repo = std::make_unique<ZarnObjectsRepository>();
        m_client = std::make_unique<ZarnClient>();
        m_client->setRepository(m_repo.get());
        m_histories = std::make_unique<StreamHistories>();
        m_histories->setClient(m_client.get());
        m_histories->setRepository(m_repo.get());
        m_client->setHost(QStringLiteral("127.0.0.1"));
        m_client->setPort(m_server->port());
        m_client->setUsername(QStringLiteral("operator"));
        m_client->setPassword(QStringLiteral("operator"));
        CallLog connected(m_client.get(), &ZarnClient::connected);
        m_client->connectToZarn();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, 40000);
        CallLog loggedIn(m_client.get(), &ZarnClient::loggedIn);
        m_client->login();
        QTRY_COMPARE_WITH_TIMEOUT(loggedIn.count(), 1, 40000);
        QSignalSpy rebuilt(m_repo.get(), &ZarnObjectsRepository::dataChanged);
        m_client->fetchObjects();
        QVERIFY(rebuilt.wait(40000));
    }

    void cleanupTestCase()
    {
        m_histories.reset();
        m_client.reset();
        m_repo.reset();
        m_server.reset();
    }

    // What is refused before anything is fetched, and said to the operator.
    void refused_data()
    {
        QTest::addColumn<QVariantList>("areas");
        QTest::addColumn<qint64>("span");
        QTest::addColumn<QString>("message");
        const QVariantList corner{rect(0.6, 0.6, 0.3, 0.3)};
        QTest::newRow("no area") << QVariantList() << kMinute
                                 << QStringLiteral("Mark an area of the picture first");
        QTest::newRow("zero width") << QVariantList{rect(0.2, 0.2, 0, 0.3)} << kMinute
                                    << QStringLiteral("An area has no size: draw it larger");
        QTest::newRow("outside the picture")
            << QVariantList{rect(1.5, 0.2, 0.3, 0.3)} << kMinute
            << QStringLiteral("An area has no size: draw it larger");
        QTest::newRow("not a rectangle") << QVariantList{QStringLiteral("everywhere")} << kMinute
                                         << QStringLiteral("An area has no size: draw it larger");
        QTest::newRow("empty range")
            << corner << qint64(0) << QStringLiteral("The range to search is empty");
        QTest::newRow("31 days") << corner << 31 * 24 * 60 * kMinute
                                 << QStringLiteral(
                                        "A search covers at most 7 days: choose a shorter range");
    }
    void refused()
    {
        QFETCH(QVariantList, areas);
        QFETCH(qint64, span);
        QFETCH(QString, message);
        MotionSearch search;
        search.setHistory(history(QStringLiteral("12")));
        search.setAreas(areas);
        QVERIFY(!search.start(m_t0, m_t0 + span));
        QCOMPARE(search.message(), message);
        QVERIFY(!search.running());
    }

    void wholePictureIsAllowed()
    {
        QString error;
        const MotionArea area = MotionArea::fromVariant({rect(-0.1, -0.1, 1.2, 1.2)}, &error);
        QVERIFY2(!area.isEmpty(), qPrintable(error));
        QCOMPARE(area.mask(8, 4), QByteArray(32, '\1'));
        const MotionArea corner = MotionArea::fromVariant({rect(0.5, 0.5, 0.5, 0.5)}, &error);
        QCOMPARE(corner.mask(4, 2), QByteArray("\0\0\0\0\0\0\1\1", 8));
    }

    // The recording the gateway has lost is named, not skipped in silence, and the rest of the
    // range is searched.
    void lostRecordingIsNamed()
    {
        MotionSearch search;
        QAbstractItemModelTester tester(search.moments(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        search.setHistory(history(QStringLiteral("12")));
        search.setAreas({rect(0.5, 0.5, 0.4, 0.4)});
        QSignalSpy finished(&search, &MotionSearch::finished);
        QVERIFY(search.start(m_t0, m_t0 + 10 * kMinute));
        QVERIFY(finished.wait(kDeadline));
        QCOMPARE(search.unreadable(), 1);
        QVERIFY2(search.problems().join('\n').contains(QStringLiteral("404")),
                 qPrintable(search.problems().join('\n')));
        QCOMPARE(search.hoursDone(), search.hoursTotal());
        QVERIFY(search.bytesRead() > 0);
    }

    // Searched in an area, every crossing that stays in it 2 s or more is found, the start of
    // a moment within a second of the moment it enters (motion is seen at keyframes, one a
    // second), and every moment found is one of the crossings: one row per kind, in what that
    // kind passes through (others may pass there too), and an area nothing crosses, the
    // burned-in name and clock in it, that finds nothing.
    void crossings_data()
    {
        QTest::addColumn<QVariantMap>("area");
        QTest::addColumn<int>("staying"); // crossings of sceneCrossings() 2 s or more in the area
        const QVector<Crossing> crossings = sceneCrossings();
        QCOMPARE(crossings.size(), 4);
        for (const Crossing &c : crossings) {
            const ardix::sim::SceneRect box{c.box.x + 0.02, c.box.y + 0.02, c.box.w - 0.04,
                                            c.box.h - 0.04};
            int staying = 0;
            for (const Crossing &other : crossings)
                staying += msInside(other, box) >= 2000;
            QTest::newRow(kindName(c.kind)) << rect(box.x, box.y, box.w, box.h) << staying;
        }
        QTest::newRow("outside the area, clock in it") << rect(0, 0, 0.85, 0.27) << 0;
    }
    void crossings()
    {
        QFETCH(QVariantMap, area);
        QFETCH(int, staying);
        const QVector<Crossing> all = sceneCrossings();
        MotionSearch search;
        QAbstractItemModelTester tester(search.moments(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        search.setHistory(history(QStringLiteral("14")));
        search.setAreas({area});
        QVERIFY(searchAll(search, all.first().startMs - kMinute, all.last().endMs + kMinute));
        QVERIFY2(search.problems().isEmpty(), qPrintable(search.problems().join('\n')));
        const auto clock = [](qint64 t) {
            return QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("HH:mm:ss.zzz"));
        };
        QStringList found;
        QVector<QVariantMap> moments;
        for (int row = 0; row < search.moments()->count(); ++row) {
            moments.append(search.moments()->get(row));
            found.append(clock(moments.last().value("start").toLongLong()) + QLatin1Char('+') +
                         moments.last().value("duration").toString());
        }
        const QString said = QStringLiteral("found: ") + found.join(' ');
        const ardix::sim::SceneRect r{area.value("x").toDouble(), area.value("y").toDouble(),
                                      area.value("width").toDouble(),
                                      area.value("height").toDouble()};
        int stayed = 0;
        for (const Crossing &c : all) {
            const auto enters = c.entersAt(r);
            if (!enters || msInside(c, r) < 2000)
                continue;
            ++stayed;
            const bool seen =
                std::any_of(moments.begin(), moments.end(), [&](const QVariantMap &m) {
                    return qAbs(m.value("start").toLongLong() - *enters) <= 1000;
                });
            QVERIFY2(seen, qPrintable(QStringLiteral("%1 enters at %2, %3")
                                          .arg(kindName(c.kind), clock(*enters), said)));
        }
        QCOMPARE(stayed, staying);
        for (const QVariantMap &m : moments) {
            const qint64 start = m.value("start").toLongLong();
            const qint64 end = m.value("end").toLongLong();
            const bool crossing = std::any_of(all.begin(), all.end(), [&](const Crossing &c) {
                return start < c.endMs + 1000 && end > c.startMs - 1000;
            });
            QVERIFY2(crossing,
                     qPrintable(clock(start) + QStringLiteral(" is no crossing, ") + said));
        }
        if (!moments.isEmpty()) {
            // The picture of the moment's peak, for the list.
            QCOMPARE(search.moments()
                         ->data(search.moments()->index(0), MotionMoments::PictureRole)
                         .value<QImage>()
                         .width(),
                     MotionSearch::kPictureWidth);
        }
    }

    // A recording whose middle is garbage: the keyframes there are named, the crossing in the
    // part before them still found, the search goes on to its end.
    void corruptMidway()
    {
        const Crossing c = sceneCrossings(16).value(1);
        const QVariantMap area = rect(c.box.x, c.box.y, c.box.w, c.box.h);
        MotionSearch search;
        search.setHistory(history(QStringLiteral("16")));
        search.setAreas({area});
        const qint64 from = c.startMs - kMinute, to = c.endMs + kMinute;
        QVERIFY(searchAll(search, from, to)); // the gateway makes the file
        const int whole = search.moments()->count();
        QVERIFY(whole >= 1);
        QDir cache(
            qEnvironmentVariable("XDG_CACHE_HOME", QDir::homePath() + QStringLiteral("/.cache")) +
            QStringLiteral("/zarn-sim"));
        const QStringList made =
            cache.entryList({QStringLiteral("rec-main-*-%1-16-*.mp4").arg(kSeed)}, QDir::Files);
        QCOMPARE(made.size(), 1);
        QFile file(cache.filePath(made.first()));
        QVERIFY(file.open(QIODevice::ReadWrite));
        // The last third garbled: past the crossing's start, before its end.
        const qint64 size = file.size();
        file.seek(size * 2 / 3);
        QVERIFY(file.write(QByteArray(int(size / 3 - 1000), '\x5a')) > 0);
        file.close();

        QVERIFY(searchAll(search, from, to));
        QCOMPARE(search.unreadable(), 1);
        QVERIFY2(search.problems().join('\n').contains(QStringLiteral("did not decode")),
                 qPrintable(search.problems().join('\n')));
        QVERIFY(search.moments()->count() >= 1);
        QCOMPARE(search.hoursDone(), search.hoursTotal());
    }

    // A gateway that takes the request and sends nothing: after 15 s the recording is named and
    // the search ends.
    void stalledGatewayIsNamed()
    {
        MotionSearch search;
        search.setHistory(history(QStringLiteral("17")));
        search.setAreas({rect(0, 0, 1, 1)});
        QVERIFY(searchAll(search, m_t0, m_t0 + 5 * kMinute));
        QCOMPARE(search.unreadable(), 1);
        QVERIFY2(search.problems().join('\n').contains(QStringLiteral("sent nothing for 15 s")),
                 qPrintable(search.problems().join('\n')));
    }

    // Cancel at once and midway: the search stops, its threads end within 0.5 s, nothing
    // found after it.
    void cancel_data()
    {
        QTest::addColumn<bool>("midway");
        QTest::newRow("at once") << false;
        QTest::newRow("midway") << true;
    }
    void cancel()
    {
        QFETCH(bool, midway);
        MotionSearch search;
        // The four recordings of the crossings: searched in blocks of a minute.
        search.setHistory(history(QStringLiteral("14")));
        search.setAreas({rect(0, 0, 1, 1)});
        const QVector<Crossing> all = sceneCrossings();
        QSignalSpy finished(&search, &MotionSearch::finished);
        // Midway: at the first block searched, from within the search's own signal.
        if (midway) {
            connect(&search, &MotionSearch::progressChanged, &search, [&search] {
                if (search.hoursDone() > 0 && search.running())
                    search.cancel();
            });
        }
        QVERIFY(search.start(all.first().startMs - kMinute, all.last().endMs + kMinute));
        if (midway)
            QTRY_VERIFY_WITH_TIMEOUT(!search.running(), kDeadline);
        else
            search.cancel();
        QVERIFY(search.hoursDone() < search.hoursTotal());
        QSignalSpy progress(&search, &MotionSearch::progressChanged);
        QVERIFY(!search.running());
        QCOMPARE(finished.count(), 1);
        // Half a second on a quiet machine (docs/performance.md); generous here for busy runs.
        QTRY_COMPARE_WITH_TIMEOUT(search.activeThreads(), 0, 2000);
        const int found = search.moments()->count();
        QTest::qWait(300);
        QCOMPARE(search.moments()->count(), found);
        QCOMPARE(progress.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMotionSearch)
#include "tst_motionsearch.moc"
