// TreeModel and TreeNode: nodes from nested maps (from C++ and from QML), the roles, and the
// one editable role.
#include "TreeModel.h"
#include "TreeNode.h"

#include <QAbstractItemModelTester>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTest>

namespace {

QAbstractItemModel *childModel(const QAbstractItemModel &model, int row)
{
    return model.data(model.index(row, 0), TreeModel::ChildItemsRole).value<QAbstractItemModel *>();
}

QVariantMap nestedMap()
{
    return {
        {"label", "x"},
        {"childItems", QVariantList{QVariantMap{{"label", "y"}},
                                    QVariantMap{{"label", "z"}, {"childItems", QVariantList{}}}}}};
}

} // namespace

class TestTreeModel : public QObject
{
    Q_OBJECT

private slots:
    void nestedRows()
    {
        TreeModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QVERIFY(model.insertRow(nestedMap()));
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.data(model.index(0), TreeModel::LabelRole), QVariant("x"));
        QCOMPARE(model.data(model.index(0), TreeModel::LevelRole), QVariant(0));

        QAbstractItemModel *children = childModel(model, 0);
        QVERIFY(children);
        QAbstractItemModelTester childTester(
            children, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(children->rowCount(), 2);
        QCOMPARE(children->data(children->index(0, 0), TreeModel::LabelRole), QVariant("y"));
        QCOMPARE(children->data(children->index(1, 0), TreeModel::LabelRole), QVariant("z"));
        QCOMPARE(children->data(children->index(0, 0), TreeModel::LevelRole), QVariant(1));
        QCOMPARE(children->data(children->index(1, 0), TreeModel::LevelRole), QVariant(1));
        QVERIFY(!childModel(*children, 0));
        QAbstractItemModel *empty = childModel(*children, 1);
        QVERIFY(empty);
        QCOMPARE(empty->rowCount(), 0);
        QCOMPARE(static_cast<TreeModel *>(empty)->level(), 2);
        QCOMPARE(QQmlEngine::objectOwnership(children), QQmlEngine::CppOwnership);
    }

    // Only "label", "icon" and "childItems" are read; the rest keeps its initial value.
    void keysRead_data()
    {
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("icon");
        QTest::newRow("empty map") << QVariantMap() << QString() << QString();
        QTest::newRow("ignored keys")
            << QVariantMap{{"id", "7"}, {"expanded", true}, {"level", 4}, {"colour", "red"}}
            << QString() << QString();
        QTest::newRow("label and icon") << QVariantMap{{"label", 12}, {"icon", "qrc:/door.svg"}}
                                        << QStringLiteral("12") << QStringLiteral("qrc:/door.svg");
    }

    void keysRead()
    {
        QFETCH(QVariantMap, map);
        QFETCH(QString, label);
        QFETCH(QString, icon);
        TreeModel model(1);
        model.insertRow(map);
        const QModelIndex index = model.index(0);
        QCOMPARE(model.data(index, Qt::DisplayRole), QVariant(label));
        QCOMPARE(model.data(index, TreeModel::LabelRole), QVariant(label));
        QCOMPARE(model.data(index, TreeModel::IconRole), QVariant(icon));
        QCOMPARE(model.data(index, TreeModel::IdRole), QVariant(QString()));
        QCOMPARE(model.data(index, TreeModel::LevelRole), QVariant(1));
        QCOMPARE(model.data(index, TreeModel::ExpandedRole), QVariant(false));
        QVERIFY(!childModel(model, 0));
    }

    void roles_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("display") << int(Qt::DisplayRole) << QVariant("Gate");
        QTest::newRow("label") << 257 << QVariant("Gate");
        QTest::newRow("id") << 258 << QVariant("");
        QTest::newRow("icon") << 259 << QVariant("cam.svg");
        QTest::newRow("level") << 261 << QVariant(3);
        QTest::newRow("expanded") << 262 << QVariant(false);
        QTest::newRow("decoration") << int(Qt::DecorationRole) << QVariant();
        QTest::newRow("past the last role") << 263 << QVariant();
    }

    void roles()
    {
        QFETCH(int, role);
        QFETCH(QVariant, value);
        TreeModel model(3);
        model.insertRow({{"label", "Gate"}, {"icon", "cam.svg"}});
        QCOMPARE(model.data(model.index(0), role), value);
        QVERIFY(!model.data(model.index(0).sibling(1, 0), role).isValid());
        QVERIFY(!model.data(QModelIndex(), role).isValid());
    }

    void roleNames()
    {
        TreeModel model;
        const QHash<int, QByteArray> names = model.roleNames();
        QCOMPARE(names.value(257), QByteArray("label"));
        QCOMPARE(names.value(258), QByteArray("id"));
        QCOMPARE(names.value(259), QByteArray("icon"));
        QCOMPARE(names.value(260), QByteArray("childItems"));
        QCOMPARE(names.value(261), QByteArray("level"));
        QCOMPARE(names.value(262), QByteArray("expanded"));
        QCOMPARE(names.size(), 6);
    }

    // Writing expanded through the model always reports the row; the node only on a change.
    void expandedWrites_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QList<bool>>("results");
        QTest::addColumn<int>("modelSignals");
        QTest::addColumn<int>("nodeSignals");
        QTest::addColumn<bool>("expanded");
        QTest::newRow("true twice")
            << 262 << QVariant(true) << QList<bool>{true, true} << 2 << 1 << true;
        QTest::newRow("false on a collapsed node")
            << 262 << QVariant(false) << QList<bool>{true, true} << 2 << 0 << false;
        QTest::newRow("text true")
            << 262 << QVariant("true") << QList<bool>{true, true} << 2 << 1 << true;
        QTest::newRow("invalid value")
            << 262 << QVariant() << QList<bool>{false, false} << 0 << 0 << false;
        QTest::newRow("label role")
            << 257 << QVariant("new") << QList<bool>{false, false} << 0 << 0 << false;
        QTest::newRow("display role")
            << 0 << QVariant(true) << QList<bool>{false, false} << 0 << 0 << false;
    }

    void expandedWrites()
    {
        QFETCH(int, role);
        QFETCH(QVariant, value);
        QFETCH(QList<bool>, results);
        QFETCH(int, modelSignals);
        QFETCH(int, nodeSignals);
        QFETCH(bool, expanded);
        TreeModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.insertRow({{"label", "a"}});
        model.insertRow({{"label", "b"}});
        const std::shared_ptr<TreeNode> node = model.node(1);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy nodeChanged(node.get(), &TreeNode::expandedChanged);
        const QModelIndex index = model.index(1);
        QCOMPARE(model.setData(index, value, role), results[0]);
        QCOMPARE(model.setData(index, value, role), results[1]);
        QCOMPARE(changed.count(), modelSignals);
        for (const QList<QVariant> &args : qAsConst(changed)) {
            QCOMPARE(args[0].toModelIndex(), index);
            QCOMPARE(args[1].toModelIndex(), index);
            QCOMPARE(args[2].value<QVector<int>>(), QVector<int>{262});
        }
        QCOMPARE(nodeChanged.count(), nodeSignals);
        QCOMPARE(node->expanded(), expanded);
        QCOMPARE(model.data(model.index(0), 257), QVariant("a"));
        QCOMPARE(model.node(0)->expanded(), false);
    }

    void expandedOutOfRange()
    {
        TreeModel model;
        model.insertRow({{"label", "a"}});
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(!model.setData(QModelIndex(), true, 262));
        QVERIFY(!model.setData(model.index(0).sibling(1, 0), true, 262));
        TreeModel other;
        other.insertRow({{"label", "b"}});
        other.insertRow({{"label", "c"}});
        QVERIFY(!model.setData(other.index(1), true, 262));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(model.node(0)->expanded(), false);
    }

    void readyMadeNode()
    {
        TreeModel model(2);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        auto node = std::make_shared<TreeNode>();
        node->setId("42");
        QSignalSpy levelChanged(node.get(), &TreeNode::levelChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QVERIFY(model.appendNode(node));
        QCOMPARE(node->level(), 2);
        QCOMPARE(levelChanged.count(), 1);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.data(model.index(0), TreeModel::IdRole), QVariant("42"));
        QVERIFY(!model.appendNode(nullptr));
        QCOMPARE(model.rowCount(), 1);
    }

    void childItemsAlwaysNotifies()
    {
        TreeNode node;
        QSignalSpy spy(&node, &TreeNode::childItemsChanged);
        auto child = std::make_shared<TreeModel>(1);
        node.setChildItems(child);
        node.setChildItems(child);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(node.childItems(), child.get());
        QCOMPARE(node.property("childItems").value<QAbstractItemModel *>(), child.get());
    }

    // The way QML fills and reads the tree: JS objects in, nested models out.
    void fromQml()
    {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData("import QtQml 2.2\nimport Native 1.0\n"
                          "QtObject {\n"
                          "  property TreeModel model: TreeModel {}\n"
                          "  property bool inserted: model.insertRow({label: 'x', childItems: [\n"
                          "      {label: 'y'}, {label: 'z', childItems: []}]})\n"
                          "}\n",
                          QUrl());
        QScopedPointer<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        QVERIFY(root->property("inserted").toBool());
        auto *model = root->property("model").value<TreeModel *>();
        QVERIFY(model);
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->level(), 0);
        QAbstractItemModel *children = childModel(*model, 0);
        QVERIFY(children);
        QCOMPARE(children->rowCount(), 2);
        QCOMPARE(children->data(children->index(1, 0), 257), QVariant("z"));
        QVERIFY(!childModel(*children, 0));
        QCOMPARE(childModel(*children, 1)->rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTreeModel)
#include "tst_treemodel.moc"
