// Loading layout documents into the grid model without an object tree: the top-level checks,
// skipped elements, the value rules, the signals and the model's roles.
#include "LayoutModel.h"
#include "LogCapture.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

namespace {

// Documents are written with single quotes, which no test text needs, to keep them readable.
QString J(const char *text)
{
    return QString::fromUtf8(text).replace(QLatin1Char('\''), QLatin1Char('"'));
}

QString kTwoCells()
{
    return J(
        "{'numRows': 2, 'numCols': 3, 'elements': ["
        "{'row': 0, 'col': 0, 'rowSpan': 1, 'colSpan': 2, 'type': 'video', 'label': 'Entrance',"
        "'deviceId': '100', 'objectId': '101'},"
        "{'row': 1, 'col': 2, 'rowSpan': 1, 'colSpan': 1, 'type': 'door', 'label': 'Back door',"
        "'objectId': '201'}]}");
}

// Records every change the model announces, in order.
struct ModelSpies
{
    explicit ModelSpies(LayoutModel &model)
        : rows(&model, &LayoutModel::numRowsChanged)
        , cols(&model, &LayoutModel::numColsChanged)
        , aboutToReset(&model, &LayoutModel::modelAboutToBeReset)
        , reset(&model, &LayoutModel::modelReset)
    {}
    int total() const { return rows.count() + cols.count() + aboutToReset.count() + reset.count(); }

    QSignalSpy rows;
    QSignalSpy cols;
    QSignalSpy aboutToReset;
    QSignalSpy reset;
};

QVariant cellData(const LayoutModel &model, int row, int role)
{
    return model.data(model.index(row, 0), role);
}

} // namespace

class TestLayoutModel : public QObject
{
    Q_OBJECT

private slots:
    void newModelIsOneByOneAndEmpty()
    {
        LayoutModel model;
        QCOMPARE(model.numRows(), 1);
        QCOMPARE(model.numCols(), 1);
        QCOMPARE(model.rowCount(), 0);
    }

    void rejectedDocumentsLeaveModelUntouched_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QStringList>("warnings");
        const QStringList none;
        QTest::newRow("empty string") << "" << none;
        QTest::newRow("not JSON") << "{numRows: 2" << none;
        QTest::newRow("null") << "null" << none;
        QTest::newRow("empty array") << "[]" << none;
        QTest::newRow("array") << J("[{'numRows': 2}]") << none;
        QTest::newRow("empty object") << "{}" << none;
        QTest::newRow("scalar") << "42" << none;
        QTest::newRow("no numRows")
            << J("{'numCols': 2, 'elements': [{}]}") << QStringList{"field numRows not found"};
        QTest::newRow("numRows key is case-sensitive")
            << J("{'numrows': 2, 'numCols': 2, 'elements': [{}]}")
            << QStringList{"field numRows not found"};
        QTest::newRow("no numCols")
            << J("{'numRows': 2, 'elements': [{}]}") << QStringList{"field numCols not found"};
        QTest::newRow("no elements")
            << J("{'numRows': 2, 'numCols': 2}") << QStringList{"field elements not found"};
        QTest::newRow("empty elements") << J("{'numRows': 2, 'numCols': 2, 'elements': []}")
                                        << QStringList{"field elements is empty"};
        QTest::newRow("elements not an array")
            << J("{'numRows': 2, 'numCols': 2, 'elements': {'row': 0}}")
            << QStringList{"field elements is empty"};
        QTest::newRow("first missing key wins")
            << J("{'elements': []}") << QStringList{"field numRows not found"};
    }

    void rejectedDocumentsLeaveModelUntouched()
    {
        QFETCH(QString, json);
        QFETCH(QStringList, warnings);
        LayoutModel model;
        model.fromJson(kTwoCells());
        QCOMPARE(model.rowCount(), 2);

        ModelSpies spies(model);
        LogCapture log;
        model.fromJson(json);
        QCOMPARE(log.lines(), warnings);
        QCOMPARE(log.lines(QtWarningMsg), warnings);
        QCOMPARE(spies.total(), 0);
        QCOMPARE(model.numRows(), 2);
        QCOMPARE(model.numCols(), 3);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(cellData(model, 1, LayoutModel::LabelRole).toString(),
                 QStringLiteral("Back door"));
    }

    void skippedElements_data()
    {
        QTest::addColumn<QString>("elements");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("warnings");
        const QString a = J("{'row':0,'col':0,'rowSpan':1,'colSpan':1,'type':'video','label':'A'}");
        const QString c = J("{'row':0,'col':1,'rowSpan':1,'colSpan':1,'type':'alarm','label':'C'}");
        auto three = [&](const QString &middle) { return a + "," + middle + "," + c; };
        QTest::newRow("no col") << three(J("{'row':1,'rowSpan':1,'colSpan':1,'type':'video'}"))
                                << QStringList{"A", "C"} << QStringList{"field col not found"};
        QTest::newRow("no row") << three(J("{'col':1,'rowSpan':1,'colSpan':1,'type':'video'}"))
                                << QStringList{"A", "C"} << QStringList{"field row not found"};
        QTest::newRow("no rowSpan")
            << three(J("{'row':1,'col':1,'colSpan':1,'type':'video'}")) << QStringList{"A", "C"}
            << QStringList{"field rowSpan not found"};
        QTest::newRow("no colSpan")
            << three(J("{'row':1,'col':1,'rowSpan':1,'type':'video'}")) << QStringList{"A", "C"}
            << QStringList{"field colSpan not found"};
        QTest::newRow("only the first missing key is named")
            << three(J("{'rowSpan':1,'type':'video'}")) << QStringList{"A", "C"}
            << QStringList{"field row not found"};
        QTest::newRow("no type: dropped silently")
            << three(J("{'row':1,'col':1,'rowSpan':1,'colSpan':1,'label':'B'}"))
            << QStringList{"A", "C"} << QStringList{};
        QTest::newRow("element that is not an object")
            << three(J("'cell'")) << QStringList{"A", "C"} << QStringList{"field row not found"};
        QTest::newRow("array and null elements")
            << three(QStringLiteral("[1,2,3,4]")) + QStringLiteral(",null") << QStringList{"A", "C"}
            << QStringList{"field row not found", "field row not found"};
        QTest::newRow("every element skipped")
            << J("{}, {'row': 1}") << QStringList{}
            << QStringList{"field row not found", "field col not found"};
    }

    void skippedElements()
    {
        QFETCH(QString, elements);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, warnings);
        LayoutModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.fromJson(kTwoCells());

        ModelSpies spies(model);
        LogCapture log;
        model.fromJson(J("{'numRows': 4, 'numCols': 5, 'elements': [%1]}").arg(elements));
        QCOMPARE(log.lines(), warnings);
        QCOMPARE(spies.aboutToReset.count(), 1);
        QCOMPARE(spies.reset.count(), 1);
        QCOMPARE(model.numRows(), 4);
        QCOMPARE(model.numCols(), 5);
        QStringList loaded;
        for (int row = 0; row < model.rowCount(); ++row)
            loaded << cellData(model, row, LayoutModel::LabelRole).toString();
        QCOMPARE(loaded, labels);
    }

    // Integers come only from numbers with an exact integer value, strings only from strings.
    void valueRules_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("expectedRow");
        QTest::addColumn<QString>("expectedLabel");
        QTest::newRow("integer") << "3" << J("'Hall'") << 3 << "Hall";
        QTest::newRow("negative, outside the grid") << "-7" << J("''") << -7 << "";
        QTest::newRow("integral double") << "2.0" << J("'x'") << 2 << "x";
        QTest::newRow("exponent") << "1e2" << J("'x'") << 100 << "x";
        QTest::newRow("digit in a string") << J("'2'") << "2" << 0 << "";
        QTest::newRow("fraction") << "2.5"
                                  << "true" << 0 << "";
        QTest::newRow("boolean") << "true"
                                 << "null" << 0 << "";
        QTest::newRow("null") << "null"
                              << "{}" << 0 << "";
        QTest::newRow("array") << "[1]" << J("['a']") << 0 << "";
        QTest::newRow("beyond int") << "3000000000" << J("'\\u00e9t\\u00e9'") << 0 << "été";
        QTest::newRow("int minimum") << "-2147483648" << J("'a\\'b'") << INT_MIN << "a\"b";
    }

    void valueRules()
    {
        QFETCH(QString, row);
        QFETCH(QString, label);
        QFETCH(int, expectedRow);
        QFETCH(QString, expectedLabel);
        LayoutModel model;
        LogCapture log;
        model.fromJson(J("{'numRows': %1, 'numCols': 1, 'elements': ["
                         "{'row': %1, 'col': 0, 'rowSpan': 1, 'colSpan': 1, 'type': 'alarm',"
                         "'label': %2, 'deviceId': %2, 'objectId': %2, 'actuatorId': '9'}]}")
                           .arg(row, label));
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(model.numRows(), expectedRow);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(cellData(model, 0, LayoutModel::RowRole).toInt(), expectedRow);
        QCOMPARE(cellData(model, 0, LayoutModel::LabelRole).toString(), expectedLabel);
        QCOMPARE(cellData(model, 0, LayoutModel::DeviceIdRole).toString(), expectedLabel);
        QCOMPARE(cellData(model, 0, LayoutModel::ObjectIdRole).toString(), expectedLabel);
        // the document cannot name an actuator: only the door pairing sets one
        QCOMPARE(cellData(model, 0, LayoutModel::ActuatorIdRole).toString(), QString());
    }

    // A repeated key keeps its last value, also when an earlier one is an array or object
    // (the case Qt's own parser leaks memory on, which the loader works around).
    void repeatedKeysKeepTheLastValue()
    {
        LayoutModel model;
        LogCapture log;
        model.fromJson(J("{'numRows': [1, 2], 'numCols': 2, 'numRows': 3, 'elements': {'a': 1},"
                         " 'elements': [{'row': 0, 'col': 0, 'rowSpan': 1, 'colSpan': 1,"
                         " 'type': 'door', 'type': {'x': [1]}, 'type': 'alarm',"
                         " 'label': ['A'], 'label': 'B'}]}"));
        QVERIFY(log.lines().isEmpty());
        QCOMPARE(model.numRows(), 3);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(cellData(model, 0, LayoutModel::TypeRole).toInt(), int(LayoutModel::Alarm));
        QCOMPARE(cellData(model, 0, LayoutModel::LabelRole).toString(), QStringLiteral("B"));
    }

    void tooDeeplyNestedIsNotJson()
    {
        LayoutModel model;
        ModelSpies spies(model);
        LogCapture log;
        const QString deep = QString(5000, QLatin1Char('[')) + QString(5000, QLatin1Char(']'));
        model.fromJson(
            J("{'numRows': 2, 'numCols': 2, 'elements': [%1], 'elements': [%1]}").arg(deep));
        QCOMPARE(spies.total(), 0);
        QVERIFY(log.lines().isEmpty());
    }

    void cellTypes_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("expected");
        QTest::newRow("video") << J("'video'") << int(LayoutModel::Video);
        QTest::newRow("door") << J("'door'") << int(LayoutModel::Door);
        QTest::newRow("alarm") << J("'alarm'") << int(LayoutModel::Alarm);
        QTest::newRow("letter case differs") << J("'Video'") << int(LayoutModel::InvalidType);
        QTest::newRow("other text") << J("'camera'") << int(LayoutModel::InvalidType);
        QTest::newRow("not a string") << "1" << int(LayoutModel::InvalidType);
        QTest::newRow("null") << "null" << int(LayoutModel::InvalidType);
    }

    void cellTypes()
    {
        QFETCH(QString, type);
        QFETCH(int, expected);
        LayoutModel model;
        LogCapture log;
        model.fromJson(J("{'numRows': 1, 'numCols': 1, 'elements': ["
                         "{'row': 0, 'col': 0, 'rowSpan': 1, 'colSpan': 1, 'type': %1}]}")
                           .arg(type));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(cellData(model, 0, LayoutModel::TypeRole).toInt(), expected);
        QVERIFY(log.lines(QtWarningMsg).isEmpty());
    }

    void cellsKeepDocumentOrderAndValues()
    {
        LayoutModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.fromJson(kTwoCells());
        QCOMPARE(model.rowCount(), 2);
        const QVariantList first{0, 0, 1, 2, "Entrance", int(LayoutModel::Video), "100", "101"};
        const QVariantList second{1, 2, 1, 1, "Back door", int(LayoutModel::Door), "", "201"};
        const QList<QVariantList> expected{first, second};
        for (int row = 0; row < 2; ++row) {
            for (int i = 0; i < first.size(); ++i)
                QCOMPARE(cellData(model, row, LayoutModel::RowRole + i), expected[row][i]);
        }
    }

    void signalsOnEveryLoadBeforeTheReset()
    {
        LayoutModel model;
        QStringList order;
        connect(&model, &LayoutModel::numRowsChanged, this, [&] { order << "numRows"; });
        connect(&model, &LayoutModel::numColsChanged, this, [&] { order << "numCols"; });
        connect(&model, &LayoutModel::modelAboutToBeReset, this, [&] { order << "aboutToReset"; });
        connect(&model, &LayoutModel::modelReset, this, [&] { order << "reset"; });
        // the values seen while the signals go out are already the new ones
        connect(&model, &LayoutModel::numColsChanged, this, [&] { QCOMPARE(model.numCols(), 3); });

        model.fromJson(kTwoCells());
        model.fromJson(kTwoCells());
        const QStringList once{"numRows", "numCols", "aboutToReset", "reset"};
        QCOMPARE(order, once + once);
    }

    void writingGridSizeEmitsOnlyOnChange()
    {
        LayoutModel model;
        QSignalSpy cols(&model, &LayoutModel::numColsChanged);
        QSignalSpy rows(&model, &LayoutModel::numRowsChanged);
        QVERIFY(model.setProperty("numCols", 1));
        QCOMPARE(cols.count(), 0);
        QVERIFY(model.setProperty("numCols", 4));
        QCOMPARE(cols.count(), 1);
        QCOMPARE(model.numCols(), 4);
        model.setNumRows(1);
        QCOMPARE(rows.count(), 0);
        model.setNumRows(0);
        QCOMPARE(rows.count(), 1);
    }

    void dataOutsideTheCellsIsInvalid()
    {
        LayoutModel model;
        model.fromJson(kTwoCells());
        QVERIFY(!model.data(model.index(2, 0), LayoutModel::RowRole).isValid());
        QVERIFY(!model.data(QModelIndex(), LayoutModel::RowRole).isValid());
        QVERIFY(!cellData(model, 0, Qt::UserRole + 11).isValid());
        QVERIFY(!cellData(model, 0, Qt::DisplayRole).isValid());
        QCOMPARE(cellData(model, 1, Qt::UserRole + 6), QVariant(2));
    }

    void setDataRefuses()
    {
        LayoutModel model;
        model.fromJson(kTwoCells());
        QSignalSpy changed(&model, &LayoutModel::dataChanged);
        for (int role = LayoutModel::RowRole; role <= LayoutModel::ActuatorIdRole; ++role)
            QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("7"), role));
        QCOMPARE(cellData(model, 0, LayoutModel::LabelRole).toString(), QStringLiteral("Entrance"));
        QCOMPARE(changed.count(), 0);
    }

    void roleNames()
    {
        LayoutModel model;
        const QHash<int, QByteArray> names = model.roleNames();
        const QList<QByteArray> expected{"row",  "col",      "rowSpan",  "colSpan", "label",
                                         "type", "deviceId", "objectId", "url",     "actuatorId"};
        QCOMPARE(names.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(names.value(Qt::UserRole + 1 + i), expected[i]);
    }

    // Without an object tree every cell's address is empty, and each read says why again.
    void urlWithoutObjectsIsEmptyAndLoggedEachRead()
    {
        LayoutModel model;
        model.fromJson(kTwoCells());
        LogCapture log;
        for (int i = 0; i < 2; ++i) {
            const QVariant url = cellData(model, 0, LayoutModel::UrlRole);
            QVERIFY(url.isValid());
            QCOMPARE(url.toString(), QString());
        }
        QCOMPARE(log.lines(QtDebugMsg),
                 QStringList({QStringLiteral("object not found, id: \"101\""),
                              QStringLiteral("object not found, id: \"101\"")}));
    }

    void doorWithoutObjectTreeStaysUnpaired()
    {
        LayoutModel model;
        LogCapture log;
        model.fromJson(kTwoCells());
        QCOMPARE(cellData(model, 1, LayoutModel::ActuatorIdRole).toString(), QString());
        QVERIFY(log.lines().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLayoutModel)
#include "tst_layoutmodel.moc"
