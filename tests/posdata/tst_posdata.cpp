// The recorded page's point-of-sale texts against a gateway on loopback: huge, malformed or
// endless "pos-data" answers keep the texts bounded, the console responsive and the recording
// fetched; a well-formed answer gives the schedule the page always made of it.
#include "LogCapture.h"
#include "LoopbackHttpServer.h"
#include "PosDataParser.h"
#include "Startup.h"

#include <QElapsedTimer>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <memory>

namespace {

// `head`, then `item` `count` times, then `tail`, made piece by piece as it is sent.
struct RepeatedBody
{
    QByteArray head;
    QByteArray item;
    QByteArray tail;
    qint64 count = 0;

    qint64 length() const { return head.size() + item.size() * count + tail.size(); }
    QByteArray from(qint64 offset) const
    {
        if (offset < head.size())
            return head.mid(int(offset));
        offset -= head.size();
        const qint64 items = item.size() * count;
        if (offset >= items)
            return tail.mid(int(offset - items));
        const qint64 left = count - offset / item.size() - 1;
        return item.mid(int(offset % item.size())) + item.repeated(int(qMin<qint64>(left, 1000)));
    }
};

// A parsed answer in one line: its fields, its texts ("time=text", long ones by their size),
// what was left out, and whether it failed.
QString describe(const PosDataParser::Result &r)
{
    QStringList parts{r.hasFrom ? "from=" + r.from.toString() : "", r.hasTo ? "to" : "",
                      r.hasArr ? "arr" : ""};
    for (int i = 0; i < r.texts.size(); ++i) {
        const QString &text = r.texts.at(i);
        parts << QStringLiteral("%1=%2")
                     .arg(r.times.at(i))
                     .arg(text.size() <= 16 ? text : QStringLiteral("<%1 chars>").arg(text.size()));
    }
    parts << QStringLiteral("-%1/%2/%3").arg(r.withoutTime).arg(r.withoutText).arg(r.shortened);
    if (!r.error.isEmpty())
        parts << QStringLiteral("error");
    parts.removeAll(QString());
    return parts.join(QLatin1Char(' '));
}

const QByteArray kHead = "{\"from\":1000,\"to\":900000,\"arr\":[";

} // namespace

Q_DECLARE_METATYPE(RepeatedBody)

class TestPosData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        std::setlocale(LC_NUMERIC, "C");
        QVERIFY(m_server.listen());
        m_engine.addImportPath(QStringLiteral("qrc:/qml"));
        m_engine.rootContext()->setContextProperty(QStringLiteral("debug"), false);
        QQmlComponent component(&m_engine, QUrl(QStringLiteral("qrc:/qml/RecordedPage.qml")));
        m_page.reset(component.create());
        QVERIFY2(m_page, qPrintable(component.errorString()));
        m_fetcher = m_page->findChild<QObject *>(QStringLiteral("posData"));
        QVERIFY(m_fetcher);
    }

    void wellFormedAnswerKeepsItsSchedule()
    {
        const QByteArray body = kHead + "{\"time\":3000,\"text\":\"SALE 1 x Milk\\nTOTAL 0.99\"}," +
                                "{\"text\":\"no time\"},{\"time\":7000,\"text\":\"CASH 5.00\"}]}";
        LogCapture log;
        fetch(QStringLiteral("1"), RepeatedBody{body, {}, {}, 0});
        if (QTest::currentTestFailed())
            return;
        const QRegularExpression parsing(QStringLiteral("^qml: (Parsing|sub|POS size|Fetching)"));
        QCOMPARE(log.lines().filter(parsing),
                 QStringList({"qml: Parsing POS text", "qml: sub don't have `time` field (1 texts)",
                              "qml: POS size: 2", "qml: Fetching: " + m_recording}));
        const QVariantList schedule = m_page->property("fullSchedule").toList();
        QCOMPARE(schedule,
                 QVariantList({QVariantMap{{"time", 2500}, {"text", "SALE 1 x Milk\nTOTAL 0.99"}},
                               QVariantMap{{"time", 6500}, {"text", "CASH 5.00"}}}));
        QCOMPARE(m_page->property("schedule").toList(), schedule);
        // the first text is due 1.5 s after the recording's start
        const auto *timer = m_page->findChild<QObject *>(QStringLiteral("overlayTimer"));
        QVERIFY(timer);
        QCOMPARE(timer->property("interval").toInt(), 1500);
        QCOMPARE(m_page->property("posDataError").toString(), QString());
    }

    // Malformed answers the gateway could send: none crashes, none keeps a text it should not.
    void malformedAnswers_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QString>("read");
        const QByteArray arr = "{\"from\":1,\"to\":2,\"arr\":[";
        QTest::newRow("not JSON") << QByteArray("{\"from\":1,") << false << "-0/0/0 error";
        QTest::newRow("the same, cut on purpose")
            << QByteArray("{\"from\":1,") << true << "from=1 -0/0/0";
        QTest::newRow("a million brackets") << QByteArray(1000000, '[') << false << "-0/0/0 error";
        QTest::newRow("deep value inside a text")
            << arr + "{\"time\":5,\"x\":" + QByteArray(100000, '[') + QByteArray(100000, ']') +
                   ",\"text\":\"a\"}]}"
            << false << "from=1 to arr 5=a -0/0/0";
        QTest::newRow("not an object")
            << QByteArray("[{\"from\":1,\"to\":2,\"arr\":[]}]") << false << "-0/0/0";
        QTest::newRow("arr twice: the last counts")
            << arr + "{\"time\":1,\"text\":\"a\"}],\"arr\":[{\"time\":2,\"text\":\"b\"}]}" << false
            << "from=1 to arr 2=b -0/0/0";
        QTest::newRow("other types")
            << arr + "{\"time\":\"7\",\"text\":42},{\"time\":true,\"text\":\"x\"},{\"time\":3,"
                     "\"text\":null},{\"time\":4,\"text\":{}},null,[1],\"s\"]}"
            << false << "from=1 to arr 7=42 -4/2/0";
        QTest::newRow("cut inside a text")
            << arr + "{\"time\":1,\"text\":\"a\"},{\"time\":2,\"text\":\"b" << true
            << "from=1 to arr 1=a -0/0/0";
        // 19 lines "x" and the total: 48 characters, where the first 20 lines would be 39
        QTest::newRow("25 lines: the last 20 kept, the total with them")
            << arr + "{\"time\":1,\"text\":\"" + QByteArray("x\\n").repeated(24) +
                   "TOTAL 9.99\\n\"}]}"
            << false << "from=1 to arr 1=<48 chars> -0/0/1";
        QTest::newRow("a 100000-character line")
            << arr + "{\"time\":1,\"text\":\"" + QByteArray(100000, 'x') + "\"}]}" << false
            << "from=1 to arr 1=<65536 chars> -0/0/1";
    }

    void malformedAnswers()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, cut);
        QFETCH(QString, read);
        QCOMPARE(describe(PosDataParser::parse(body, cut)), read);
    }

    void hostileAnswers_data()
    {
        QTest::addColumn<RepeatedBody>("body");
        QTest::addColumn<int>("posSize");
        // a log line that says what was left out
        QTest::addColumn<QString>("line");
        const QByteArray text = "{\"time\":5000,\"text\":\"";
        QTest::newRow("600000 numbers") << RepeatedBody{kHead, "7,", "7]}", 599999} << 0
                                        << "qml: sub don't have `time` field (600000 texts)";
        QTest::newRow("a million texts") << RepeatedBody{kHead, "{\"time\":2000,\"text\":\"a\"},",
                                                         "{\"time\":1,\"text\":\"a\"}]}", 999999}
                                         << 50000 << "texts after the first 50000 are left out";
        QTest::newRow("a million lines in one text")
            << RepeatedBody{kHead + text, "L\\n", "\"}]}", 1000000} << 1
            << "POS data: 1 texts cut to their last 20 lines";
        // 8191 texts lie whole in the first 8 MiB, each 1024 bytes long
        QTest::newRow("50 MB") << RepeatedBody{kHead, text + QByteArray(1000, 'x') + "\"},",
                                               text + "\"}]}", 50000}
                               << 8191 << "is larger than 8388608 bytes";
        QTest::newRow("never completing") << RepeatedBody{} << -1
                                          << "qml: Fetching the recording without its POS texts: "
                                             "timed out after 1500 ms";
    }

    // Each case ends with the recording requested, at most the bounded texts kept, and the
    // GUI thread free to run its timers throughout.
    void hostileAnswers()
    {
        QFETCH(RepeatedBody, body);
        QFETCH(int, posSize);
        QFETCH(QString, line);
        LogCapture log;
        // the longest time the GUI thread went without running its timers
        QElapsedTimer clock;
        qint64 lastTick = 0;
        qint64 longestStall = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] {
            longestStall = qMax(longestStall, clock.elapsed() - lastTick);
            lastTick = clock.elapsed();
        });
        clock.start();
        ticker.start(5);
        m_fetcher->setProperty("timeout", body.length() == 0 ? 1500 : 60000);
        fetch(QString::number(++m_streams), body);
        if (QTest::currentTestFailed())
            return;
        // Parsed on the GUI thread, such answers stalled it for minutes; now only the bounded
        // texts reach it. (A generous bound: this is no measure of speed.)
        QVERIFY2(longestStall < 10000, qPrintable(QString::number(longestStall)));
        // the console stopped reading a large answer soon after its bound
        QVERIFY2(*m_sent < 20 * 1024 * 1024, qPrintable(QString::number(*m_sent)));
        QVERIFY2(log.lines().filter(line).size() == 1, qPrintable(log.lines().join('\n')));
        const QVariantList schedule = m_page->property("fullSchedule").toList();
        QCOMPARE(m_page->property("posDataError").toString().isEmpty(), posSize >= 0);
        QCOMPARE(schedule.size(), qMax(posSize, 0));
        if (posSize < 0)
            QVERIFY(log.linesStartingWith(QStringLiteral("qml: POS size:")).isEmpty());
        for (const QVariant &entry : schedule) {
            const QString shown = entry.toMap().value(QStringLiteral("text")).toString();
            QVERIFY(shown.count(QLatin1Char('\n')) < 20 && shown.size() <= 64 * 1024);
        }
    }

    void cleanupTestCase() { m_page.reset(); }

private:
    // Asks the page for a chunk of stream `stream` whose texts are `body` (none: the answer
    // never comes) and waits for the recording's request.
    void fetch(const QString &stream, const RepeatedBody &body)
    {
        const QString query = QStringLiteral("/pos-data?strmId=%1&from=1000&to=900000").arg(stream);
        m_sent = std::make_shared<qint64>(0);
        m_server.stream(query, body.length() > 0 ? body.length() : 1000,
                        [body, sent = m_sent](qint64 offset) {
                            *sent = offset;
                            return body.length() > 0 ? body.from(offset) : QByteArray();
                        });
        m_page->setProperty("streamId", stream);
        m_page->setProperty("startTime", QStringLiteral("1000"));
        m_page->setProperty("endTime", QStringLiteral("900000"));
        LogCapture log;
        const QVariantMap gateway{
            {QStringLiteral("base"),
             QStringLiteral("http://127.0.0.1:%1").arg(m_server.url(QString()).port())}};
        QMetaObject::invokeMethod(m_page.get(), "fetchRecording", Q_ARG(QVariant, gateway));
        const QString fetching = QStringLiteral("qml: Fetching: ");
        QTRY_VERIFY_WITH_TIMEOUT(!log.linesStartingWith(fetching).isEmpty(), 90000);
        m_recording = log.linesStartingWith(fetching).constFirst().mid(fetching.size());
        const QString path = QUrl(m_recording).path();
        QTRY_VERIFY_WITH_TIMEOUT(m_server.requestedPaths().contains(path), 30000);
    }

    LoopbackHttpServer m_server;
    QQmlEngine m_engine;
    std::unique_ptr<QObject> m_page;
    QObject *m_fetcher = nullptr;
    QString m_recording;
    std::shared_ptr<qint64> m_sent;
    int m_streams = 1;
};

QTEST_MAIN(TestPosData)
#include "tst_posdata.moc"
