// The transaction search over gateways on loopback: malformed or silent answers, what the
// store keeps and answers later, the results model, its sorting and its CSV.
#include "LogCapture.h"
#include "LoopbackHttpServer.h"
#include "TransactionModel.h"
#include "TransactionSearch.h"
#include "TransactionStore.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

constexpr qint64 kHour = TransactionSearch::kSlice;
// Three days ago, on the hour: old enough to be final, young enough to be kept.
const qint64 kBase = QDateTime::currentMSecsSinceEpoch() / kHour * kHour - 72 * kHour;

QString path(const QString &stream, qint64 slice)
{
    return QStringLiteral("/pos-data?strmId=%1&from=%2&to=%3")
        .arg(stream)
        .arg(slice)
        .arg(slice + kHour - 1);
}

QByteArray receipts(const QVector<QPair<qint64, QByteArray>> &entries)
{
    QByteArray body = "{\"arr\":[";
    for (const auto &entry : entries)
        body +=
            "{\"time\":" + QByteArray::number(entry.first) + ",\"text\":\"" + entry.second + "\"},";
    body.chop(entries.isEmpty() ? 0 : 1);
    return body + "]}";
}

// Parses CSV as written by the model: quoted fields may hold commas, quotes and line breaks.
QVector<QStringList> parseCsv(const QString &csv)
{
    QVector<QStringList> rows(1);
    QString field;
    bool quoted = false;
    for (int i = 0; i < csv.size(); ++i) {
        const QChar c = csv.at(i);
        if (quoted && c == '"' && i + 1 < csv.size() && csv.at(i + 1) == '"') {
            field += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            rows.last() << field;
            field.clear();
        } else if (!quoted && c == '\r') {
            continue;
        } else if (!quoted && c == '\n') {
            rows.last() << field;
            field.clear();
            rows.append(QStringList());
        } else {
            field += c;
        }
    }
    if (rows.last().isEmpty())
        rows.removeLast();
    return rows;
}

} // namespace

class TestTransactions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path()));
        QVERIFY(m_server.listen());
    }

    void malformedAnswer_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("found"); // texts of the middle hour found
        QTest::addColumn<QString>("log");       // the one warning line's part; empty: none
        const qint64 mid = kBase + kHour;
        QTest::newRow("HTML") << QByteArray("<html><body>busy</body></html>") << QStringList()
                              << "are not readable, skipped";
        QTest::newRow("invalid UTF-8")
            << receipts({{mid + 5, "SALE \xff\xfe"}}) << QStringList() << "are not readable";
        QTest::newRow("markup kept as characters")
            << receipts({{mid + 5, "<b>SALE</b> &amp; <img src=x>"}})
            << QStringList({"<b>SALE</b> &amp; <img src=x>"}) << QString();
        QTest::newRow("times outside the hour")
            << receipts({{mid - 1, "SALE early"},
                         {mid + 7, "SALE inside"},
                         {mid + kHour, "SALE late"},
                         {-5, "SALE before time"}})
            << QStringList({"SALE inside"}) << "3 receipts of T";
        QByteArray huge = receipts({{mid + 9, "SALE kept"}});
        huge.chop(2);
        huge += ",{\"time\":" + QByteArray::number(mid + 10) + ",\"text\":\"" +
                QByteArray(9 * 1024 * 1024, 'x') + "\"}]}";
        QTest::newRow("huge") << huge << QStringList({"SALE kept"}) << "is larger than";
    }

    // The other hours are found whatever the middle one's gateway answered; an unreadable
    // answer is one problem and one log line, never a hang.
    void malformedAnswer()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, found);
        QFETCH(QString, log);
        const QString stream = QStringLiteral("m%1").arg(++m_streams);
        m_server.answer(path(stream, kBase), 200, receipts({{kBase + 1, "SALE first"}}));
        m_server.answer(path(stream, kBase + kHour), 200, body);
        m_server.answer(path(stream, kBase + 2 * kHour), 200,
                        receipts({{kBase + 2 * kHour, "SALE last"}}));
        LogCapture capture;
        TransactionSearch search;
        search.start(tills(stream), kBase, kBase + 3 * kHour, QStringLiteral("sale"));
        QVERIFY(finished(search));
        QStringList texts;
        for (int i = 0; i < search.results()->count(); ++i)
            texts << search.results()->row(i).text;
        QCOMPARE(texts, QStringList() << "SALE first" << found << "SALE last");
        const bool skipped = found.isEmpty();
        QCOMPARE(search.problems(),
                 skipped ? QStringList({"T: 1 hour could not be searched"}) : QStringList());
        QVERIFY(!search.offline());
        QCOMPARE(search.progress(), 1.0);
        if (!log.isEmpty())
            QCOMPARE(capture.lines(QtWarningMsg).filter(log).size(), 1);
        QCOMPARE(capture.lines(QtWarningMsg).size(), log.isEmpty() ? 0 : 1);
    }

    // A gateway that never answers: each hour ends after the timeout, the till's problem is
    // told, and what the store held of it is found (offline).
    void silentGateway()
    {
        const QString stream = QStringLiteral("silent");
        {
            TransactionStore store;
            QVERIFY(store.open(QDateTime::currentMSecsSinceEpoch()));
            // stored by an earlier search that could not finish the hour (not final)
            QVERIFY(store.addTexts(stream, kBase, kBase + kHour, {{kBase + 3, "SALE stored"}},
                                   kBase + 60000));
            QVERIFY(!store.covers(stream, kBase, kBase + kHour));
        }
        m_server.hold(path(stream, kBase), 100);
        m_server.hold(path(stream, kBase + kHour), 100);
        TransactionSearch search;
        search.setTimeout(1000);
        QSignalSpy results(search.results(), &TransactionModel::countChanged);
        search.start(tills(stream), kBase, kBase + 2 * kHour, QString());
        QVERIFY(finished(search));
        QCOMPARE(search.problems(), QStringList({"T: 2 hours could not be searched"}));
        QVERIFY(search.offline());
        QCOMPARE(search.resultCount(), 1);
        QCOMPARE(search.results()->row(0).text, QStringLiteral("SALE stored"));
        QCOMPARE(search.receiptsSearched(), 1);
    }

    // A search started while another runs, or cancelled, leaves nothing of the other's work:
    // no request, no late results, no problems.
    void newSearchReplacesTheRunningOne()
    {
        m_server.answer(path("old", kBase), 200, receipts({{kBase + 1, "SALE old"}}));
        m_server.answer(path("new", kBase), 200, receipts({{kBase + 2, "SALE new"}}));
        TransactionSearch search;
        search.start(tills("old"), kBase, kBase + kHour, QString());
        QVERIFY(search.running());
        search.cancel();
        QVERIFY(!search.running());
        search.start(tills("old"), kBase, kBase + kHour, QString());
        search.start(tills("new"), kBase, kBase + kHour, QString());
        QVERIFY(finished(search));
        QCOMPARE(search.resultCount(), 1);
        QCOMPARE(search.results()->row(0).text, QStringLiteral("SALE new"));
        QVERIFY(search.problems().isEmpty() && !search.offline());
        QCOMPARE(search.progress(), 1.0);
        QVERIFY(m_server.requestedPaths().filter("strmId=old&").isEmpty());
    }

    // Ranges merge, texts are kept once, and nothing older than 30 days stays.
    void storeRangesAndAge()
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const qint64 old = now - TransactionStore::kKeepMs - 2 * kHour;
        TransactionStore store;
        QVERIFY(store.open(now));
        QVERIFY(store.addTexts("r", old, old + kHour, {{old + 1, "old"}}, now));
        QVERIFY(store.addTexts("r", kBase + kHour, kBase + 2 * kHour, {{kBase + kHour, "b"}}, now));
        QVERIFY(store.addTexts("r", kBase, kBase + kHour,
                               {{kBase, "a"}, {kBase, "a"}, {kBase + kHour, "out"}}, now));
        QCOMPARE(store.fetched("r"), QVector<TransactionStore::Range>(
                                         {{old, old + kHour}, {kBase, kBase + 2 * kHour}}));
        QCOMPARE(store.prune(now), 1);
        QCOMPARE(store.fetched("r"),
                 QVector<TransactionStore::Range>({{kBase, kBase + 2 * kHour}}));
        const QVector<PosText> texts = store.texts("r", 0, now);
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts.at(0).text + texts.at(1).text, QStringLiteral("ab"));
    }

    // Batches out of order land sorted; sorting by till or amount is stable; later rows go
    // where the current order puts them.
    void modelOrder()
    {
        TransactionModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.append({row(30, "Till 2", 5.0), row(10, "Till 1", 7.0)});
        model.append({row(20, "Till 2", NAN), row(40, "Till 1", 5.0), row(5, "Till 1", 1.0)});
        QCOMPARE(times(model), QVector<qint64>({5, 10, 20, 30, 40}));
        model.sort(TransactionModel::TillColumn);
        QCOMPARE(times(model), QVector<qint64>({5, 10, 40, 20, 30}));
        model.sort(TransactionModel::AmountColumn, Qt::DescendingOrder);
        QCOMPARE(times(model), QVector<qint64>({10, 40, 30, 5, 20}));
        model.append({row(50, "Till 3", 6.0), row(1, "Till 3", 5.0)});
        QCOMPARE(times(model), QVector<qint64>({10, 50, 40, 30, 1, 5, 20}));
        QCOMPARE(model.data(model.index(0, TransactionModel::AmountColumn)).toString(),
                 QStringLiteral("7.00"));
        QCOMPARE(model.get(6).value("amount"), QVariant());
        model.sort(TransactionModel::TimeColumn);
        QCOMPARE(times(model).first(), 1);
        model.clear();
        QCOMPARE(model.count(), 0);
    }

    // The CSV parses back to the rows, texts with commas, quotes and line breaks intact; a
    // file that cannot be written says why and leaves the old one.
    void csvExport()
    {
        TransactionModel model;
        const qint64 time =
            QDateTime(QDate(2026, 12, 8), QTime(14, 32, 5, 123)).toMSecsSinceEpoch();
        model.append({row(time, "Till, \"A\"", 1.0, "SALE, \"big\"\nTOTAL 1.00\n"),
                      row(time + 1, "B", 2.0)});
        const QString file = m_dir.filePath("out.csv");
        QVERIFY(model.exportCsv(QUrl::fromLocalFile(file).toString()));
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QVector<QStringList> rows = parseCsv(QString::fromUtf8(in.readAll()));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0), QStringList({"time", "till", "stream", "text"}));
        QCOMPARE(rows.at(1), QStringList({"2026-12-08T14:32:05.123+01:00", "Till, \"A\"", "s",
                                          "SALE, \"big\"\nTOTAL 1.00\n"}));
        QVERIFY(!model.exportCsv(m_dir.filePath("missing/folder/out.csv")));
        QVERIFY(model.exportError().contains("out.csv"));
        QVERIFY(model.exportCsv(file) && model.exportError().isEmpty());
    }

private:
    static TransactionModel::Row row(qint64 time, const QString &till, double amount,
                                     const QString &text = QString())
    {
        return {time, till, "s", text.section('\n', 0, 0), amount, 1, text};
    }

    static QVector<qint64> times(const TransactionModel &model)
    {
        QVector<qint64> times;
        for (int i = 0; i < model.count(); ++i)
            times << model.row(i).time;
        return times;
    }

    QVariantList tills(const QString &stream) const
    {
        return {QVariantMap{
            {"streamId", stream}, {"name", "T"}, {"gateway", m_server.url(QString()).toString()}}};
    }

    static bool finished(TransactionSearch &search)
    {
        return QTest::qWaitFor([&] { return !search.running(); }, 60000);
    }

    QTemporaryDir m_dir;
    LoopbackHttpServer m_server;
    int m_streams = 0;
};

QTEST_GUILESS_MAIN(TestTransactions)
#include "tst_transactions.moc"
