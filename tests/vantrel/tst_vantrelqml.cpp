// vantrel's screen in process, driven with real mouse and key events, against the console
// side in another process. A picture of each state goes to ARDIX_ARTIFACT_DIR.
#include "RpcHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include <memory>

namespace {

using Layouts = QList<QPair<QString, QString>>;

const Layouts shop{{QStringLiteral("Entrance"), QStringLiteral("{\"numRows\":1}")},
                   {QStringLiteral("Caixa – Sé 東"), QStringLiteral("{\"label\":\"Café\"}")},
                   {QStringLiteral("Yard"), QStringLiteral("{}")}};

} // namespace

class TestVantrelQml : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    std::unique_ptr<RpcHost> m_host;

    // Views parent their delegates visually only, so the search follows the item tree.
    static QQuickItem *find(QQuickItem *root, const QString &name)
    {
        if (root->objectName() == name)
            return root;
        for (QQuickItem *child : root->childItems()) {
            if (QQuickItem *found = find(child, name))
                return found;
        }
        return nullptr;
    }
    QQuickItem *item(const QString &name) const { return find(m_window->contentItem(), name); }
    int page() const { return item(QStringLiteral("pages"))->property("currentIndex").toInt(); }
    // Rows are recreated when a new list arrives, so a row may be missing for a moment.
    QColor rowColor(const QString &name) const
    {
        QQuickItem *row = item(name);
        return row ? row->property("color").value<QColor>() : QColor();
    }

    void save(const QString &name)
    {
        const QString folder = qEnvironmentVariable("ARDIX_ARTIFACT_DIR", RpcHost::sandbox());
        QDir().mkpath(folder);
        QVERIFY(m_window->grabWindow().save(folder + QLatin1Char('/') + name + ".png"));
    }

    void click(QQuickItem *target)
    {
        QVERIFY(target);
        const QPointF centre =
            target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }

private slots:
    void initTestCase()
    {
        const QString url = RpcHost::freeUrl(QStringLiteral("tcp"));
        RpcHost::writeConfig(QCoreApplication::applicationDirPath(), url);
        m_host = std::make_unique<RpcHost>(RpcHost::sandbox() + QStringLiteral("/host"), url);

        m_engine = std::make_unique<QQmlApplicationEngine>();
        m_engine->rootContext()->setContextProperty(QStringLiteral("debug"), false);
        m_engine->load(QUrl(QStringLiteral("qrc:/main.qml")));
        QCOMPARE(m_engine->rootObjects().size(), 1);
        m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        m_host.reset();
    }

    void startsOnLoginToContinue()
    {
        QCOMPARE(m_window->size(), QSize(640, 480));
        QCOMPARE(m_window->title(), QStringLiteral("List"));
        QVERIFY(m_window->flags() & Qt::FramelessWindowHint);
        QCOMPARE(page(), 0);
        QCOMPARE(item(QStringLiteral("loginLabel"))->property("text").toString(),
                 QStringLiteral("Login to continue"));
        save(QStringLiteral("1-before-console"));
    }

    void consoleSignInShowsTheList()
    {
        QVERIFY(m_host->start());
        m_host->publish(shop);
        m_host->login();
        QTRY_COMPARE_WITH_TIMEOUT(page(), 1, 15000);
        QQuickItem *list = item(QStringLiteral("layouts"));
        QTRY_COMPARE(list->property("count").toInt(), shop.size());
        QTRY_VERIFY(item(QStringLiteral("layoutRow2")));
        // the pages slide: wait until the list has arrived
        QTRY_COMPARE(item(QStringLiteral("layoutRow0"))->mapToScene(QPointF(0, 0)).x(), 0.0);
        save(QStringLiteral("2-signed-in"));
    }

    void clickingALayoutSendsIt()
    {
        QQuickItem *row = item(QStringLiteral("layoutRow1"));
        click(row);
        const QJsonObject request = m_host->waitForEvent(QStringLiteral("setLayoutRequested"));
        QCOMPARE(request.value("name").toString(), shop.at(1).first);
        QCOMPARE(request.value("json").toString(), shop.at(1).second);
        QCOMPARE(row->property("color").value<QColor>(), QColor("gray"));
        QCOMPARE(rowColor(QStringLiteral("layoutRow0")), QColor("black"));
        save(QStringLiteral("3-layout-chosen"));

        // a new list from the console keeps the selected row number
        m_host->publish(shop.mid(0, 2));
        QTRY_COMPARE(item(QStringLiteral("layouts"))->property("count").toInt(), 2);
        QTRY_COMPARE(rowColor(QStringLiteral("layoutRow1")), QColor("gray"));
    }

    void choosingRecorderJumpsThere()
    {
        click(item(QStringLiteral("menu")));
        QTest::keyClick(m_window, Qt::Key_Down);
        save(QStringLiteral("4-menu-open"));
        QTest::keyClick(m_window, Qt::Key_Return);
        QCOMPARE(m_host->waitForEvent(QStringLiteral("requestedJumpPage")).value("page").toString(),
                 QStringLiteral("recorder"));
        QCOMPARE(item(QStringLiteral("menu"))->property("currentText").toString(),
                 QStringLiteral("Recorder"));
    }

    void closingTheConsoleReturnsToLogin()
    {
        QVERIFY(m_host->stop());
        QTRY_COMPARE_WITH_TIMEOUT(page(), 0, 6000);
        QQuickItem *label = item(QStringLiteral("loginLabel"));
        QTRY_COMPARE(label->mapToScene(QPointF(0, 0)).x(), (640 - label->width()) / 2);
        save(QStringLiteral("5-console-closed"));
    }
};

QTEST_MAIN(TestVantrelQml)
#include "tst_vantrelqml.moc"
