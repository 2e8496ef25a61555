// Bookmarks without the console: the store of the previous form upgraded in place with its
// receipts and events kept, a store of a later form left alone, notes as typed (huge, markup,
// empty, several lines), and the list found by words, sorted, read back after a restart.
#include "BookmarkFilter.h"
#include "BookmarkList.h"
#include "BookmarkNote.h"
#include "BookmarkStore.h"
#include "EventStore.h"
#include "TransactionStore.h"

#include <QAbstractItemModelTester>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr qint64 kT0 = 1'765'000'000'000LL; // 2025-12-06
const QString kServer = QStringLiteral("127.0.0.1:12240");

// Reads one integer from the file with a connection of its own.
qint64 scalar(const QString &file, const QString &sql)
{
    qint64 value = -1;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
        db.setDatabaseName(file);
        QSqlQuery query(db);
        if (db.open() && query.exec(sql) && query.next())
            value = query.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("look"));
    return value;
}

QStringList column(const BookmarkFilter &filter, int role)
{
    QStringList values;
    for (int row = 0; row < filter.rowCount(); ++row)
        values << filter.index(row, 0).data(role).toString();
    return values;
}

} // namespace

class TestBookmarks : public QObject
{
    Q_OBJECT

private slots:
    // A store as the console before bookmarks left it (receipts by server, events, the
    // receipts' form 2 and no row for the store): bookmarks work in it, nothing else is lost.
    void previousStoreIsUpgradedInPlace()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("data.sqlite"));
        const qint64 now = kT0 + 3600000;
        {
            TransactionStore receipts(file);
            QVERIFY(receipts.open(now));
            QVERIFY(receipts.addTexts(kServer, QStringLiteral("12"), kT0, kT0 + 60000,
                                      {{kT0 + 1000, QStringLiteral("TOTAL 4.99")},
                                       {kT0 + 2000, QStringLiteral("TOTAL 1.00")}},
                                      now));
            EventStore events(file);
            QVERIFY(events.open(now));
            EventRecord e;
            e.key = 7;
            e.time = kT0;
            e.cls = QStringLiteral("door.FORCED");
            e.text = QStringLiteral("door forced open");
            QVERIFY(events.add({e}));
        }
        QCOMPARE(scalar(file, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = "
                                             "'bookmarks'")),
                 0);

        Bookmark b{QStringLiteral("b1"),       kServer,    QStringLiteral("12"),
                   QStringLiteral("Till"),     kT0 + 1500, QStringLiteral("van at the door"),
                   QStringLiteral("operator"), now};
        {
            BookmarkStore store(file);
            QVERIFY2(store.open(), qPrintable(store.lastError()));
            QVERIFY(store.add(b));
        }
        QCOMPARE(scalar(file, QStringLiteral("SELECT version FROM store_versions WHERE name = "
                                             "'store'")),
                 qint64(BookmarkStore::kStoreVersion));
        // Opened again by each store, as the next run does.
        TransactionStore receipts(file);
        QVERIFY(receipts.open(now));
        QCOMPARE(receipts.texts(kServer, QStringLiteral("12"), kT0, kT0 + 60000).size(), 2);
        QVERIFY(receipts.covers(kServer, QStringLiteral("12"), kT0, kT0 + 60000));
        EventStore events(file);
        QVERIFY(events.open(now));
        QCOMPARE(events.load().value(0).text, QStringLiteral("door forced open"));
        BookmarkStore store(file);
        QVERIFY(store.open());
        const Bookmarks kept = store.load();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept.first().note, b.note);
        QCOMPARE(kept.first().time, b.time);
        QCOMPARE(kept.first().author, b.author);
    }

    // A store a later console wrote is not touched: its bookmarks are not ours to rewrite.
    void laterStoreIsLeftAlone()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("data.sqlite"));
        {
            BookmarkStore store(file);
            QVERIFY(store.open());
        }
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("later"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(
            QStringLiteral("UPDATE store_versions SET version = 9 WHERE name = 'store'")));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("later"));

        BookmarkStore store(file);
        QVERIFY(!store.open());
        QVERIFY2(store.lastError().contains(QLatin1String("later console (form 9)")),
                 qPrintable(store.lastError()));
        QVERIFY(!store.add(Bookmark{QStringLiteral("x"), kServer, QStringLiteral("1"),
                                    QStringLiteral("C"), kT0, QString(), QString(), kT0}));
        QCOMPARE(scalar(file, QStringLiteral("SELECT version FROM store_versions WHERE name = "
                                             "'store'")),
                 9);
    }

    void noteAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("cut");
        QTest::newRow("plain") << "van arrives"
                               << "van arrives" << false;
        QTest::newRow("empty") << ""
                               << "" << false;
        QTest::newRow("blanks") << " \t \n "
                                << "" << false;
        QTest::newRow("markup kept as characters") << "<b>red</b> <img src=x onerror=1>"
                                                   << "<b>red</b> <img src=x onerror=1>" << false;
        QTest::newRow("lines made one") << "van\r\nplate AB-12\u2028left"
                                        << "van  plate AB-12 left" << false;
        QTest::newRow("controls") << QStringLiteral("a\x01\x1b[31mb") << "a  [31mb" << false;
        QTest::newRow("500 exactly")
            << QString(500, QLatin1Char('x')) << QString(500, QLatin1Char('x')) << false;
        QTest::newRow("501") << QString(501, QLatin1Char('x')) << QString(500, QLatin1Char('x'))
                             << true;
        QTest::newRow("1 MB") << QString(1 << 20, QLatin1Char('y'))
                              << QString(500, QLatin1Char('y')) << true;
        // A character outside the first plane at the cut is dropped whole, never halved.
        QTest::newRow("surrogate at the cut")
            << QString(499, QLatin1Char('z')) + QStringLiteral("\U0001F690 bus")
            << QString(499, QLatin1Char('z')) << true;
    }

    void noteAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(bool, cut);
        BookmarkList list{QString()};
        list.setServer(kServer);
        list.setUser(QStringLiteral("operator"));
        QCOMPARE(list.noteIsCut(typed), cut);
        const QString id = list.add(QStringLiteral("12"), QStringLiteral("Till"), kT0, typed);
        QVERIFY(!id.isEmpty());
        const Bookmark &b = list.at(list.rowOf(id));
        QCOMPARE(b.note, kept);
        QCOMPARE(b.author, QStringLiteral("operator"));
        QCOMPARE(b.server, kServer);
    }

    // Made, found by words, sorted by each column, flagged by stream, deleted; all of it read
    // back by the next run's list from the same file.
    void listedFoundSortedAndKept()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("data.sqlite"));
        QString deleted;
        {
            BookmarkList list(file);
            QAbstractItemModelTester listTester(&list);
            BookmarkFilter filter;
            QAbstractItemModelTester filterTester(&filter);
            filter.setBookmarks(&list);
            QTRY_VERIFY(list.loaded());
            list.setServer(kServer);
            list.setUser(QStringLiteral("zoe"));
            list.add(QStringLiteral("12"), QStringLiteral("Till"), kT0 + 3000, "Blue VAN parked");
            list.setUser(QStringLiteral("adam"));
            list.add(QStringLiteral("11"), QStringLiteral("Entrance"), kT0 + 1000,
                     "van leaves, blue door");
            deleted = list.add(QStringLiteral("12"), QStringLiteral("Till"), kT0 + 2000, "refund");
            list.add(QStringLiteral("13"), QStringLiteral("Car park"), kT0 + 4000, "blue car");
            // Newest first by default.
            QCOMPARE(column(filter, BookmarkList::TimeRole).first().toLongLong(), kT0 + 4000);

            filter.setSearch(QStringLiteral("  van   BLUE "));
            QCOMPARE(filter.count(), 2);
            filter.setSearch(QStringLiteral("van zoe"));
            QCOMPARE(column(filter, BookmarkList::NoteRole), QStringList{"Blue VAN parked"});
            filter.setSearch(QStringLiteral("van lorry"));
            QCOMPARE(filter.count(), 0);
            filter.setSearch(QString());

            filter.setSortKey(QStringLiteral("camera"));
            filter.setDescending(false);
            QCOMPARE(column(filter, BookmarkList::CameraRole),
                     (QStringList{"Car park", "Entrance", "Till", "Till"}));
            filter.setSortKey(QStringLiteral("author"));
            QCOMPARE(column(filter, BookmarkList::AuthorRole).first(), QStringLiteral("adam"));
            QCOMPARE(column(filter, BookmarkList::AuthorRole).last(), QStringLiteral("zoe"));

            // The timeline's flags: the streams asked, in the range asked, in order.
            QCOMPARE(list.timesBetween({QStringLiteral("12")}, kT0, kT0 + 10000),
                     (QVector<qint64>{kT0 + 2000, kT0 + 3000}));
            QCOMPARE(list.timesBetween({QStringLiteral("12"), QStringLiteral("11")}, kT0 + 1000,
                                       kT0 + 3000),
                     (QVector<qint64>{kT0 + 1000, kT0 + 2000}));
            QVERIFY(list.timesBetween({QStringLiteral("99")}, 0, kT0 * 2).isEmpty());
            // Another site's stream 12 is not this one's.
            list.setServer(QStringLiteral("10.0.0.9:12240"));
            QVERIFY(list.timesBetween({QStringLiteral("12")}, 0, kT0 * 2).isEmpty());
            list.setServer(kServer);

            QVERIFY(list.remove(deleted));
            QCOMPARE(list.count(), 3);
        }
        BookmarkList again(file);
        QTRY_VERIFY(again.loaded());
        QCOMPARE(again.count(), 3);
        QCOMPARE(again.rowOf(deleted), -1);
        QCOMPARE(again.at(0).camera, QStringLiteral("Entrance"));
        QCOMPARE(again.at(0).author, QStringLiteral("adam"));
        // No tree to find the camera in: not shown as present.
        QVERIFY(!again.data(again.index(0), BookmarkList::CameraPresentRole).toBool());
        QCOMPARE(again.within(kServer, QStringLiteral("12"), kT0, kT0 + 5000).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestBookmarks)
#include "tst_bookmarks.moc"
