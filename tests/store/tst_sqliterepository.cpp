// The local store against real SQLite files: creation, reopening, the camera model kept in
// line with the table (rows and objects keep their identity), and broken files.
#include "App.h"
#include "Camera.h"
#include "CameraList.h"
#include "EventArchive.h"
#include "LogCapture.h"
#include "SQLiteRepository.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

// A second connection to the same file, as another program editing it would have.
class OutsideEdit
{
public:
    OutsideEdit()
    {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name());
        db.setDatabaseName(QStringLiteral("data.sqlite"));
        db.open();
    }
    ~OutsideEdit() { QSqlDatabase::removeDatabase(name()); }
    bool exec(const QString &statement)
    {
        QSqlQuery query(QSqlDatabase::database(name()));
        const bool ok = query.exec(statement);
        if (!ok)
            qWarning() << "outside edit failed:" << query.lastError().text();
        return ok;
    }
    QStringList schema()
    {
        QSqlQuery query(QSqlDatabase::database(name()));
        query.exec(
            QStringLiteral("SELECT sql FROM sqlite_master WHERE type='table' ORDER BY name"));
        QStringList list;
        while (query.next())
            list << query.value(0).toString();
        return list;
    }

private:
    static QString name() { return QStringLiteral("outside"); }
};

Camera *cameraAt(QAbstractListModel *model, int row)
{
    return model->data(model->index(row, 0), Qt::UserRole + 1).value<Camera *>();
}

QStringList names(QAbstractListModel *model)
{
    QStringList list;
    for (int row = 0; row < model->rowCount(); ++row)
        list << cameraAt(model, row)->name();
    return list;
}

} // namespace

class TestSQLiteRepository : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }

    void cleanup()
    {
        QDir::setCurrent(QDir::tempPath());
        m_dir.reset();
    }

    void freshFileGetsBothTablesAndReopeningKeepsRows()
    {
        LogCapture log;
        {
            SQLiteRepository store;
            QVERIFY(QFile::exists(QStringLiteral("data.sqlite")));
            auto *model = store.cameraList();
            QVERIFY(model);
            QAbstractItemModelTester tester(model);
            QCOMPARE(model->rowCount(), 0);
            QCOMPARE(store.property("cameraList").value<QAbstractListModel *>(), model);
            QVERIFY(store.allUsers().isEmpty());
            QVERIFY(!store.userByUsername(QStringLiteral("nobody")));
            QVERIFY(store.insertCamera(QStringLiteral("Entrance"), QStringLiteral("rtsp://a")));
            QVERIFY(store.insertCamera(QStringLiteral("Till"), QStringLiteral("rtsp://b")));
        }
        OutsideEdit outside;
        // SQLite keeps the statements' own text; only "IF NOT EXISTS" is dropped.
        QCOMPARE(outside.schema(),
                 QStringList({"CREATE TABLE `cameras`(    `id` INTEGER,    `name` VARCHAR,    "
                              "`url` VARCHAR,    PRIMARY KEY (id))",
                              "CREATE TABLE `users`(    `id` INTEGER,    `username` VARCHAR,    "
                              "`password` VARCHAR,    PRIMARY KEY (id))"}));
        QVERIFY(outside.exec("INSERT INTO users(username, password) VALUES ('ana', 'pw1')"));
        QVERIFY(outside.exec("INSERT INTO users(username, password) VALUES ('Bob', 'pw2')"));

        SQLiteRepository reopened;
        QCOMPARE(names(reopened.cameraList()), QStringList({"Entrance", "Till"}));
        QCOMPARE(cameraAt(reopened.cameraList(), 1)->url(), QStringLiteral("rtsp://b"));
        const QList<User *> users = reopened.allUsers();
        QCOMPARE(users.size(), 2);
        QCOMPARE(users.at(0)->username(), QStringLiteral("ana"));
        QCOMPARE(users.at(1)->password(), QStringLiteral("pw2"));
        qDeleteAll(users);
        std::unique_ptr<User> bob(reopened.userByUsername(QStringLiteral("Bob")));
        QVERIFY(bob);
        QCOMPARE(bob->password(), QStringLiteral("pw2"));
        QVERIFY(!reopened.userByUsername(QStringLiteral("bob"))); // exact case
        QVERIFY(log.lines(QtWarningMsg).isEmpty());
    }

    void insertAppendsAndRemoveShiftsFollowingRows()
    {
        SQLiteRepository store;
        auto *model = store.cameraList();
        QAbstractItemModelTester tester(model);
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
        for (const char *name : {"A", "B", "C", "D"})
            QVERIFY(store.insertCamera(QString::fromLatin1(name), QStringLiteral("url-") + name));
        QCOMPARE(inserted.count(), 4);
        QCOMPARE(inserted.last().at(1).toInt(), 3);
        QCOMPARE(model->roleNames(), (QHash<int, QByteArray>{{Qt::UserRole + 1, "camera"}}));
        Camera *c = cameraAt(model, 2);
        QCOMPARE(c->name(), QStringLiteral("C"));
        QCOMPARE(c->url(), QStringLiteral("url-C"));
        QVERIFY(c->id() > 0);
        QVERIFY(!model->data(model->index(0, 0), Qt::DisplayRole).isValid());
        QVERIFY(!model->data(model->index(4, 0), Qt::UserRole + 1).isValid());

        Camera *d = cameraAt(model, 3);
        store.removeCamera(cameraAt(model, 1)->id());
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), 1);
        QCOMPARE(names(model), QStringList({"A", "C", "D"}));
        QCOMPARE(cameraAt(model, 1), c); // the same objects, moved up one row
        QCOMPARE(cameraAt(model, 2), d);

        LogCapture log;
        store.removeCamera(987654);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(model->rowCount(), 3);
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(store.cameraList(), model); // one model for the life of the store
    }

    void outsideEditsUpdateTheSameObjects()
    {
        SQLiteRepository store;
        store.insertCamera(QStringLiteral("Entrance"), QStringLiteral("u1"));
        store.insertCamera(QStringLiteral("Till"), QStringLiteral("u2"));
        store.insertCamera(QStringLiteral("Yard"), QStringLiteral("u3"));
        auto *model = store.cameraList();
        QAbstractItemModelTester tester(model);
        Camera *till = cameraAt(model, 1);
        QSignalSpy nameChanged(till, &Camera::nameChanged);
        QSignalSpy urlChanged(till, &Camera::urlChanged);
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);

        OutsideEdit outside;
        QVERIFY(outside.exec("UPDATE cameras SET name='Till 2' WHERE name='Till'"));
        QVERIFY(outside.exec("DELETE FROM cameras WHERE name='Entrance'"));
        QVERIFY(outside.exec("INSERT INTO cameras(name, url) VALUES ('Dock', 'u4')"));
        QCOMPARE(store.cameraList(), model);
        QCOMPARE(names(model), QStringList({"Till 2", "Yard", "Dock"}));
        QCOMPARE(cameraAt(model, 0), till);
        QCOMPARE(nameChanged.count(), 1);
        QCOMPARE(urlChanged.count(), 0);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(removed.count(), 1);

        // A table that disappears: the read fails with its three warnings, the model stays.
        QVERIFY(outside.exec("DROP TABLE cameras"));
        LogCapture log;
        QVERIFY(!store.cameraList());
        QVERIFY(!store.insertCamera(QStringLiteral("X"), QStringLiteral("y")));
        const QStringList warnings = log.lines(QtWarningMsg);
        QCOMPARE(warnings.size(), 6);
        QCOMPARE(warnings.at(0),
                 QStringLiteral("virtual QAbstractListModel* SQLiteRepository::cameraList()"));
        QCOMPARE(warnings.at(1), QStringLiteral("SELECT * FROM `cameras`"));
        QVERIFY2(warnings.at(2).contains(QStringLiteral("no such table")),
                 qPrintable(warnings.at(2)));
        QCOMPARE(warnings.at(3),
                 QStringLiteral("virtual bool SQLiteRepository::insertCamera(QString, QString)"));
        QCOMPARE(warnings.at(4),
                 QStringLiteral("INSERT INTO `cameras`(`name`, `url`) VALUES (:name, :url)"));
        QCOMPARE(model->rowCount(), 3);
    }

    void unopenableFileLeavesStoreClosed()
    {
        QVERIFY(QDir().mkdir(QStringLiteral("data.sqlite")));
        LogCapture log;
        SQLiteRepository store;
        const QStringList warnings = log.lines(QtWarningMsg);
        QCOMPARE(warnings.size(), 3);
        QCOMPARE(warnings.mid(0, 2),
                 QStringList({"SQLiteRepository::SQLiteRepository(QObject*)", "ERROR: "}));
        QVERIFY(!warnings.at(2).isEmpty());
        log.clear();
        QVERIFY(!store.cameraList());
        QVERIFY(!store.property("cameraList").value<QAbstractListModel *>());
        QVERIFY(!store.insertCamera(QStringLiteral("A"), QStringLiteral("b")));
        store.removeCamera(1);
        QVERIFY(store.allUsers().isEmpty());
        QVERIFY(!store.userByUsername(QStringLiteral("a")));
        QVERIFY(log.lines().isEmpty());
    }

    // A file that opens but whose tables cannot be made keeps the store open: each operation
    // tries the tables again and logs its own failure.
    void brokenFileKeepsStoreOpenAndLogsEachFailure_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("not a database") << "corrupt";
        QTest::newRow("read-only without tables") << "readonly";
    }

    void brokenFileKeepsStoreOpenAndLogsEachFailure()
    {
        QFETCH(QString, kind);
        QFile file(QStringLiteral("data.sqlite"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (kind == QLatin1String("corrupt")) {
            file.write(QByteArray(4096, '\x5a'));
        } else {
            if (geteuid() == 0)
                QSKIP("file permissions do not bind the superuser");
            file.close();
            QVERIFY(file.setPermissions(QFileDevice::ReadOwner));
        }
        file.close();
        LogCapture log;
        SQLiteRepository store;
        QCOMPARE(log.lines(QtWarningMsg),
                 QStringList({"void SQLiteRepository::createTables()",
                              "CREATE TABLE IF NOT EXISTS `users`(    `id` INTEGER,    `username` "
                              "VARCHAR,    `password` VARCHAR,    PRIMARY KEY (id))",
                              log.lines(QtWarningMsg).value(2)}));
        QVERIFY(!log.lines(QtWarningMsg).at(2).isEmpty());
        log.clear();
        QVERIFY(!store.insertCamera(QStringLiteral("A"), QStringLiteral("b")));
        QVERIFY(log.lines(QtWarningMsg)
                    .contains("virtual bool SQLiteRepository::insertCamera(QString, QString)"));
        log.clear();
        QVERIFY(store.allUsers().isEmpty());
        QVERIFY(
            log.lines(QtWarningMsg).contains("virtual QList<User*> SQLiteRepository::allUsers()"));
    }

    // Another console starting in the same folder holds the file: this one starts without
    // waiting out SQLite's busy timeout, and its store works once the file is free.
    void lockedFileDoesNotHoldUpStartAndWorksOnceFree()
    {
        OutsideEdit outside;
        QVERIFY(outside.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        LogCapture log;
        QElapsedTimer clock;
        clock.start();
        SQLiteRepository store;
        // Statements wait 5 s for a locked file; making the tables gives up long before.
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
        const QStringList warnings = log.lines(QtWarningMsg);
        QCOMPARE(warnings.size(), 3);
        QCOMPARE(warnings.at(0), QStringLiteral("void SQLiteRepository::createTables()"));
        QVERIFY2(warnings.at(2).contains(QStringLiteral("locked")), qPrintable(warnings.at(2)));
        QVERIFY(outside.exec(QStringLiteral("COMMIT")));

        log.clear();
        QVERIFY(store.insertCamera(QStringLiteral("Gate"), QStringLiteral("u")));
        QAbstractItemModelTester tester(store.cameraList());
        QCOMPARE(names(store.cameraList()), QStringList({"Gate"}));
        QCOMPARE(outside.schema().size(), 2);
        QVERIFY(log.lines(QtWarningMsg).isEmpty());
    }

    // The file is held when the console starts and no operation comes after: the store's two
    // tables and the events' are made once it is free, and the events that arrived meanwhile
    // are all written.
    void lockedAtStartIsMadeOnceFreeAndKeepsItsEvents()
    {
        OutsideEdit outside;
        QVERIFY(outside.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        LogCapture log;
        SQLiteRepository store;
        EventArchive archive;
        archive.start();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < 5; ++i) {
            EventRecord e;
            e.key = now + i;
            e.time = now;
            e.sourceId = QStringLiteral("11");
            e.cls = QStringLiteral("MOTION");
            e.text = QStringLiteral("motion %1").arg(i);
            archive.add(EventRecords{e});
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            !log.lines(QtWarningMsg).filter("events are kept in memory").isEmpty(), 60000);
        QVERIFY(outside.exec(QStringLiteral("COMMIT")));
        QTRY_COMPARE_WITH_TIMEOUT(outside.schema().size(), 3, 90000);
        const auto written = [&] {
            QSqlQuery query(QSqlDatabase::database(QStringLiteral("outside")));
            return query.exec(QStringLiteral("SELECT count(*) FROM events")) && query.next()
                       ? query.value(0).toInt()
                       : -1;
        };
        QTRY_COMPARE_WITH_TIMEOUT(written(), 5, 90000);
    }

    void bareRepositoryFromQmlHoldsNothing()
    {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQml 2.0\nimport Native 1.0\nRepository {\n"
                          "  property bool inserted: insertCamera('a', 'b')\n"
                          "  property bool noList: cameraList === null\n"
                          "  Component.onCompleted: removeCamera(1)\n}",
                          QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        QCOMPARE(object->property("inserted").toBool(), false);
        QCOMPARE(object->property("noList").toBool(), true);
        auto *repository = qobject_cast<Repository *>(object.get());
        QVERIFY(repository->allUsers().isEmpty());
        QVERIFY(!repository->userByUsername(QStringLiteral("x")));
    }

    void consoleCreatesTheStoreInItsWorkingFolder()
    {
        App app;
        QVERIFY(QFile::exists(QStringLiteral("data.sqlite")));
        auto *repository = app.property("repository").value<Repository *>();
        QVERIFY(repository);
        QVERIFY(repository->insertCamera(QStringLiteral("Gate"), QStringLiteral("u")));
        OutsideEdit outside;
        // The users and cameras, and beside them the console's event list and bookmarks, whose
        // tables their own threads make (by name: bookmarks, cameras, events, store_versions,
        // users).
        QTRY_COMPARE(outside.schema().size(), 5);
        const QStringList tables = outside.schema();
        QVERIFY(tables.at(0).startsWith(QLatin1String("CREATE TABLE bookmarks")));
        QVERIFY(tables.at(1).startsWith(QLatin1String("CREATE TABLE `cameras`")));
        QVERIFY(tables.at(2).startsWith(QLatin1String("CREATE TABLE events(")));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestSQLiteRepository)
#include "tst_sqliterepository.moc"
