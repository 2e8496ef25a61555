// No control covers another, nor the recorded picture, on any page of the console at its
// first size (640x480) and at 1920x1080: the console signed in to the demo shop (its gateway
// on a port of its own), each page shown as the operator uses it (the layout with its doors,
// the layout in playback, the recorded page with a camera and its export panel, transactions,
// events), and the rectangles of the visible controls compared two by two, in English and, at
// 640x480, in Spanish, whose texts are longer. The recorded page keeps its camera and moment
// while other pages show. The sidebar's language choice turns every page to Spanish and back,
// its dates with it.
#include "App.h"
#include "ConsoleScene.h"
#include "SceneItems.h"
#include "SimServer.h"
#include "Startup.h"
#include "TimeScale.h"

#include <Site.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlApplicationEngine>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <clocale>
#include <memory>

namespace {

constexpr int kDeadline = 60000;

// What the operator can press, pick, drag or type in.
bool isControl(const QQuickItem *item)
{
    return item->inherits("QQuickAbstractButton") || item->inherits("QQuickComboBox") ||
           item->inherits("QQuickSlider") || item->inherits("QQuickRangeSlider") ||
           item->inherits("QQuickTextField") || item->inherits("QQuickSpinBox") ||
           item->inherits("QQuickDial");
}

struct Shown
{
    QQuickItem *item;
    QRectF rect;
};

// Where `item` shows in the window: cut by every clipping parent and by the window; empty
// when it does not show (hidden, transparent, clipped away).
QRectF shownRect(QQuickItem *item, const QRectF &window)
{
    if (!item->isVisible() || item->width() < 1 || item->height() < 1)
        return {};
    QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    for (QQuickItem *at = item; at; at = at->parentItem()) {
        if (at->opacity() < 0.01)
            return {};
        if (at != item && at->clip())
            rect &= at->mapRectToScene(at->clipRect());
    }
    return rect & window;
}

void collect(QQuickItem *item, const QRectF &window, QList<Shown> &found)
{
    if (!item->isVisible())
        return;
    if (isControl(item)) {
        const QRectF rect = shownRect(item, window);
        if (rect.width() >= 2 && rect.height() >= 2)
            found.append({item, rect});
    }
    for (QQuickItem *child : item->childItems())
        collect(child, window, found);
}

// Whether a visible item at or below `item` shows `text`.
bool showsText(QQuickItem *item, const QString &text)
{
    if (!item->isVisible() || item->opacity() < 0.01)
        return false;
    if (item->property("text").toString() == text)
        return true;
    const auto children = item->childItems();
    return std::any_of(children.begin(), children.end(),
                       [&](QQuickItem *child) { return showsText(child, text); });
}

bool isAncestor(const QQuickItem *ancestor, const QQuickItem *item)
{
    for (const QQuickItem *at = item->parentItem(); at; at = at->parentItem()) {
        if (at == ancestor)
            return true;
    }
    return false;
}

QString described(const Shown &shown)
{
    const QQuickItem *item = shown.item;
    const QString name = item->objectName().isEmpty()
                             ? QString::fromLatin1(item->metaObject()->className())
                             : item->objectName();
    return QStringLiteral("%1 \"%2\" at %3,%4 %5x%6")
        .arg(name, item->property("text").toString().left(30))
        .arg(shown.rect.x())
        .arg(shown.rect.y())
        .arg(shown.rect.width())
        .arg(shown.rect.height());
}

// The demo shop with its gateway on free ports, as tests run beside each other.
std::string demoSite()
{
    QFile file(QStringLiteral(ARDIX_DEMO_SITE));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QJsonObject site = QJsonDocument::fromJson(file.readAll()).object();
    QJsonArray objects = site.value(QStringLiteral("objects")).toArray();
    for (int i = 0; i < objects.size(); ++i) {
        QJsonObject object = objects[i].toObject();
        if (object.value(QStringLiteral("class")).toString() != QLatin1String("device.GATEWAY"))
            continue;
        object.insert(QStringLiteral("httpPort"), 0);
        object.insert(QStringLiteral("rtsp"), false);
        objects[i] = object;
    }
    site.insert(QStringLiteral("objects"), objects);
    return QJsonDocument(site).toJson().toStdString();
}

} // namespace

class TestControlOverlap : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;

    QQuickItem *item(const QString &name) const
    {
        return scene::findItem(m_window->contentItem(), name);
    }

    // Every two controls that cover each other, and every control over the picture (`picture`,
    // when given) that is not part of it.
    QStringList overlaps(QQuickItem *picture) const
    {
        const QRectF window(0, 0, m_window->width(), m_window->height());
        QList<Shown> controls;
        collect(m_window->contentItem(), window, controls);
        QStringList found;
        for (int i = 0; i < controls.size(); ++i) {
            for (int j = i + 1; j < controls.size(); ++j) {
                const Shown &a = controls[i];
                const Shown &b = controls[j];
                if (isAncestor(a.item, b.item) || isAncestor(b.item, a.item))
                    continue;
                const QRectF both = a.rect & b.rect;
                if (both.width() > 1 && both.height() > 1)
                    found.append(described(a) + QStringLiteral(" and ") + described(b));
            }
        }
        const QRectF shown = picture ? shownRect(picture, window) : QRectF();
        for (const Shown &control : qAsConst(controls)) {
            if (shown.isEmpty() || isAncestor(picture, control.item))
                continue;
            const QRectF both = control.rect & shown;
            if (both.width() > 1 && both.height() > 1)
                found.append(described(control) + QStringLiteral(" over the picture"));
        }
        return found;
    }

    QObject *i18n() const
    {
        return m_engine->singletonInstance<QObject *>(qmlTypeId("Native", 1, 0, "I18n"));
    }

    // Picks a language the way the operator does: the sidebar opened, the language's button
    // clicked.
    bool chooseLanguage(const QString &code)
    {
        QQuickItem *sidebar = item(QStringLiteral("sidebar"));
        sidebar->setProperty("opened", true);
        QQuickItem *button = item(QStringLiteral("language_") + code);
        if (!button ||
            !QTest::qWaitFor([&] { return button->isVisible() && sidebar->width() >= 200; },
                             kDeadline))
            return false;
        QTest::mouseClick(
            m_window, Qt::LeftButton, Qt::NoModifier,
            button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint());
        sidebar->setProperty("opened", false);
        return i18n()->property("language").toString() == code;
    }

    bool showPage(const QString &page)
    {
        auto *main = item(QStringLiteral("mainPage"));
        if (page == QLatin1String("layout") || page == QLatin1String("layoutPlayback")) {
            App::instance()->jumpToPage(QStringLiteral("playback"));
            const QString doors = QStringLiteral("3x3 Cameras and doors");
            const auto doorViews = [&] {
                QList<QQuickItem *> found;
                scene::findItems(m_window->contentItem(), QStringLiteral("doorView"), found);
                return found.size();
            };
            // Applied once the server's list has come.
            if (!QTest::qWaitFor(
                    [&] {
                        if (App::instance()->currentLayout() != doors &&
                            App::instance()->layoutsList().contains(doors))
                            App::instance()->applyLayout(doors);
                        return doorViews() == 2;
                    },
                    kDeadline))
                return false;
            if (page == QLatin1String("layoutPlayback"))
                QMetaObject::invokeMethod(
                    main, "playLayoutAt",
                    Q_ARG(QVariant, double(QDateTime::currentMSecsSinceEpoch() - 600000)));
            return QTest::qWaitFor(
                [&] {
                    auto *bar = item(QStringLiteral("playbackBar"));
                    return bar && bar->isVisible() == (page == QLatin1String("layoutPlayback"));
                },
                kDeadline);
        }
        if (page == QLatin1String("recorded")) {
            App::instance()->jumpToPage(QStringLiteral("recorder"));
            auto *recorded = item(QStringLiteral("recordedPage"));
            if (!QTest::qWaitFor([&] { return recorded && recorded->isVisible(); }, kDeadline))
                return false;
            QMetaObject::invokeMethod(recorded, "chooseStream", Q_ARG(QVariant, "2"),
                                      Q_ARG(QVariant, "12"));
            QMetaObject::invokeMethod(
                recorded, "playMoment",
                Q_ARG(QVariant, double(QDateTime::currentMSecsSinceEpoch() - 1200000)));
            auto *panel = item(QStringLiteral("exportPanel"));
            return QTest::qWaitFor(
                [&] {
                    auto *playLayout = item(QStringLiteral("playLayoutHere"));
                    return panel && panel->isVisible() && playLayout && playLayout->isVisible();
                },
                kDeadline);
        }
        App::instance()->jumpToPage(page);
        return QTest::qWaitFor(
            [&] {
                auto *shown = item(page + QStringLiteral("Page"));
                return shown && shown->isVisible();
            },
            kDeadline);
    }

private slots:
    void initTestCase()
    {
        Startup::setIdentity();
        std::setlocale(LC_NUMERIC, "C");
        const std::string json = demoSite();
        QVERIFY(!json.empty());
        std::string error;
        m_server = SimServer::fromJson(json, QDateTime::currentMSecsSinceEpoch(), error);
        QVERIFY2(m_server, error.c_str());

        scene::storeSignIn(m_server->port());

        m_engine = std::make_unique<QQmlApplicationEngine>();
        m_window = scene::loadConsole(*m_engine);
        QVERIFY(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("layoutPage")), kDeadline);
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        m_server.reset();
    }

    void controlsApart_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("language");
        for (const QSize size : {QSize(640, 480), QSize(1920, 1080)}) {
            const QString at = QStringLiteral(" %1x%2").arg(size.width()).arg(size.height());
            for (const char *page :
                 {"layout", "layoutPlayback", "recorded", "transactions", "events"})
                QTest::newRow(qPrintable(page + at))
                    << QString::fromLatin1(page) << size << QStringLiteral("en");
        }
        for (const char *page : {"layout", "layoutPlayback", "recorded", "transactions", "events"})
            QTest::newRow(qPrintable(page + QStringLiteral(" 640x480 es")))
                << QString::fromLatin1(page) << QSize(640, 480) << QStringLiteral("es");
        QTest::newRow("events 640x480 pt")
            << QStringLiteral("events") << QSize(640, 480) << QStringLiteral("pt");
    }

    void controlsApart()
    {
        QFETCH(QString, page);
        QFETCH(QSize, size);
        QFETCH(QString, language);
        QMetaObject::invokeMethod(i18n(), "choose", Q_ARG(QString, language));
        m_window->resize(size);
        QTRY_COMPARE(m_window->contentItem()->size(), QSizeF(size));
        QVERIFY2(showPage(page), qPrintable(page));
        // The pages slide in: the places that count are where they stop.
        QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("pages"))->property("busy").toBool(),
                                 kDeadline);
        QQuickItem *picture =
            page == QLatin1String("recorded") ? item(QStringLiteral("recordedPlayer")) : nullptr;
        QStringList found;
        // Layouts settle over a few frames after a resize.
        QTRY_VERIFY2_WITH_TIMEOUT((found = overlaps(picture)).isEmpty(),
                                  qPrintable(found.join(QStringLiteral("\n"))), 5000);
        // For a look at the screens: the page as it was checked.
        const QString folder = qEnvironmentVariable("ARDIX_ARTIFACT_DIR");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            m_window->grabWindow().save(
                QStringLiteral("%1/%2.png").arg(folder, QLatin1String(QTest::currentDataTag())));
        if (page == QLatin1String("layoutPlayback"))
            QMetaObject::invokeMethod(item(QStringLiteral("layoutPage")), "backToLive");
    }

    // Each page in Spanish and back in English: a few of its texts, the sidebar's, and its dates.
    void everyPageSwitchesLanguage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("spanish");
        QTest::addColumn<QStringList>("english");
        QTest::newRow("layout") << QStringLiteral("layout")
                                << QStringList{QStringLiteral("Transacciones"),
                                               QStringLiteral("Mosaico")}
                                << QStringList{QStringLiteral("Transactions"),
                                               QStringLiteral("Layout")};
        QTest::newRow("layoutPlayback")
            << QStringLiteral("layoutPlayback") << QStringList{QStringLiteral("Volver a en vivo")}
            << QStringList{QStringLiteral("Back to live")};
        QTest::newRow("recorded") << QStringLiteral("recorded")
                                  << QStringList{QStringLiteral("Exportar"),
                                                 QStringLiteral("Grabaciones")}
                                  << QStringList{QStringLiteral("Export"),
                                                 QStringLiteral("Recorded")};
        QTest::newRow("transactions")
            << QStringLiteral("transactions")
            << QStringList{QStringLiteral("Cajas"), QStringLiteral("Buscar"),
                           QStringLiteral("Importe mínimo")}
            << QStringList{QStringLiteral("Tills"), QStringLiteral("Search"),
                           QStringLiteral("Minimum amount")};
        QTest::newRow("events") << QStringLiteral("events")
                                << QStringList{QStringLiteral("Reconocer todos")}
                                << QStringList{QStringLiteral("Acknowledge all")};
    }

    void everyPageSwitchesLanguage()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, spanish);
        QFETCH(QStringList, english);
        m_window->resize(1280, 800);
        QVERIFY(chooseLanguage(QStringLiteral("en")));
        QVERIFY2(showPage(page), qPrintable(page));
        QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("pages"))->property("busy").toBool(),
                                 kDeadline);
        QQuickItem *root = m_window->contentItem();
        for (const QString &text : english)
            QTRY_VERIFY2(showsText(root, text), qPrintable(text));

        QVERIFY(chooseLanguage(QStringLiteral("es")));
        for (const QString &text : spanish)
            QTRY_VERIFY2(showsText(root, text), qPrintable(text));
        for (const QString &text : english)
            QVERIFY2(!showsText(root, text), qPrintable(text));
        // The timeline's day labels and the tables' times follow.
        const qint64 ninth = QDateTime(QDate(2026, 12, 9), QTime(12, 0)).toMSecsSinceEpoch();
        const TimeScale scale(ninth - 86400000, ninth + 86400000, 1200, QFont());
        QStringList days;
        for (const TimeLabel &label : scale.labels())
            days << label.text;
        QVERIFY2(days.contains(QStringLiteral("mié 9 dic")), qPrintable(days.join('|')));
        QString shown;
        QMetaObject::invokeMethod(i18n(), "dateTimeText", Q_RETURN_ARG(QString, shown),
                                  Q_ARG(double, double(ninth)));
        QCOMPARE(shown, QStringLiteral("09/12/2026 12:00:00"));

        QVERIFY(chooseLanguage(QStringLiteral("en")));
        for (const QString &text : english)
            QTRY_VERIFY2(showsText(root, text), qPrintable(text));
        if (page == QLatin1String("layoutPlayback"))
            QMetaObject::invokeMethod(item(QStringLiteral("layoutPage")), "backToLive");
    }

    // The recorded page keeps its camera and moment while other pages show, and plays that
    // moment again on return.
    void recordedPageKeepsItsMoment()
    {
        m_window->resize(1280, 800);
        QVERIFY(showPage(QStringLiteral("recorded")));
        auto *recorded = item(QStringLiteral("recordedPage"));
        auto *playback = recorded->findChild<QObject *>(QStringLiteral("timelinePlayback"));
        QVERIFY(playback);
        QTRY_VERIFY_WITH_TIMEOUT(playback->property("active").toBool(), kDeadline);
        const qint64 left = playback->property("time").toLongLong();
        QVERIFY(showPage(QStringLiteral("transactions")));
        QTRY_VERIFY(!playback->property("active").toBool());
        QVERIFY(showPage(QStringLiteral("events")));
        App::instance()->jumpToPage(QStringLiteral("recorder"));
        QTRY_VERIFY_WITH_TIMEOUT(recorded->isVisible(), kDeadline);
        QCOMPARE(recorded->property("streamId").toString(), QStringLiteral("12"));
        QTRY_VERIFY_WITH_TIMEOUT(playback->property("active").toBool(), kDeadline);
        const qint64 back = playback->property("time").toLongLong();
        QVERIFY2(back >= left - 1000 && back < left + 10000,
                 qPrintable(QString::number(back - left)));
    }
};

QTEST_MAIN(TestControlOverlap)
#include "tst_controloverlap.moc"
