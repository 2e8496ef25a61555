// Finding a camera by typing, in the console's whole scene signed in to an in-process simulated
// site of a few thousand objects: Ctrl+F, a camera's name typed in lower case, and Enter shows
// that camera alone, live; Down before Enter shows the next camera found instead; the field
// emptied brings the whole tree back as the operator left it.
#include "App.h"
#include "LayoutModel.h"
#include "LogCapture.h"
#include "SceneItems.h"
#include "SimServer.h"
#include "Startup.h"
#include "TreeModel.h"

#include <Site.h>
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
constexpr std::size_t kObjects = 3000;

// The generated site, its cameras and till texts pointed at a port where nothing answers
// (never the demo's): the test looks at what the layout holds, not at the picture.
ardix::sim::Site site()
{
    ardix::sim::Site generated = ardix::sim::Site::generated(kObjects);
    const quint16 nobody = scene::freePort();
    const std::string base = "http://127.0.0.1:" + std::to_string(nobody) + "/live/";
    for (auto &o : generated.objects) {
        auto &settings = o.data.settings;
        if (settings.contains("url"))
            settings.setValue("url", ardix::zarn::StringValue(base + std::to_string(o.data.id)));
        if (settings.contains("address"))
            settings.setValue("posPort", ardix::zarn::IntValue(nobody));
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
        m_server = std::make_unique<SimServer>(site());
        QVERIFY(m_server->start());
        QSettings stored;
        stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
        stored.setValue(QStringLiteral("port"), QString::number(m_server->port()));
        stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
        stored.sync();

        m_engine = std::make_unique<QQmlApplicationEngine>();
        Startup::loadScene(*m_engine, QStringLiteral("0"),
                           QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QCOMPARE(m_engine->rootObjects().size(), 1);
        m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
        QVERIFY(m_window);
        m_window->resize(1000, 700);
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QTRY_VERIFY_WITH_TIMEOUT(App::instance() && App::instance()->zarnRepository() &&
                                     App::instance()->zarnRepository()->objects().size() ==
                                         int(kObjects),
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
        find(QStringLiteral("stream 2345"));
        QObject *finder = m_window->findChild<QObject *>(QStringLiteral("cameraFinder"));
        QVERIFY(finder);
        QTRY_COMPARE_WITH_TIMEOUT(finder->property("matchCount").toInt(), 1, kDeadline);
        // the camera is shown under its device and the site, in place of the whole tree
        QQuickItem *found = item(QStringLiteral("foundObjects"));
        QVERIFY(found && found->isVisible());
        QCOMPARE(found->property("count").toInt(), 3);
        QTest::keyClick(m_window, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(cellIds(), QStringList{QStringLiteral("2345")}, kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("sidebar"))->property("opened").toBool(),
                                 kDeadline);
    }

    void downThenEnterShowsTheNextCamera()
    {
        // Stream 234, then 2340, 2341 and 2343 on: Device 2342 is no camera
        find(QStringLiteral("STREAM 234"));
        QObject *finder = m_window->findChild<QObject *>(QStringLiteral("cameraFinder"));
        QTRY_COMPARE_WITH_TIMEOUT(finder->property("matchCount").toInt(), 10, kDeadline);
        QCOMPARE(finder->property("currentId").toString(), QStringLiteral("234"));
        QTest::keyClick(m_window, Qt::Key_Down);
        QTRY_COMPARE_WITH_TIMEOUT(finder->property("currentId").toString(), QStringLiteral("2340"),
                                  kDeadline);
        QTest::keyClick(m_window, Qt::Key_Enter, Qt::KeypadModifier);
        QTRY_COMPARE_WITH_TIMEOUT(cellIds(), QStringList{QStringLiteral("2340")}, kDeadline);
    }

    void emptyFieldBringsTheTreeBack()
    {
        QQuickItem *tree = item(QStringLiteral("cameraTree"));
        QVERIFY(tree);
        auto *sites = tree->property("model").value<QAbstractItemModel *>();
        QVERIFY(sites && sites->rowCount() == 1);
        auto *devices =
            sites->index(0, 0).data(TreeModel::ChildItemsRole).value<QAbstractItemModel *>();
        QVERIFY(devices && devices->rowCount() > 2);
        // the operator opened the second device before searching
        QVERIFY(devices->setData(devices->index(1, 0), true, TreeModel::ExpandedRole));
        find(QStringLiteral("device 22"));
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("foundObjects"))->isVisible(), kDeadline);
        QVERIFY(!tree->isVisible());
        // a page of text pasted by mistake finds nothing, and the field still takes keys
        item(QStringLiteral("cameraSearch"))
            ->setProperty("text", QString(100000, QLatin1Char('7')));
        QObject *finder = m_window->findChild<QObject *>(QStringLiteral("cameraFinder"));
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("nothingFound"))->isVisible(), kDeadline);
        QCOMPARE(finder->property("matchCount").toInt(), 0);
        QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(m_window, Qt::Key_Backspace);
        QTRY_VERIFY_WITH_TIMEOUT(tree->isVisible(), kDeadline);
        QVERIFY(!item(QStringLiteral("foundObjects"))->isVisible());
        QCOMPARE(tree->property("model").value<QAbstractItemModel *>(), sites);
        QVERIFY(devices->index(1, 0).data(TreeModel::ExpandedRole).toBool());
        QVERIFY(!devices->index(0, 0).data(TreeModel::ExpandedRole).toBool());
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
