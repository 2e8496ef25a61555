// The channel texts of the past, fetched by the hour from a gateway on loopback: each slice
// asked once, at most two at a time, the middle first; a failing or silent slice marked and
// asked again later; what an answer holds outside its slice left out; streams never mixed; a
// capped answer followed to the end of its range, each text once; two servers' streams of the
// same id apart; the texts held within their bound, the hours used least recently dropped.
#include "LogCapture.h"
#include "LoopbackHttpServer.h"
#include "PosDataPaging.h"
#include "PosTextCache.h"
#include "PosTextHours.h"

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

    // Answers of [1000, 2000) in turn, as the gateway would give them.
    void pagingTakesEachTextOnce_data()
    {
        QTest::addColumn<QByteArrayList>("answers");
        QTest::addColumn<QString>("texts"); // "time text" of each text gathered, in order
        QTest::addColumn<QString>("state"); // complete, failed or truncated
        QTest::addColumn<QString>("lastFrom");
        QTest::newRow("one answer") << QByteArrayList{R"({"arr":[[1],{"time":1001,"text":"a"},)"
                                                      R"({"time":1999,"text":"b"}]})"}
                                    << "1001 a|1999 b"
                                    << "complete"
                                    << "1000";
        QTest::newRow("capped: the next answer repeats its millisecond")
            << QByteArrayList{R"({"arr":[{"time":1001,"text":"a"},{"time":1500,"text":"b"},)"
                              R"({"time":1500,"text":"c"}],"cut":true,"next":1500})",
                              R"({"arr":[{"time":1500,"text":"b"},{"time":1500,"text":"c"},)"
                              R"({"time":1500,"text":"d"},{"time":1700,"text":"e"}]})"}
            << "1001 a|1500 b|1500 c|1500 d|1700 e"
            << "complete"
            << "1500";
        QTest::newRow("the same text twice at one millisecond")
            << QByteArrayList{R"({"arr":[{"time":1200,"text":"x"},{"time":1200,"text":"x"}],)"
                              R"("cut":true,"next":1200})",
                              R"({"arr":[{"time":1200,"text":"x"},{"time":1200,"text":"x"},)"
                              R"({"time":1200,"text":"y"}],"cut":true,"next":1300})",
                              R"({"arr":[{"time":1300,"text":"z"}]})"}
            << "1200 x|1200 x|1200 y|1300 z"
            << "complete"
            << "1300";
        QTest::newRow("next beyond the range")
            << QByteArrayList{R"({"arr":[{"time":1001,"text":"a"}],"cut":true,"next":2000})"}
            << "1001 a"
            << "complete"
            << "1000";
        QTest::newRow("capped without next")
            << QByteArrayList{R"({"arr":[{"time":1001,"text":"a"}],"cut":true})"} << "1001 a"
            << "failed"
            << "1000";
        QTest::newRow("next not a number")
            << QByteArrayList{R"({"arr":[{"time":1001,"text":"a"}],"cut":true,"next":"soon"})"}
            << "1001 a"
            << "failed"
            << "1000";
        QTest::newRow("next far in the past")
            << QByteArrayList{R"({"arr":[{"time":1001,"text":"a"}],"cut":true,"next":-1e300})"}
            << "1001 a"
            << "failed"
            << "1000";
        QTest::newRow("next goes back")
            << QByteArrayList{R"({"arr":[{"time":1400,"text":"a"}],"cut":true,"next":1400})",
                              R"({"arr":[{"time":1401,"text":"b"}],"cut":true,"next":1300})"}
            << "1400 a|1401 b"
            << "failed"
            << "1400";
        QTest::newRow("more texts at one millisecond than an answer holds")
            << QByteArrayList{R"({"arr":[{"time":1000,"text":"a"}],"cut":true,"next":1000})"}
            << "1000 a"
            << "failed"
            << "1000";
        QTest::newRow("second answer not JSON")
            << QByteArrayList{R"({"arr":[{"time":1001,"text":"a"}],"cut":true,"next":1600})",
                              "<html>busy</html>"}
            << "1001 a"
            << "failed"
            << "1600";
        QTest::newRow("texts outside the range, out of order")
            << QByteArrayList{R"({"arr":[{"time":999,"text":"early"},{"time":1900,"text":"b"},)"
                              R"({"time":1100,"text":"a"},{"time":2000,"text":"late"}]})"}
            << "1100 a|1900 b"
            << "complete"
            << "1000";
        QTest::newRow("larger than read")
            << QByteArrayList{"{\"arr\":[{\"time\":1001,\"text\":\"a\"},{\"ti"} << "1001 a"
            << "truncated"
            << "1000";
    }

    void pagingTakesEachTextOnce()
    {
        QFETCH(QByteArrayList, answers);
        QFETCH(QString, texts);
        QFETCH(QString, state);
        QFETCH(QString, lastFrom);
        PosDataPaging paging(1000, 2000);
        QString asked;
        PosDataPaging::Step step = PosDataPaging::Step::More;
        for (const QByteArray &answer : answers) {
            QCOMPARE(step, PosDataPaging::Step::More);
            asked = paging.nextUrl(QStringLiteral("http://gw:1/"), QStringLiteral("5"));
            const bool truncated = state == "truncated";
            step = paging.takeResult(PosDataParser::parse(answer, truncated), truncated);
        }
        QCOMPARE(asked,
                 QStringLiteral("http://gw:1/pos-data?strmId=5&from=%1&to=1999").arg(lastFrom));
        QStringList gathered;
        for (const PosText &text : paging.texts())
            gathered << QStringLiteral("%1 %2").arg(text.time).arg(text.text);
        QCOMPARE(gathered.join('|'), texts);
        QCOMPARE(paging.complete(), state == "complete");
        QCOMPARE(paging.failed(), state == "failed");
        QCOMPARE(step != PosDataPaging::Step::More, true);
    }

    // A capped slice is followed to its end; when a later answer fails, the texts that came
    // show, the slice is hatched and asked again from its start, and then holds each text once.
    void cappedSliceFollowedAndAFailedAnswerAskedAgain()
    {
        PosTextCache &cache = source("60", at(0), 0);
        const QString first = path("60", at(0));
        const QString second = path("60", at(0) + 5000);
        m_server.answer(first, 200, page(at(0), {1000, 5000}, at(0) + 5000));
        m_server.answer(second, 500, "fault\n");
        cache.request(at(0), at(1));
        QVERIFY(settled());
        QVERIFY(cache.failedBetween(at(0), at(1)));
        QCOMPARE(cache.timesBetween(at(0), at(1)), QVector<qint64>({at(0) + 1000, at(0) + 5000}));
        m_server.answer(second, 200, page(at(0), {5000, 9000}, -1));
        cache.setRetryDelays(0, 0);
        cache.request(at(0), at(1));
        QVERIFY(settled());
        QVERIFY(!cache.failedBetween(at(0), at(1)));
        QCOMPARE(cache.timesBetween(at(0), at(1)),
                 QVector<qint64>({at(0) + 1000, at(0) + 5000, at(0) + 9000}));
        QCOMPARE(askedPaths("60"), QStringList({first, second, first, second}));
        // complete and past: never asked again
        cache.request(at(0), at(1));
        QVERIFY(!cache.busy());
    }

    // Two sites both have a stream 7: what one's gateway answered never shows for the other.
    void serversWithTheSameStreamIdsStayApart()
    {
        LoopbackHttpServer other;
        QVERIFY(other.listen());
        const QString stream = QStringLiteral("7");
        m_server.answer(path(stream, at(0)), 200, page(at(0), {1000}, -1, "site A"));
        other.answer(path(stream, at(0)), 200, page(at(0), {2000}, -1, "site B"));
        PosTextCache a;
        PosTextCache b;
        a.setServer(QStringLiteral("site-a:12240"));
        b.setServer(QStringLiteral("site-b:12240"));
        a.setSource(stream, m_server.url(QString()).toString());
        b.setSource(stream, other.url(QString()).toString());
        a.request(at(0), at(1));
        QVERIFY(QTest::qWaitFor([&] { return !a.busy(); }, 60000));
        b.request(at(0), at(1));
        QVERIFY(QTest::qWaitFor([&] { return !b.busy(); }, 60000));
        QCOMPARE(a.textsBetween(at(0), at(1)),
                 QVariantList({QVariantMap{{"time", at(0) + 1000}, {"text", "site A"}}}));
        QCOMPARE(b.textsBetween(at(0), at(1)),
                 QVariantList({QVariantMap{{"time", at(0) + 2000}, {"text", "site B"}}}));
        QCOMPARE(other.requestedPaths().size(), 1);
    }

    // The texts held never exceed the bound: the hours used least recently go, and are asked
    // again when shown again; an hour in use stays.
    void textsStayWithinTheirBound()
    {
        const QByteArray long4k(4000, 'x');
        PosTextHours hours(5 * (PosTextHours::sizeOf(PosText{0, QString(4000, 'x')}) + 200));
        PosTextCache &cache = source("70", at(0), 0);
        cache.setHours(&hours);
        qint64 most = 0;
        connect(&hours, &PosTextHours::changed, [&] { most = qMax(most, hours.bytes()); });
        for (int h = 0; h < 12; ++h) {
            m_server.answer(path("70", at(h)), 200, page(at(h), {1000}, -1, long4k));
            cache.request(at(h), at(h + 1));
            QVERIFY(settled());
            // the first hour is in use all along
            QCOMPARE(cache.timesBetween(at(0), at(1)), QVector<qint64>({at(0) + 1000}));
        }
        QVERIFY2(most <= hours.limitBytes(), qPrintable(QString::number(most)));
        QVERIFY(hours.hourCount() < 12);
        QCOMPARE(askedPaths("70").size(), 12);
        cache.request(at(0), at(1));
        QVERIFY(!cache.busy());
        cache.request(at(1), at(2));
        QVERIFY(settled());
        QCOMPARE(askedPaths("70").size(), 13);
        QCOMPARE(cache.timesBetween(at(1), at(2)), QVector<qint64>({at(1) + 1000}));
    }

private:
    static QString path(const QString &stream, qint64 from)
    {
        return QStringLiteral("/pos-data?strmId=%1&from=%2&to=%3")
            .arg(stream)
            .arg(from)
            .arg(from / kHour * kHour + kHour - 1);
    }

    // An answer with one text at each offset from `base`; capped at `next` unless it is -1.
    static QByteArray page(qint64 base, const QVector<qint64> &offsets, qint64 next,
                           const QByteArray &text = "SALE")
    {
        QByteArray body = "{\"arr\":[";
        for (qint64 offset : offsets)
            body +=
                "{\"time\":" + QByteArray::number(base + offset) + ",\"text\":\"" + text + "\"},";
        body.chop(1);
        body += "]";
        if (next >= 0)
            body += ",\"cut\":true,\"next\":" + QByteArray::number(next);
        return body + "}";
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
