// Pairing door cells with their actuators against an object tree rebuilt from a simulated
// server: only an actuator of class exactly "actuator.DOOR" whose "layout" setting equals the
// sensor's pairs, one value request per paired door, and only with the tree present at load.
#include "App.h"
#include "LayoutModel.h"
#include "LogCapture.h"
#include "SiteFixture.h"
#include "ZarnObjectsRepository.h"

#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>

namespace {

// Single quotes keep the site readable; no text of it needs one.
std::string site()
{
    const char *text = R"SITE(
{ 'name': 'pairing', 'rootId': 1, 'doorDelayMs': 100,
  'users': [ { 'id': 500, 'name': 'operator', 'password': 'operator' } ],
  'objects': [
    { 'id': 1, 'name': 'Site', 'type': 7, 'class': 'location.SITE', 'parent': 0,
      'attributes': { 'Doors': { 'numRows': 1, 'numCols': 1, 'elements': [] } } },
    { 'id': 3, 'name': 'Doors', 'type': 2, 'class': 'device.DOORCONTROLLER', 'parent': 1 },
    { 'id': 21, 'name': 'Front contact', 'type': 8, 'class': 'sensor.DOOR', 'parent': 3,
      'settings': { 'layout': 'front' }, 'value': false },
    { 'id': 22, 'name': 'Front lock', 'type': 9, 'class': 'actuator.DOOR', 'parent': 3,
      'settings': { 'layout': 'front' }, 'value': true },
    { 'id': 31, 'name': 'Side contact', 'type': 8, 'class': 'sensor.DOOR', 'parent': 3,
      'settings': { 'layout': 'side' }, 'value': false },
    { 'id': 32, 'name': 'Side lock of another class case', 'type': 9, 'class': 'actuator.door',
      'parent': 3, 'settings': { 'layout': 'side' }, 'value': true },
    { 'id': 33, 'name': 'Side sensor of the door class', 'type': 8, 'class': 'actuator.DOOR',
      'parent': 3, 'settings': { 'layout': 'side' }, 'value': true },
    { 'id': 41, 'name': 'Upper-case contact', 'type': 8, 'class': 'sensor.DOOR', 'parent': 3,
      'settings': { 'layout': 'FRONT' }, 'value': false },
    { 'id': 51, 'name': 'Contact without layout', 'type': 8, 'class': 'sensor.DOOR',
      'parent': 3, 'value': false },
    { 'id': 61, 'name': 'Contact with empty layout', 'type': 8, 'class': 'sensor.DOOR',
      'parent': 3, 'settings': { 'layout': '' }, 'value': false },
    { 'id': 62, 'name': 'Lock with empty layout', 'type': 9, 'class': 'actuator.DOOR',
      'parent': 3, 'settings': { 'layout': '' }, 'value': false }
  ] })SITE";
    std::string json(text);
    for (char &c : json) {
        if (c == '\'')
            c = '"';
    }
    return json;
}

QString doorLayout(const QString &sensorId)
{
    return QStringLiteral("{\"numRows\":1,\"numCols\":1,\"elements\":[{\"row\":0,\"col\":0,"
                          "\"rowSpan\":1,\"colSpan\":1,\"type\":\"door\",\"objectId\":\"%1\"}]}")
        .arg(sensorId);
}

} // namespace

class TestDoorPairing : public QObject
{
    Q_OBJECT

private:
    SiteFixture m_site;

    LayoutModel *model() const { return m_site.app()->layoutModel(); }
    QString actuatorId() const
    {
        return model()->index(0, 0).data(LayoutModel::ActuatorIdRole).toString();
    }

private slots:
    // Before sign-in there is no tree: the door stays unpaired and is not paired later.
    void initTestCase()
    {
        // The lines of pushed values tell when the doors settled.
        QLoggingCategory::setFilterRules(QStringLiteral("zarn.values.debug=true"));
        QVERIFY(m_site.startServer(site()));
        model()->fromJson(doorLayout(QStringLiteral("21")));
        QCOMPARE(actuatorId(), QString());
        QVERIFY(m_site.signIn());
        QVERIFY(m_site.app()->zarnRepository()->find(QStringLiteral("22")));
        QCOMPARE(actuatorId(), QString());
        QCOMPARE(m_site.serverLines(QStringLiteral("getActuatorValue")).size(), 0);
    }

    void pairs_data()
    {
        QTest::addColumn<QString>("sensor");
        QTest::addColumn<QString>("actuator");
        QTest::newRow("matching door actuator") << "21"
                                                << "22";
        QTest::newRow("only a differently cased class and a sensor of the door class") << "31"
                                                                                       << "";
        QTest::newRow("layout differs in letter case") << "41"
                                                       << "";
        QTest::newRow("sensor without layout") << "51"
                                               << "";
        QTest::newRow("empty layout does not pair with another empty one") << "61"
                                                                           << "";
        QTest::newRow("unknown sensor") << "999"
                                        << "";
        QTest::newRow("no sensor id") << ""
                                      << "";
        // the object is not checked to be a sensor: the lock matches its own layout
        QTest::newRow("object id names the actuator") << "22"
                                                      << "22";
    }

    void pairs()
    {
        QFETCH(QString, sensor);
        QFETCH(QString, actuator);
        const int requestsBefore = m_site.serverLines(QStringLiteral("getActuatorValue")).size();
        LogCapture log;
        model()->fromJson(doorLayout(sensor));
        QCOMPARE(model()->rowCount(), 1);
        QCOMPARE(actuatorId(), actuator);

        const int paired = actuator.isEmpty() ? 0 : 1;
        QStringList expected;
        if (paired) {
            expected << QStringLiteral("layout: \"front\" , actrLayout: \"front\"")
                     << QStringLiteral("Requesting actr value for \"22\"");
        }
        // the answer is logged from the library's thread at any time from here on
        QStringList lines;
        for (const QString &line : log.lines()) {
            if (!line.startsWith(QLatin1String("Got actr value:")) &&
                !line.startsWith(QLatin1String("zarn.values: Actr changed")))
                lines << line;
        }
        QCOMPARE(lines, expected);
        QTRY_COMPARE(m_site.serverLines(QStringLiteral("getActuatorValue")).size() - requestsBefore,
                     paired);
        QTRY_COMPARE(log.linesStartingWith(QStringLiteral("zarn.values: Actr changed")).size(),
                     paired);
        QCOMPARE(log.linesStartingWith(QStringLiteral("Got actr value:")).size(), paired);
    }

    // The answer to the request lands in the actuator's value, as the server holds it.
    void pairedActuatorValueArrives()
    {
        ZarnObject *lock = m_site.app()->zarnRepository()->objectById(QStringLiteral("22"));
        QVERIFY(lock);
        QSignalSpy changed(lock, &ZarnObject::valueChanged);
        model()->fromJson(doorLayout(QStringLiteral("21")));
        QVERIFY(changed.wait(5000));
        QVERIFY(lock->value());
    }
};

QTEST_GUILESS_MAIN(TestDoorPairing)
#include "tst_doorpairing.moc"
