// ZarnObject: building from real library objects, the property setters' signals, the value
// the server reports, and ZarnSetting as a lookup and as a model.
#include "LibraryObjects.h"
#include "LogCapture.h"
#include "ZarnObject.h"
#include "ZarnSetting.h"

#include <QAbstractItemModelTester>
#include <QMetaProperty>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTest>

using objects_test::makeObject;
using objects_test::ObjectDesc;
namespace zarn = ardix::zarn;

class TestZarnObject : public QObject
{
    Q_OBJECT

private slots:
    // The serial comes from the typed view of the four types that have one; the others log
    // that they have none, except Location, which is silent.
    void serialByType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QStringList>("debugLines");
        const QStringList none;
        QTest::newRow("User") << 1 << QString() << QStringList{"No serial for type:  1"};
        QTest::newRow("Device") << 2 << QStringLiteral("SN-1") << none;
        QTest::newRow("Service") << 3 << QString() << QStringList{"No serial for type:  3"};
        QTest::newRow("Group") << 4 << QString() << QStringList{"No serial for type:  4"};
        QTest::newRow("Script") << 5 << QString() << QStringList{"No serial for type:  5"};
        QTest::newRow("Policy") << 6 << QString() << QStringList{"No serial for type:  6"};
        QTest::newRow("Location") << 7 << QString() << none;
        QTest::newRow("Sensor") << 8 << QStringLiteral("SN-1") << none;
        QTest::newRow("Actuator") << 9 << QStringLiteral("SN-1") << none;
        QTest::newRow("Stream") << 10 << QStringLiteral("SN-1") << none;
    }

    void serialByType()
    {
        QFETCH(int, type);
        QFETCH(QString, serial);
        QFETCH(QStringList, debugLines);
        LogCapture log;
        // Every object carries a serial in its data; only the typed views may hand it out.
        const auto obj = ZarnObject::fromObject(makeObject({5, "x", type, "c", 1, {}, {}, "SN-1"}));
        QVERIFY(obj);
        QCOMPARE(int(obj->type()), type);
        QCOMPARE(obj->serial(), serial);
        QCOMPARE(log.lines(), debugLines);
        QCOMPARE(log.lines(QtDebugMsg), debugLines);
    }

    void rejected_data()
    {
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("invalid object") << false << 0 << QStringList();
        QTest::newRow("type 0") << true << 0 << QStringList{"Unknow type:  0"};
        QTest::newRow("type 11") << true << 11 << QStringList{"Unknow type:  11"};
        QTest::newRow("negative type") << true << -3 << QStringList{"Unknow type:  -3"};
    }

    void rejected()
    {
        QFETCH(bool, valid);
        QFETCH(int, type);
        QFETCH(QStringList, warnings);
        LogCapture log;
        const zarn::Object o =
            valid ? makeObject({5, "x", type, "c", 1, {6}, {}, ""}) : zarn::Object();
        QVERIFY(!ZarnObject::fromObject(o));
        QCOMPARE(log.lines(QtWarningMsg), warnings);
        QCOMPARE(log.lines(), warnings);
    }

    void fieldsFromLibrary_data()
    {
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("parent");
        QTest::addColumn<QString>("idText");
        QTest::addColumn<QString>("parentText");
        // Ids beyond 2^53 would be mangled by any trip through a double.
        QTest::newRow("large ids")
            << Q_INT64_C(9007199254740993) << QStringLiteral("Gate") << Q_INT64_C(-9007199254740993)
            << QStringLiteral("9007199254740993") << QStringLiteral("-9007199254740993");
        QTest::newRow("non-ASCII name") << qint64(7) << QStringLiteral("Caméra Süd – ∑")
                                        << qint64(0) << QStringLiteral("7") << QStringLiteral("0");
    }

    void fieldsFromLibrary()
    {
        QFETCH(qint64, id);
        QFETCH(QString, name);
        QFETCH(qint64, parent);
        QFETCH(QString, idText);
        QFETCH(QString, parentText);
        const auto obj = ZarnObject::fromObject(
            makeObject({id, name.toStdString(), 9, "actuator.DOOR", parent, {30, 10, 20}, {}, ""}));
        QVERIFY(obj);
        QCOMPARE(obj->id(), idText);
        QCOMPARE(obj->parentId(), parentText);
        QCOMPARE(obj->name(), name);
        QCOMPARE(obj->cls(), QStringLiteral("actuator.DOOR"));
        QCOMPARE(obj->childIds(), (QStringList{"30", "10", "20"}));
        QCOMPARE(obj->path(), QString());
        QCOMPARE(obj->value(), false);
        QCOMPARE(QQmlEngine::objectOwnership(obj.get()), QQmlEngine::CppOwnership);
        QCOMPARE(QQmlEngine::objectOwnership(obj->settings()), QQmlEngine::CppOwnership);
    }

    // Settings keep the library's order and each value's own text form.
    void settingsFromLibrary()
    {
        const auto obj =
            ZarnObject::fromObject(makeObject({2,
                                               "Gateway",
                                               2,
                                               "device.GATEWAY",
                                               1,
                                               {},
                                               {
                                                   {"posPort", zarn::IntValue(5556)},
                                                   {"address", zarn::StringValue("127.0.0.1")},
                                                   {"enabled", zarn::BoolValue(true)},
                                                   {"ratio", zarn::FloatValue(1.5)},
                                                   {"nothing", zarn::NoneValue()},
                                                   {"städt", zarn::StringValue("Zürich")},
                                               },
                                               "GW"}));
        QVERIFY(obj);
        ZarnSetting *settings = obj->settings();
        QVERIFY(settings);
        QCOMPARE(settings->keys(),
                 (QStringList{"posPort", "address", "enabled", "ratio", "nothing", "städt"}));
        QCOMPARE(settings->prop("posPort"), QStringLiteral("5556"));
        QCOMPARE(settings->prop("address"), QStringLiteral("127.0.0.1"));
        QCOMPARE(settings->prop("enabled"), QStringLiteral("true"));
        QCOMPARE(settings->prop("ratio"), QStringLiteral("1.5"));
        QVERIFY(settings->contains("nothing"));
        QCOMPARE(settings->prop("nothing"), QString());
        QCOMPARE(settings->prop(QStringLiteral("städt")), QStringLiteral("Zürich"));
        QVERIFY(!settings->contains("url"));
        QCOMPARE(settings->prop("url"), QString());
        QCOMPARE(settings->prop("Address"), QString());
    }

    // Plain setters emit only on a change; childIds emits on every write.
    void setterSignals_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("first");
        QTest::addColumn<QVariant>("second");
        QTest::addColumn<int>("signalsForSame");
        QTest::newRow("type") << QByteArray("type") << QVariant(int(ZarnObject::Sensor))
                              << QVariant(int(ZarnObject::Actuator)) << 1;
        QTest::newRow("id") << QByteArray("id") << QVariant("1") << QVariant("2") << 1;
        QTest::newRow("name") << QByteArray("name") << QVariant("a") << QVariant("b") << 1;
        QTest::newRow("cls") << QByteArray("cls") << QVariant("a") << QVariant("b") << 1;
        QTest::newRow("path") << QByteArray("path") << QVariant("a") << QVariant("a,b") << 1;
        QTest::newRow("parentId") << QByteArray("parentId") << QVariant("1") << QVariant("2") << 1;
        QTest::newRow("serial") << QByteArray("serial") << QVariant("a") << QVariant("b") << 1;
        QTest::newRow("childIds") << QByteArray("childIds") << QVariant(QStringList{"1"})
                                  << QVariant(QStringList{"1", "2"}) << 2;
    }

    void setterSignals()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, first);
        QFETCH(QVariant, second);
        QFETCH(int, signalsForSame);
        ZarnObject obj;
        const QMetaObject *meta = obj.metaObject();
        const QMetaProperty prop = meta->property(meta->indexOfProperty(property));
        QVERIFY(prop.isWritable());
        const QMetaMethod notify = prop.notifySignal();
        QCOMPARE(notify.name(), property + "Changed");
        QSignalSpy spy(&obj, notify);
        QVERIFY(prop.write(&obj, first));
        QVERIFY(prop.write(&obj, first));
        QCOMPARE(spy.count(), signalsForSame);
        QVERIFY(prop.write(&obj, second));
        QCOMPARE(spy.count(), signalsForSame + 1);
        QCOMPARE(prop.read(&obj), second);
    }

    // The server's reports always notify, even when the state did not change.
    void reportedValue_data()
    {
        QTest::addColumn<QVariant>("reported");
        QTest::addColumn<bool>("value");
        QTest::newRow("bool true") << QVariant(true) << true;
        QTest::newRow("int 2") << QVariant(2) << true;
        QTest::newRow("int 0") << QVariant(0) << false;
        QTest::newRow("text false") << QVariant(QStringLiteral("false")) << false;
        QTest::newRow("invalid") << QVariant() << false;
    }

    void reportedValue()
    {
        QFETCH(QVariant, reported);
        QFETCH(bool, value);
        ZarnObject obj;
        QSignalSpy spy(&obj, &ZarnObject::valueChanged);
        QVERIFY(!obj.valueKnown()); // nothing reported yet: `value` says nothing
        obj.setValue(reported);
        obj.setValue(reported);
        QCOMPARE(obj.value(), value);
        QVERIFY(obj.valueKnown());
        QCOMPARE(spy.count(), 2);
    }

    // Without a running App no object may change or crash on a write; only an actuator
    // notices that it has nobody to send the request to.
    void valueWriteWithoutApp_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("warnings");
        QTest::newRow("unset") << 0 << 0;
        QTest::newRow("Sensor") << int(ZarnObject::Sensor) << 0;
        QTest::newRow("Stream") << int(ZarnObject::Stream) << 0;
        QTest::newRow("Actuator") << int(ZarnObject::Actuator) << 1;
    }

    void valueWriteWithoutApp()
    {
        QFETCH(int, type);
        QFETCH(int, warnings);
        ZarnObject obj;
        obj.setType(static_cast<ZarnObject::Type>(type));
        QSignalSpy spy(&obj, &ZarnObject::valueChanged);
        LogCapture log;
        QVERIFY(obj.setProperty("value", true));
        QCOMPARE(obj.value(), false);
        QVERIFY(!obj.valueKnown());
        QCOMPARE(spy.count(), 0);
        QCOMPARE(log.lines(QtWarningMsg).size(), warnings);
    }

    // A key the library gives twice cannot arrive (its map replaces in place), but the
    // model keeps the first text whoever inserts it.
    void settingInsert()
    {
        ZarnSetting settings;
        QAbstractItemModelTester tester(&settings,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&settings, &QAbstractItemModel::rowsInserted);
        settings.insert("a", "1");
        settings.insert("b", "2");
        settings.insert("a", "3");
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.at(1).at(1).toInt(), 1);
        QCOMPARE(inserted.at(1).at(2).toInt(), 1);
        QCOMPARE(settings.rowCount(), 2);
        QCOMPARE(settings.prop("a"), QStringLiteral("1"));
        QCOMPARE(settings.roleNames(),
                 (QHash<int, QByteArray>{{Qt::UserRole + 1, "key"}, {Qt::UserRole + 2, "value"}}));
        QCOMPARE(settings.data(settings.index(1), Qt::UserRole + 1), QVariant("b"));
        QCOMPARE(settings.data(settings.index(1), Qt::UserRole + 2), QVariant("2"));
        QVERIFY(!settings.data(settings.index(1), Qt::DisplayRole).isValid());
        QVERIFY(!settings.data(settings.index(2), Qt::UserRole + 1).isValid());
    }

    void settingEdit_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("texts");
        const QStringList keys{"a", "b"};
        const QStringList texts{"1", "2"};
        QTest::newRow("rename") << 0 << 257 << QVariant("c") << true << QStringList{"c", "b"}
                                << texts;
        QTest::newRow("rename to itself") << 0 << 257 << QVariant("a") << true << keys << texts;
        // Two rows would share one text and the other row's text would be lost.
        QTest::newRow("rename onto another key")
            << 0 << 257 << QVariant("b") << false << keys << texts;
        QTest::newRow("text") << 1 << 258 << QVariant(7) << true << keys << QStringList{"1", "7"};
        QTest::newRow("other role")
            << 0 << int(Qt::DisplayRole) << QVariant("x") << false << keys << texts;
        QTest::newRow("row out of range") << 2 << 258 << QVariant("x") << false << keys << texts;
    }

    void settingEdit()
    {
        QFETCH(int, row);
        QFETCH(int, role);
        QFETCH(QVariant, value);
        QFETCH(bool, accepted);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, texts);
        ZarnSetting settings;
        settings.insert("a", "1");
        settings.insert("b", "2");
        QSignalSpy changed(&settings, &QAbstractItemModel::dataChanged);
        const QModelIndex index =
            row < settings.rowCount() ? settings.index(row) : settings.index(0).sibling(row, 0);
        QCOMPARE(settings.setData(index, value, role), accepted);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(settings.keys(), keys);
        QStringList actual;
        for (const QString &key : settings.keys())
            actual.append(settings.prop(key));
        QCOMPARE(actual, texts);
        QCOMPARE(settings.rowCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestZarnObject)
#include "tst_zarnobject.moc"
