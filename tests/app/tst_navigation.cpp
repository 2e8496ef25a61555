// The pieces behind the console's own navigation: which layout opens at start-up, the one-cell
// layout that shows a stream alone, the camera tree built from the server's objects, and the
// names snapshots are saved under.
#include "LastLayoutMemory.h"
#include "LayoutModel.h"
#include "ObjectTree.h"
#include "SingleStreamLayout.h"
#include "Snapshot.h"
#include "TreeModel.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

namespace {

ZarnObjectPtr object(const QString &id, const QString &path, ZarnObject::Type type)
{
    auto obj = std::make_shared<ZarnObject>();
    obj->setId(id);
    obj->setPath(path);
    obj->setName(path.section(QLatin1Char(','), -1));
    obj->setType(type);
    return obj;
}

// The tree's rows as "label/id/icon" lines, children indented by two spaces, open or not.
QStringList describe(const QAbstractItemModel *model, const QString &indent = QString())
{
    QStringList lines;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        lines << indent + QStringLiteral("%1/%2/%3%4")
                              .arg(index.data(TreeModel::LabelRole).toString(),
                                   index.data(TreeModel::IdRole).toString(),
                                   index.data(TreeModel::IconRole).toString(),
                                   index.data(TreeModel::ExpandedRole).toBool() ? "+" : "");
        if (auto *children = index.data(TreeModel::ChildItemsRole).value<QAbstractItemModel *>())
            lines << describe(children, indent + QStringLiteral("  "));
    }
    return lines;
}

} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationDomain(QStringLiteral("ardix.example"));
        QCoreApplication::setApplicationName(QStringLiteral("Ardix"));
    }

    void startupLayout_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QStringList>("available");
        QTest::addColumn<QString>("chosen");
        const QStringList three{"A", "B", "C"};
        QTest::newRow("nothing kept") << QVariant() << three << "A";
        QTest::newRow("kept and present") << QVariant("C") << three << "C";
        QTest::newRow("kept but gone from the server") << QVariant("Z") << three << "A";
        QTest::newRow("kept empty") << QVariant("") << three << "A";
        QTest::newRow("case differs") << QVariant("b") << three << "A";
        QTest::newRow("server has none") << QVariant("B") << QStringList() << "";
    }

    void startupLayout()
    {
        QFETCH(QVariant, stored);
        QFETCH(QStringList, available);
        QFETCH(QString, chosen);
        QSettings().remove(LastLayoutMemory::settingsKey);
        if (stored.isValid())
            QSettings().setValue(LastLayoutMemory::settingsKey, stored);
        QCOMPARE(LastLayoutMemory().choose(available), chosen);
    }

    void rememberedLayoutOutlivesTheProcessSettings()
    {
        LastLayoutMemory().remember(QStringLiteral("3x3 Cameras and doors"));
        const QString file = QSettings().fileName();
        QCOMPARE(QSettings(file, QSettings::IniFormat).value(LastLayoutMemory::settingsKey),
                 QVariant(QStringLiteral("3x3 Cameras and doors")));
        QCOMPARE(LastLayoutMemory().choose({"2x2", "3x3 Cameras and doors"}),
                 QStringLiteral("3x3 Cameras and doors"));
    }

    void streamAloneIsOneFullCell()
    {
        const ZarnObjectPtr stream = object(
            QStringLiteral("12"), QStringLiteral("Shop,Gate,Till \"1\""), ZarnObject::Stream);
        stream->setParentId(QStringLiteral("2"));
        LayoutModel model;
        model.fromJson(SingleStreamLayout::json(stream.get()));
        QCOMPARE(model.numRows(), 1);
        QCOMPARE(model.numCols(), 1);
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex cell = model.index(0, 0);
        QCOMPARE(cell.data(LayoutModel::TypeRole).toInt(), int(LayoutModel::Video));
        QCOMPARE(cell.data(LayoutModel::LabelRole).toString(), QStringLiteral("Till \"1\""));
        QCOMPARE(cell.data(LayoutModel::ObjectIdRole).toString(), QStringLiteral("12"));
        QCOMPARE(cell.data(LayoutModel::DeviceIdRole).toString(), QStringLiteral("2"));
        QCOMPARE(cell.data(LayoutModel::RowSpanRole).toInt(), 1);

        // only a stream can be shown alone
        QVERIFY(SingleStreamLayout::json(nullptr).isEmpty());
        const ZarnObjectPtr door =
            object(QStringLiteral("21"), QStringLiteral("Shop,Door"), ZarnObject::Sensor);
        QVERIFY(SingleStreamLayout::json(door.get()).isEmpty());
    }

    void cameraTreeFollowsTheServer()
    {
        ZarnObjectsRepository repository;
        const QString sep = QStringLiteral(",");
        repository.add(object("1", "Shop", ZarnObject::Location), sep);
        repository.add(object("2", "Shop,Gateway", ZarnObject::Device), sep);
        repository.add(object("11", "Shop,Gateway,Entrance", ZarnObject::Stream), sep);
        repository.add(object("12", "Shop,Gateway,Till", ZarnObject::Stream), sep);
        repository.add(object("3", "Shop,Doors", ZarnObject::Device), sep);
        repository.add(object("21", "Shop,Doors,Front door", ZarnObject::Sensor), sep);
        repository.add(object("22", "Shop,Doors,Front lock", ZarnObject::Actuator), sep);
        // neither users nor scripts belong in a camera tree
        repository.add(object("90", "Shop,operator", ZarnObject::User), sep);
        repository.add(object("91", "Shop,Doors,nightly", ZarnObject::Script), sep);

        ObjectTree tree;
        QSignalSpy rebuilt(&tree, &ObjectTree::modelChanged);
        tree.setRepository(&repository);
        QCOMPARE(rebuilt.count(), 1);
        QAbstractItemModelTester tester(tree.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QStringList expected{"Shop/1/location+",          "  Gateway/2/device",
                                   "    Entrance/11/stream",    "    Till/12/stream",
                                   "  Doors/3/device",          "    Front door/21/sensor",
                                   "    Front lock/22/actuator"};
        QCOMPARE(describe(tree.model()), expected);

        // the operator opens the gateway; the server's tree then changes, and the gateway
        // stays open in the new tree, which has the new camera
        auto *sites = qobject_cast<TreeModel *>(tree.model());
        auto *devices =
            sites->index(0, 0).data(TreeModel::ChildItemsRole).value<QAbstractItemModel *>();
        QVERIFY(devices->setData(devices->index(0, 0), true, TreeModel::ExpandedRole));
        repository.add(object("13", "Shop,Gateway,Stockroom", ZarnObject::Stream), sep);
        emit repository.dataChanged();
        QCOMPARE(rebuilt.count(), 2);
        QAbstractItemModelTester newTester(tree.model(),
                                           QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(describe(tree.model()).mid(0, 5),
                 (QStringList{"Shop/1/location+", "  Gateway/2/device+", "    Entrance/11/stream",
                              "    Till/12/stream", "    Stockroom/13/stream"}));

        // without a repository the tree is empty, and so with an emptied one
        repository.clear();
        emit repository.dataChanged();
        QCOMPARE(tree.model()->rowCount(), 0);
    }

    void newTextsAreTranslated_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("translation");
        QTest::newRow("es sidebar") << "client_es"
                                    << "Sidebar"
                                    << "Recorded"
                                    << "Grabaciones";
        QTest::newRow("es exit question") << "client_es"
                                          << "Sidebar"
                                          << "Do you want to close the console?"
                                          << "¿Desea cerrar la consola?";
        QTest::newRow("es seek") << "client_es"
                                 << "PlaybackControls"
                                 << "Next frame"
                                 << "Fotograma siguiente";
        QTest::newRow("pt sidebar") << "client_pt"
                                    << "Sidebar"
                                    << "Cameras"
                                    << "Câmeras";
        QTest::newRow("pt snapshot") << "client_pt"
                                     << "CameraView"
                                     << "Saved: %1"
                                     << "Salva: %1";
        QTest::newRow("pt native") << "client_pt"
                                   << "Snapshot"
                                   << "Nothing to save"
                                   << "Nada para salvar";
        QTest::newRow("unknown text") << "client_es"
                                      << "Sidebar"
                                      << "Layout list"
                                      << "";
    }

    void newTextsAreTranslated()
    {
        QFETCH(QString, file);
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, translation);
        QTranslator translator;
        QVERIFY(translator.load(file, QStringLiteral(":/translations/")));
        QCOMPARE(translator.translate(context.toUtf8(), source.toUtf8()), translation);
    }

    void snapshotFileNames_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Till"
                               << "Till_20261208-130905-042.png";
        QTest::newRow("spaces") << "Car park 2"
                                << "Car_park_2_20261208-130905-042.png";
        QTest::newRow("path") << "../../etc/passwd"
                              << "_etc_passwd_20261208-130905-042.png";
        QTest::newRow("accents") << "Crème"
                                 << "Cr_me_20261208-130905-042.png";
        QTest::newRow("empty") << ""
                               << "camera_20261208-130905-042.png";
        QTest::newRow("only signs") << "/// ..."
                                    << "camera_20261208-130905-042.png";
        QTest::newRow("long") << QString(100, QLatin1Char('x'))
                              << QString(64, QLatin1Char('x')) + "_20261208-130905-042.png";
    }

    void snapshotFileNames()
    {
        QFETCH(QString, camera);
        QFETCH(QString, name);
        const QDateTime time(QDate(2026, 12, 8), QTime(13, 9, 5, 42));
        QCOMPARE(Snapshot::fileName(camera, time), name);
        QVERIFY(Snapshot::folder().endsWith(QStringLiteral("/Ardix")));
    }
};

QTEST_GUILESS_MAIN(TestNavigation)
#include "tst_navigation.moc"
