// The demo site's layouts applied the way a companion program applies them, against the object
// tree the console rebuilt from the simulated server: no warnings, the expected addresses and
// every door paired with its actuator.
#include "App.h"
#include "LayoutModel.h"
#include "LogCapture.h"
#include "RpcSource.h"
#include "SiteFixture.h"
#include "ZarnObjectsRepository.h"
#include "client_Service.h"

#include <QAbstractItemModelTester>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

using Expected = QMap<QString, QString>; // label -> url (video) or actuator id (door)
Q_DECLARE_METATYPE(Expected)

class TestLayoutDemo : public QObject
{
    Q_OBJECT

private:
    SiteFixture m_site;

    LayoutModel *model() const { return m_site.app()->layoutModel(); }
    client_Service *service() const { return m_site.app()->rpcSource()->service().get(); }

    QString layoutJson(const QString &name) const
    {
        for (const client_Layout &layout : service()->layoutList()) {
            if (layout.name() == name)
                return layout.json();
        }
        return {};
    }

    QString cellValue(const QString &label, int role) const
    {
        for (int row = 0; row < model()->rowCount(); ++row) {
            const QModelIndex index = model()->index(row, 0);
            if (index.data(LayoutModel::LabelRole).toString() == label)
                return index.data(role).toString();
        }
        return QStringLiteral("<no cell>");
    }

    // Applies a layout and waits until the answers for its doors have arrived, so that no
    // late line lands in a later capture. Layouts requested in quick succession are applied
    // one pause after another: the request may wait for its turn.
    bool applySettled(const QString &name)
    {
        LogCapture log;
        service()->setLayout(name, layoutJson(name));
        const QString applying = QStringLiteral("Applying layout: \"%1\"").arg(name);
        if (!QTest::qWaitFor([&] { return log.count(applying) == 1; }, 5000))
            return false;
        int doors = 0;
        for (int row = 0; row < model()->rowCount(); ++row)
            doors += model()->index(row, 0).data(LayoutModel::ActuatorIdRole).toString().isEmpty()
                         ? 0
                         : 1;
        return QTest::qWaitFor(
            [&] {
                return log.linesStartingWith(QStringLiteral("zarn.values: Actr changed")).size() ==
                       doors;
            },
            5000);
    }

private slots:
    void initTestCase()
    {
        // The lines of pushed values tell when the doors settled.
        QLoggingCategory::setFilterRules(QStringLiteral("zarn.values.debug=true"));
        const std::string demo = SiteFixture::demoSite();
        QVERIFY(!demo.empty());
        QVERIFY(m_site.start(demo));
        QCOMPARE(service()->layoutList().size(), 5);
    }

    void appliesEachLayoutCleanly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("numRows");
        QTest::addColumn<int>("cells");
        QTest::addColumn<Expected>("urls");
        QTest::addColumn<Expected>("doors");

        const QString live = QStringLiteral("http://127.0.0.1:9554/live/");
        const Expected four{{"Entrance", live + "11?profile=main"},
                            {"Till", live + "12?profile=main;audio=off"},
                            {"Stockroom", live + "13?profile=main"},
                            {"Car park", "rtsp://127.0.0.1:8554/live/14/main"}};
        QTest::newRow("2x2") << "2x2 Cameras" << 2 << 4 << four << Expected();
        QTest::newRow("3x3") << "3x3 Cameras and doors" << 3 << 7 << four
                             << Expected{{"Front door", "22"}, {"Stockroom door", "24"}};
        QTest::newRow("8x8") << "8x8 Cameras" << 8 << 64 << four << Expected();
        QTest::newRow("single") << "Single camera" << 1 << 1
                                << Expected{{"Till", live + "12?profile=main;audio=off"}}
                                << Expected();
    }

    void appliesEachLayoutCleanly()
    {
        QFETCH(QString, name);
        QFETCH(int, numRows);
        QFETCH(int, cells);
        QFETCH(Expected, urls);
        QFETCH(Expected, doors);
        const QString json = layoutJson(name);
        QVERIFY(!json.isEmpty());
        QAbstractItemModelTester tester(model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy rowsChanged(model(), &LayoutModel::numRowsChanged);
        const int requestsBefore = m_site.serverLines(QStringLiteral("getActuatorValue")).size();
        LogCapture log;

        service()->setLayout(name, json);
        // The first line told is the layout's; a warning from another part (an alarm sound that
        // could not be decoded on a machine without audio) may come before it.
        QTRY_COMPARE(log.lines(QtInfoMsg).value(0),
                     QStringLiteral("Applying layout: \"%1\"").arg(name));
        QCOMPARE(rowsChanged.count(), 1);
        QCOMPARE(model()->numRows(), numRows);
        QCOMPARE(model()->numCols(), numRows);
        QCOMPARE(model()->rowCount(), cells);

        for (auto it = urls.cbegin(); it != urls.cend(); ++it) {
            QCOMPARE(cellValue(it.key(), LayoutModel::UrlRole), it.value());
            QVERIFY(log.contains(QStringLiteral("URL: \"%1\"").arg(it.value())));
        }
        for (auto it = doors.cbegin(); it != doors.cend(); ++it) {
            QCOMPARE(cellValue(it.key(), LayoutModel::ActuatorIdRole), it.value());
            QCOMPARE(log.count(QStringLiteral("Requesting actr value for \"%1\"").arg(it.value())),
                     1);
        }
        // every paired door's state was asked for once, and the answers came back
        QTRY_COMPARE(log.linesStartingWith(QStringLiteral("Got actr value:")).size(), doors.size());
        QTRY_COMPARE(log.linesStartingWith(QStringLiteral("zarn.values: Actr changed")).size(),
                     doors.size());
        // The server logs a request after answering it.
        QTRY_COMPARE(m_site.serverLines(QStringLiteral("getActuatorValue")).size() - requestsBefore,
                     doors.size());
        QCOMPARE(log.linesStartingWith(QStringLiteral("layout:")).size(), doors.size());
        QCOMPARE(log.lines(QtWarningMsg), QStringList());
    }

    void doorsPairedByLayoutSetting()
    {
        LogCapture log;
        QVERIFY(applySettled(QStringLiteral("3x3 Cameras and doors")));
        QStringList pairs = log.linesStartingWith(QStringLiteral("layout:"));
        QCOMPARE(pairs, QStringList({"layout: \"front-door\" , actrLayout: \"front-door\"",
                                     "layout: \"stock-door\" , actrLayout: \"stock-door\""}));
        // the answer sets the actuator's value as the server holds it
        ZarnObject *actuator = m_site.app()->zarnRepository()->objectById(QStringLiteral("22"));
        QVERIFY(actuator);
        QTRY_VERIFY(actuator->value());
    }

    void addressIsResolvedOnEveryRead()
    {
        QVERIFY(applySettled(QStringLiteral("3x3 Cameras and doors")));
        LogCapture log;
        QCOMPARE(cellValue("Stockroom", LayoutModel::UrlRole),
                 QStringLiteral("http://127.0.0.1:9554/live/13?profile=main"));
        QCOMPARE(cellValue("Stockroom", LayoutModel::UrlRole),
                 QStringLiteral("http://127.0.0.1:9554/live/13?profile=main"));
        QCOMPARE(log.count("URL: \"http://127.0.0.1:9554/live/13?profile=main\""), 2);

        // a door cell's object is a sensor: no address, and each read says so
        log.clear();
        QCOMPARE(cellValue("Front door", LayoutModel::UrlRole), QString());
        QCOMPARE(log.lines(), QStringList("settings don't have url, id: \"21\""));
        // nor has the alarm cell of the same door's events
        log.clear();
        QCOMPARE(cellValue("Front door events", LayoutModel::UrlRole), QString());
        QCOMPARE(log.lines(), QStringList("settings don't have url, id: \"21\""));

        // a gateway has settings, but not this one
        model()->fromJson(QStringLiteral(
            "{\"numRows\":1,\"numCols\":1,\"elements\":[{\"row\":0,\"col\":0,\"rowSpan\":1,"
            "\"colSpan\":1,\"type\":\"video\",\"label\":\"gw\",\"objectId\":\"2\"}]}"));
        log.clear();
        QCOMPARE(cellValue("gw", LayoutModel::UrlRole), QString());
        QCOMPARE(log.lines(), QStringList("settings don't have url, id: \"2\""));
    }

    // Nothing is cached: once the tree is gone, the same cell has no address.
    void addressFollowsTheCurrentObjectTree()
    {
        QVERIFY(applySettled(QStringLiteral("Single camera")));
        QCOMPARE(cellValue("Till", LayoutModel::UrlRole),
                 QStringLiteral("http://127.0.0.1:9554/live/12?profile=main;audio=off"));
        m_site.app()->zarnRepository()->clear();
        LogCapture log;
        QCOMPARE(cellValue("Till", LayoutModel::UrlRole), QString());
        QCOMPARE(log.lines(), QStringList("object not found, id: \"12\""));
    }
};

QTEST_GUILESS_MAIN(TestLayoutDemo)
#include "tst_layoutdemo.moc"
