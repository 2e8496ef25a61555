// The console's event list: what the server pushes becomes one bounded line of plain text at
// the server's time, the list keeps the newest 10 000 and says how many it dropped, and what
// the operator acknowledged is still acknowledged, by whom, after a restart. The till rules
// find their words in receipts as a cashier's till prints them.
#include "AuditTrail.h"
#include "EventFilter.h"
#include "EventList.h"
#include "EventStore.h"
#include "EventText.h"
#include "LogCapture.h"
#include "PosRuleWatcher.h"

#include <QAbstractItemModelTester>
#include <QCryptographicHash>
#include <QDateTime>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QVariantMap serverEvent(const QString &source, const QString &cls, const QString &text)
{
    return {{QStringLiteral("srcId"), source},
            {QStringLiteral("eventId"), 7},
            {QStringLiteral("cls"), cls},
            {QStringLiteral("time"), QDateTime::currentMSecsSinceEpoch() - 5000},
            {QStringLiteral("fields"), QVariantMap{{QStringLiteral("text"), text}}}};
}

int storedRows(const QString &file, const QString &where = QString())
{
    int rows = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "check");
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("SELECT COUNT(*) FROM events ") + where) && query.next())
                rows = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return rows;
}

} // namespace

class TestEvents : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString file(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    // A list on a store file, its kept events loaded.
    std::unique_ptr<EventList> openList(const QString &fileName, int expected)
    {
        auto list = std::make_unique<EventList>(fileName);
        new QAbstractItemModelTester(
            list.get(), QAbstractItemModelTester::FailureReportingMode::QtTest, list.get());
        if (expected > 0) {
            QSignalSpy counted(list.get(), &EventList::countChanged);
            if (list->count() < expected)
                counted.wait(10000);
        }
        return list;
    }

private slots:
    void serverEventBecomesOneLine_data()
    {
        QTest::addColumn<QVariantMap>("event");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("serverTime");

        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QVariantMap plain = serverEvent("21", "door.FORCED", "door forced open");
        QTest::newRow("text field") << plain << "door forced open" << true;

        QVariantMap pairs = plain;
        pairs["fields"] = QVariantMap{{"zone", "B"}, {"level", 3}};
        QTest::newRow("fields as pairs") << pairs << "level: 3, zone: B" << true;

        QVariantMap none = plain;
        none.remove("fields");
        none.remove("time");
        QTest::newRow("no fields, no time") << none << "" << false;

        QVariantMap raw = plain;
        raw.remove("fields");
        raw["fieldsText"] = "{\"text\": \"cut";
        QTest::newRow("malformed JSON shown raw") << raw << "{\"text\": \"cut" << true;

        QVariantMap markup = serverEvent("21", "x", "<b>bold</b>\n\tnext\u0007line  ");
        QTest::newRow("markup and control characters") << markup << "<b>bold</b> next line" << true;

        QVariantMap huge = serverEvent("21", "x", QString(100000, QLatin1Char('A')));
        QTest::newRow("huge text cut")
            << huge << QString(EventText::kMaxLength - 1, QLatin1Char('A')) + QChar(0x2026) << true;

        QVariantMap future = plain;
        future["time"] = now + 7 * 24 * 3600000LL;
        QTest::newRow("time a week ahead is the arrival") << future << "door forced open" << false;
        QVariantMap negative = plain;
        negative["time"] = -5;
        QTest::newRow("negative time is the arrival") << negative << "door forced open" << false;
    }

    void serverEventBecomesOneLine()
    {
        QFETCH(QVariantMap, event);
        QFETCH(QString, text);
        QFETCH(bool, serverTime);
        const qint64 arrival = QDateTime::currentMSecsSinceEpoch();
        const EventRecord record = EventText::fromServer(event, arrival);
        QCOMPARE(record.text, text);
        QCOMPARE(record.time, serverTime ? event["time"].toLongLong() : arrival);
        QCOMPARE(record.sourceId, event["srcId"].toString());
        QVERIFY(record.isNew());
    }

    // An unknown source keeps its raw id; the filter narrows by class, text and state, and
    // "acknowledge shown" acknowledges only what it shows, by the signed-in user.
    void listFiltersAndAcknowledges()
    {
        EventList list(QString{});
        new QAbstractItemModelTester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     this);
        EventFilter filter;
        new QAbstractItemModelTester(&filter,
                                     QAbstractItemModelTester::FailureReportingMode::QtTest, this);
        filter.setEvents(&list);
        list.setUser(QStringLiteral("operator"));
        QSignalSpy arrived(&list, &EventList::arrived);
        list.addServerEvent(serverEvent("21", "door.FORCED", "door forced open"));
        list.addServerEvent(serverEvent("99", "video.MOTION", "motion"));
        list.addLocal(QStringLiteral("12"), QStringLiteral("pos.RULE"), QStringLiteral("REFUND"));
        QVERIFY(arrived.wait(5000));
        QCOMPARE(arrived.first().first().toStringList(), QStringList({"21", "99", "12"}));
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.newCount(), 3);
        // Newest first; no tree here, so every source is named by its id.
        QCOMPARE(list.at(0).cls, QStringLiteral("pos.RULE"));
        QCOMPARE(list.at(1).source, QStringLiteral("99"));
        QCOMPARE(list.classes(), QStringList({"door.FORCED", "pos.RULE", "video.MOTION"}));

        filter.setText(QStringLiteral("MOTION"));
        QCOMPARE(filter.count(), 1);
        filter.acknowledgeShown();
        QCOMPARE(list.newCount(), 2);
        QCOMPARE(list.at(1).ackBy, QStringLiteral("operator"));
        filter.setText(QString());
        filter.setNewOnly(true);
        QCOMPARE(filter.count(), 2);
        filter.setCls(QStringLiteral("door.FORCED"));
        QCOMPARE(filter.count(), 1);
        QCOMPARE(filter.newCount(), 1);
        list.acknowledgeAll();
        QCOMPARE(list.newCount(), 0);
        QCOMPARE(filter.count(), 0);
    }

    // A door forced open, then motion every minute: the forced door stays on top and keeps
    // its cells flashing while new; acknowledged, it falls back to its place.
    void alarmsComeFirstUntilAcknowledged()
    {
        EventList list(QString{});
        EventFilter filter;
        new QAbstractItemModelTester(&filter,
                                     QAbstractItemModelTester::FailureReportingMode::QtTest, this);
        filter.setAlarmsFirst(true);
        filter.setEvents(&list);
        QSignalSpy arrived(&list, &EventList::arrived);
        for (const char *source : {"21", "99", "22", "98"}) {
            list.addServerEvent(
                serverEvent(source, source[0] == '2' ? "door.FORCED" : "motion", ""));
            QVERIFY(arrived.wait(5000));
        }
        const auto shown = [&] {
            QStringList sources;
            for (int row = 0; row < filter.rowCount(); ++row)
                sources << filter.index(row, 0).data(EventList::SourceIdRole).toString();
            return sources.join(' ');
        };
        QCOMPARE(shown(), QStringLiteral("22 21 98 99"));
        QVERIFY(list.hasNewAlarm({"", "21"}));
        QVERIFY(!list.hasNewAlarm({"99", "98", ""}));
        list.acknowledge(filter.keyAt(1));
        QCOMPARE(shown(), QStringLiteral("22 98 99 21"));
        QVERIFY(!list.hasNewAlarm({"21"}));
        // the operator's own classes, from the settings
        list.setAlarmClasses({" motion ", ""});
        QCOMPARE(shown(), QStringLiteral("98 99 22 21"));
        QVERIFY(!list.hasNewAlarm({"22"}));
    }

    // 10 050 events in a flood: the newest 10 000 stay in the list and the store, the drop is
    // said in one line; acknowledgements survive a restart and the order is kept.
    void keepsTheNewestAcrossRestarts()
    {
        const QString store = file("flood.sqlite");
        {
            auto list = openList(store, 0);
            list->setUser(QStringLiteral("night shift"));
            LogCapture log;
            for (int i = 1; i <= 10050; ++i)
                list->addLocal(QStringLiteral("14"), QStringLiteral("video.MOTION"),
                               QStringLiteral("motion %1").arg(i));
            // They enter the list once the store has said what it keeps.
            QTRY_COMPARE_WITH_TIMEOUT(list->count(), EventStore::kMaxEvents, 10000);
            QCOMPARE(list->at(0).text, QStringLiteral("motion 10050"));
            QCOMPARE(
                log.linesStartingWith(QStringLiteral("Event list:")),
                QStringList(QStringLiteral("Event list: 50 oldest events dropped beyond 10000")));
            list->acknowledge(list->at(1).key);
        }
        QCOMPARE(storedRows(store), EventStore::kMaxEvents);
        QCOMPARE(storedRows(store, QStringLiteral("WHERE ack_by = 'night shift'")), 1);

        auto again = openList(store, EventStore::kMaxEvents);
        QCOMPARE(again->count(), EventStore::kMaxEvents);
        QCOMPARE(again->newCount(), EventStore::kMaxEvents - 1);
        QCOMPARE(again->at(0).text, QStringLiteral("motion 10050"));
        QCOMPARE(again->at(1).ackBy, QStringLiteral("night shift"));
        QCOMPARE(again->at(EventStore::kMaxEvents - 1).text, QStringLiteral("motion 51"));
        // A new arrival goes on top of what was kept.
        again->addLocal(QStringLiteral("14"), QStringLiteral("video.MOTION"),
                        QStringLiteral("after restart"));
        again->flush();
        QCOMPARE(again->at(0).text, QStringLiteral("after restart"));
        QCOMPARE(again->count(), EventStore::kMaxEvents);
    }

    // A file handed over is an "audit.EXPORT" event with its SHA-256, acknowledged by the
    // operator who made it, listed under the family "audit" and kept across a restart.
    void exportsAreAudited()
    {
        const QString store = file("audit.sqlite");
        const QString exported = file("Till_20261208-143000.csv");
        QFile csv(exported);
        QVERIFY(csv.open(QIODevice::WriteOnly) && csv.write("time,text\n") == 10);
        csv.close();
        const QString hash = QString::fromLatin1(
            QCryptographicHash::hash("time,text\n", QCryptographicHash::Sha256).toHex());
        {
            auto list = openList(store, 0);
            list->setUser(QStringLiteral("night shift"));
            list->addLocal(QStringLiteral("14"), QStringLiteral("video.MOTION"), "motion");
            AuditTrail audit(list.get());
            QSignalSpy recorded(&audit, &AuditTrail::recorded);
            audit.recordExport(QStringLiteral("transactions"), QStringLiteral("CSV"), exported);
            QVERIFY(recorded.wait(10000));
            QTRY_COMPARE_WITH_TIMEOUT(list->count(), 2, 10000);
            EventFilter shown;
            shown.setEvents(list.get());
            shown.setCls(QStringLiteral("audit"));
            QCOMPARE(shown.count(), 1);
            shown.setCls(QStringLiteral("aud"));
            QCOMPARE(shown.count(), 0);
        }
        auto again = openList(store, 2);
        QCOMPARE(again->count(), 2);
        const EventRecord &e = again->at(0);
        QCOMPARE(e.cls, AuditTrail::kExportClass);
        QCOMPARE(e.ackBy, QStringLiteral("night shift"));
        QVERIFY(!e.isNew());
        QCOMPARE(e.text, QStringLiteral("CSV exported by night shift: Till_20261208-143000.csv, "
                                        "SHA-256 ") +
                             hash);
    }

    void rulesFindTheirWords_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("receipt");
        QTest::addColumn<QString>("word");

        const QString standard = QString::fromLatin1(PosRuleWatcher::kDefaultWords);
        QTest::newRow("refund line") << standard << "Till 1\nREFUND   -4.99\nTOTAL -4.99"
                                     << "REFUND";
        QTest::newRow("any case") << standard << "item voided: void"
                                  << "void";
        QTest::newRow("padded two words") << standard << "NO   SALE"
                                          << "NO   SALE";
        QTest::newRow("part of a word") << standard << "AVOIDED REFUNDS"
                                        << "";
        QTest::newRow("plain sale") << standard << "MILK 1.09\nTOTAL 1.09"
                                    << "";
        QTest::newRow("own words, blanks") << " , DISCOUNT ,, manager  "
                                           << "MANAGER override"
                                           << "MANAGER";
        QTest::newRow("regex characters taken literally") << "5.00+"
                                                          << "PAID 5.00+"
                                                          << "5.00+";
        QTest::newRow("no words") << ""
                                  << "REFUND"
                                  << "";
    }

    void rulesFindTheirWords()
    {
        QFETCH(QString, setting);
        QFETCH(QString, receipt);
        QFETCH(QString, word);
        QSettings().setValue(QLatin1String(PosRuleWatcher::kWordsKey), setting);
        PosRuleWatcher watcher;
        QCOMPARE(watcher.match(receipt), word);
    }
};

QTEST_GUILESS_MAIN(TestEvents)
#include "tst_events.moc"
