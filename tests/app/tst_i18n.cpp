// Switching the interface language at run time and re-translating bound texts.
#include "I18n.h"
#include "LogCapture.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTest>

class TestI18n : public QObject
{
    Q_OBJECT

private:
    // A text bound the way the screens bind theirs, in translation context "main".
    static QObject *boundLabel(QQmlEngine &engine)
    {
        QQmlComponent component(&engine);
        component.setData(
            "import QtQml 2.2\nimport Native 1.0\n"
            "QtObject {\n"
            "  property string bound: qsTranslate('main', 'Client') + I18n.localeNotify\n"
            "  property string unbound: qsTranslate('main', 'Client')\n"
            "}\n",
            QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QObject *object = component.create();
        if (!object)
            qWarning() << component.errors();
        return object;
    }

private slots:
    void startsWithSystemLocaleAndNoTranslation()
    {
        I18n i18n;
        QCOMPARE(i18n.locale(), QLocale::system().name());
        QCOMPARE(i18n.localeNotify(), QString());
        QCOMPARE(QCoreApplication::translate("main", "Client"), QStringLiteral("Client"));
    }

    void sameValueTwiceEmitsAndLogsNothing()
    {
        I18n i18n;
        QSignalSpy spy(&i18n, &I18n::localeChanged);
        LogCapture log;
        i18n.setLocale(i18n.locale());
        QCOMPARE(spy.count(), 0);
        QVERIFY(log.lines().isEmpty());

        i18n.setLocale(QStringLiteral("es_ES"));
        i18n.setLocale(QStringLiteral("es_ES"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(log.lines(), QStringList(QStringLiteral("Changed locale to:  \"es_ES\"")));
    }

    void switchingRetranslatesBoundTexts()
    {
        QQmlEngine engine;
        QObject *i18n = engine.singletonInstance<QObject *>(qmlTypeId("Native", 1, 0, "I18n"));
        QVERIFY(i18n);
        QScopedPointer<QObject> label(boundLabel(engine));
        QVERIFY(label);
        QSignalSpy spy(i18n, SIGNAL(localeChanged()));
        LogCapture log;

        i18n->setProperty("locale", QStringLiteral("pt_BR"));
        QCOMPARE(label->property("bound").toString(), QStringLiteral("Cliente"));
        // a text without localeNotify keeps the value it was created with
        QCOMPARE(label->property("unbound").toString(), QStringLiteral("Client"));

        i18n->setProperty("locale", QStringLiteral("en_US"));
        QCOMPARE(label->property("bound").toString(), QStringLiteral("Client"));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(log.lines(), QStringList({QStringLiteral("Changed locale to:  \"pt_BR\""),
                                           QStringLiteral("Changed locale to:  \"en_US\"")}));
    }

    void unknownLanguageFallsBackToSourceTexts()
    {
        QQmlEngine engine;
        QObject *i18n = engine.singletonInstance<QObject *>(qmlTypeId("Native", 1, 0, "I18n"));
        QScopedPointer<QObject> label(boundLabel(engine));
        QVERIFY(label);
        i18n->setProperty("locale", QStringLiteral("es_AR"));
        QCOMPARE(label->property("bound").toString(), QStringLiteral("Cliente"));

        QSignalSpy spy(i18n, SIGNAL(localeChanged()));
        i18n->setProperty("locale", QStringLiteral("de_DE"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(i18n->property("locale").toString(), QStringLiteral("de_DE"));
        QCOMPARE(label->property("bound").toString(), QStringLiteral("Client"));
    }
};

QTEST_MAIN(TestI18n)
#include "tst_i18n.moc"
