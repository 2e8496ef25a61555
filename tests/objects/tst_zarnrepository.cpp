// ZarnObjectsRepository: how add() links objects by path, picks the root and refuses
// duplicates; the lookups; and objects reaching QML without the engine taking them over.
#include "GatewayAddress.h"
#include "LogCapture.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"
#include "ZarnSetting.h"

#include <QJSEngine>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kLine97 = QStringLiteral("ZarnObjectsRepository 97 : root != nullptr?");
const QString kLine107 = QStringLiteral("ZarnObjectsRepository 107  root != nullptr?");

ZarnObjectPtr object(const QString &id, const QString &path, const QStringList &childIds = {})
{
    auto obj = std::make_shared<ZarnObject>();
    obj->setId(id);
    obj->setPath(path);
    obj->setChildIds(childIds);
    obj->setParentId(QStringLiteral("server-parent"));
    return obj;
}

// One add per "id=path" entry; the results as "1" (accepted) or "0".
QString addAll(ZarnObjectsRepository &repo, const QStringList &adds)
{
    QString results;
    for (const QString &add : adds) {
        const int eq = add.indexOf('=');
        results += repo.add(object(add.left(eq), add.mid(eq + 1)), QStringLiteral(",")) ? '1' : '0';
    }
    return results;
}

} // namespace

class TestZarnRepository : public QObject
{
    Q_OBJECT

private slots:
    // Each row adds objects in order, then checks the results, the root, the warnings, the
    // parent links and the children of the objects named in "children" ("id:child,child").
    void linking_data()
    {
        QTest::addColumn<QStringList>("adds");
        QTest::addColumn<QString>("results");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<QStringList>("parents");
        QTest::addColumn<QStringList>("children");

        QTest::newRow("tree") << QStringList{"1=Shop", "2=Shop,Gate", "3=Shop,Gate,Cam",
                                             "4=Shop,Door"}
                              << "1111"
                              << "1" << QStringList()
                              << QStringList{"1:server-parent", "2:1", "3:2", "4:1"}
                              << QStringList{"1:2,4", "2:3", "3:", "4:"};
        QTest::newRow("two top-level objects")
            << QStringList{"1=Shop", "2=Shop,Gate", "9=Depot", "10=Depot,Van"} << "1111"
            << "9" << QStringList{kLine97} << QStringList{"2:1", "10:9"}
            << QStringList{"1:2", "9:10"};
        // A comma in a name adds a path part, so the parent path names nobody.
        QTest::newRow("comma in a name")
            << QStringList{"1=Shop", "2=Shop,Gate", "5=Shop,Gate,Door, back"} << "111"
            << "5" << QStringList{kLine107} << QStringList{"2:1", "5:server-parent"}
            << QStringList{"2:"};
        QTest::newRow("first object without its parent")
            << QStringList{"7=Shop,Gate", "8=Shop,Gate,Cam"} << "11"
            << "7" << QStringList() << QStringList{"8:7"} << QStringList{"7:8"};
        // The refused duplicate registers no path: its would-be child finds no parent.
        QTest::newRow("duplicate id")
            << QStringList{"1=Shop", "2=Shop,Gate", "2=Other", "3=Other,Cam"} << "1101"
            << "3" << QStringList{kLine107} << QStringList{"2:1"} << QStringList{"1:2"};
        // A later object with a taken path replaces the earlier one as a parent.
        QTest::newRow("same path twice")
            << QStringList{"1=Shop", "2=Shop,Gate", "3=Shop,Gate", "4=Shop,Gate,Cam"} << "1111"
            << "1" << QStringList() << QStringList{"4:3"} << QStringList{"1:2,3", "2:", "3:4"};
        QTest::newRow("empty parts")
            << QStringList{"1=", "2=,", "3=,,x"} << "111"
            << "1" << QStringList() << QStringList{"2:1", "3:2"} << QStringList{"1:2", "2:3"};
    }

    void linking()
    {
        QFETCH(QStringList, adds);
        QFETCH(QString, results);
        QFETCH(QString, root);
        QFETCH(QStringList, warnings);
        QFETCH(QStringList, parents);
        QFETCH(QStringList, children);
        ZarnObjectsRepository repo;
        QSignalSpy rootChanged(&repo, &ZarnObjectsRepository::rootChanged);
        QSignalSpy dataChanged(&repo, &ZarnObjectsRepository::dataChanged);
        LogCapture log;
        QCOMPARE(addAll(repo, adds), results);
        QVERIFY(repo.root());
        QCOMPARE(repo.root()->id(), root);
        QCOMPARE(log.lines(), warnings);
        QCOMPARE(log.lines(QtWarningMsg), warnings);
        for (const QString &link : parents) {
            const QStringList p = link.split(':');
            QCOMPARE(repo.find(p[0])->parentId(), p[1]);
        }
        for (const QString &link : children) {
            const QStringList c = link.split(':');
            QCOMPARE(repo.find(c[0])->childIds(), c[1].split(',', Qt::SkipEmptyParts));
        }
        QCOMPARE(rootChanged.count(), 0);
        QCOMPARE(dataChanged.count(), 0);
    }

    // The parent's list keeps its order and loses duplicates (first wins); one signal per
    // linked child, whether it changed the list or not.
    void childIdsOfParent_data()
    {
        QTest::addColumn<QStringList>("fromServer");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("childIds");
        QTest::newRow("server order kept")
            << QStringList{"4", "3", "2"} << QStringList{"2", "3", "4"}
            << QStringList{"4", "3", "2"};
        QTest::newRow("unknown to the server")
            << QStringList{"3"} << QStringList{"2", "3", "4"} << QStringList{"3", "2", "4"};
        QTest::newRow("duplicates from the server")
            << QStringList{"5", "6", "5", "6", "7"} << QStringList{"8"}
            << QStringList{"5", "6", "7", "8"};
        QTest::newRow("no list from the server")
            << QStringList() << QStringList{"9", "8"} << QStringList{"9", "8"};
    }

    void childIdsOfParent()
    {
        QFETCH(QStringList, fromServer);
        QFETCH(QStringList, added);
        QFETCH(QStringList, childIds);
        ZarnObjectsRepository repo;
        const ZarnObjectPtr parent = object("1", "P", fromServer);
        QVERIFY(repo.add(parent, ","));
        QSignalSpy spy(parent.get(), &ZarnObject::childIdsChanged);
        QStringList seen;
        connect(parent.get(), &ZarnObject::childIdsChanged, this,
                [&] { seen.append(parent->childIds().join(' ')); });
        for (const QString &id : added)
            QVERIFY(repo.add(object(id, "P," + id), ","));
        QCOMPARE(parent->childIds(), childIds);
        QCOMPARE(spy.count(), added.size());
        // Each signal already shows the list with that child in it.
        for (int i = 0; i < added.size(); ++i)
            QVERIFY(seen.at(i).split(' ').contains(added.at(i)));
    }

    // A list written through the property after some adds is what later adds extend.
    void childIdsRewrittenBetweenAdds()
    {
        ZarnObjectsRepository repo;
        const ZarnObjectPtr parent = object("1", "P");
        QVERIFY(repo.add(parent, ","));
        QVERIFY(repo.add(object("2", "P,a"), ","));
        parent->setChildIds({"9", "3", "9"});
        QVERIFY(repo.add(object("3", "P,b"), ","));
        QVERIFY(repo.add(object("2x", "P,c"), ","));
        QCOMPARE(parent->childIds(), (QStringList{"9", "3", "2x"}));
    }

    // One parent with many children: every child linked once, in order.
    void manyChildren()
    {
        const int count = 20000;
        ZarnObjectsRepository repo;
        const ZarnObjectPtr parent = object("0", "P");
        QVERIFY(repo.add(parent, ","));
        QSignalSpy spy(parent.get(), &ZarnObject::childIdsChanged);
        for (int i = 1; i <= count; ++i)
            QVERIFY(repo.add(object(QString::number(i), "P,c" + QString::number(i)), ","));
        QCOMPARE(parent->childIds().size(), count);
        QCOMPARE(parent->childIds().first(), QStringLiteral("1"));
        QCOMPARE(parent->childIds().last(), QString::number(count));
        QCOMPARE(spy.count(), count);
        QCOMPARE(repo.objects().size(), count + 1);
    }

    void lookups()
    {
        ZarnObjectsRepository repo;
        addAll(repo, {"1=Shop", "2=Shop,Gate"});
        QCOMPARE(repo.find("2")->path(), QStringLiteral("Shop,Gate"));
        QCOMPARE(repo.objectById("2"), repo.find("2").get());
        QVERIFY(!repo.find("3"));
        QVERIFY(!repo.objectById("3"));
        QVERIFY(!repo.objectById(" 2"));
        QVERIFY(!repo.objectById("02"));
        QVERIFY(!repo.objectById(QString()));
        QCOMPARE(repo.objects().size(), 2);
        QVERIFY(!repo.add(nullptr, ","));
    }

    // clear() drops the repository's hold (and only that) and announces nothing.
    void clearReleases()
    {
        ZarnObjectsRepository repo;
        QSignalSpy rootChanged(&repo, &ZarnObjectsRepository::rootChanged);
        QSignalSpy dataChanged(&repo, &ZarnObjectsRepository::dataChanged);
        addAll(repo, {"1=Shop", "2=Shop,Gate"});
        const ZarnObjectPtr kept = repo.find("2");
        QPointer<ZarnObject> dropped = repo.objectById("1");
        repo.clear();
        QVERIFY(!repo.root());
        QVERIFY(repo.objects().isEmpty());
        QVERIFY(!repo.find("1"));
        QVERIFY(dropped.isNull());
        QCOMPARE(kept->id(), QStringLiteral("2"));
        // The cleared paths are gone: a new object at the old child path has no parent.
        LogCapture log;
        QVERIFY(repo.add(object("3", "Shop,Gate,Cam"), ","));
        QCOMPARE(repo.root()->id(), QStringLiteral("3"));
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(rootChanged.count(), 0);
        QCOMPARE(dataChanged.count(), 0);
    }

    // Where a stream's gateway is reached over HTTP: its "address" (else the address the
    // server reported, else this machine) and its "httpPort", else 9554; a port that is none
    // falls back to 9554.
    void gatewayAddress_data()
    {
        // address|httpPort|reported|expected; "-": the gateway lacks that setting
        QTest::addColumn<QString>("row");
        QTest::newRow("both settings") << "10.0.0.7|8080||http://10.0.0.7:8080";
        QTest::newRow("no port") << "10.0.0.7|-||http://10.0.0.7:9554";
        QTest::newRow("spaces") << " 10.0.0.7 | 8080 ||http://10.0.0.7:8080";
        QTest::newRow("reported host") << "-|9000|10.0.0.9|http://10.0.0.9:9000";
        QTest::newRow("no host at all") << "-|-||http://127.0.0.1:9554";
        QTest::newRow("IPv6") << "fd00::7|8080||http://[fd00::7]:8080";
        QTest::newRow("port 0") << "10.0.0.7|0||http://10.0.0.7:9554";
        QTest::newRow("port too high") << "10.0.0.7|65536||http://10.0.0.7:9554";
        QTest::newRow("port not a number") << "10.0.0.7|80a||http://10.0.0.7:9554";
    }

    void gatewayAddress()
    {
        QFETCH(QString, row);
        const QStringList parts = row.split(QLatin1Char('|'));
        const QString &reported = parts[2];
        ZarnObjectsRepository repo;
        addAll(repo, {"1=Shop", "2=Shop,Gate", "11=Shop,Gate,Cam"});
        repo.find("11")->setParentId(QStringLiteral("2"));
        if (parts[0] != QLatin1String("-"))
            repo.find("2")->settings()->insert("address", parts[0]);
        if (parts[1] != QLatin1String("-"))
            repo.find("2")->settings()->insert("httpPort", parts[1]);
        QCOMPARE(GatewayAddress::ofDevice(&repo, QStringLiteral("2"), reported).httpBase(),
                 parts[3]);
        if (reported.isEmpty())
            QCOMPARE(GatewayAddress::ofStream(&repo, QStringLiteral("11")).httpBase(), parts[3]);
    }

    // QML reads objects and settings through objectById; the engine's garbage collector
    // must neither delete them nor their settings.
    void readFromQml()
    {
        QQmlEngine engine;
        ZarnObjectsRepository repo;
        addAll(repo, {"1=Shop", "2=Shop,Gate"});
        repo.find("2")->setName(QStringLiteral("Gateway"));
        repo.find("2")->settings()->insert("posPort", "5556");
        QQmlEngine::setObjectOwnership(&repo, QQmlEngine::CppOwnership);
        engine.rootContext()->setContextProperty("repo", &repo);
        QQmlComponent component(&engine);
        component.setData("import QtQml 2.2\n"
                          "QtObject {\n"
                          "  property var gate: repo.objectById('2')\n"
                          "  property string name: gate ? gate.name : ''\n"
                          "  property string port: gate.settings.prop('posPort')\n"
                          "  property bool hasUrl: gate.settings.contains('url')\n"
                          "  property string url: gate.settings.prop('url')\n"
                          "  property bool missing: repo.objectById('3') === null\n"
                          "  property string rootName: repo.root.path\n"
                          "  function drop() { gate = null }\n"
                          "}\n",
                          QUrl());
        QScopedPointer<QObject> item(component.create());
        QVERIFY2(item, qPrintable(component.errorString()));
        QCOMPARE(item->property("name").toString(), QStringLiteral("Gateway"));
        QCOMPARE(item->property("port").toString(), QStringLiteral("5556"));
        QCOMPARE(item->property("hasUrl").toBool(), false);
        QCOMPARE(item->property("url").toString(), QString());
        QCOMPARE(item->property("missing").toBool(), true);
        QCOMPARE(item->property("rootName").toString(), QStringLiteral("Shop"));

        QPointer<ZarnObject> gate = repo.objectById("2");
        QPointer<ZarnSetting> settings = gate->settings();
        QMetaObject::invokeMethod(item.data(), "drop");
        engine.evaluate("repo.objectById('2').settings; repo.objectById('1')");
        engine.collectGarbage();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!gate.isNull());
        QVERIFY(!settings.isNull());
        QCOMPARE(QQmlEngine::objectOwnership(gate), QQmlEngine::CppOwnership);
    }

    // After a rebuild drops an object, QML's reference to it reads null.
    void qmlReferenceAfterRelease()
    {
        QQmlEngine engine;
        ZarnObjectsRepository repo;
        addAll(repo, {"1=Shop", "2=Shop,Gate"});
        engine.rootContext()->setContextProperty("repo", &repo);
        QQmlComponent component(&engine);
        component.setData(
            "import QtQml 2.2\nQtObject { property QtObject gate: repo.objectById('2') }\n",
            QUrl());
        QScopedPointer<QObject> item(component.create());
        QVERIFY2(item, qPrintable(component.errorString()));
        QVERIFY(item->property("gate").value<QObject *>());
        repo.clear();
        QVERIFY(!item->property("gate").value<QObject *>());
    }
};

QTEST_GUILESS_MAIN(TestZarnRepository)
#include "tst_zarnrepository.moc"
