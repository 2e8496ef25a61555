// The console's side of the remote-control interface in one process: the source object, its
// host, App's handling of the requests, and the LayoutList model with its QML registration.
#include "App.h"
#include "LayoutList.h"
#include "LayoutModel.h"
#include "LogCapture.h"
#include "RpcHost.h"
#include "RpcSource.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QFile>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

QString configPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini");
}

void writeConfig(const QString &url)
{
    QFile config(configPath());
    QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
    config.write(QStringLiteral("[IPC]\nurl=%1\n").arg(url).toUtf8());
    // QSettings caches the file per process and rereads it only when its size or time
    // changes; rewrites within one clock tick would otherwise go unseen.
    static int rewrites = 0;
    QVERIFY(config.setFileTime(QDateTime::currentDateTime().addSecs(++rewrites),
                               QFileDevice::FileModificationTime));
}

// A layout of `cells` video cells in one row, each labelled `label`.
QString rowOfCells(int cells, const QString &label = QStringLiteral("Till"))
{
    QStringList elements;
    const QString element = QStringLiteral(R"({"row": 0, "col": %1, "rowSpan": 1, "colSpan": 1,
        "type": "video", "objectId": "12", "label": "%2"})");
    for (int i = 0; i < cells; ++i)
        elements << element.arg(i).arg(label);
    return QStringLiteral(R"({"numRows": 1, "numCols": %1, "elements": [%2]})")
        .arg(cells)
        .arg(elements.join(','));
}

QString lastLayout()
{
    return QSettings().value(QStringLiteral("lastLayout")).toString();
}

QList<client_Layout> sampleLayouts()
{
    return {client_Layout(QStringLiteral("Entrance"), QStringLiteral("{\"numRows\":1}")),
            client_Layout(QStringLiteral("Caixa – Sé"), QStringLiteral("{\"label\":\"Café\"}"))};
}

} // namespace

class TestClientService : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QFile::remove(configPath()); }

    void sourceCarriesTheSharedSignature()
    {
        const QMetaObject &meta = client_ServiceSource::staticMetaObject;
        const int type = meta.indexOfClassInfo("RemoteObject Type");
        const int signature = meta.indexOfClassInfo("RemoteObject Signature");
        QVERIFY(type >= 0 && signature >= 0);
        QCOMPARE(meta.classInfo(type).value(), "client_Service");
        QCOMPARE(meta.classInfo(signature).value(), "d1c736b368dac9ff0b1dfe712846f97ad41ec35a");
    }

    void settersEmitEvenWhenUnchanged()
    {
        client_Service service;
        QSignalSpy loggedIn(&service, &client_Service::loggedIn);
        QSignalSpy layouts(&service, &client_Service::layoutListChanged);

        service.setLoggedIn(false);
        service.setLoggedIn(true);
        service.setLoggedIn(true);
        QCOMPARE(loggedIn.count(), 3);
        QCOMPARE(loggedIn.at(0).at(0).toBool(), false);
        QCOMPARE(loggedIn.at(2).at(0).toBool(), true);

        const QList<client_Layout> list = sampleLayouts();
        service.setLayoutList(list);
        service.setLayoutList(list);
        service.setLayoutList(QList<client_Layout>(list)); // equal, not shared
        service.setLayoutList({});
        QCOMPARE(layouts.count(), 4);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(layouts.at(i).at(0).value<QList<client_Layout>>(), list);
        QVERIFY(layouts.at(3).at(0).value<QList<client_Layout>>().isEmpty());
    }

    void requestsAreAnsweredFromTheStoredState()
    {
        client_Service service;
        QSignalSpy loggedIn(&service, &client_Service::loggedIn);
        QSignalSpy loggedOut(&service, &client_Service::loggedOut);
        QSignalSpy layouts(&service, &client_Service::layoutListChanged);

        // before sign-in: the initial state
        service.requestLoginStatus();
        service.requestLayoutList();
        QCOMPARE(loggedIn.takeFirst().at(0).toBool(), false);
        QVERIFY(layouts.takeFirst().at(0).value<QList<client_Layout>>().isEmpty());

        service.setLoggedIn(true);
        service.setLayoutList(sampleLayouts());
        loggedIn.clear();
        layouts.clear();
        service.requestLoginStatus();
        service.requestLayoutList();
        QCOMPARE(loggedIn.takeFirst().at(0).toBool(), true);
        QCOMPARE(layouts.takeFirst().at(0).value<QList<client_Layout>>(), sampleLayouts());

        // losing the sign-in: told once, and later questions get false
        service.setLoggedOut();
        QCOMPARE(loggedOut.count(), 1);
        QVERIFY(!service.isLoggedIn());
        service.requestLoginStatus();
        QCOMPARE(loggedIn.takeFirst().at(0).toBool(), false);
    }

    void requestsBecomeLocalSignals()
    {
        client_Service service;
        QSignalSpy layout(&service, &client_Service::setLayoutRequested);
        QSignalSpy page(&service, &client_Service::jumpPageRequested);
        const QString name = QStringLiteral("Türen – 東京");
        const QString json = QStringLiteral("{\"numRows\": 2, \"x\": \"ç\"}");
        service.setLayout(name, json);
        service.jumpPage(client_ServiceSource::SETTINGS);
        QCOMPARE(layout.count(), 1);
        QCOMPARE(layout.at(0).at(0).toString(), name);
        QCOMPARE(layout.at(0).at(1).toString(), json);
        QCOMPARE(page.count(), 1);
        QCOMPARE(page.at(0).at(0).value<client_ServiceSource::ClientPage>(),
                 client_ServiceSource::SETTINGS);
    }

    void sourceWithoutConfigUsesTheDefaultEndpoint()
    {
        LogCapture log;
        RpcSource source;
        QCOMPARE(log.lines(QtDebugMsg), {QStringLiteral("IPC url: \"tcp://127.0.0.1:12230\"")});
        QCOMPARE(source.url(), QUrl(QStringLiteral("tcp://127.0.0.1:12230")));
        QVERIFY(!source.service());
    }

    void sourceListensOnTheConfiguredEndpoint()
    {
        const QString url = RpcHost::freeUrl(QStringLiteral("tcp"));
        writeConfig(url);
        LogCapture log;
        RpcSource source;
        QVERIFY(source.start());
        QVERIFY(source.service());
        QVERIFY(log.contains(QStringLiteral("IPC url: \"%1\"").arg(url)));
        QVERIFY(log.contains(QStringLiteral("Listening on: QUrl(\"%1\")").arg(url)));

        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, QUrl(url).port());
        QVERIFY(socket.waitForConnected(5000));
    }

    void sourceOnABusyPortSaysSo()
    {
        // a second console on the same machine and endpoint
        writeConfig(RpcHost::freeUrl(QStringLiteral("tcp")));
        RpcSource first;
        QVERIFY(first.start());
        LogCapture log;
        RpcSource second;
        QVERIFY(!second.start());
        // the console still has a service to publish into, locally
        QVERIFY(second.service());
        QVERIFY(!log.linesStartingWith(QStringLiteral("Remote control unavailable:")).isEmpty());
    }

    void appServesPageRequests_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("emitted");
        QTest::addColumn<QStringList>("infos");
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("recorder") << int(client_ServiceSource::RECORDER) << QStringList{"recorder"}
                                  << QStringList{"Jumping to page: client_ServiceSource::RECORDER"}
                                  << QStringList{};
        QTest::newRow("playback") << int(client_ServiceSource::PLAYBACK) << QStringList{"playback"}
                                  << QStringList{"Jumping to page: client_ServiceSource::PLAYBACK"}
                                  << QStringList{};
        QTest::newRow("settings")
            << int(client_ServiceSource::SETTINGS) << QStringList{} << QStringList{}
            << QStringList{"void App::onJumpPageRequested(client_ServiceSource::ClientPage)",
                           "  Unknow page: client_ServiceSource::SETTINGS"};
    }

    void appServesPageRequests()
    {
        QFETCH(int, page);
        QFETCH(QStringList, emitted);
        QFETCH(QStringList, infos);
        QFETCH(QStringList, warnings);
        writeConfig(RpcHost::freeUrl(QStringLiteral("local")));
        App app;
        QSignalSpy jumps(&app, &App::requestedJumpPage);
        LogCapture log;
        app.rpcSource()->service()->jumpPage(static_cast<client_ServiceSource::ClientPage>(page));
        QStringList pages;
        for (const QList<QVariant> &args : jumps)
            pages << args.at(0).toString();
        QCOMPARE(pages, emitted);
        QCOMPARE(log.lines(QtInfoMsg), infos);
        QCOMPARE(log.lines(QtWarningMsg), warnings);
    }

    void appAppliesRequestedLayouts()
    {
        writeConfig(RpcHost::freeUrl(QStringLiteral("local")));
        App app;
        LogCapture log;
        // a name that no published layout has: the document is applied all the same
        app.rpcSource()->service()->setLayout(
            QStringLiteral("Not published"),
            QStringLiteral(R"({"numRows": 3, "numCols": 2, "elements": [
                {"row": 0, "col": 0, "rowSpan": 1, "colSpan": 1, "type": "video"}]})"));
        QCOMPARE(log.lines(QtInfoMsg), {QStringLiteral("Applying layout: \"Not published\"")});
        QCOMPARE(app.layoutModel()->numRows(), 3);
        QCOMPARE(app.layoutModel()->numCols(), 2);
        QCOMPARE(app.layoutModel()->rowCount(), 1);
    }

    // Requests a companion may send, and what the console makes of them once the layout
    // "Before" is shown: what the grid holds, what is said, and what the next start opens on.
    void appChecksRequestedLayouts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("json");
        QTest::addColumn<bool>("applied");
        QTest::addColumn<int>("cells");
        QTest::addColumn<QString>("warning");

        const QString longText(10 * 1024 * 1024, QLatin1Char('x'));
        QTest::newRow("every element malformed")
            << "Broken" << QStringLiteral(R"({"numRows": 2, "numCols": 2, "elements":
                   [{}, {"row": 1}, "cell", null]})")
            << false << 1 << "Layout not applied, it has no valid cell: \"Broken\"";
        QTest::newRow("not a document")
            << "Cut" << QStringLiteral(R"({"numRows": 2, "elem)") << false << 1
            << "Layout not applied, its document is not a layout: "
               "\"Cut\"";
        QTest::newRow("10 000 cells")
            << "Wall" << rowOfCells(10000) << true << LayoutModel::maxCells
            << "Only the first 100 cells of a layout are shown; 9900 more element(s) left out";
        QTest::newRow("10 MiB label")
            << "Long label" << rowOfCells(1, longText) << true << 1 << QString();
        QTest::newRow("10 MiB name") << longText << rowOfCells(2) << false << 1
                                     << "Layout refused: its name of 10485760 characters is "
                                        "longer than 1024 bytes";
    }

    void appChecksRequestedLayouts()
    {
        QFETCH(QString, name);
        QFETCH(QString, json);
        QFETCH(bool, applied);
        QFETCH(int, cells);
        QFETCH(QString, warning);
        writeConfig(RpcHost::freeUrl(QStringLiteral("local")));
        App app;
        client_Service *service = app.rpcSource()->service().get();
        service->setLayout(QStringLiteral("Before"), rowOfCells(1, QStringLiteral("Before")));
        QCOMPARE(lastLayout(), QStringLiteral("Before"));

        LogCapture log;
        service->setLayout(name, json);
        const QString applying = QStringLiteral("Applying layout: \"%1\"").arg(name);
        QTRY_VERIFY(log.count(applying) == 1 || !log.lines(QtWarningMsg).isEmpty());
        QCOMPARE(log.count(applying), applied ? 1 : 0);
        // The last warning says what became of the layout; the model's own ones come before.
        const QStringList warnings = log.lines(QtWarningMsg);
        QCOMPARE(warnings.isEmpty() ? QString() : warnings.last(), warning);
        QCOMPARE(app.layoutModel()->rowCount(), cells);
        QCOMPARE(lastLayout(), applied ? name : QStringLiteral("Before"));
        QCOMPARE(app.currentLayout(), applied ? name : QStringLiteral("Before"));
        // Labels are shown elided; the settings file stays small.
        const QString label = app.layoutModel()->index(0).data(LayoutModel::LabelRole).toString();
        QVERIFY(label.size() <= LayoutModel::maxLabelLength);
        QVERIFY(QFileInfo(QSettings().fileName()).size() < 4096);
    }

    // A burst of requests faster than layouts are built: the last one is shown, after far fewer
    // builds than requests.
    void appAppliesTheLastOfABurst()
    {
        writeConfig(RpcHost::freeUrl(QStringLiteral("local")));
        App app;
        client_Service *service = app.rpcSource()->service().get();
        QSignalSpy builds(app.layoutModel(), &QAbstractItemModel::modelReset);
        LogCapture log;
        const int requests = 1000;
        for (int i = 1; i <= requests; ++i)
            service->setLayout(QStringLiteral("Burst %1").arg(i), rowOfCells(i % 7 + 1));
        QTRY_COMPARE(app.currentLayout(), QStringLiteral("Burst %1").arg(requests));
        QCOMPARE(lastLayout(), QStringLiteral("Burst %1").arg(requests));
        QCOMPARE(app.layoutModel()->rowCount(), requests % 7 + 1);
        QCOMPARE(builds.size(), 2);
        QCOMPARE(log.linesStartingWith(QStringLiteral("Applying layout:")),
                 (QStringList{"Applying layout: \"Burst 1\"",
                              QStringLiteral("Applying layout: \"Burst %1\"").arg(requests)}));
        QVERIFY(log.contains(QStringLiteral(
            "Layout requests that came faster than layouts are built, skipped: 998")));
    }

    void appReleasesTheHostWithItself()
    {
        const QString url = RpcHost::freeUrl(QStringLiteral("tcp"));
        writeConfig(url);
        {
            App app;
            QCOMPARE(App::instance(), &app);
        }
        QVERIFY(!App::instance());
        // the endpoint is free again
        QTcpServer again;
        QVERIFY(again.listen(QHostAddress::LocalHost, QUrl(url).port()));
    }

    void layoutListRolesAndChanges()
    {
        LayoutList list;
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&list, &QAbstractItemModel::modelReset);

        const QHash<int, QByteArray> roles = list.roleNames();
        QCOMPARE(roles.size(), 2);
        QCOMPARE(roles.value(257), QByteArray("name"));
        QCOMPARE(roles.value(258), QByteArray("json"));

        const QString json = QStringLiteral("{ \"numRows\" : 2 ,\n\"x\":\"é\" }");
        list.append(QStringLiteral("A"), json);
        list.append(QStringLiteral("B"), QString());
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.at(1).at(1).toInt(), 1);
        QCOMPARE(inserted.at(1).at(2).toInt(), 1);
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.data(list.index(0), 257).toString(), QStringLiteral("A"));
        QCOMPARE(list.data(list.index(0), 258).toString(), json);
        QVERIFY(!list.data(list.index(0), 259).isValid());
        QVERIFY(!list.data(list.index(0), Qt::DisplayRole).isValid());
        QVERIFY(!list.data(QModelIndex(), 257).isValid());
        QVERIFY(!list.data(list.index(2), 257).isValid());

        list.clear();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(list.rowCount(), 0);
    }

    void layoutListResolvesFromQml()
    {
        // The registration lives in the console's own objects, not in the shared library.
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import Native 1.0\nLayoutList {}", QUrl());
        std::unique_ptr<QObject> object(component.create());
        QVERIFY2(object, qPrintable(component.errorString()));
        QVERIFY(qobject_cast<LayoutList *>(object.get()));
    }
};

QTEST_MAIN(TestClientService)
#include "tst_clientservice.moc"
