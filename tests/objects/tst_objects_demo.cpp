// The object model filled by a real rebuild: the console's App signs in to the in-process
// simulator (demo site, loopback TCP) and loads the object tree; QML reads it and writes a
// door actuator, and a tree-change push replaces every object.
#include "App.h"
#include "LogCapture.h"
#include "ZarnClient.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"
#include "ZarnSetting.h"

#include <Simulator.h>

#include <QPointer>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace sim = ardix::sim;

class TestObjectsDemo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The console's remote-control host must not take the default endpoint that other
        // suites may be using at the same time.
        QSettings config(QCoreApplication::applicationDirPath() + "/config.ini",
                         QSettings::IniFormat);
        config.setValue(
            "IPC/url",
            QStringLiteral("local:ardix-objects-demo-%1").arg(QCoreApplication::applicationPid()));
        config.sync();

        std::string error;
        auto site = sim::Site::fromFile(DEMO_SITE, sim::nowMs(), error);
        QVERIFY2(site, error.c_str());
        sim::SimulatorOptions options;
        // Channel texts on a free port: the demo's 5556 belongs to the screen tests.
        options.ephemeralPosPorts = true;
        options.site = std::move(*site);
        options.log = [](const std::string &) {};
        m_sim = std::make_unique<sim::Simulator>(std::move(options));
        QVERIFY2(m_sim->start(&error), error.c_str());

        m_app = std::make_unique<App>();
        m_repo = m_app->zarnRepository();
        QVERIFY(m_repo);
        QSignalSpy loaded(m_repo, &ZarnObjectsRepository::dataChanged);
        m_app->login("operator", "operator", "127.0.0.1", m_sim->eventPort());
        QVERIFY(loaded.wait(10000));
        QCOMPARE(loaded.count(), 1);
    }

    void cleanupTestCase()
    {
        m_app.reset();
        m_sim.reset();
    }

    void demoObjects_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("parentId");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QStringList>("childIds");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("settingText");
        QTest::newRow("site") << "1"
                              << "Shop" << int(ZarnObject::Location) << "location.SITE"
                              << "Shop"
                              << "0"
                              << "" << QStringList{"2", "3"} << "address"
                              << "1 Market Street";
        QTest::newRow("gateway") << "2"
                                 << "Gateway" << int(ZarnObject::Device) << "device.GATEWAY"
                                 << "Shop,Gateway"
                                 << "1"
                                 << "GW-0001"
                                 << QStringList{"11", "12", "13", "14", "15", "16", "17"}
                                 << "posPort"
                                 << "5556";
        QTest::newRow("stream") << "11"
                                << "Entrance" << int(ZarnObject::Stream) << "stream.VIDEO"
                                << "Shop,Gateway,Entrance"
                                << "2"
                                << "CAM-0011" << QStringList() << "url"
                                << "http://127.0.0.1:9554/live/11[[?profile{EQU}main]]";
        QTest::newRow("door sensor") << "21"
                                     << "Front door" << int(ZarnObject::Sensor) << "sensor.DOOR"
                                     << "Shop,Door controller,Front door"
                                     << "3"
                                     << "DS-0021" << QStringList() << "layout"
                                     << "front-door";
        QTest::newRow("door lock")
            << "22"
            << "Front door lock" << int(ZarnObject::Actuator) << "actuator.DOOR"
            << "Shop,Door controller,Front door lock"
            << "3"
            << "DL-0022" << QStringList() << "layout"
            << "front-door";
    }

    void demoObjects()
    {
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(QString, cls);
        QFETCH(QString, path);
        QFETCH(QString, parentId);
        QFETCH(QString, serial);
        QFETCH(QStringList, childIds);
        QFETCH(QString, setting);
        QFETCH(QString, settingText);
        ZarnObject *obj = m_repo->objectById(id);
        QVERIFY(obj);
        QCOMPARE(obj->id(), id);
        QCOMPARE(obj->name(), name);
        QCOMPARE(int(obj->type()), type);
        QCOMPARE(obj->cls(), cls);
        QCOMPARE(obj->path(), path);
        QCOMPARE(obj->parentId(), parentId);
        QCOMPARE(obj->serial(), serial);
        QCOMPARE(obj->childIds(), childIds);
        QCOMPARE(obj->settings()->prop(setting), settingText);
        QCOMPARE(QQmlEngine::objectOwnership(obj), QQmlEngine::CppOwnership);
    }

    void wholeTreeLoaded()
    {
        QCOMPARE(m_repo->objects().size(), 14);
        QVERIFY(m_repo->root());
        QCOMPARE(m_repo->root()->id(), QStringLiteral("1"));
        // Every object's parent lists it among its children.
        for (const ZarnObjectPtr &obj : m_repo->objects()) {
            if (obj.get() == m_repo->root())
                continue;
            const ZarnObjectPtr parent = m_repo->find(obj->parentId());
            QVERIFY2(parent, qPrintable(obj->id()));
            QVERIFY(parent->childIds().contains(obj->id()));
        }
    }

    // A QML write on the door lock becomes one request; the value follows the server's
    // report only. The same write on the door sensor sends nothing.
    void doorWriteFromQml()
    {
        ZarnObject *lock = m_repo->objectById("22");
        ZarnObject *sensor = m_repo->objectById("21");
        QVERIFY(lock && sensor);
        QSignalSpy lockChanged(lock, &ZarnObject::valueChanged);
        m_app->zarnClient()->getActrValue("22");
        QVERIFY(lockChanged.wait(5000));
        QCOMPARE(lock->value(), true);
        const bool sensorValue = sensor->value();
        lockChanged.clear();

        QQmlEngine engine;
        engine.rootContext()->setContextProperty("repo", m_repo);
        QQmlComponent component(&engine);
        component.setData("import QtQml 2.2\n"
                          "QtObject {\n"
                          "  function write() {\n"
                          "    repo.objectById('21').value = false\n"
                          "    repo.objectById('22').value = false\n"
                          "  }\n"
                          "}\n",
                          QUrl());
        QScopedPointer<QObject> item(component.create());
        QVERIFY2(item, qPrintable(component.errorString()));
        LogCapture log;
        QVERIFY(QMetaObject::invokeMethod(item.data(), "write"));
        QCOMPARE(lock->value(), true);
        QCOMPARE(sensor->value(), sensorValue);
        QCOMPARE(lockChanged.count(), 0);

        QVERIFY(lockChanged.wait(5000));
        QCOMPARE(lock->value(), false);
        QTRY_COMPARE(log.linesStartingWith("setActrValue").size(), 1);
        QCOMPARE(log.linesStartingWith("setActrValue").first(),
                 QStringLiteral("setActrValue ok,  \"22\"  =>  false"));
    }

    // A tree-change push rebuilds the repository: the old objects are released (a slice at a
    // time, after the new tree is in) and QML's references to them read null until QML looks
    // them up again.
    void rebuildReleasesOldObjects()
    {
        QQmlEngine engine;
        engine.rootContext()->setContextProperty("repo", m_repo);
        QQmlComponent component(&engine);
        component.setData("import QtQml 2.2\n"
                          "QtObject { property QtObject lock: repo.objectById('22') }\n",
                          QUrl());
        QScopedPointer<QObject> item(component.create());
        QVERIFY2(item, qPrintable(component.errorString()));
        QPointer<ZarnObject> old = m_repo->objectById("22");
        QCOMPARE(item->property("lock").value<QObject *>(), old.data());

        QSignalSpy rebuilt(m_repo, &ZarnObjectsRepository::dataChanged);
        m_sim->notifyObjectsChanged();
        QVERIFY(rebuilt.wait(5000));
        QTRY_VERIFY(old.isNull());
        QVERIFY(!item->property("lock").value<QObject *>());
        ZarnObject *lock = m_repo->objectById("22");
        QVERIFY(lock);
        QCOMPARE(lock->path(), QStringLiteral("Shop,Door controller,Front door lock"));
        QCOMPARE(m_repo->objects().size(), 14);
    }

private:
    std::unique_ptr<sim::Simulator> m_sim;
    std::unique_ptr<App> m_app;
    ZarnObjectsRepository *m_repo = nullptr;
};

QTEST_GUILESS_MAIN(TestObjectsDemo)
#include "tst_objects_demo.moc"
