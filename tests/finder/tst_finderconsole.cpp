// Finding a camera by typing, in the console's whole scene signed in to an in-process generated
// chain of 2 000 cameras: Ctrl+F, a camera's serial typed in lower case, and Enter shows that
// camera alone, live; a name typed without its accent finds it, and Down before Enter shows the
// next camera found instead; the field emptied brings the whole tree back as the operator left
// it.
#include "App.h"
#include "ConsoleScene.h"
#include "LayoutModel.h"
#include "LogCapture.h"
#include "SceneItems.h"
#include "SimServer.h"
#include "Startup.h"
#include "TreeModel.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"

#include <Site.h>
#include <SiteGenerator.h>
#include <zarn/Value.h>

#include <QAbstractItemModel>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <clocale>
#include <memory>

namespace {

using scene::findItem;

constexpr int kDeadline = 60000;
// The generated chain, its cameras and till texts pointed at a port where nothing answers
// (never the demo's): the test looks at what the layout holds, not at the picture.
ardix::sim::Site site()
{
    ardix::sim::SiteGeneration generation;
    generation.cameras = 2000;
    const quint16 nobody = scene::freePort();
    generation.httpPort = nobody;
    ardix::sim::Site generated = ardix::sim::SiteGenerator::generate(generation);
    for (auto &o : generated.objects) {
        if (o.data.settings.contains("address"))
            o.data.settings.setValue("posPort", ardix::zarn::IntValue(nobody));
    }
    return generated;
}

// The ids of the layout's cells.
QStringList cellIds()
{
    QStringList ids;
    LayoutModel *layout = App::instance() ? App::instance()->layoutModel() : nullptr;
    for (int row = 0; layout && row < layout->rowCount(); ++row)
        ids << layout->index(row, 0).data(LayoutModel::ObjectIdRole).toString();
    return ids;
}

} // namespace

class TestFinderConsole : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    // From before the scene loads (and after the test's own handler): a binding of the
    // sidebar's search that fails says so here.
    std::unique_ptr<LogCapture> m_log;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    int m_objects = 0;

    QQuickItem *item(const QString &name) const { return findItem(m_window->contentItem(), name); }

    // Ctrl+F opens the sidebar with its camera search field taking the keys; `text` typed.
    void find(const QString &text)
    {
        // Shortcuts reach the active window only: another test's window may have the focus.
        m_window->requestActivate();
        static_cast<void>(QTest::qWaitForWindowActive(m_window, 2000));
        QTest::keyClick(m_window, Qt::Key_F, Qt::ControlModifier);
        QQuickItem *field = item(QStringLiteral("cameraSearch"));
        QVERIFY(field);
        QTRY_VERIFY_WITH_TIMEOUT(field->hasActiveFocus() && field->isVisible(), kDeadline);
        for (const QChar c : text)
            QTest::keyClick(m_window, c.toLatin1());
        QTRY_COMPARE_WITH_TIMEOUT(field->property("text").toString(), text, kDeadline);
    }

private slots:
    void initTestCase()
    {
        std::setlocale(LC_NUMERIC, "C");
        m_log = std::make_unique<LogCapture>();
        ardix::sim::Site chain = site();
        m_objects = int(chain.objects.size());
        m_server = std::make_unique<SimServer>(std::move(chain));
        QVERIFY(m_server->start());
        scene::storeSignIn(m_server->port());

        m_engine = std::make_unique<QQmlApplicationEngine>();
        m_window = scene::loadConsole(*m_engine);
        QVERIFY(m_window);
        m_window->resize(1000, 700);
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QTRY_VERIFY_WITH_TIMEOUT(App::instance() && App::instance()->zarnRepository() &&
                                     App::instance()->zarnRepository()->objects().size() ==
                                         m_objects,
                                 kDeadline);
    }

    void cleanupTestCase()
    {
        const QStringList sidebar = m_log->lines().filter(QRegularExpression(
            QStringLiteral("(Sidebar|SearchField|FoundObjectsView|CameraTree|ETreeView)\\.qml")));
        m_engine.reset();
        m_server.reset();
        m_log.reset();
        QVERIFY2(sidebar.isEmpty(), qPrintable(sidebar.join(QLatin1Char('\n'))));
    }

    void enterShowsTheCameraTyped()
    {
        // Cafetería 2 of the first gateway, by its serial
        find(QStringLiteral("fis-59a4-000044"));
        QObject *finder = m_window->findChild<QObject *>(QStringLiteral("cameraFinder"));
        QVERIFY(finder);
        QTRY_COMPARE_WITH_TIMEOUT(finder->property("matchCount").toInt(), 1, kDeadline);
        // the camera is shown under its gateway, building, shop and chain, in place of the tree
        QQuickItem *found = item(QStringLiteral("foundObjects"));
        QVERIFY(found && found->isVisible());
        QCOMPARE(found->property("count").toInt(), 5);
        QTest::keyClick(m_window, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(cellIds(), QStringList{QStringLiteral("49")}, kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("sidebar"))->property("opened").toBool(),
                                 kDeadline);
    }

    void downThenEnterShowsTheNextCamera()
    {
        // "Cafetería 1", "Cafetería 10" and on, in every shop of the chain
        find(QStringLiteral("CAFETERIA 1"));
        QObject *finder = m_window->findChild<QObject *>(QStringLiteral("cameraFinder"));
        QTRY_VERIFY_WITH_TIMEOUT(finder->property("matchCount").toInt() > 1, kDeadline);
        QCOMPARE(finder->property("currentId").toString(), QStringLiteral("9"));
        QTest::keyClick(m_window, Qt::Key_Down);
        QTRY_VERIFY_WITH_TIMEOUT(finder->property("currentId").toString() != QLatin1String("9"),
                                 kDeadline);
        const QString next = finder->property("currentId").toString();
        ZarnObject *camera = App::instance()->zarnRepository()->objectById(next);
        QVERIFY(camera && camera->name().startsWith(QStringLiteral("Cafetería 1")));
        QTest::keyClick(m_window, Qt::Key_Enter, Qt::KeypadModifier);
        QTRY_COMPARE_WITH_TIMEOUT(cellIds(), QStringList{next}, kDeadline);
    }

    void emptyFieldBringsTheTreeBack()
    {
        QQuickItem *tree = item(QStringLiteral("cameraTree"));
        QVERIFY(tree);
        auto *sites = tree->property("model").value<QAbstractItemModel *>();
        QVERIFY(sites && sites->rowCount() == 1);
        auto *shops =
            sites->index(0, 0).data(TreeModel::ChildItemsRole).value<QAbstractItemModel *>();
        QVERIFY(shops && shops->rowCount() > 2);
        // the operator opened the second shop before searching
        QVERIFY(shops->setData(shops->index(1, 0), true, TreeModel::ExpandedRole));
        find(QStringLiteral("gateway 2"));
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("foundObjects"))->isVisible(), kDeadline);
        QVERIFY(!tree->isVisible());
        QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(m_window, Qt::Key_Backspace);
        QTRY_VERIFY_WITH_TIMEOUT(tree->isVisible(), kDeadline);
        QVERIFY(!item(QStringLiteral("foundObjects"))->isVisible());
        QCOMPARE(tree->property("model").value<QAbstractItemModel *>(), sites);
        QVERIFY(shops->index(1, 0).data(TreeModel::ExpandedRole).toBool());
        QVERIFY(!shops->index(0, 0).data(TreeModel::ExpandedRole).toBool());
    }
};

int main(int argc, char *argv[])
{
    // The identity decides where the settings store is, so it comes before the application.
    Startup::setIdentity();
    QGuiApplication app(argc, argv);
    TestFinderConsole test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_finderconsole.moc"
