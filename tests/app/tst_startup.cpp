// The start-up scene: the `debug` switch, the window it gives, and the native types that
// register themselves before the engine exists.
#include "App.h"
#include "LogCapture.h"
#include "Startup.h"

#include <QMetaProperty>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::setIdentity(); }

    void debugSwitch_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("debug");
        QTest::newRow("default") << QStringLiteral("0") << false;
        QTest::newRow("one") << QStringLiteral("1") << true;
        QTest::newRow("true") << QStringLiteral("true") << false;
        QTest::newRow("leading zero") << QStringLiteral("01") << false;
        QTest::newRow("blank after") << QStringLiteral("1 ") << false;
        QTest::newRow("empty") << QString() << false;
    }

    void debugSwitch()
    {
        QFETCH(QString, value);
        QFETCH(bool, debug);
        QCOMPARE(Startup::debugEnabled(value), debug);

        LogCapture log;
        QQmlApplicationEngine engine;
        Startup::loadScene(engine, value, QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QCOMPARE(log.lines().value(0), QStringLiteral("DEBUG: \"%1\"").arg(value));
        QCOMPARE(engine.rootContext()->contextProperty(QStringLiteral("debug")).toBool(), debug);
        QCOMPARE(engine.rootObjects().size(), 1);
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        QVERIFY(window);
        QCOMPARE(window->title(), QStringLiteral("Client"));
        QCOMPARE(window->size(), QSize(640, 480));
        QCOMPARE(window->flags().testFlag(Qt::FramelessWindowHint), !debug);
        QVERIFY(engine.importPathList().contains(QStringLiteral("qrc:/qml")));
    }

    void logFileIsInApplicationData()
    {
        const QString expected = QStringLiteral("%1/.local/share/Ardix/clientLogs.txt")
                                     .arg(qEnvironmentVariable("HOME"));
        QCOMPARE(QString::fromStdString(Startup::logFilePath()), expected);
    }

    // Every native type registers itself before the engine exists and resolves from QML
    // under Native 1.0: singletons by name, the others by creating one.
    void typesResolve_data()
    {
        QTest::addColumn<QString>("binding");
        for (const char *singleton : {"App", "I18n", "QmlUtils", "CppAccessor", "PosReceiver"})
            QTest::newRow(singleton) << QString::fromLatin1(singleton);
        for (const char *creatable :
             {"ZarnClient", "ZarnObject", "ZarnSetting", "ZarnObjectsRepository", "TreeNode",
              "TreeModel", "LayoutList", "LayoutModel", "MpvObject", "SubtitleList", "Downloader",
              "Repository", "User", "Camera"})
            QTest::newRow(creatable) << QStringLiteral("%1 {}").arg(QLatin1String(creatable));
    }

    void typesResolve()
    {
        QFETCH(QString, binding);
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(QStringLiteral("import QtQml 2.2\nimport Native 1.0\n"
                                         "QtObject { property QtObject probe: %1 }\n")
                              .arg(binding)
                              .toUtf8(),
                          QUrl());
        QScopedPointer<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        QVERIFY(object->property("probe").value<QObject *>());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
