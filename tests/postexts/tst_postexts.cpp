// The channel texts of the past, fetched by the hour from a gateway on loopback: each slice
// asked once, at most two at a time, the middle first; a failing or silent slice marked and
// asked again later; what an answer holds outside its slice left out; streams never mixed.
#include "LogCapture.h"
#include "LoopbackHttpServer.h"
#include "PosTextCache.h"

#include <QDateTime>
#include <QSet>
#include <QTest>

#include <memory>

namespace {
constexpr qint64 kHour = PosTextCache::kSlice;
// 2023-11-14 22:00 UTC and the hours after
constexpr qint64 at(int hours)
{
    return 1699999200000 + hours * kHour;
}
} // namespace

class TestPosTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_server.listen()); }

    void slicesAreAskedOnceTwoAtATimeMiddleFirst()
    {
        PosTextCache &cache = source("11", at(0), 7, 500);
        cache.request(at(0), at(7)); // starts 3:00 and 2:00
        cache.request(at(1), at(5)); // drops 0:00, 5:00, 6:00
        QVERIFY(settled());
        const QStringList asked = askedPaths("11");
        QCOMPARE(asked.size(), 4);
        QCOMPARE(QSet<QString>(asked.cbegin(), asked.cbegin() + 2),
                 QSet<QString>({path("11", at(2)), path("11", at(3))}));
        QVERIFY(m_server.mostWaiting() <= 2);
        QCOMPARE(cache.timesBetween(at(0), at(7)).size(), 4);
        QVERIFY(m_log->contains("Channel texts of stream 11, 2023-11-15 00:00-01:00 UTC: 1"));
        // past slices are final: no later request asks them
        cache.request(at(1) + kHour / 2, at(5));
        QVERIFY(!cache.busy());
    }

    void recentSliceIsAskedAgain()
    {
        const qint64 hour = QDateTime::currentMSecsSinceEpoch() / kHour * kHour;
        PosTextCache &cache = source("12", hour, 1);
        for (int i = 0; i < 2; ++i) {
            cache.request(hour, hour + kHour);
            QVERIFY(settled());
        }
        QCOMPARE(askedPaths("12").size(), 2);
    }

    void failingSliceIsMarkedAndAskedAgain_data()
    {
        QTest::addColumn<int>("status"); // none: never answers
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reason");
        QTest::newRow("HTTP 500") << 500 << QByteArray("fault\n") << "server replied";
        QTest::newRow("HTML") << 200 << QByteArray("<html></html>") << "the answer is not JSON";
        QTest::newRow("silent") << 0 << QByteArray() << "timed out after 3000 ms";
    }

    // Only the failing slice is marked failed, the others' texts come, and it is asked again
    // by a request 10 s later.
    void failingSliceIsMarkedAndAskedAgain()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, reason);
        const QString stream = QString::number(20 + ++m_rows);
        PosTextCache &cache = source(stream, at(0), 3);
        if (status)
            m_server.answer(path(stream, at(1)), status, body);
        else
            m_server.hold(path(stream, at(1)), 100);
        cache.setTimeout(status ? PosTextCache::kDefaultTimeout : 3000);
        bool shown = false;
        connect(&cache, &PosTextCache::changed, [&] { shown |= cache.failedBetween(0, at(9)); });
        cache.request(at(0), at(3));
        QVERIFY(settled() && shown);
        QCOMPARE(QVector<bool>({cache.failedBetween(at(0), at(1)),
                                cache.failedBetween(at(1) - 1, at(1) + 1),
                                cache.failedBetween(at(2), at(3))}),
                 QVector<bool>({false, true, false}));
        QCOMPARE(cache.timesBetween(0, at(9)), QVector<qint64>({at(0) + 1000, at(2) + 1000}));
        QCOMPARE(m_log->lines(QtWarningMsg)
                     .filter(QStringLiteral("Channel texts of stream %1, 2023-11-14 23:00-00:00 "
                                            "UTC could not be fetched: ")
                                 .arg(stream))
                     .filter(reason)
                     .size(),
                 1);
        cache.request(at(0), at(3));
        QVERIFY(!cache.busy());
        serve(stream, at(1), 1);
        cache.setRetryDelays(0, 0);
        cache.request(at(0), at(3));
        QVERIFY(settled() && !cache.failedBetween(0, at(9)));
        QCOMPARE(askedPaths(stream).size(), 4);
        QCOMPARE(cache.timesBetween(0, at(9)).size(), 3);
    }

    // The texts inside the slice kept as sent, under the stream they were asked for though
    // another became current meanwhile.
    void answerIsClippedAndKeptUnderItsStream()
    {
        PosTextCache &cache = source("41", at(0), 0, 300);
        m_server.answer(
            path("41", at(0)), 200,
            "{\"arr\":[{\"time\":1699999199999,\"text\":\"a\"},{\"time\":1699999200000,"
            "\"text\":\"<b>SALE</b>\\n&amp;\"},{\"time\":1700002799999,\"text\":\"z\"},"
            "{\"time\":1700002800000,\"text\":\"b\"},{\"time\":1e300,\"text\":\"c\"}]}");
        cache.request(at(0), at(1));
        cache.setSource(QStringLiteral("42"), cache.gateway());
        QVERIFY(settled() && cache.textsBetween(0, at(9)).isEmpty());
        cache.setSource(QStringLiteral("41"), cache.gateway());
        QCOMPARE(cache.textsBetween(0, at(9)),
                 QVariantList({QVariantMap{{"time", at(0)}, {"text", "<b>SALE</b>\n&amp;"}},
                               QVariantMap{{"time", at(1) - 1}, {"text", "z"}}}));
        QVERIFY(m_log->contains("Channel texts of stream 41, 2023-11-14 22:00-23:00 UTC: 3 outside "
                                "the slice left out"));
        QVERIFY(askedPaths("42").isEmpty());
    }

private:
    static QString path(const QString &stream, qint64 slice)
    {
        return QStringLiteral("/pos-data?strmId=%1&from=%2&to=%3")
            .arg(stream)
            .arg(slice)
            .arg(slice + kHour - 1);
    }

    // A new cache of `stream`, whose `count` slices from `first` on each answer one text a
    // second after their start, `delay` ms after they are asked.
    PosTextCache &source(const QString &stream, qint64 first, int count, int delay = 0)
    {
        serve(stream, first, count);
        m_server.setAnswerDelay(delay);
        m_log.reset(); // captures nest: the former one ends first
        m_cache = std::make_unique<PosTextCache>();
        m_cache->setSource(stream, m_server.url(QString()).toString());
        m_cache->setRetryDelays(PosTextCache::kDefaultRetryDelay, 0);
        m_log = std::make_unique<LogCapture>();
        return *m_cache;
    }

    void serve(const QString &stream, qint64 first, int count)
    {
        for (qint64 slice = first; slice < first + count * kHour; slice += kHour)
            m_server.answer(path(stream, slice), 200,
                            "{\"arr\":[{\"text\":\"SALE\",\"time\":" +
                                QByteArray::number(slice + 1000) + "}]}");
    }

    bool settled() const
    {
        return QTest::qWaitFor([this] { return !m_cache->busy(); }, 60000);
    }

    QStringList askedPaths(const QString &stream) const
    {
        return m_server.requestedPaths().filter(QStringLiteral("?strmId=%1&").arg(stream));
    }

    LoopbackHttpServer m_server;
    std::unique_ptr<PosTextCache> m_cache;
    std::unique_ptr<LogCapture> m_log;
    int m_rows = 0;
};

QTEST_GUILESS_MAIN(TestPosTexts)
#include "tst_postexts.moc"
