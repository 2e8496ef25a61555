// Switching the interface language at run time and re-translating bound texts.
#include "I18n.h"
#include "LanguageChoice.h"
#include "LogCapture.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QSettings>
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
    void init() { QSettings().clear(); }

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
        // a text without localeNotify follows too: the engine is told to re-translate
        QCOMPARE(label->property("unbound").toString(), QStringLiteral("Cliente"));

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

    // The sidebar's choice is applied at once and again by the next console.
    void choiceSurvivesRestart()
    {
        {
            I18n first;
            first.choose(QStringLiteral("pt"));
            QCOMPARE(first.language(), QStringLiteral("pt"));
            QCOMPARE(QCoreApplication::translate("main", "Client"), QStringLiteral("Cliente"));
        }
        QCOMPARE(QSettings().value(QStringLiteral("locale")).toString(), QStringLiteral("pt"));
        LogCapture log;
        I18n next;
        QCOMPARE(next.locale(), QStringLiteral("pt_BR"));
        QCOMPARE(next.amountText(1234.5), QStringLiteral("1.234,50"));
        QVERIFY(log.lines(QtWarningMsg).isEmpty());

        next.choose(QStringLiteral("en"));
        QCOMPARE(QCoreApplication::translate("main", "Client"), QStringLiteral("Client"));
        QCOMPARE(next.amountText(1234.5), QStringLiteral("1234.50"));
        // not one of the three: nothing changes
        next.choose(QStringLiteral("de"));
        QCOMPARE(QSettings().value(QStringLiteral("locale")).toString(), QStringLiteral("en"));
    }

    void badStoredLocaleBecomesEnglish_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("empty") << QString();
        QTest::newRow("unknown") << QStringLiteral("de");
        QTest::newRow("a locale name") << QStringLiteral("es_ES");
        QTest::newRow("padded") << QStringLiteral(" pt");
        QTest::newRow("10 KB") << QString(10240, QLatin1Char('e'));
    }

    void badStoredLocaleBecomesEnglish()
    {
        QFETCH(QString, stored);
        QSettings().setValue(LanguageChoice::settingsKey, stored);
        {
            LogCapture log;
            I18n i18n;
            QCOMPARE(i18n.language(), QStringLiteral("en"));
            QCOMPARE(i18n.locale(), QStringLiteral("en_US"));
            QCOMPARE(log.lines(QtWarningMsg).size(), 1);
            QVERIFY(log.lines(QtWarningMsg).first().size() < 200);
        }
        QCOMPARE(QSettings().value(LanguageChoice::settingsKey).toString(), QStringLiteral("en"));
        LogCapture log;
        I18n again;
        QVERIFY(log.lines(QtWarningMsg).isEmpty());
    }
};

QTEST_MAIN(TestI18n)
#include "tst_i18n.moc"
