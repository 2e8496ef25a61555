// The transaction search over gateways on loopback: malformed or silent answers, capped ones
// followed to the end of their hour, what the store keeps and answers later (and for which
// server), its earlier form migrated, the results model, its sorting, its bound and its CSV;
// the export of every row found, off the GUI thread.
#include "LogCapture.h"
#include "LoopbackHttpServer.h"
#include "ReceiptSummary.h"
#include "TransactionExport.h"
#include "TransactionModel.h"
#include "TransactionSearch.h"
#include "TransactionStore.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
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
            QVERIFY(store.addTexts({}, stream, kBase, kBase + kHour, {{kBase + 3, "SALE stored"}},
                                   kBase + 60000));
            QVERIFY(!store.covers({}, stream, kBase, kBase + kHour));
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
        QVERIFY(store.addTexts({}, "r", old, old + kHour, {{old + 1, "old"}}, now));
        QVERIFY(
            store.addTexts({}, "r", kBase + kHour, kBase + 2 * kHour, {{kBase + kHour, "b"}}, now));
        QVERIFY(store.addTexts({}, "r", kBase, kBase + kHour,
                               {{kBase, "a"}, {kBase, "a"}, {kBase + kHour, "out"}}, now));
        QCOMPARE(store.fetched({}, "r"), QVector<TransactionStore::Range>(
                                             {{old, old + kHour}, {kBase, kBase + 2 * kHour}}));
        QCOMPARE(store.prune(now), 1);
        QCOMPARE(store.fetched({}, "r"),
                 QVector<TransactionStore::Range>({{kBase, kBase + 2 * kHour}}));
        const QVector<PosText> texts = store.texts({}, "r", 0, now);
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts.at(0).text + texts.at(1).text, QStringLiteral("ab"));
    }

    // An hour the gateway capped is asked on from its "next"; when that answer fails, what came
    // is found, the hour is a problem and the next search asks it again, then finds each
    // receipt once and never asks it after.
    void cappedHourFollowedAndAFailedAnswerAskedAgain()
    {
        const QString stream = QStringLiteral("capped");
        const QString rest = QStringLiteral("/pos-data?strmId=%1&from=%2&to=%3")
                                 .arg(stream)
                                 .arg(kBase + 5)
                                 .arg(kBase + kHour - 1);
        QByteArray first = receipts({{kBase + 1, "SALE a"}, {kBase + 5, "SALE b"}});
        first.insert(first.size() - 1, ",\"cut\":true,\"next\":" + QByteArray::number(kBase + 5));
        m_server.answer(path(stream, kBase), 200, first);
        m_server.answer(rest, 503, "busy\n");
        TransactionSearch search;
        search.start(tills(stream), kBase, kBase + kHour, QStringLiteral("sale"));
        QVERIFY(finished(search));
        QCOMPARE(texts(search), QStringList({"SALE a", "SALE b"}));
        QCOMPARE(search.problems(), QStringList({"T: 1 hour could not be searched"}));

        m_server.answer(rest, 200, receipts({{kBase + 5, "SALE b"}, {kBase + 9, "SALE c"}}));
        search.start(tills(stream), kBase, kBase + kHour, QStringLiteral("sale"));
        QVERIFY(finished(search));
        QCOMPARE(texts(search), QStringList({"SALE a", "SALE b", "SALE c"}));
        QVERIFY(search.problems().isEmpty());
        search.start(tills(stream), kBase, kBase + kHour, QStringLiteral("sale"));
        QVERIFY(finished(search));
        QCOMPARE(texts(search), QStringList({"SALE a", "SALE b", "SALE c"}));
        QCOMPARE(m_server.requestedPaths().filter("strmId=capped&"),
                 QStringList({path(stream, kBase), rest, path(stream, kBase), rest}));
    }

    // Two sites both have a till of stream 7: with its gateway silent, each search answers
    // from the store what its own server's gateway gave, never the other's.
    void serversNeverShareStoredReceipts()
    {
        const QString stream = QStringLiteral("7");
        TransactionSearch search;
        search.setTimeout(1000);
        search.setServer(QStringLiteral("site-a:12240"));
        m_server.answer(path(stream, kBase), 200, receipts({{kBase + 1, "SALE at A"}}));
        search.start(tills(stream), kBase, kBase + kHour, QString());
        QVERIFY(finished(search));
        QCOMPARE(texts(search), QStringList({"SALE at A"}));

        m_server.hold(path(stream, kBase), 100);
        search.setServer(QStringLiteral("site-b:12240"));
        search.start(tills(stream), kBase, kBase + kHour, QString());
        QVERIFY(finished(search));
        QVERIFY(search.offline());
        QCOMPARE(texts(search), QStringList());

        search.setServer(QStringLiteral("site-a:12240"));
        search.start(tills(stream), kBase, kBase + kHour, QString());
        QVERIFY(finished(search));
        QCOMPARE(texts(search), QStringList({"SALE at A"}));
    }

    // A store of the earlier form (texts by stream alone) opens, drops the texts no server can
    // be named for, and works in the new form from then on.
    void earlierStoreIsMigrated()
    {
        const QString file = m_dir.filePath(QStringLiteral("earlier.sqlite"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "earlier");
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("CREATE TABLE pos_texts(stream_id TEXT NOT NULL, time_ms INTEGER "
                               "NOT NULL, text TEXT NOT NULL, PRIMARY KEY(stream_id, time_ms, "
                               "text)) WITHOUT ROWID"));
            QVERIFY(
                query.exec("CREATE TABLE pos_ranges(stream_id TEXT NOT NULL, from_ms INTEGER "
                           "NOT NULL, to_ms INTEGER NOT NULL, PRIMARY KEY(stream_id, from_ms))"));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO pos_texts VALUES('7', %1, 'SALE old')")
                                   .arg(kBase + 1)));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO pos_ranges VALUES('7', %1, %2)")
                                   .arg(kBase)
                                   .arg(kBase + kHour)));
            db.close();
        }
        QSqlDatabase::removeDatabase("earlier");
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        LogCapture capture;
        for (int run = 0; run < 2; ++run) {
            TransactionStore store(file);
            QVERIFY2(store.open(now), qPrintable(store.lastError()));
            QVERIFY(store.texts({}, "7", 0, now).isEmpty() && store.fetched({}, "7").isEmpty());
            QVERIFY(store.addTexts("site-a:12240", "7", kBase, kBase + kHour,
                                   {{kBase + 2, "SALE new"}}, now));
            QCOMPARE(store.texts("site-a:12240", "7", 0, now).size(), 1);
        }
        QCOMPARE(capture.lines(QtInfoMsg).filter("1 receipts stored before").size(), 1);
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
                      row(time + 1, "B", 2.0), row(time + 2, "\rC", 3.0, "\tSALE")});
        const QString file = m_dir.filePath("out.csv");
        QVERIFY(model.exportCsv(QUrl::fromLocalFile(file).toString()));
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QVector<QStringList> rows = parseCsv(QString::fromUtf8(in.readAll()));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0), QStringList({"time", "till", "stream", "text"}));
        // a leading tab or carriage return is escaped as a leading "=" is
        QCOMPARE(rows.at(3).mid(1), QStringList({"'\rC", "s", "'\tSALE"}));
        QCOMPARE(rows.at(1), QStringList({"2026-12-08T14:32:05.123+01:00", "Till, \"A\"", "s",
                                          "SALE, \"big\"\nTOTAL 1.00\n"}));
        QVERIFY(!model.exportCsv(m_dir.filePath("missing/folder/out.csv")));
        QVERIFY(model.exportError().contains("out.csv"));
        QVERIFY(model.exportCsv(file) && model.exportError().isEmpty());
    }

    // The table keeps the first rows in its order, however many are found, and counts the rest.
    void modelKeepsTheFirstRows()
    {
        TransactionModel model(nullptr, 100);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVector<TransactionModel::Row> batch;
        for (int i = 0; i < 150; ++i)
            batch << row(1000 - i, "T", i);
        model.append(batch);
        QCOMPARE(model.count(), 100);
        QCOMPARE(model.dropped(), 50);
        QCOMPARE(times(model).first(), 851);
        QCOMPARE(times(model).last(), 950);
        model.append({row(1, "T", 0), row(5000, "T", 0)}); // one goes in, one is only counted
        QCOMPARE(model.count(), 100);
        QCOMPARE(model.dropped(), 52);
        QCOMPARE(times(model).first(), 1);
        QCOMPARE(times(model).last(), 949);
        model.clear();
        QCOMPARE(model.dropped(), 0);
    }

    // More receipts than the table holds: the first 10 000 by time, the rest counted; sorted by
    // amount, the search runs again from the store and the largest, found last, comes first.
    void boundedResultsSortAgain()
    {
        constexpr int kMany = TransactionModel::kDefaultLimit + 2000;
        QVector<QPair<qint64, QByteArray>> entries;
        for (int i = 0; i < kMany; ++i)
            entries.append({kBase + i * 250, "SALE\\nTOTAL " + QByteArray::number(i % 500) + "." +
                                                 QByteArray::number(10 + i % 90)});
        entries.last().second = "SALE\\nTOTAL 9999.99";
        m_server.answer(path("many", kBase), 200, receipts(entries));
        TransactionSearch search;
        search.start(tills("many"), kBase, kBase + kHour, QString());
        QVERIFY(finished(search));
        QCOMPARE(search.resultCount(), kMany);
        QCOMPARE(search.results()->count(), TransactionModel::kDefaultLimit);
        QCOMPARE(search.results()->dropped(), 2000);
        QCOMPARE(search.results()->row(0).time, kBase);

        search.sortResults(TransactionModel::AmountColumn, Qt::DescendingOrder);
        QVERIFY(finished(search));
        QCOMPARE(search.resultCount(), kMany);
        QCOMPARE(search.results()->row(0).amount, 9999.99);
        QCOMPARE(m_server.requestedPaths().filter("strmId=many&").size(), 1);
    }

    // 50 000 receipts in a real store: all of them exported in the table's order while progress
    // is reported, the amount order by size; a cancelled export leaves no file behind.
    void exportWritesEveryRowOffTheGuiThread()
    {
        const QString storeFile = m_dir.filePath("export.sqlite");
        constexpr int kPerHour = 5000;
        const qint64 from = kBase - 24 * kHour;
        {
            TransactionStore store(storeFile);
            QVERIFY(store.open(QDateTime::currentMSecsSinceEpoch()));
            for (int hour = 0; hour < 5; ++hour) {
                for (const char *stream : {"a", "b"}) {
                    QVector<PosText> texts;
                    for (int i = 0; i < kPerHour; ++i) {
                        const int cents = (i * 7919 + hour) % 100000;
                        texts.append({from + hour * kHour + i * 700,
                                      QStringLiteral("%1\nTOTAL %2%3.%4")
                                          .arg(i % 10 == 0 ? "REFUND" : "=SALE")
                                          .arg(i % 10 == 0 ? "-" : "")
                                          .arg(cents / 100)
                                          .arg(cents % 100, 2, 10, QLatin1Char('0'))});
                    }
                    QVERIFY(store.addTexts({}, stream, from + hour * kHour,
                                           from + (hour + 1) * kHour, texts,
                                           QDateTime::currentMSecsSinceEpoch()));
                }
            }
        }
        TransactionExport::Job job;
        job.tills = {{"a", "Till A"}, {"b", "Till B"}};
        job.from = from;
        job.to = from + 5 * kHour;
        job.storeFile = storeFile;
        job.query = ReceiptQuery(QString());
        const auto exported = [](const QString &file) {
            QFile in(file);
            return in.open(QIODevice::ReadOnly) ? parseCsv(QString::fromUtf8(in.readAll()))
                                                : QVector<QStringList>();
        };

        job.path = m_dir.filePath("by-time.csv");
        TransactionExport byTime;
        QSignalSpy progress(&byTime, &TransactionExport::progressChanged);
        QSignalSpy ended(&byTime, &TransactionExport::finished);
        QVERIFY(byTime.start(job));
        QVERIFY(byTime.running());
        QVERIFY(!byTime.start(job)); // one at a time
        QVERIFY(ended.wait(120000));
        QCOMPARE(ended.first().at(0).toBool(), true);
        QVERIFY(progress.count() >= 2);
        QCOMPARE(byTime.rowsWritten(), 50000);
        QVector<QStringList> rows = exported(job.path);
        QCOMPARE(rows.size(), 50001);
        for (int i = 2; i < rows.size(); ++i)
            QVERIFY2(rows.at(i - 1).at(0) <= rows.at(i).at(0), qPrintable(rows.at(i).at(0)));
        const int escaped = int(std::count_if(rows.begin(), rows.end(), [](const QStringList &r) {
            return r.at(3).startsWith("'=SALE");
        }));
        QCOMPARE(escaped, 45000);

        job.path = m_dir.filePath("by-amount.csv");
        job.column = TransactionModel::AmountColumn;
        job.order = Qt::DescendingOrder;
        QString error;
        std::atomic<bool> cancelled{false};
        QVector<double> shares;
        QVERIFY2(TransactionExport::run(
                     job, cancelled, [&shares](double share, int) { shares << share; }, &error),
                 qPrintable(error));
        // both passes report as they go, never backwards, up to the whole
        QVERIFY2(shares.size() > 10, qPrintable(QString::number(shares.size())));
        QVERIFY(std::is_sorted(shares.begin(), shares.end()));
        QVERIFY(shares.first() < 0.5 && shares.last() == 1.0);
        rows = exported(job.path);
        QCOMPARE(rows.size(), 50001);
        double before = qInf();
        for (int i = 1; i < rows.size(); ++i) {
            const double size = std::fabs(ReceiptSummary::read(rows.at(i).at(3)).total());
            QVERIFY2(size <= before, qPrintable(rows.at(i).at(3)));
            before = size;
        }

        job.path = m_dir.filePath("cancelled.csv");
        TransactionExport cancelling;
        QSignalSpy stopped(&cancelling, &TransactionExport::finished);
        QVERIFY(cancelling.start(job));
        cancelling.cancel();
        QVERIFY(stopped.wait(120000));
        QCOMPARE(stopped.first().at(0).toBool(), false);
        QVERIFY(!QFile::exists(job.path));
        const QStringList left = QDir(m_dir.path()).entryList({"cancelled*"}, QDir::Files);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(", ")));
    }

private:
    static TransactionModel::Row row(qint64 time, const QString &till, double amount,
                                     const QString &text = QString())
    {
        return {time, till, "s", text.section('\n', 0, 0), amount, 1, text, "sale", false};
    }

    static QVector<qint64> times(const TransactionModel &model)
    {
        QVector<qint64> times;
        for (int i = 0; i < model.count(); ++i)
            times << model.row(i).time;
        return times;
    }

    static QStringList texts(const TransactionSearch &search)
    {
        QStringList texts;
        for (int i = 0; i < search.results()->count(); ++i)
            texts << search.results()->row(i).text;
        return texts;
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
